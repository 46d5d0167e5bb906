#pragma once
// Reading the server box: "host", "host:port", "[IPv6]", "[IPv6]:port" or a bare IPv6
// literal. The port is 21 unless given.

#include <QString>

#include <optional>

namespace ftp {

inline constexpr quint16 kDefaultFtpPort = 21;

struct ServerName {
    QString host; // a host name or an address literal, without brackets
    quint16 port = kDefaultFtpPort;
    bool isLiteral = false; // host is an IPv4 or IPv6 address, no lookup needed
};

// Surrounding blanks are ignored. Returns nullopt for an empty name, a bad port (not
// 1..65535 in decimal digits), unbalanced brackets, a host holding blanks, control or
// format characters, a host name over 253 characters, or an IPv6 literal with anything
// but hex digits, colons and dots before its scope or a scope that is not a short
// interface name (letters, digits, ".", "_", "-"; at most 15).
std::optional<ServerName> parseServerName(const QString& text);

} // namespace ftp
