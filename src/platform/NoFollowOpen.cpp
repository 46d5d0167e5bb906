#include "platform/NoFollowOpen.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

bool openForAppendNoFollow(QFile& file, const QString& path) {
#ifdef Q_OS_UNIX
    // O_NOFOLLOW makes the check and the open one step: a link put in place between a
    // check and an open would otherwise still be followed.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0 && ::fchmod(fd, S_IRUSR | S_IWUSR) != 0)) {
        ::close(fd);
        return false;
    }
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isFile()))
        return false;
    file.setFileName(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
           file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
}

#ifdef Q_OS_UNIX
namespace {
FileIdentity identityFrom(const struct stat& info) {
    return {quint64(info.st_dev), quint64(info.st_ino)};
}
} // namespace
#endif

std::optional<FileIdentity> identityOf(int handle) {
#ifdef Q_OS_UNIX
    struct stat info {};
    if (handle < 0 || ::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return identityFrom(info);
#else
    // No identity here: every check below falls back to refusing links.
    return handle >= 0 ? std::optional<FileIdentity>(FileIdentity{}) : std::nullopt;
#endif
}

bool reopenSameFile(QFile& file, const QString& path, const FileIdentity& expected) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (identityOf(fd) != expected ||
        !file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    if (!pathNamesFile(path, expected))
        return false;
    file.setFileName(path);
    return file.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
#endif
}

bool pathNamesFile(const QString& path, const FileIdentity& expected) {
#ifdef Q_OS_UNIX
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           identityFrom(info) == expected;
#else
    const QFileInfo info(path);
    return !info.isSymLink() && info.isFile() && expected == FileIdentity{};
#endif
}

bool openForReadNoFollow(QFile& file, const QString& path) {
#ifdef Q_OS_UNIX
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return false;
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
#endif
}

} // namespace platform
