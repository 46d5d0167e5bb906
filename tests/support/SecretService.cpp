#include "support/SecretService.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

namespace testing {

namespace {

constexpr int kStartMs = 10000;
const QString kSecretsName = QStringLiteral("org.freedesktop.secrets");

} // namespace

SecretService::~SecretService() {
    for (QProcess* daemon : {&keyring_, &bus_}) {
        if (daemon->state() == QProcess::NotRunning)
            continue;
        daemon->terminate();
        if (!daemon->waitForFinished(3000)) {
            daemon->kill();
            daemon->waitForFinished(3000);
        }
    }
}

bool SecretService::start() {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    for (const char* sub : {"data", "config", "run/keyring"})
        QDir(dir_.path()).mkpath(QLatin1String(sub));
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    QFile::setPermissions(dir_.filePath(QStringLiteral("run")), ownerOnly);
    QFile::setPermissions(dir_.filePath(QStringLiteral("run/keyring")), ownerOnly);
    if (!startBus() || !startKeyring() || !waitForSecrets())
        return false;
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
    return true;
}

// A session bus of its own; it prints the address clients reach it at.
bool SecretService::startBus() {
    bus_.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    const QDeadlineTimer deadline(kStartMs);
    while (!bus_.canReadLine() && bus_.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    address_ = QString::fromUtf8(bus_.readLine()).trimmed();
    if (address_.isEmpty())
        error_ = QStringLiteral("dbus-daemon did not start: %1").arg(bus_.errorString());
    return !address_.isEmpty();
}

// The keyring reads the login keyring's password from its standard input; with none yet,
// it creates the login keyring with it, which is where new secrets go. Its control
// folder is its own, so it never finds (nor replaces) a keyring daemon of the user's.
bool SecretService::startKeyring() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir_.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir_.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "GNOME_KEYRING_CONTROL"})
        env.remove(QLatin1String(name));
    keyring_.setProcessEnvironment(env);
    keyring_.start(QStringLiteral("gnome-keyring-daemon"),
                   {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                    QStringLiteral("--components=secrets"),
                    QStringLiteral("--control-directory=") + dir_.filePath(QStringLiteral("run/keyring"))});
    if (!keyring_.waitForStarted(kStartMs)) {
        error_ = QStringLiteral("gnome-keyring-daemon did not start: %1").arg(keyring_.errorString());
        return false;
    }
    keyring_.write("tessel-test-keyring");
    keyring_.waitForBytesWritten(kStartMs); // it reads until the end of its input
    keyring_.closeWriteChannel();
    return true;
}

// Ready once the keyring owns the Secret Service's name on the bus.
bool SecretService::waitForSecrets() {
    QDBusConnection bus = QDBusConnection::connectToBus(address_, QStringLiteral("tessel-test-secrets"));
    const QDeadlineTimer deadline(kStartMs);
    bool owned = false;
    while (bus.isConnected() && !(owned = bus.interface()->isServiceRegistered(kSecretsName)) &&
           !deadline.hasExpired() && keyring_.state() == QProcess::Running)
        QThread::msleep(50);
    QDBusConnection::disconnectFromBus(QStringLiteral("tessel-test-secrets"));
    if (!owned)
        error_ = QStringLiteral("the keyring never answered on the bus: %1")
                     .arg(QString::fromUtf8(keyring_.readAllStandardError()));
    return owned;
}

} // namespace testing
