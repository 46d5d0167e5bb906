#include "ftp/component/ServerName.h"

#include <QHostAddress>

#include <algorithm>

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

// A DNS name has at most 253 characters (RFC 1035, section 2.3.4); international names
// are no longer once converted.
constexpr qsizetype kMaxHostLength = 253;
// Interface names (the scope of a link-local address) are short: 15 characters on Linux.
constexpr qsizetype kMaxScopeIdLength = 15;
// "ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255" is the longest address text.
constexpr qsizetype kMaxAddressLength = 45;

bool isInterfaceNameChar(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' ||
           c == u'_' || c == u'-';
}

// An IPv6 literal, possibly with a scope ("fe80::1%eth0"), checked character by character
// before the address parser sees it: that parser lets trailing NULs and any scope text through.
bool isIpv6Literal(QStringView text) {
    const qsizetype percent = text.indexOf(u'%');
    const QStringView address = percent < 0 ? text : text.left(percent);
    if (address.isEmpty() || address.size() > kMaxAddressLength)
        return false;
    for (const QChar c : address) {
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (!hex && c != u':' && c != u'.')
            return false;
    }
    if (percent >= 0) {
        const QStringView scope = text.mid(percent + 1);
        if (scope.isEmpty() || scope.size() > kMaxScopeIdLength ||
            !std::all_of(scope.begin(), scope.end(), isInterfaceNameChar))
            return false;
    }
    QHostAddress parsed;
    return parsed.setAddress(text.toString()) && parsed.protocol() == QAbstractSocket::IPv6Protocol;
}

bool isPlausibleHostName(QStringView host) {
    if (host.isEmpty() || host.size() > kMaxHostLength)
        return false;
    for (const QChar c : host) {
        // Letters of any script are allowed (international names are converted on lookup);
        // blanks, control characters and URL punctuation are not.
        if (c.isSpace() || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            c.isNull() || c == u'/' || c == u'\\' || c == u'@' || c == u'[' || c == u']' || c == u':' ||
            c == u'?' || c == u'#')
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
        if (!isIpv6Literal(result.host))
            return std::nullopt;
        result.isLiteral = true;
        return result;
    }

    if (name.count(u':') >= 2) {
        // A bare IPv6 literal: every colon belongs to the address, so no port can be given.
        if (!isIpv6Literal(name))
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
