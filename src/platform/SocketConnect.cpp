#include "platform/SocketConnect.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform::net {

namespace {

// The socket address of `address`:`port`, and its length (0 when the address is neither
// IPv4 nor IPv6).
socklen_t socketAddress(const QHostAddress& address, quint16 port, sockaddr_storage& storage) {
    std::memset(&storage, 0, sizeof storage);
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto& v4 = reinterpret_cast<sockaddr_in&>(storage);
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        v4.sin_addr.s_addr = htonl(address.toIPv4Address());
        return sizeof v4;
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(storage);
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&v6.sin6_addr, bytes.c, sizeof bytes.c);
        v6.sin6_scope_id = address.scopeId().toUInt();
        return sizeof v6;
    }
    return 0;
}

} // namespace

PendingConnect::PendingConnect(const QHostAddress& address, quint16 port) {
    sockaddr_storage storage;
    const socklen_t length = socketAddress(address, port, storage);
    if (length == 0) {
        outcome_ = Outcome::Failed;
        error_ = QStringLiteral("Not an IP address: %1").arg(address.toString());
        return;
    }
    socket_ = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket_ < 0) {
        fail(errno);
        return;
    }
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&storage), length) == 0)
        outcome_ = Outcome::Connected;
    else if (errno != EINPROGRESS && errno != EINTR)
        fail(errno);
}

PendingConnect::~PendingConnect() {
    if (socket_ >= 0)
        ::close(socket_);
}

PendingConnect::Outcome PendingConnect::fail(int number) {
    switch (number) {
    case ECONNREFUSED:
        outcome_ = Outcome::Refused;
        break;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case EADDRNOTAVAIL:
        outcome_ = Outcome::Unreachable;
        break;
    case ETIMEDOUT:
        outcome_ = Outcome::TimedOut;
        break;
    default:
        outcome_ = Outcome::Failed;
        break;
    }
    error_ = QString::fromLocal8Bit(std::strerror(number));
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
    return outcome_;
}

PendingConnect::Outcome PendingConnect::wait(int timeoutMs) {
    if (outcome_ != Outcome::Pending)
        return outcome_;
    pollfd entry{socket_, POLLOUT, 0};
    const int n = ::poll(&entry, 1, timeoutMs);
    if (n == 0 || (n < 0 && errno == EINTR))
        return Outcome::Pending;
    if (n < 0)
        return fail(errno);
    // The attempt has ended; SO_ERROR tells how (connect(2), EINPROGRESS).
    int number = 0;
    socklen_t size = sizeof number;
    if (::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &number, &size) != 0)
        return fail(errno);
    // A reset reports an attempt that was answered: the connection had opened, and the
    // peer may have sent all it had before it reset it, while nobody looked.
    if (number != 0 && number != ECONNRESET && number != EPIPE)
        return fail(number);
    outcome_ = Outcome::Connected;
    return outcome_;
}

qintptr PendingConnect::take() {
    if (outcome_ != Outcome::Connected)
        return -1;
    const int socket = socket_;
    socket_ = -1;
    return socket;
}

bool setKeepAlive(qintptr socket) {
    const int on = 1;
    return ::setsockopt(int(socket), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0;
}

} // namespace platform::net
