#include "ftp/rules/SessionLog.h"

#include "ftp/component/FtpComponent.h"
#include "platform/Codepage.h"

#include <QFile>

namespace sessionlog {

QString readTranscript(const QString& path, qint64 maxBytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ftp::FtpError(
            QStringLiteral("Cannot open the session log %1: %2").arg(path, file.errorString()),
            ftp::FailureDetail(ftp::FailureKind::Local));
    const qint64 size = file.size();
    if (maxBytes <= 0 || size <= maxBytes)
        return codepage::fromCp932(file.readAll());
    // One byte more than asked for, to see whether the tail already starts a line.
    if (!file.seek(size - maxBytes - 1))
        throw ftp::FtpError(
            QStringLiteral("Cannot read the session log %1: %2").arg(path, file.errorString()),
            ftp::FailureDetail(ftp::FailureKind::Local));
    const QByteArray bytes = file.read(maxBytes + 1);
    // CR and LF never occur inside a two-byte CP932 character, so starting after a line
    // end cuts no character in half.
    qsizetype start = 0;
    while (start < bytes.size() && bytes.at(start) != '\r' && bytes.at(start) != '\n')
        ++start;
    if (start < bytes.size())
        start += bytes.mid(start, 2) == "\r\n" ? 2 : 1;
    else
        start = 1; // one line longer than the tail: show its end
    return codepage::fromCp932(bytes.mid(start));
}

} // namespace sessionlog
