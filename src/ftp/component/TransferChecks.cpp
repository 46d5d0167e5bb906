#include "ftp/component/TransferChecks.h"

#include <QRegularExpression>

namespace ftp {

std::optional<qint64> announcedSize(const Reply& reply) {
    if (reply.lines.isEmpty())
        return std::nullopt;
    // vsftpd: "150 Opening BINARY mode data connection for x (1234 bytes)."
    static const QRegularExpression pattern(QStringLiteral("\\((\\d{1,18}) bytes\\)\\.?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(reply.lines.constFirst());
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toLongLong();
}

std::optional<qint64> sizeFromReply(const Reply& reply) {
    if (reply.code != 213 || reply.lines.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 size = reply.lines.constLast().mid(4).trimmed().toLongLong(&ok);
    return ok && size >= 0 ? std::optional<qint64>(size) : std::nullopt;
}

namespace {

struct HashName {
    const char* name;
    QCryptographicHash::Algorithm algorithm;
};
// HASH's algorithm names (draft-bryan-ftpext-hash, section 3), best first.
constexpr HashName kHashNames[] = {
    {"SHA-256", QCryptographicHash::Sha256},
    {"SHA-512", QCryptographicHash::Sha512},
    {"SHA-1", QCryptographicHash::Sha1},
    {"MD5", QCryptographicHash::Md5},
};

int digestLength(QCryptographicHash::Algorithm algorithm) {
    return QCryptographicHash::hashLength(algorithm) * 2;
}

bool isHex(QStringView text) {
    for (const QChar c : text) {
        if (!c.isDigit() && !(c.toLower() >= u'a' && c.toLower() <= u'f'))
            return false;
    }
    return !text.isEmpty();
}

} // namespace

QString HashMethod::verb() const {
    switch (command) {
    case Hash:
        return QStringLiteral("HASH");
    case XSha256:
        return QStringLiteral("XSHA256");
    case XSha1:
        return QStringLiteral("XSHA1");
    case XMd5:
        return QStringLiteral("XMD5");
    case None:
        break;
    }
    return {};
}

HashMethod hashMethodFromFeatures(const QStringList& featLines) {
    HashMethod best;
    bool xsha256 = false, xsha1 = false, xmd5 = false;
    for (const QString& raw : featLines) {
        const QString line = raw.trimmed();
        const QString feature = line.section(u' ', 0, 0).toUpper();
        if (feature == u"XSHA256")
            xsha256 = true;
        else if (feature == u"XSHA1")
            xsha1 = true;
        else if (feature == u"XMD5")
            xmd5 = true;
        if (feature != u"HASH")
            continue;
        // "HASH SHA-256;SHA-1*;MD5": the "*" marks the algorithm in use.
        const QStringList offered = line.section(u' ', 1).split(u';', Qt::SkipEmptyParts);
        for (const HashName& known : kHashNames) {
            for (const QString& entry : offered) {
                QString name = entry.trimmed().toUpper();
                const bool selected = name.endsWith(u'*');
                if (selected)
                    name.chop(1);
                if (name == QLatin1StringView(known.name))
                    return {HashMethod::Hash, known.algorithm, name, selected};
            }
        }
    }
    if (xsha256)
        best = {HashMethod::XSha256, QCryptographicHash::Sha256, {}, true};
    else if (xsha1)
        best = {HashMethod::XSha1, QCryptographicHash::Sha1, {}, true};
    else if (xmd5)
        best = {HashMethod::XMd5, QCryptographicHash::Md5, {}, true};
    return best;
}

std::optional<QByteArray> digestFromReply(const Reply& reply, const HashMethod& method) {
    if (reply.kind() != 2 || reply.lines.isEmpty() || !method.offered())
        return std::nullopt;
    // HASH: "213 SHA-256 0-49 <hex> <path>"; the X commands: "213 <hex>" (some servers
    // add the path before or after it). The first word of the right length and digits.
    const int length = digestLength(method.algorithm);
    const QStringList words = reply.lines.constLast().mid(4).split(u' ', Qt::SkipEmptyParts);
    for (const QString& word : words) {
        if (word.size() == length && isHex(word))
            return word.toLatin1().toLower();
    }
    return std::nullopt;
}

} // namespace ftp
