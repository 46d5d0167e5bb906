#include "ftp/component/CallArguments.h"

#include "ftp/component/RemotePath.h"
#include "ftp/component/SessionError.h"

#include <QDir>
#include <QFileInfo>

namespace ftp {

namespace {

void checkMode(int mode) {
    if (mode != TextMode && mode != BinaryMode)
        throw SessionError(SessionError::Local, QStringLiteral("Unknown transfer mode %1.").arg(mode));
}

} // namespace

void checkRemotePath(const QString& path) {
    if (path.isEmpty() || holdsLineBreakOrNul(path))
        throw SessionError(
            SessionError::Local,
            QStringLiteral("The remote path is empty or holds a line break or a NUL character."));
}

void checkDownloadArguments(const QString& remotePath, const QString& localPath, int mode) {
    checkMode(mode);
    checkRemotePath(remotePath);
    if (localPath.isEmpty() || localPath.endsWith(u'/') || localPath.endsWith(QDir::separator()) ||
        QFileInfo(localPath).isDir())
        throw SessionError(SessionError::Local,
                           QStringLiteral("\"%1\" names a folder, not a file.").arg(localPath));
}

QString checkedUploadName(const QString& localPath, const QString& remoteDir, int mode) {
    checkMode(mode);
    const QFileInfo info(localPath);
    if (!info.isFile())
        throw SessionError(SessionError::Local, QStringLiteral("\"%1\" is not a file.").arg(localPath));
    const QString name = info.fileName();
    if (holdsLineBreakOrNul(remoteDir) || holdsLineBreakOrNul(name))
        throw SessionError(SessionError::Local,
                           QStringLiteral("The path holds a line break or a NUL character."));
    return name;
}

} // namespace ftp
