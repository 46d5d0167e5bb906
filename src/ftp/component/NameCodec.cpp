#include "ftp/component/NameCodec.h"

#include "platform/Codepage.h"

namespace ftp {

QString NameCodec::decode(QByteArrayView bytes) const {
    if (utf8_)
        return QString::fromUtf8(bytes);
    // Plain ASCII needs no code page (most lines are); CP932 is a superset of it except
    // for the backslash and tilde, which CP932 also maps to themselves.
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return codepage::fromCp932(bytes.toByteArray());
    }
    return QString::fromLatin1(bytes);
}

std::optional<QByteArray> NameCodec::encode(const QString& text) const {
    QByteArray bytes;
    if (utf8_) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                ++i;
                continue;
            }
            if (c.isSurrogate())
                return std::nullopt;
        }
        return text.toUtf8();
    }
    bytes = codepage::toCp932(text);
    if (codepage::fromCp932(bytes) != text)
        return std::nullopt;
    return bytes;
}

} // namespace ftp
