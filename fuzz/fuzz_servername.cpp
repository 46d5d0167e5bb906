// The server box's text: whatever parses holds no control characters and reads the same
// once written back in its bracketed form.
#include "FuzzInput.h"
#include "ftp/component/ServerName.h"

namespace {

void check(const QString& text) {
    const auto name = ftp::parseServerName(text);
    if (!name)
        return;
    fuzzing::require(!name->host.isEmpty(), "empty host");
    fuzzing::require(name->port != 0, "port 0");
    for (const QChar c : name->host) {
        fuzzing::require(c.category() != QChar::Other_Control && !c.isSpace(), "control or blank in host");
        fuzzing::require(c != u'[' && c != u']', "bracket in host");
    }
    const bool ipv6 = name->host.contains(u':');
    const QString written =
        (ipv6 ? u'[' + name->host + u']' : name->host) + u':' + QString::number(name->port);
    const auto again = ftp::parseServerName(written);
    fuzzing::require(again.has_value(), "written-back name no longer parses");
    fuzzing::require(again->host == name->host && again->port == name->port &&
                         again->isLiteral == name->isLiteral,
                     "written-back name reads differently");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes = fuzzing::view(data, size);
    check(QString::fromUtf8(bytes));
    check(QString::fromLatin1(bytes));
    return 0;
}
