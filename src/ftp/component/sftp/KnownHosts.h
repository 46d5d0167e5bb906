#pragma once
// OpenSSH's list of trusted host keys, ~/.ssh/known_hosts: libssh reads it (plain and
// hashed entries, "[host]:port" for other ports than 22); adding an entry is ours, so that
// the folder and the file are made owner-only as OpenSSH makes them.

#include <QByteArray>
#include <QString>

namespace ftp::sftp::knownhosts {

// "$HOME/.ssh/known_hosts".
QString userFile();

// Appends `line` (one entry and its newline) to `path`, creating its folder (0700) and the
// file (0600) when absent; a link at `path` is not followed. False with `error` when it
// cannot.
bool append(const QString& path, const QByteArray& line, QString& error);

} // namespace ftp::sftp::knownhosts
