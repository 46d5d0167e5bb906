#pragma once
// A real FTP server for net tests: pyftpdlib (Debian's python3-pyftpdlib) run by
// /usr/bin/python3 on 127.0.0.1 at a free port, serving a folder the test chooses.
//
//     testing::PyFtpServer server;
//     const quint16 port = server.start(rootDir);   // 0 when it could not start
//     engine.Connect(server.serverName(), PyFtpServer::kUser, PyFtpServer::kPassword);
//
// Accounts, both rooted at rootDir:
//   - kUser / kPassword ("user" / "secret"): may list, read, write, delete, rename, make
//     and remove folders;
//   - "anonymous" (any password): may only list and read.
// The server announces UTF8, EPSV and MLST (so MLSD), answers in UTF-8, and refuses a
// bad password at once (no delay). It stops when stop() is called or the object dies.
// Set TESSEL_PYFTPD_LOG=1 to see the server's own log on stderr.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace testing {

class PyFtpServer {
public:
    static inline const QString kUser = QStringLiteral("user");
    static inline const QString kPassword = QStringLiteral("secret");

    PyFtpServer();
    ~PyFtpServer();
    PyFtpServer(const PyFtpServer&) = delete;
    PyFtpServer& operator=(const PyFtpServer&) = delete;

    // Without TLS; explicit TLS after AUTH TLS; implicit TLS from the first byte; explicit
    // TLS whose data connections stay plain although PROT P is granted (a broken server);
    // explicit TLS that refuses PROT P (534), so the data connections stay plain.
    enum class Tls { None, Explicit, Implicit, ClearData, ClearOnly };

    // Starts serving `rootDir` and returns the port, or 0 (see errorString()). With TLS,
    // `certificate` is a PEM file holding the certificate and its key. Port 0: any free one.
    quint16 start(const QString& rootDir, Tls tls = Tls::None, const QString& certificate = QString(),
                  quint16 port = 0);
    void stop();
    // From the next start(), the first download's data connection is reset (426) once
    // `bytes` have been sent (0: never); `withSession`: its control connection is closed too.
    void dropFirstDownloadAfter(qint64 bytes, bool withSession = false) {
        dropAfter_ = bytes;
        dropSession_ = withSession;
    }
    // From the next start(), TLS data connections end without TLS's close alert.
    void endDataWithoutCloseAlert() { dataEnd_ = DataEnd::NoCloseAlert; }
    // From the next start(), TLS data connections, after their close alert, wait for the
    // client's before they close (as vsftpd does).
    void holdDataAfterCloseAlert() { dataEnd_ = DataEnd::HeldAfterCloseAlert; }
    // From the next start(), a session idle for `seconds` (0: never) is closed with a 421;
    // with `noopCounts` false, NOOP is not activity.
    void closeIdleSessionsAfter(int seconds, bool noopCounts = true) { idle_ = {seconds, noopCounts}; }

    bool isRunning() const;
    quint16 port() const { return port_; }
    // "ftp://127.0.0.1:<port>": plain FTP, as the tests that are not about TLS speak it.
    QString serverName() const;
    // "127.0.0.1:<port>", the bare form (TLS tried first).
    QString hostAndPort() const;
    QString errorString() const { return error_; }

private:
    QProcess process_;
    QTemporaryDir scriptDir_;
    quint16 port_ = 0;
    qint64 dropAfter_ = 0;
    bool dropSession_ = false;
    std::pair<int, bool> idle_{0, true};
    enum class DataEnd { Closed, NoCloseAlert, HeldAfterCloseAlert } dataEnd_ = DataEnd::Closed;
    QString error_;
};

} // namespace testing
