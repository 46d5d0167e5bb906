#pragma once
// Opening a file for appending or reading without following a symbolic link at its path: a
// link planted there by someone else must not decide where the program's writes go or what
// it trusts.

#include <QFile>
#include <QString>

#include <optional>

namespace platform {

// Opens `path` for appending, creating it owner-only (0600) when missing and making an
// existing file owner-only. False, with `file` closed, when `path` is a symbolic link or
// anything but a regular file, or cannot be opened.
bool openForAppendNoFollow(QFile& file, const QString& path);

// Which file an open file is (device and inode), so that a later open by its path can
// tell that the path still names that file and not one put there since.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
// The identity of the regular file open as `handle`; nothing when it cannot be told.
std::optional<FileIdentity> identityOf(int handle);
// Opens the regular file at `path` for reading and writing (unbuffered), without following
// a link there and only when it is the file `expected` names. False, with `file` closed,
// otherwise.
bool reopenSameFile(QFile& file, const QString& path, const FileIdentity& expected);
// Whether `path` itself (a link there is not followed) is the file `expected` names.
bool pathNamesFile(const QString& path, const FileIdentity& expected);
// Opens `path` for reading when it is a regular file and not a symbolic link; a FIFO or a
// device there never blocks the caller. False, with `file` closed, otherwise.
bool openForReadNoFollow(QFile& file, const QString& path);

} // namespace platform
