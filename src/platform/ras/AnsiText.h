#pragma once
// Texts crossing to the dial-up records: the system's multibyte code page, CP932.
// A character CP932 cannot hold becomes "?", as the Windows conversion does.

#include <QByteArray>
#include <QString>

namespace ras {

// True for a CP932 lead byte (the first byte of a double-byte character).
constexpr bool isLeadByte(uchar byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Text → CP932 bytes; *lossless (when given) tells whether every character was held.
QByteArray toAnsi(const QString& text, bool* lossless = nullptr);

// CP932 bytes → text.
QString fromAnsi(const QByteArray& bytes);

// The longest start of the bytes that is at most maxBytes long and does not end in the
// middle of a double-byte character.
QByteArray cutAtCharacter(const QByteArray& bytes, int maxBytes);

// The text of a NUL-terminated field of the given width inside a record: the bytes before
// the first NUL (or the whole width when it holds none), decoded.
QString fieldText(const void* record, int offset, int width);

} // namespace ras
