#pragma once
// The permissions a new file gets when nothing else is asked for (0666 less the umask).

#include <QFileDevice>

namespace platform {

QFileDevice::Permissions newFilePermissions();

} // namespace platform
