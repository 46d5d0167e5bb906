#include "ftp/component/ServerAddress.h"

namespace ftp {

namespace {

struct Scheme {
    QLatin1StringView name;
    TlsMode tls;
    Protocol protocol = Protocol::Ftp;
    quint16 defaultPort = 0; // the port when none is given; 0: that of the plain form
};

constexpr Scheme kSchemes[] = {
    {QLatin1StringView("ftp"), TlsMode::Off},
    {QLatin1StringView("ftpes"), TlsMode::Required},
    {QLatin1StringView("ftps"), TlsMode::Implicit, Protocol::Ftp, kDefaultImplicitTlsPort},
    {QLatin1StringView("sftp"), TlsMode::Off, Protocol::Sftp, kDefaultSftpPort},
};

// Whether the authority part names a port: after the bracketed address for "[v6]", never
// for a bare IPv6 literal (all its colons belong to the address), else any colon.
bool namesPort(QStringView authority) {
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        return close >= 0 && authority.mid(close + 1).startsWith(u':');
    }
    return authority.count(u':') == 1;
}

} // namespace

std::optional<ServerAddress> parseServerAddress(const QString& text) {
    const QString trimmed = text.trimmed();
    const qsizetype separator = trimmed.indexOf(QLatin1StringView("://"));
    if (separator < 0) {
        const auto name = parseServerName(trimmed);
        if (!name)
            return std::nullopt;
        return ServerAddress{*name, TlsMode::Opportunistic};
    }

    const QString schemeName = trimmed.left(separator).toLower();
    const Scheme* scheme = nullptr;
    for (const Scheme& candidate : kSchemes) {
        if (schemeName == candidate.name)
            scheme = &candidate;
    }
    if (!scheme)
        return std::nullopt;

    QStringView authority = QStringView(trimmed).mid(separator + 3);
    if (authority.endsWith(u'/'))
        authority.chop(1);
    // A user or password (RFC 3986, section 3.2.1), a path, a query or a fragment.
    for (const QChar c : authority) {
        if (c == u'@' || c == u'/' || c == u'?' || c == u'#' || c.isSpace())
            return std::nullopt;
    }
    auto name = parseServerName(authority.toString());
    if (!name)
        return std::nullopt;
    if (scheme->defaultPort != 0 && !namesPort(authority))
        name->port = scheme->defaultPort;
    return ServerAddress{*name, scheme->tls, scheme->protocol};
}

} // namespace ftp
