#include "platform/DirectIo.h"

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/sendfile.h>
#include <unistd.h>
#endif

namespace platform::directio {

#ifdef Q_OS_LINUX

namespace {

Wait waitFor(qintptr socket, short events, int timeoutMs) {
    pollfd entry{int(socket), events, 0};
    for (;;) {
        const int n = ::poll(&entry, 1, timeoutMs);
        if (n > 0)
            return Wait::Ready; // errors and hang-ups show in the next read or send
        if (n == 0)
            return Wait::Timeout;
        if (errno != EINTR)
            return Wait::Failed;
    }
}

QString errorText(int number) {
    return QString::fromLocal8Bit(std::strerror(number));
}

} // namespace

bool isAvailable() {
    return true;
}

Wait waitReadable(qintptr socket, int timeoutMs) {
    return waitFor(socket, POLLIN, timeoutMs);
}

Wait waitWritable(qintptr socket, int timeoutMs) {
    return waitFor(socket, POLLOUT, timeoutMs);
}

qint64 readSome(qintptr socket, char* buffer, qint64 max, QString& error) {
    for (;;) {
        const ssize_t n = ::read(int(socket), buffer, size_t(max));
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return kWouldBlock;
        error = errorText(errno);
        return kFailed;
    }
}

qint64 sendFileSome(qintptr socket, int file, qint64* offset, qint64 count, QString& error) {
    for (;;) {
        off_t at = off_t(*offset);
        const ssize_t n = ::sendfile(int(socket), file, &at, size_t(count));
        if (n >= 0) {
            *offset = qint64(at);
            return n;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return kWouldBlock;
        error = errorText(errno);
        return kFailed;
    }
}

#else

bool isAvailable() {
    return false;
}
Wait waitReadable(qintptr, int) {
    return Wait::Failed;
}
Wait waitWritable(qintptr, int) {
    return Wait::Failed;
}
qint64 readSome(qintptr, char*, qint64, QString& error) {
    error = QStringLiteral("not available on this system");
    return kFailed;
}
qint64 sendFileSome(qintptr, int, qint64*, qint64, QString& error) {
    error = QStringLiteral("not available on this system");
    return kFailed;
}

#endif

} // namespace platform::directio
