#include "platform/FileModes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

// The process's umask as the kernel reports it ("Umask:\t0022"); the usual 022 elsewhere.
int currentUmask() {
#ifdef Q_OS_LINUX
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const int mask = line.mid(6).trimmed().toInt(&ok, 8);
                if (ok)
                    return mask;
            }
        }
    }
#endif
    return 022;
}

} // namespace

QFileDevice::Permissions newFilePermissions() {
    const int mode = 0666 & ~currentUmask();
    QFileDevice::Permissions permissions;
    const std::pair<int, QFileDevice::Permissions> bits[] = {
        {0400, QFileDevice::ReadOwner | QFileDevice::ReadUser},
        {0200, QFileDevice::WriteOwner | QFileDevice::WriteUser},
        {0040, QFileDevice::ReadGroup},
        {0020, QFileDevice::WriteGroup},
        {0004, QFileDevice::ReadOther},
        {0002, QFileDevice::WriteOther},
    };
    for (const auto& [bit, permission] : bits) {
        if (mode & bit)
            permissions |= permission;
    }
    return permissions;
}

bool makeOwnerOnlyFolders(const QString& folder) {
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (info.exists())
        return false;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !makeOwnerOnlyFolders(parent))
        return false;
    return QDir().mkdir(info.absoluteFilePath(),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner) ||
           QFileInfo(folder).isDir();
}

} // namespace platform
