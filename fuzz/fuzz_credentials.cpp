// The dial-up window's saved credentials: the password file's numbers and the files read
// whole (written to a temporary file, as the window reads them).
#include "FuzzInput.h"
#include "dialup/Credentials.h"
#include "platform/Codepage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzzing::view(data, size).toByteArray();
    const QString text = codepage::fromCp932(bytes);
    for (const QString& line : codepage::splitLines(text)) {
        (void)credentials::lineValue(line);
        if (const auto character = credentials::decodePasswordLine(line))
            fuzzing::require(!character->isEmpty(), "empty password character");
    }
    // A password that fits the code page comes back from its own file unchanged.
    if (credentials::fitsCodePage(text) && !text.contains(u'\r') && !text.contains(u'\n') &&
        !credentials::isPlaceholderPassword(text)) {
        QString decoded;
        const QStringList lines =
            codepage::splitLines(codepage::fromCp932(credentials::passwordFileBytes(text)));
        for (const QString& line : lines) {
            if (const auto character = credentials::decodePasswordLine(line))
                decoded += *character;
        }
        fuzzing::require(decoded == text, "saved password reads back differently");
    }
    static const QString path = QDir::temp().filePath(
        QStringLiteral("tessel-fuzz-credentials-%1.dat").arg(QCoreApplication::applicationPid()));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
        file.close();
        const credentials::ReadLines read = credentials::readLines(path);
        fuzzing::require(read.failure.has_value() || read.lines.size() <= qsizetype(size) + 1,
                         "too many lines");
    }
    return 0;
}
