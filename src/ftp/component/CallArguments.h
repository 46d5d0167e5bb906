#pragma once
// The checks both engines make of a transfer's arguments before anything is sent: each
// throws SessionError (Local) for an argument no server should see.

#include <QString>

namespace ftp {

// A remote path the server may be sent: not empty, no line break, no NUL.
void checkRemotePath(const QString& path);
// A download of `remotePath` into the file `localPath` in `mode`.
void checkDownloadArguments(const QString& remotePath, const QString& localPath, int mode);
// An upload of the file `localPath` into `remoteDir`; the name it is stored under.
QString checkedUploadName(const QString& localPath, const QString& remoteDir, int mode);

} // namespace ftp
