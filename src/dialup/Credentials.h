#pragma once
// The dial-up window's saved credentials: two CP932 text files in the application folder.
//   "Pswd.dat"  - entry name, user name and the flag "ON"/"OFF", one per line (CR LF);
//   "Pword.dat" - the password, one scrambled number per character: (c + 5) * 6 + 78, where c
//                 is the character's CP932 code as a signed 16-bit value, written with one
//                 blank before a number that is not negative and one blank after it.
// The scramble only keeps the password from being read at a glance; it has no key.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace credentials {

inline const QString kSettingsFile = QStringLiteral("Pswd.dat");
inline const QString kPasswordFile = QStringLiteral("Pword.dat");
inline const QString kSavedFlag = QStringLiteral("ON");
inline const QString kClearedFlag = QStringLiteral("OFF");
inline const QString kPlaceholder = QStringLiteral("Null"); // entry and user after a clear
inline const QString kClearedPassword = QStringLiteral("**");

// The password cannot be saved when it is empty or one of the placeholders.
bool isPlaceholderPassword(const QString& password);

// The CP932 code of each character as a signed 16-bit value (a double-byte character
// gives its two bytes read as one number, negative when the lead byte is 0x80 or above).
QList<qint16> characterCodes(const QString& text);
qint32 scrambleCode(qint16 code);

// The bytes of "Pword.dat" holding a password.
QByteArray passwordFileBytes(const QString& password);
// The bytes of "Pswd.dat".
QByteArray settingsFileBytes(const QString& entry, const QString& user, const QString& flag);

// The number a line holds: blanks are ignored, an optional sign, digits and a decimal
// fraction are read up to the first other character; no digits at all gives 0.
double lineValue(const QString& line);
// The character a scrambled number stands for, or nullopt when the number gives no valid
// character (no 16-bit code, or no CP932 character with that code).
std::optional<QString> decodePasswordLine(const QString& line);

// True when CP932 holds every character of the text, so it is saved unchanged.
bool fitsCodePage(const QString& text);

// A file read whole: its lines (CR LF, CR or LF end a line), or why it could not be read.
struct ReadLines {
    QStringList lines;
    std::optional<QString> failure;
};
ReadLines readLines(const QString& path);

// Writes the bytes as the file's whole new content, readable and writable by the owner
// only; the old content stays if the write fails. Returns why it failed, if it did.
std::optional<QString> writeWhole(const QString& path, const QByteArray& bytes);

// The description of a read past the last line of a file.
QString pastEndOfFile();

} // namespace credentials
