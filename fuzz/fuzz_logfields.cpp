// Reading the session log back: fields, whole lines, the pane's text and the tail.
#include "FuzzInput.h"
#include "ftp/rules/LogFields.h"
#include "platform/Codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = codepage::fromCp932(fuzzing::view(data, size).toByteArray());
    (void)logfields::readFields(text, logfields::NumberSplit::No);
    (void)logfields::readFields(text, logfields::NumberSplit::Yes);
    const QString lines = logfields::readLinesCrLf(text);
    fuzzing::require(lines.isEmpty() || lines.endsWith(QStringLiteral("\r\n")), "line without CR LF");
    (void)logfields::fieldsAsPaneText(text);
    const qsizetype limit = size == 0 ? 0 : data[0];
    const QString tail = logfields::tailAtLineStart(text, limit);
    fuzzing::require(tail.size() <= std::max(limit, qsizetype(0)) || tail == text, "tail too long");
    return 0;
}
