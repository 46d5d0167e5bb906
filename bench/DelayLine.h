#pragma once
// A delay line on 127.0.0.1 for the latency benchmark: a relay that holds every chunk it
// passes for a fixed time in each direction, so that a client on loopback sees the round
// trips of a distant server. It runs in user space on a thread of its own (plain POSIX
// sockets and poll), since the benchmark may not rely on a kernel queue discipline.
//
// Each client connection to port() gets a connection of its own to the upstream FTP server;
// bytes keep their order and each chunk is handed on `oneWayMs` after it arrived. A
// direction queues at most a fixed number of bytes (it stops reading beyond that), so the
// memory stays flat whatever passes through.
//
// With Scope::Everything the server's replies on the control connection are read line by
// line and a 229 (EPSV) or 227 (PASV) reply is rewritten to name a data relay of the line's
// own, which forwards to the server's data port with the same delay: data connections cross
// the line too. After a 234 reply (AUTH TLS) the replies are encrypted and pass unread, so
// an encrypted session's data connections go to the server directly. Scope::ControlOnly
// leaves every reply as it is and delays the control connection only.
//
// What the line cannot delay is the TCP handshake itself: the kernel completes it at the
// relay at once. A real link adds about one round trip before each connection opens, for
// every client alike.

#include <cstdint>
#include <memory>

namespace bench {

class DelayLine {
public:
    enum class Scope { Everything, ControlOnly };

    DelayLine(std::uint16_t upstreamPort, int oneWayMs, Scope scope);
    ~DelayLine();
    DelayLine(const DelayLine&) = delete;
    DelayLine& operator=(const DelayLine&) = delete;

    // Listens on 127.0.0.1 at a free port and starts relaying; false when it cannot listen.
    bool start();
    // Stops relaying and closes every connection. Also done by the destructor.
    void stop();
    // The port clients connect to (0 before start()).
    std::uint16_t port() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace bench
