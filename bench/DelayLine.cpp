#include "DelayLine.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <list>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadBytes = 64 * 1024;
// A direction stops reading while this much waits in it: the memory stays flat.
constexpr std::size_t kMaxQueued = 4 * 1024 * 1024;

struct Chunk {
    Clock::time_point due;
    std::string bytes; // empty: the end of the stream
};

// One direction of a relayed connection.
struct Direction {
    int from = -1, to = -1;
    std::deque<Chunk> queue;
    std::size_t queued = 0;    // bytes waiting
    std::size_t written = 0;   // bytes of the first chunk already passed on
    bool ended = false;        // the source ended; its end is queued
    bool delivered = false;    // the end was passed on
    bool blocked = false;      // the last write would have blocked
    bool readsReplies = false; // the server's control replies, read line by line
    std::string partial;       // the start of a reply line not complete yet
};

struct Link {
    Direction up, down; // client to server, server to client
    bool broken = false;
};

struct Listener {
    int fd = -1;
    std::uint16_t target = 0; // the upstream port
    bool control = false;     // the line's own port; else a data relay, which accepts once
};

void tune(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A listening socket on 127.0.0.1 at a free port, stored in `port`; -1 on failure.
int listenLocal(std::uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 64) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// A connection to 127.0.0.1:port (loopback answers at once), or -1.
int connectLocal(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

// Passes on the chunks of `d` that are due; false when the receiver is gone.
bool deliver(Direction& d) {
    const Clock::time_point now = Clock::now();
    while (!d.queue.empty() && d.queue.front().due <= now) {
        const std::string& bytes = d.queue.front().bytes;
        if (bytes.empty()) {
            shutdown(d.to, SHUT_WR);
            d.delivered = true;
            d.queue.pop_front();
            return true;
        }
        const ssize_t n = send(d.to, bytes.data() + d.written, bytes.size() - d.written, MSG_NOSIGNAL);
        if (n < 0) {
            d.blocked = errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
            return d.blocked;
        }
        d.written += std::size_t(n);
        if (d.written < bytes.size()) {
            d.blocked = true;
            return true;
        }
        d.queued -= bytes.size();
        d.written = 0;
        d.queue.pop_front();
    }
    d.blocked = false;
    return true;
}

void push(Direction& d, Clock::time_point due, std::string bytes) {
    d.queued += bytes.size();
    d.queue.push_back({due, std::move(bytes)});
}

} // namespace

struct DelayLine::Impl {
    std::uint16_t upstream = 0;
    Clock::duration delay{};
    Scope scope = Scope::Everything;
    std::uint16_t port = 0;
    int wake[2] = {-1, -1};
    std::atomic<bool> stopping{false};
    std::thread thread;
    std::list<Listener> listeners;
    std::list<Link> links;

    void run();
    void waitForEvents();
    void closeFinished();
    void accept(Listener& listener);
    void readFrom(Direction& d);
    std::string readReplies(Direction& d, const std::string& data);
    std::string relayed(const std::string& line);
    std::uint16_t openRelay(std::uint16_t target);
};

void DelayLine::Impl::run() {
    while (!stopping.load()) {
        for (Link& link : links)
            link.broken = link.broken || !deliver(link.up) || !deliver(link.down);
        closeFinished();
        waitForEvents();
    }
}

// Waits until a socket is ready or the first waiting chunk is due, and serves what is ready.
void DelayLine::Impl::waitForEvents() {
    std::vector<pollfd> fds{{wake[0], POLLIN, 0}};
    std::vector<std::function<void()>> handlers{[this] {
        char byte;
        (void)!read(wake[0], &byte, 1);
    }};
    for (Listener& listener : listeners) {
        fds.push_back({listener.fd, POLLIN, 0});
        handlers.emplace_back([this, &listener] { accept(listener); });
    }
    Clock::time_point next = Clock::time_point::max();
    for (Link& link : links) {
        for (Direction* d : {&link.up, &link.down}) {
            if (!d->ended && d->queued < kMaxQueued) {
                fds.push_back({d->from, POLLIN, 0});
                handlers.emplace_back([this, d] { readFrom(*d); });
            }
            if (d->blocked) {
                fds.push_back({d->to, POLLOUT, 0});
                handlers.emplace_back([d] { d->blocked = false; });
            } else if (!d->queue.empty()) {
                next = std::min(next, d->queue.front().due);
            }
        }
    }
    timespec wait{};
    if (next != Clock::time_point::max()) {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(next - Clock::now()).count();
        wait.tv_sec = ns > 0 ? ns / 1'000'000'000 : 0;
        wait.tv_nsec = ns > 0 ? ns % 1'000'000'000 : 0;
    }
    if (ppoll(fds.data(), fds.size(), next == Clock::time_point::max() ? nullptr : &wait, nullptr) <= 0)
        return;
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents != 0)
            handlers[i]();
    }
}

void DelayLine::Impl::closeFinished() {
    for (auto it = links.begin(); it != links.end();) {
        if (it->broken || (it->up.delivered && it->down.delivered)) {
            close(it->up.from);
            close(it->up.to);
            it = links.erase(it);
        } else {
            ++it;
        }
    }
    listeners.remove_if([](const Listener& listener) { return listener.fd < 0; });
}

void DelayLine::Impl::accept(Listener& listener) {
    const int client = ::accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
        return;
    const int server = connectLocal(listener.target);
    if (server < 0) {
        close(client);
        return;
    }
    if (!listener.control) {
        close(listener.fd);
        listener.fd = -1;
    }
    tune(client);
    tune(server);
    Link& link = links.emplace_back();
    link.up.from = link.down.to = client;
    link.up.to = link.down.from = server;
    link.down.readsReplies = listener.control && scope == Scope::Everything;
}

void DelayLine::Impl::readFrom(Direction& d) {
    static thread_local std::string buffer(kReadBytes, '\0');
    const ssize_t n = recv(d.from, buffer.data(), buffer.size(), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    const Clock::time_point due = Clock::now() + delay;
    if (n <= 0) { // the end, or a reset, which ends the stream the same way
        if (!d.partial.empty())
            push(d, due, std::exchange(d.partial, std::string()));
        push(d, due, std::string());
        d.ended = true;
        return;
    }
    std::string data = buffer.substr(0, std::size_t(n));
    if (d.readsReplies)
        data = readReplies(d, data);
    if (!data.empty())
        push(d, due, std::move(data));
}

// The complete reply lines in what came so far, each rewritten where it names a data port;
// an incomplete line waits in d.partial for the rest.
std::string DelayLine::Impl::readReplies(Direction& d, const std::string& data) {
    d.partial += data;
    std::string out;
    std::size_t start = 0;
    while (d.readsReplies) {
        const std::size_t end = d.partial.find('\n', start);
        if (end == std::string::npos)
            break;
        const std::string line = d.partial.substr(start, end + 1 - start);
        start = end + 1;
        // 234: AUTH TLS accepted, what follows is encrypted and passes unread (RFC 4217, 4).
        if (line.compare(0, 4, "234 ") == 0)
            d.readsReplies = false;
        out += relayed(line);
    }
    if (d.readsReplies) {
        d.partial.erase(0, start);
    } else {
        out += d.partial.substr(start);
        d.partial.clear();
    }
    return out;
}

// `line` with the data port of a 229 reply (RFC 2428, 3) or a 227 reply (RFC 959, 4.1.2)
// replaced by that of a data relay of this line; any other line as it is.
std::string DelayLine::Impl::relayed(const std::string& line) {
    if (line.compare(0, 4, "229 ") == 0) {
        const std::size_t open = line.find("(|||");
        const std::size_t close = open == std::string::npos ? open : line.find("|)", open + 4);
        if (close == std::string::npos)
            return line;
        const std::uint16_t relay =
            openRelay(std::uint16_t(std::stoi(line.substr(open + 4, close - open - 4))));
        return relay == 0 ? line : line.substr(0, open + 4) + std::to_string(relay) + line.substr(close);
    }
    if (line.compare(0, 4, "227 ") == 0) {
        const std::size_t first = line.find_first_of("0123456789", 4);
        int h[4], p1 = 0, p2 = 0, used = 0;
        if (first == std::string::npos || std::sscanf(line.c_str() + first, "%d,%d,%d,%d,%d,%d%n", &h[0],
                                                      &h[1], &h[2], &h[3], &p1, &p2, &used) != 6)
            return line;
        const std::uint16_t relay = openRelay(std::uint16_t(p1 * 256 + p2));
        if (relay == 0)
            return line;
        return line.substr(0, first) + "127,0,0,1," + std::to_string(relay / 256) + ',' +
               std::to_string(relay % 256) + line.substr(first + std::size_t(used));
    }
    return line;
}

// A data relay to the server's `target` port; its port, or 0.
std::uint16_t DelayLine::Impl::openRelay(std::uint16_t target) {
    std::uint16_t relay = 0;
    const int fd = listenLocal(relay);
    if (fd < 0)
        return 0;
    listeners.push_back({fd, target, false});
    return relay;
}

DelayLine::DelayLine(std::uint16_t upstreamPort, int oneWayMs, Scope scope)
    : impl_(std::make_unique<Impl>()) {
    impl_->upstream = upstreamPort;
    impl_->delay = std::chrono::milliseconds(oneWayMs);
    impl_->scope = scope;
}

DelayLine::~DelayLine() {
    stop();
}

bool DelayLine::start() {
    std::uint16_t port = 0;
    const int fd = listenLocal(port);
    if (fd < 0 || pipe2(impl_->wake, O_CLOEXEC) != 0) {
        if (fd >= 0)
            close(fd);
        return false;
    }
    impl_->port = port;
    impl_->listeners.push_back({fd, impl_->upstream, true});
    impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
    return true;
}

void DelayLine::stop() {
    if (!impl_->thread.joinable())
        return;
    impl_->stopping = true;
    (void)!write(impl_->wake[1], "x", 1);
    impl_->thread.join();
    for (Link& link : impl_->links) {
        close(link.up.from);
        close(link.up.to);
    }
    for (Listener& listener : impl_->listeners) {
        if (listener.fd >= 0)
            close(listener.fd);
    }
    impl_->links.clear();
    impl_->listeners.clear();
    close(impl_->wake[0]);
    close(impl_->wake[1]);
}

std::uint16_t DelayLine::port() const {
    return impl_->port;
}

} // namespace bench
