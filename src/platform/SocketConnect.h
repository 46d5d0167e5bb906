#pragma once
// Opening a TCP connection without giving the attempt up between waits. A blocking
// connect with a timeout drops the attempt when its time is up, so waiting for a distant
// server in short slices (to look at a cancel between them) would abandon every connect
// whose SYN-ACK takes longer than one slice. Here the attempt lives as long as the object,
// and each wait only looks at it.

#include <QHostAddress>
#include <QString>
#include <QtGlobal>

namespace platform::net {

class PendingConnect {
public:
    enum class Outcome { Connected, Pending, Refused, Unreachable, TimedOut, Failed };

    // Starts connecting to `address`:`port`; the first wait() tells how it goes.
    PendingConnect(const QHostAddress& address, quint16 port);
    ~PendingConnect();
    PendingConnect(const PendingConnect&) = delete;
    PendingConnect& operator=(const PendingConnect&) = delete;

    // Waits up to `timeoutMs` for the attempt to end; Pending when it still runs.
    Outcome wait(int timeoutMs);
    // The connected socket, now the caller's to close; -1 unless wait() said Connected.
    qintptr take();
    // The system's words for a failed attempt.
    QString errorString() const { return error_; }

private:
    int socket_ = -1;
    Outcome outcome_ = Outcome::Pending;
    QString error_;

    Outcome fail(int number);
};

// Turns on TCP keep-alive probes (SO_KEEPALIVE) on a connected socket; false when the
// system refuses.
bool setKeepAlive(qintptr socket);

} // namespace platform::net
