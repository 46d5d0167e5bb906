#pragma once
// Name lookups that a cancel or a timeout can end, for every engine's connect.

#include "ftp/component/CallControl.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QList>
#include <QString>

#include <optional>

namespace ftp {

// Looks `host` up, giving up (nothing) after `timeoutMs` or once `cancel` says the call
// was cancelled. The lookup runs on a thread of its own so that a resolver that never
// answers cannot hold the caller: on a timeout the thread is left to finish on its own.
std::optional<QHostInfo> lookUpHost(const QString& host, int timeoutMs, const CallControl* cancel);

// The addresses a server name stands for, or the Connect result that ends the attempt.
struct ServerAddresses {
    QList<QHostAddress> addresses;
    int failure = 0; // ConnectOk, or ConnectHostNotFound, ConnectTimedOut, ConnectCancelled
};
// `host` as given when `isLiteral`, else looked up as above.
ServerAddresses addressesOf(const QString& host, bool isLiteral, int timeoutMs, const CallControl* cancel);

} // namespace ftp
