#pragma once
// The engine's one seam over libssh: an SSH connection over a socket the engine opened,
// its host key, the user's authentication and one channel running the "sftp" subsystem
// (RFC 4254, section 6.5). libssh runs non-blocking; every wait polls the socket in
// slices of kCancelPollMs, so a cancel is seen between them while the operation itself
// goes on until it ends, the deadline passes or the user cancels.

#include "ftp/component/CallControl.h"
#include "ftp/component/HostKeys.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <functional>

namespace ftp::sftp {

class SshSession {
public:
    SshSession();
    ~SshSession();
    SshSession(const SshSession&) = delete;
    SshSession& operator=(const SshSession&) = delete;

    void setCallControl(CallControl* control) { control_ = control; }

    // Runs the key exchange over `socket` (connected; the session closes it) with the
    // server known as `host`:`port`. Throws SessionError: Garbage for a peer that does
    // not speak SSH, Closed when it hangs up, Timeout, Cancelled.
    void handshake(qintptr socket, const QString& host, quint16 port, int timeoutMs);
    // The server's identification line ("SSH-2.0-OpenSSH_9.2p1 ...").
    QString serverBanner() const;
    // The key the server proved it holds, and what the known-hosts files say about it.
    HostKeyQuestion hostKey() const;
    HostKeyVerdict knownHostVerdict() const;
    // The line OpenSSH would add to known_hosts for this server's key (with its newline).
    QByteArray knownHostsLine() const;

    enum class Auth { Success, Denied, Partial };
    // Each method once, in the order the caller chooses; each throws SessionError when the
    // connection fails underneath it.
    Auth authNone(const QByteArray& user, const QDeadlineTimer& deadline);
    Auth authAgent(const QByteArray& user, const QDeadlineTimer& deadline);
    // The key pair at `privatePath` (its public half in `privatePath`.pub, else taken from
    // the private file); `passphrase` unlocks an encrypted one.
    Auth authKeyFile(const QByteArray& user, const QString& privatePath, const QByteArray& passphrase,
                     const QDeadlineTimer& deadline);
    Auth authPassword(const QByteArray& user, const QByteArray& password, const QDeadlineTimer& deadline);
    // Keyboard-interactive (RFC 4256) answering a lone prompt with `password`.
    Auth authKeyboard(const QByteArray& user, const QByteArray& password, const QDeadlineTimer& deadline);
    // The methods the server still allows ("publickey,password"), after a denial.
    QString allowedMethods() const;

    // Opens a session channel and starts the "sftp" subsystem on it.
    void openSftp(const QDeadlineTimer& deadline);

    // Channel I/O, never blocking: what is there now (0 if nothing), and what the channel's
    // window and the socket take now (0 if nothing). Throw SessionError::Closed when the
    // channel or the connection has ended.
    // A read of `size` also keeps the channel's window open to about `size` bytes.
    qint64 readSome(char* buffer, qint64 size);
    qint64 writeSome(const char* data, qint64 size);
    // One slice of waiting for the socket (reading, and writing when `wantWrite`), at most
    // kCancelPollMs. Throws SessionError: Cancelled when the user cancelled, Timeout when
    // `deadline` has passed (`timeoutMs` is what it stood for).
    void waitSlice(const QDeadlineTimer& deadline, int timeoutMs, bool wantWrite);

    bool isOpen() const;
    // Ends the channel and the connection; never raises.
    void close();

private:
    struct Handles;
    std::unique_ptr<Handles> h_;
    CallControl* control_ = nullptr;
    int timeoutMs_ = 0;
    qint64 untilGrant_ = 0; // bytes to read before the window is opened wide again

    // Calls `step` until it stops answering `again`, waiting a slice between calls.
    int pump(const std::function<int()>& step, int again, const QDeadlineTimer& deadline);
    Auth authResult(int code);
    [[noreturn]] void fail(const QString& what) const;
};

} // namespace ftp::sftp
