#pragma once
// The permissions a new file gets when nothing else is asked for (0666 less the umask),
// and folders made owner-only.

#include <QFileDevice>
#include <QString>

namespace platform {

QFileDevice::Permissions newFilePermissions();

// Makes the missing folders of `folder`, each owner-only (0700); folders that are there
// already keep their permissions. False when `folder` is not a folder afterwards.
bool makeOwnerOnlyFolders(const QString& folder);

} // namespace platform
