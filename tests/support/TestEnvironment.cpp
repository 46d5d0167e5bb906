#include "support/TestEnvironment.h"

#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>

namespace testing {

TestEnvironment::TestEnvironment() {
    QDir(dir_.path()).mkpath(QStringLiteral("app"));
    apppaths::overrideApplicationFolder(dir_.path() + QStringLiteral("/app"));
    apppaths::overrideSessionLogPath(dir_.path() + QStringLiteral("/state/TesselFTP/log.txt"));
}

TestEnvironment::~TestEnvironment() {
    apppaths::overrideApplicationFolder(QString());
    apppaths::overrideSessionLogPath(QString());
}

QString TestEnvironment::appFolder() const {
    return dir_.path() + QStringLiteral("/app/");
}
QString TestEnvironment::logPath() const {
    return apppaths::sessionLogPath();
}
QString TestEnvironment::path(const QString& name) const {
    return appFolder() + name;
}

void TestEnvironment::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile file(path(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray TestEnvironment::readFile(const QString& name) const {
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace testing
