#pragma once
// What the server box may hold beyond a bare server name: the URL forms that choose how
// the session is protected. "host", "host:port" and "[v6]:port" try TLS and fall back to
// plain FTP when the server has none; "ftpes://" requires TLS after AUTH TLS, "ftps://"
// speaks TLS from the first byte (port 990 unless given) and "ftp://" never tries TLS.
// "sftp://" is another protocol: SFTP over SSH, port 22 unless given.

#include "ftp/component/ServerName.h"

#include <QString>

#include <optional>

namespace ftp {

inline constexpr quint16 kDefaultImplicitTlsPort = 990;
inline constexpr quint16 kDefaultSftpPort = 22;

enum class Protocol { Ftp, Sftp };

enum class TlsMode {
    Opportunistic, // AUTH TLS when the server offers it, plain FTP otherwise
    Required,      // AUTH TLS or no session (ftpes://)
    Implicit,      // TLS from the first byte (ftps://)
    Off,           // plain FTP, AUTH TLS never sent (ftp://)
};

struct ServerAddress {
    ServerName name;
    TlsMode tls = TlsMode::Opportunistic;
    Protocol protocol = Protocol::Ftp;
};

// Surrounding blanks are ignored; the scheme is case-blind. Returns nullopt where
// parseServerName would, for an unknown scheme, and for a URL holding a user, a password,
// a path (a lone trailing "/" is allowed), a query or a fragment: the user and password
// boxes hold those.
std::optional<ServerAddress> parseServerAddress(const QString& text);

} // namespace ftp
