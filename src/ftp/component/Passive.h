#pragma once
// Reading the port out of passive-mode replies. Only the port is used: the data
// connection always goes to the control connection's peer, whatever address a 227
// reply names.

#include <QString>

#include <optional>

namespace ftp {

// "229 Entering Extended Passive Mode (|||6446|)" (RFC 2428, section 3).
std::optional<quint16> epsvPort(const QString& replyText);
// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)" (RFC 959, section 4.1.2), with or
// without the parentheses.
std::optional<quint16> pasvPort(const QString& replyText);

} // namespace ftp
