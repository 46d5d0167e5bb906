#pragma once
// GNOME Keyring's Secret Service on a private D-Bus session bus, its login keyring created
// and unlocked with a throw-away password in a temporary home: no real keyring is touched.
// start() points this process's DBUS_SESSION_BUS_ADDRESS at that bus; call it before the
// session bus is first used (libsecret keeps its first connection). Both daemons stop
// when the object dies.

#include <QProcess>
#include <QTemporaryDir>

namespace testing {

class SecretService {
public:
    ~SecretService();
    QString start(); // empty once the keyring answers on the bus, else what went wrong
    QString home() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QProcess bus_, keyring_;
};

} // namespace testing
