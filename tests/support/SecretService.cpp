#include "support/SecretService.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

namespace testing {

SecretService::~SecretService() {
    for (QProcess* daemon : {&keyring_, &bus_}) {
        daemon->kill();
        daemon->waitForFinished(3000);
    }
}

QString SecretService::start() {
    bus_.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!bus_.waitForReadyRead(10000))
        return QStringLiteral("dbus-daemon: ") + bus_.errorString();
    const QString address = QString::fromUtf8(bus_.readLine()).trimmed();
    const QString run = dir_.filePath(QStringLiteral("run"));
    QDir().mkpath(run + QStringLiteral("/keyring"));
    QFile::setPermissions(run, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir_.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir_.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    env.remove(QStringLiteral("GNOME_KEYRING_CONTROL"));
    keyring_.setProcessEnvironment(env);
    // It reads the login keyring's password until its input ends (with no login keyring
    // yet, it makes one). Its control folder is its own: it never finds, nor replaces, a
    // keyring daemon of the user's.
    keyring_.start(QStringLiteral("gnome-keyring-daemon"),
                   {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                    QStringLiteral("--components=secrets"),
                    QStringLiteral("--control-directory=") + run + QStringLiteral("/keyring")});
    keyring_.write("tessel-test-keyring");
    keyring_.waitForBytesWritten(10000);
    keyring_.closeWriteChannel();
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("tessel-test-secrets"));
    const QDeadlineTimer deadline(10000);
    while (!(bus.isConnected() &&
             bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")))) {
        if (deadline.hasExpired())
            return QStringLiteral("gnome-keyring-daemon: ") +
                   QString::fromUtf8(keyring_.readAllStandardError());
        QThread::msleep(50);
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    return QString();
}

} // namespace testing
