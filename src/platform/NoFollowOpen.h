#pragma once
// Opening a file for appending or reading without following a symbolic link at its path: a
// link planted there by someone else must not decide where the program's writes go or what
// it trusts.

#include <QFile>
#include <QString>

namespace platform {

// Opens `path` for appending, creating it owner-only (0600) when missing and making an
// existing file owner-only. False, with `file` closed, when `path` is a symbolic link or
// anything but a regular file, or cannot be opened.
bool openForAppendNoFollow(QFile& file, const QString& path);

// Opens `path` for reading when it is a regular file and not a symbolic link; a FIFO or a
// device there never blocks the caller. False, with `file` closed, otherwise.
bool openForReadNoFollow(QFile& file, const QString& path);

} // namespace platform
