#pragma once
// The text rules behind the remote file and folder commands and the command console:
// which path names a file, the command lines sent, which console row a typed keyword
// takes, and what the console reads back from the session log.

#include <QString>

namespace remotecmd {

// The result of Command that counts as success (a 2xx reply).
inline constexpr int kCommandSuccess = 2;

// A remote path names a file when it holds a "." anywhere.
bool namesAFile(const QString& remotePath);

// "MKD " + parent + "/" + name, joined as typed: nothing trimmed, nothing checked.
QString mkdLine(const QString& parent, const QString& name);

// The rows of the console, in the order the typed keyword is compared with them.
enum class ConsoleRow { Size, Help, Pwd, Mkd, Rmd, Cdup, Other };

// Exact, case-sensitive comparison of the whole text: " SIZE" and "size" are Other.
ConsoleRow consoleRow(const QString& typed);

// The line a console row sends: "SIZE <path>", "HELP", "PWD", "MKD <path>/<name>",
// "RMD <path>", "CDUP", or the typed text itself for any other row.
QString consoleLine(ConsoleRow row, const QString& typed, const QString& remotePath,
                    const QString& folderName);

// The field reading of the console: the last field of the transcript, a reply code and
// the number or quoted text after it counting as two fields ("213 1048576" ends in
// "1048576", "257 \"/pub\" is the current directory" in "/pub"). A transcript with no
// field at all leaves the previous reading.
QString lastLogField(const QString& transcript, const QString& previous);

} // namespace remotecmd
