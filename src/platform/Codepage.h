#pragma once
// Every data file the program reads or writes (server list, dial-up files, session log)
// is in CP932, the Japanese Windows code page, on every platform.

#include <QByteArray>
#include <QString>

namespace codepage {

// The converter name of CP932 for QStringEncoder / QStringDecoder.
const char* encodingName();

QString fromCp932(const QByteArray& bytes);
QByteArray toCp932(const QString& text);

// Splits CP932 text into lines. A line ends at CR LF, at a lone CR or at a lone LF;
// the terminator is not part of the line; a last line without terminator counts,
// an empty remainder after the last terminator does not.
QStringList splitLines(const QString& text);

} // namespace codepage
