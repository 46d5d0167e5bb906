#include "platform/ras/AnsiText.h"

#include "platform/Codepage.h"

#include <QStringEncoder>

#include <cstring>

namespace ras {

namespace {
using codepage::encodingName;
} // namespace

QByteArray toAnsi(const QString& text, bool* lossless) {
    QStringEncoder whole(encodingName());
    QByteArray bytes = whole(text);
    if (!whole.hasError()) {
        if (lossless)
            *lossless = true;
        return bytes;
    }
    // Some character has no CP932 code: convert one code point at a time and put "?"
    // where the conversion fails.
    bytes.clear();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const qsizetype length = (text.at(i).isHighSurrogate() && i + 1 < n) ? 2 : 1;
        QStringEncoder one(encodingName());
        const QByteArray piece = one(QStringView(text).mid(i, length));
        bytes += one.hasError() ? QByteArray("?") : piece;
        i += length;
    }
    if (lossless)
        *lossless = false;
    return bytes;
}

QString fromAnsi(const QByteArray& bytes) {
    return codepage::fromCp932(bytes);
}

QByteArray cutAtCharacter(const QByteArray& bytes, int maxBytes) {
    if (bytes.size() <= maxBytes)
        return bytes;
    int end = 0;
    while (end < maxBytes) {
        const int step = isLeadByte(uchar(bytes.at(end))) ? 2 : 1;
        if (end + step > maxBytes)
            break;
        end += step;
    }
    return bytes.left(end);
}

QString fieldText(const void* record, int offset, int width) {
    const char* field = static_cast<const char*>(record) + offset;
    const void* nul = std::memchr(field, 0, size_t(width));
    const int length = nul ? int(static_cast<const char*>(nul) - field) : width;
    return fromAnsi(QByteArray(field, length));
}

} // namespace ras
