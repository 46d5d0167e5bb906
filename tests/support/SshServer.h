#pragma once
// A real SFTP server for net tests: OpenSSH's sshd on 127.0.0.1 at a free port, with a
// host key made for the test, a config in a temporary folder and internal-sftp starting in
// the folder the test chooses.
//
//     testing::SshServer server;
//     QVERIFY2(server.start(rootDir), qPrintable(server.errorString()));
//     server.authorize(publicKeyFile);            // key logins for SshServer::keyUser()
//     engine.Connect(server.serverName(), ...);
//
// Key logins are for the user the tests run as (sshd as that user serves only it).
// Password logins need the account kPasswordUser, which root creates once
// (passwordAccount()); other users get false there and skip those rows.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace testing {

class SshServer {
public:
    static inline const QString kPasswordUser = QStringLiteral("tesselsftp");
    static inline const QString kPassword = QStringLiteral("Tessel-sftp-1");

    SshServer();
    ~SshServer();

    // Starts serving `rootDir` (the login folder); false with errorString() when it cannot.
    bool start(const QString& rootDir);
    void stop();
    // Restarts on the same port with `lines` ahead of the usual settings (sshd keeps the
    // first value given for a keyword); empty: the usual settings alone.
    bool restartWith(const QString& lines);
    // A new host key (of `type`) and a restart on the same port: the server's key changed.
    bool changeHostKey(const QString& type = QStringLiteral("ed25519"));
    // Ends the server's per-connection processes: every session drops, the server stays.
    void dropSessions();

    // Lets the key in `publicKeyFile` log in as keyUser().
    void authorize(const QString& publicKeyFile);
    static QString keyUser();
    // Creates kPasswordUser once (root only) and gives it kPassword; false when not root.
    static bool passwordAccount();

    quint16 port() const { return port_; }
    QString serverName() const;
    // The known_hosts line for the server's key, as ssh-keyscan would print it.
    QByteArray knownHostsLine() const;
    // "SHA256:..." as ssh-keygen -l prints it.
    QString fingerprint() const;
    QString errorString() const { return error_; }

    // Makes an ed25519 key pair at `path` (and `path`.pub), encrypted when `passphrase` is set.
    static bool makeKey(const QString& path, const QString& passphrase = QString());

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString root_;
    QString extra_;
    QString error_;
    bool launch();
};

} // namespace testing
