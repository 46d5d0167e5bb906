#include "ftp/component/sftp/KnownHosts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ftp::sftp::knownhosts {

QString userFile() {
    return QDir::homePath() + QStringLiteral("/.ssh/known_hosts");
}

bool append(const QString& path, const QByteArray& line, QString& error) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir() && ::mkdir(QFile::encodeName(folder).constData(), 0700) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd, line.constData() + done, size_t(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            return false;
        }
        done += n;
    }
    return ::close(fd) == 0;
}

} // namespace ftp::sftp::knownhosts
