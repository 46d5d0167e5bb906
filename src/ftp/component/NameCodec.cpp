#include "ftp/component/NameCodec.h"

#include "platform/Codepage.h"

#include <QSet>

namespace ftp {

namespace {

bool isAscii(QByteArrayView bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

void appendMark(QString& text, unsigned char byte) {
    static const char16_t hex[] = u"0123456789ABCDEF";
    text.append(QChar(NameCodec::kByteMark));
    text.append(QChar(hex[byte >> 4]));
    text.append(QChar(hex[byte & 0xF]));
}

int hexValue(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// The length of the well-formed UTF-8 sequence at `at` (RFC 3629, section 4), or 0.
qsizetype utf8SequenceAt(QByteArrayView bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}

bool isCp932Lead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool isCp932Trail(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Whether `unit` (one character's bytes) reads as one character that writes back as the
// same bytes; that character.
std::optional<QString> cp932Character(QByteArrayView unit) {
    const QByteArray bytes = unit.toByteArray();
    const QString text = codepage::fromCp932(bytes);
    if (text.isEmpty() || text.contains(QChar(NameCodec::kByteMark)) || codepage::toCp932(text) != bytes)
        return std::nullopt;
    return text;
}

// The verbs whose argument is a remote path (RFC 959, section 4.1; RFC 3659; the common
// hash extensions).
bool takesPath(QStringView verb) {
    static const QSet<QString> verbs = {
        QStringLiteral("CWD"),  QStringLiteral("XCWD"),   QStringLiteral("RETR"),  QStringLiteral("STOR"),
        QStringLiteral("STOU"), QStringLiteral("APPE"),   QStringLiteral("DELE"),  QStringLiteral("RMD"),
        QStringLiteral("XRMD"), QStringLiteral("MKD"),    QStringLiteral("XMKD"),  QStringLiteral("RNFR"),
        QStringLiteral("RNTO"), QStringLiteral("SIZE"),   QStringLiteral("MDTM"),  QStringLiteral("MLST"),
        QStringLiteral("MLSD"), QStringLiteral("LIST"),   QStringLiteral("NLST"),  QStringLiteral("STAT"),
        QStringLiteral("HASH"), QStringLiteral("XMD5"),   QStringLiteral("XSHA1"), QStringLiteral("XSHA256"),
        QStringLiteral("XCRC"), QStringLiteral("XSHA512")};
    return verbs.contains(verb.toString().toUpper());
}

} // namespace

QString NameCodec::decode(QByteArrayView bytes) const {
    if (utf8_)
        return QString::fromUtf8(bytes);
    // Plain ASCII needs no code page (most lines are); CP932 is a superset of it except
    // for the backslash and tilde, which CP932 also maps to themselves.
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return codepage::fromCp932(bytes.toByteArray());
}

std::optional<QByteArray> NameCodec::encode(const QString& text) const {
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
    QByteArray bytes = codepage::toCp932(text);
    if (codepage::fromCp932(bytes) != text)
        return std::nullopt;
    return bytes;
}

QString NameCodec::decodeName(QByteArrayView bytes) const {
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    // Most names read and write back whole; only the others are taken byte by byte.
    const QString whole = decode(bytes);
    if (!whole.contains(QChar(kByteMark))) {
        const auto back = encode(whole);
        if (back && *back == bytes)
            return whole;
    }
    return decodeMarked(bytes);
}

QString NameCodec::decodeMarked(QByteArrayView bytes) const {
    QString text;
    text.reserve(bytes.size());
    qsizetype at = 0;
    while (at < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (byte < 0x80) {
            text.append(QLatin1Char(char(byte)));
            ++at;
            continue;
        }
        if (utf8_) {
            const qsizetype length = utf8SequenceAt(bytes, at);
            const QString character = length > 0 ? QString::fromUtf8(bytes.sliced(at, length)) : QString();
            if (length > 0 && character != QChar(kByteMark)) {
                text.append(character);
                at += length;
                continue;
            }
        } else {
            const bool pair = isCp932Lead(byte) && at + 1 < bytes.size() &&
                              isCp932Trail(static_cast<unsigned char>(bytes[at + 1]));
            const qsizetype length = pair ? 2 : 1;
            if (const auto character = cp932Character(bytes.sliced(at, length))) {
                text.append(*character);
                at += length;
                continue;
            }
        }
        appendMark(text, byte);
        ++at;
    }
    return text;
}

std::optional<QByteArray> NameCodec::encodeName(const QString& shown) const {
    if (const auto found = rawNames_.constFind(shown); found != rawNames_.cend())
        return *found;
    if (!shown.contains(QChar(kByteMark)))
        return encode(shown);
    QByteArray bytes;
    QString run; // characters between marks, encoded together
    const auto flushRun = [&]() -> bool {
        if (run.isEmpty())
            return true;
        const auto encoded = encode(run);
        if (!encoded)
            return false;
        bytes.append(*encoded);
        run.clear();
        return true;
    };
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const int high = i + 2 < shown.size() ? hexValue(shown.at(i + 1)) : -1;
        const int low = i + 2 < shown.size() ? hexValue(shown.at(i + 2)) : -1;
        // Only bytes that cannot be plain ASCII are ever marked: a mark never gives a
        // line break or any other control byte.
        if (shown.at(i) == QChar(kByteMark) && high >= 8 && low >= 0) {
            if (!flushRun())
                return std::nullopt;
            bytes.append(char(high * 16 + low));
            i += 2;
            continue;
        }
        run.append(shown.at(i));
    }
    if (!flushRun())
        return std::nullopt;
    return bytes;
}

void NameCodec::rememberName(const QString& shown, const QByteArray& raw) {
    if (rawNames_.size() >= kMaxRememberedNames)
        rawNames_.clear();
    rawNames_.insert(shown, raw);
}

std::optional<QByteArray> NameCodec::encodeCommand(const QString& line) const {
    const qsizetype space = line.indexOf(u' ');
    if (space <= 0 || !takesPath(QStringView(line).left(space)))
        return encode(line);
    auto bytes = encode(line.left(space + 1));
    if (!bytes)
        return std::nullopt;
    const QStringList pieces = line.mid(space + 1).split(u'/');
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            bytes->append('/');
        const auto piece = encodeName(pieces.at(i));
        if (!piece)
            return std::nullopt;
        bytes->append(*piece);
    }
    return bytes;
}

} // namespace ftp
