#pragma once
// Opening a file for appending without following a symbolic link at its path: a link
// planted there by someone else must not decide where the program's writes go.

#include <QFile>
#include <QString>

namespace platform {

// Opens `path` for appending, creating it owner-only (0600) when missing and making an
// existing file owner-only. False, with `file` closed, when `path` is a symbolic link or
// anything but a regular file, or cannot be opened.
bool openForAppendNoFollow(QFile& file, const QString& path);

} // namespace platform
