#pragma once
// Moving bytes between a connected socket and a file without a copy through Qt's socket
// buffers: large reads straight from the system's socket and sendfile(2) for uploads.
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

} // namespace platform::directio
