#pragma once
// A Secret Service of the test's own: a private D-Bus session bus (dbus-daemon) with GNOME
// Keyring's secrets component on it (Debian's gnome-keyring), its login keyring created
// and unlocked with a throw-away password in a temporary home, so no real keyring is
// touched. start() points this process's DBUS_SESSION_BUS_ADDRESS at that bus: call it
// before anything in the process first talks to the session bus (libsecret keeps its
// first connection). Both daemons stop when the object dies.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace testing {

class SecretService {
public:
    SecretService() = default;
    ~SecretService();
    SecretService(const SecretService&) = delete;
    SecretService& operator=(const SecretService&) = delete;

    // True once the keyring answers on the bus; otherwise see errorString().
    bool start();
    QString errorString() const { return error_; }
    // The keyring's private home (its files are under data/keyrings).
    QString home() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QProcess bus_, keyring_;
    QString address_, error_;
    bool startBus();
    bool startKeyring();
    bool waitForSecrets();
};

} // namespace testing
