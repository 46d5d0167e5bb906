#include "ftp/component/ServerName.h"

#include <QHostAddress>

namespace ftp {

namespace {

std::optional<quint16> parsePort(QStringView text) {
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value < 1 || value > 65535)
        return std::nullopt;
    return static_cast<quint16>(value);
}

bool isPlausibleHostName(QStringView host) {
    if (host.isEmpty())
        return false;
    for (const QChar c : host) {
        // Letters of any script are allowed (international names are converted on lookup);
        // blanks, control characters and URL punctuation are not.
        if (c.isSpace() || c.category() == QChar::Other_Control || c == u'/' || c == u'\\' || c == u'@' ||
            c == u'[' || c == u']' || c == u':' || c == u'?' || c == u'#')
            return false;
    }
    return true;
}

} // namespace

std::optional<ServerName> parseServerName(const QString& text) {
    const QString name = text.trimmed();
    if (name.isEmpty())
        return std::nullopt;

    ServerName result;
    if (name.startsWith(u'[')) {
        const qsizetype close = name.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        result.host = name.mid(1, close - 1);
        const QStringView rest = QStringView(name).mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                return std::nullopt;
            const auto port = parsePort(rest.mid(1));
            if (!port)
                return std::nullopt;
            result.port = *port;
        }
        QHostAddress address;
        if (!address.setAddress(result.host) || address.protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
        result.isLiteral = true;
        return result;
    }

    if (name.count(u':') >= 2) {
        // A bare IPv6 literal: every colon belongs to the address, so no port can be given.
        QHostAddress address;
        if (!address.setAddress(name) || address.protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
        result.host = name;
        result.isLiteral = true;
        return result;
    }

    const qsizetype colon = name.indexOf(u':');
    result.host = colon < 0 ? name : name.left(colon);
    if (colon >= 0) {
        const auto port = parsePort(QStringView(name).mid(colon + 1));
        if (!port)
            return std::nullopt;
        result.port = *port;
    }
    if (!isPlausibleHostName(result.host))
        return std::nullopt;
    QHostAddress address;
    result.isLiteral = address.setAddress(result.host) && address.protocol() == QAbstractSocket::IPv4Protocol;
    return result;
}

} // namespace ftp
