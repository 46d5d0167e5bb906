#include "platform/DirectIo.h"

#ifdef Q_OS_LINUX
#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
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

// Repeats `put` (given the bytes left, returning those it took or -1 with errno) until
// all `size` bytes are taken; false with `error` set when the file takes no more.
template <typename Put> bool putAll(qint64 size, Put put, QString& error) {
    while (size > 0) {
        const ssize_t n = put(size);
        if (n > 0) {
            size -= n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            error = n == 0 ? QStringLiteral("the file took no more bytes") : errorText(errno);
            return false;
        }
    }
    return true;
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

SplicePipe::SplicePipe() {
    if (::pipe2(ends_, O_CLOEXEC) != 0) {
        ends_[0] = ends_[1] = -1;
        return;
    }
    // A pipe as large as one stream step moves a step in one go; the default (64 KiB)
    // would take sixteen. Refused above the system's limit: the default stays.
    ::fcntl(ends_[1], F_SETPIPE_SZ, 1024 * 1024);
}

SplicePipe::~SplicePipe() {
    for (const int end : ends_) {
        if (end >= 0)
            ::close(end);
    }
}

qint64 spliceSome(qintptr socket, SplicePipe& pipe, int file, qint64 max, QString& error) {
    ssize_t taken;
    for (;;) {
        taken = ::splice(int(socket), nullptr, pipe.writeEnd(), nullptr, size_t(max),
                         SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        if (taken >= 0)
            break;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return kWouldBlock;
        error = errorText(errno);
        return kFailed;
    }
    // The pipe is emptied before the step ends: the next step starts with it empty.
    const auto fromPipe = [&](qint64 left) {
        return ::splice(pipe.readEnd(), nullptr, file, nullptr, size_t(left), SPLICE_F_MOVE);
    };
    if (!putAll(taken, fromPipe, error))
        return kFileFailed;
    return taken;
}

bool writeAll(int file, const char* bytes, qint64 size, QString& error) {
    return putAll(
        size,
        [&](qint64 left) {
            const ssize_t n = ::write(file, bytes, size_t(left));
            if (n > 0)
                bytes += n;
            return n;
        },
        error);
}

FileView::~FileView() {
    unmap();
}

const char* FileView::view(qint64 offset, qint64 size) {
    if (base_ && offset >= start_ && offset + size <= start_ + length_)
        return base_ + (offset - start_);
    unmap();
    // Windows of 8 MiB from a page boundary, so that a mapping serves many reads; the
    // part beyond the file's end is never touched.
    constexpr qint64 kWindow = 8 * 1024 * 1024;
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    const qint64 start = offset - offset % page;
    const qint64 length = std::max(kWindow, offset - start + size);
    void* base = ::mmap(nullptr, size_t(length), PROT_READ, MAP_SHARED, file_, off_t(start));
    if (base == MAP_FAILED)
        return nullptr;
    base_ = static_cast<const char*>(base);
    start_ = start;
    length_ = length;
    return base_ + (offset - start_);
}

void FileView::unmap() {
    if (base_)
        ::munmap(const_cast<char*>(base_), size_t(length_));
    base_ = nullptr;
    start_ = length_ = 0;
}

bool readAt(int file, qint64 offset, char* buffer, qint64 size, QString& error) {
    while (size > 0) {
        const ssize_t n = ::pread(file, buffer, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n == 0 ? QStringLiteral("the file ended early") : errorText(errno);
            return false;
        }
        buffer += n;
        offset += n;
        size -= n;
    }
    return true;
}

qint64 positionOf(int file) {
    return qint64(::lseek(file, 0, SEEK_CUR));
}

bool cutTo(int file, qint64 size, QString& error) {
    if (::ftruncate(file, off_t(size)) != 0 || ::lseek(file, off_t(size), SEEK_SET) < 0) {
        error = errorText(errno);
        return false;
    }
    return true;
}

#else

FileView::~FileView() = default;
const char* FileView::view(qint64, qint64) {
    return nullptr;
}
void FileView::unmap() {}
bool readAt(int, qint64, char*, qint64, QString& error) {
    error = QStringLiteral("not available on this system");
    return false;
}
qint64 positionOf(int) {
    return -1;
}
bool cutTo(int, qint64, QString& error) {
    error = QStringLiteral("not available on this system");
    return false;
}

SplicePipe::SplicePipe() = default;
SplicePipe::~SplicePipe() = default;

qint64 spliceSome(qintptr, SplicePipe&, int, qint64, QString& error) {
    error = QStringLiteral("not available on this system");
    return kFailed;
}

bool writeAll(int, const char*, qint64, QString& error) {
    error = QStringLiteral("not available on this system");
    return false;
}

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
