#pragma once
// Moving bytes between a connected socket and a file without a copy through Qt's socket
// buffers: large reads straight from the system's socket, sendfile(2) for uploads and
// splice(2) through a pipe for downloads, so that the bytes never pass through memory of
// the program's own.
// Linux only; elsewhere isAvailable() is false and callers keep to the portable path.

#include <QString>
#include <QtGlobal>

namespace platform::directio {

// Whether the calls below do anything on this system.
bool isAvailable();

enum class Wait { Ready, Timeout, Failed };
// Waits up to `timeoutMs` for `socket` to have bytes (or its end) to read.
Wait waitReadable(qintptr socket, int timeoutMs);
// Waits up to `timeoutMs` for room to send on `socket`.
Wait waitWritable(qintptr socket, int timeoutMs);

// One read(2) from a non-blocking socket: the bytes read (> 0), 0 at the peer's orderly
// end, kWouldBlock when nothing is there yet, or kFailed with `error` set.
inline constexpr qint64 kWouldBlock = -2;
inline constexpr qint64 kFailed = -1;
qint64 readSome(qintptr socket, char* buffer, qint64 max, QString& error);

// One sendfile(2) of up to `count` bytes of `file` from `*offset` (advanced) to a
// non-blocking socket: the bytes sent (> 0), 0 at the file's end, kWouldBlock or kFailed.
qint64 sendFileSome(qintptr socket, int file, qint64* offset, qint64 count, QString& error);

// A pipe that carries spliced bytes from a socket to a file; closed with the object.
class SplicePipe {
public:
    SplicePipe();
    ~SplicePipe();
    SplicePipe(const SplicePipe&) = delete;
    SplicePipe& operator=(const SplicePipe&) = delete;
    bool isOpen() const { return ends_[0] >= 0; }
    int readEnd() const { return ends_[0]; }
    int writeEnd() const { return ends_[1]; }

private:
    int ends_[2] = {-1, -1};
};

// Moves up to `max` bytes from a non-blocking `socket` into `file` at the file's position
// (advanced) through `pipe`: the bytes moved (> 0), 0 at the peer's orderly end,
// kWouldBlock, kFailed (the socket failed) or kFileFailed (the file did), `error` set.
inline constexpr qint64 kFileFailed = -3;
qint64 spliceSome(qintptr socket, SplicePipe& pipe, int file, qint64 max, QString& error);

// Writes all `size` bytes to `file` at its position: false with `error` set when it cannot.
bool writeAll(int file, const char* bytes, qint64 size, QString& error);

// Bytes that a file already holds, seen through a read-only mapping of a window of it, so
// that what was just spliced into it can be looked over without a copy. Only bytes below
// the file's size may be read; the window is unmapped with the object or the next view.
class FileView {
public:
    explicit FileView(int file) : file_(file) {}
    ~FileView();
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;
    // The `size` bytes at `offset` in memory, or nullptr when they cannot be mapped.
    const char* view(qint64 offset, qint64 size);

private:
    void unmap();
    int file_;
    const char* base_ = nullptr;
    qint64 start_ = 0;
    qint64 length_ = 0;
};

// Reads `size` bytes at `offset` of `file` without moving its position: false with
// `error` set when fewer are there or the read fails.
bool readAt(int file, qint64 offset, char* buffer, qint64 size, QString& error);
// The position of an open file, or -1 when it has none.
qint64 positionOf(int file);
// Makes `size` the file's size and its position.
bool cutTo(int file, qint64 size, QString& error);

} // namespace platform::directio
