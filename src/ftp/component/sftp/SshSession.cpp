#include "ftp/component/sftp/SshSession.h"

#include "ftp/component/CallControl.h"
#include "ftp/component/SessionError.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>

#include <libssh/libssh.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace ftp::sftp {

struct SshSession::Handles {
    ssh_session session = nullptr;
    ssh_channel channel = nullptr;
    socket_t socket = -1;
};

namespace {

// A read that leaves the channel's window alone: within what libssh tops up by itself.
constexpr qint64 kQuietRead = 256 * 1024;

// libssh's own list, AES-GCM first where the processor has AES instructions: there it
// costs less per byte than ChaCha20-Poly1305, on both ends of a bulk transfer.
const char* cipherPreference() {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("aes") && __builtin_cpu_supports("pclmul"))
        return "aes128-gcm@openssh.com,aes256-gcm@openssh.com,chacha20-poly1305@openssh.com,"
               "aes256-ctr,aes192-ctr,aes128-ctr";
#endif
    return nullptr;
}

QByteArray homeSshFolder() {
    // HOME, as the rest of the program reads it (libssh would ask the password database).
    return QFile::encodeName(QDir::homePath() + QStringLiteral("/.ssh"));
}

// A peer that answers with lines of another protocol ("220 FTP ready") and no SSH
// identification (RFC 4253, section 4.2) within its first line is not an SSH server. Only
// a peek: libssh reads the identification itself. Waits at most `waitMs` for a line.
bool looksLikeOtherProtocol(int socket, int waitMs) {
    const QDeadlineTimer deadline(waitMs);
    char peeked[256];
    for (;;) {
        pollfd fd{socket, POLLIN, 0};
        if (::poll(&fd, 1, int(std::min<qint64>(deadline.remainingTime(), kCancelPollMs))) < 0)
            return false;
        const ssize_t n = ::recv(socket, peeked, sizeof peeked, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) {
            const QByteArray start(peeked, n);
            if (start.contains('\n') || n == sizeof peeked)
                return !start.startsWith("SSH-") && start.size() >= 4 && std::isdigit(uchar(start[0])) &&
                       std::isdigit(uchar(start[1])) && std::isdigit(uchar(start[2])) &&
                       (start[3] == ' ' || start[3] == '-');
        } else if (n == 0) {
            return false; // closed: libssh says so
        }
        if (deadline.hasExpired())
            return false;
    }
}

} // namespace

SshSession::SshSession() : h_(std::make_unique<Handles>()) {}

SshSession::~SshSession() {
    close();
}

void SshSession::fail(const QString& what) const {
    const QString detail = h_->session ? QString::fromUtf8(ssh_get_error(h_->session)) : QString();
    const QString message = detail.isEmpty() ? what : QStringLiteral("%1: %2").arg(what, detail);
    const bool lost = !h_->session || !ssh_is_connected(h_->session) ||
                      detail.contains(QLatin1String("disconnect"), Qt::CaseInsensitive) ||
                      detail.contains(QLatin1String("closed"), Qt::CaseInsensitive) ||
                      detail.contains(QLatin1String("Socket error"), Qt::CaseInsensitive);
    throw SessionError(lost ? SessionError::Closed : SessionError::Garbage, message);
}

void SshSession::waitSlice(const QDeadlineTimer& deadline, int timeoutMs, bool wantWrite) {
    if (control_ && control_->isCancelled())
        throw SessionError(SessionError::Cancelled, QStringLiteral("Cancelled by the user."));
    if (deadline.hasExpired())
        throw SessionError(SessionError::Timeout,
                           QStringLiteral("No answer within %1 s.").arg(timeoutMs / 1000.0),
                           FailureDetail(FailureKind::Timeout, timeoutMs));
    const int slice = int(std::min<qint64>(deadline.remainingTime(), kCancelPollMs));
    if (h_->channel && !wantWrite) {
        // libssh's own wait: it also sees what it has read from the socket but not yet
        // handed to the channel, which a poll on the socket would sleep through.
        ssh_channel_poll_timeout(h_->channel, slice, 0);
        return;
    }
    const bool pendingOut = h_->session && (ssh_get_poll_flags(h_->session) & SSH_WRITE_PENDING);
    pollfd fd{h_->socket, short(POLLIN | (wantWrite || pendingOut ? POLLOUT : 0)), 0};
    ::poll(&fd, 1, slice);
    if (pendingOut && (fd.revents & POLLOUT))
        ssh_blocking_flush(h_->session, 0);
}

int SshSession::pump(const std::function<int()>& step, int again, const QDeadlineTimer& deadline) {
    for (;;) {
        const int result = step();
        if (result != again)
            return result;
        waitSlice(deadline, timeoutMs_, false);
    }
}

void SshSession::handshake(qintptr socket, const QString& host, quint16 port, int timeoutMs) {
    close();
    h_->socket = socket_t(socket);
    timeoutMs_ = timeoutMs;
    const QDeadlineTimer deadline(timeoutMs);
    if (looksLikeOtherProtocol(h_->socket, std::min(timeoutMs, 2'000))) {
        close();
        throw SessionError(SessionError::Garbage, QStringLiteral("The server does not speak SSH."));
    }
    h_->session = ssh_new();
    if (!h_->session) {
        ::close(h_->socket);
        h_->socket = -1;
        throw SessionError(SessionError::Local, QStringLiteral("Out of memory."));
    }
    const QByteArray hostBytes = host.toUtf8();
    const unsigned int portNumber = port;
    const int noConfig = 0;
    const int noDelay = 1;
    const QByteArray sshDir = homeSshFolder();
    const QByteArray knownHosts = sshDir + "/known_hosts";
    ssh_options_set(h_->session, SSH_OPTIONS_FD, &h_->socket);
    ssh_options_set(h_->session, SSH_OPTIONS_HOST, hostBytes.constData());
    ssh_options_set(h_->session, SSH_OPTIONS_PORT, &portNumber);
    ssh_options_set(h_->session, SSH_OPTIONS_PROCESS_CONFIG, &noConfig);
    ssh_options_set(h_->session, SSH_OPTIONS_NODELAY, &noDelay);
    ssh_options_set(h_->session, SSH_OPTIONS_SSH_DIR, sshDir.constData());
    ssh_options_set(h_->session, SSH_OPTIONS_KNOWNHOSTS, knownHosts.constData());
    if (const char* ciphers = cipherPreference()) {
        ssh_options_set(h_->session, SSH_OPTIONS_CIPHERS_C_S, ciphers);
        ssh_options_set(h_->session, SSH_OPTIONS_CIPHERS_S_C, ciphers);
    }
    ssh_set_blocking(h_->session, 0);
    if (pump([this] { return ssh_connect(h_->session); }, SSH_AGAIN, deadline) != SSH_OK)
        fail(QStringLiteral("The SSH handshake failed"));
}

QString SshSession::serverBanner() const {
    const char* banner = h_->session ? ssh_get_serverbanner(h_->session) : nullptr;
    return banner ? QString::fromUtf8(banner) : QString();
}

HostKeyQuestion SshSession::hostKey() const {
    HostKeyQuestion question;
    ssh_key key = nullptr;
    if (!h_->session || ssh_get_server_publickey(h_->session, &key) != SSH_OK)
        fail(QStringLiteral("The server showed no host key"));
    unsigned char* hash = nullptr;
    size_t length = 0;
    if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length) == SSH_OK) {
        // OpenSSH's form: base64 without its padding.
        question.sha256 =
            QStringLiteral("SHA256:") +
            QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(hash), qsizetype(length))
                                    .toBase64(QByteArray::OmitTrailingEquals));
        ssh_clean_pubkey_hash(&hash);
    }
    question.keyType = QString::fromLatin1(ssh_key_type_to_char(ssh_key_type(key)));
    ssh_key_free(key);
    return question;
}

HostKeyVerdict SshSession::knownHostVerdict() const {
    switch (ssh_session_is_known_server(h_->session)) {
    case SSH_KNOWN_HOSTS_OK:
        return HostKeyVerdict::Known;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER: // a key of another type is listed: OpenSSH warns too
        return HostKeyVerdict::Changed;
    case SSH_KNOWN_HOSTS_UNKNOWN:
    case SSH_KNOWN_HOSTS_NOT_FOUND:
        return HostKeyVerdict::Unknown;
    case SSH_KNOWN_HOSTS_ERROR:
        break;
    }
    throw SessionError(
        SessionError::Local,
        QStringLiteral("Cannot read the known hosts: %1").arg(QString::fromUtf8(ssh_get_error(h_->session))));
}

QByteArray SshSession::knownHostsLine() const {
    char* entry = nullptr;
    if (ssh_session_export_known_hosts_entry(h_->session, &entry) != SSH_OK || !entry)
        fail(QStringLiteral("Cannot write the host key down"));
    QByteArray line(entry);
    ssh_string_free_char(entry);
    if (!line.endsWith('\n'))
        line.append('\n');
    return line;
}

SshSession::Auth SshSession::authResult(int code) {
    switch (code) {
    case SSH_AUTH_SUCCESS:
        return Auth::Success;
    case SSH_AUTH_PARTIAL:
        return Auth::Partial;
    case SSH_AUTH_DENIED:
        return Auth::Denied;
    default:
        fail(QStringLiteral("The authentication failed"));
    }
}

SshSession::Auth SshSession::authNone(const QByteArray& user, const QDeadlineTimer& deadline) {
    if (!user.isEmpty())
        ssh_options_set(h_->session, SSH_OPTIONS_USER, user.constData());
    return authResult(
        pump([this] { return ssh_userauth_none(h_->session, nullptr); }, SSH_AUTH_AGAIN, deadline));
}

SshSession::Auth SshSession::authAgent(const QByteArray& user, const QDeadlineTimer& deadline) {
    (void)user;
    if (qEnvironmentVariableIsEmpty("SSH_AUTH_SOCK") ||
        !(ssh_userauth_list(h_->session, nullptr) & SSH_AUTH_METHOD_PUBLICKEY))
        return Auth::Denied;
    const int code =
        pump([this] { return ssh_userauth_agent(h_->session, nullptr); }, SSH_AUTH_AGAIN, deadline);
    // An agent that cannot be reached is no reason to give the other methods up.
    return code == SSH_AUTH_ERROR && ssh_is_connected(h_->session) ? Auth::Denied : authResult(code);
}

SshSession::Auth SshSession::authKeyFile(const QByteArray& user, const QString& privatePath,
                                         const QByteArray& passphrase, const QDeadlineTimer& deadline) {
    (void)user;
    if (!(ssh_userauth_list(h_->session, nullptr) & SSH_AUTH_METHOD_PUBLICKEY) || !QFile::exists(privatePath))
        return Auth::Denied;
    const QByteArray path = QFile::encodeName(privatePath);
    ssh_key publicKey = nullptr;
    ssh_key privateKey = nullptr;
    const auto freeKeys = qScopeGuard([&] {
        ssh_key_free(publicKey);
        ssh_key_free(privateKey);
    });
    const char* secret = passphrase.isEmpty() ? nullptr : passphrase.constData();
    // The public half is offered first (RFC 4252, section 7), so that an encrypted key the
    // server would not take is never unlocked.
    if (ssh_pki_import_pubkey_file(QByteArray(path + ".pub").constData(), &publicKey) != SSH_OK) {
        if (ssh_pki_import_privkey_file(path.constData(), secret, nullptr, nullptr, &privateKey) != SSH_OK ||
            ssh_pki_export_privkey_to_pubkey(privateKey, &publicKey) != SSH_OK)
            return Auth::Denied;
    }
    const int offer = pump([&] { return ssh_userauth_try_publickey(h_->session, nullptr, publicKey); },
                           SSH_AUTH_AGAIN, deadline);
    if (offer != SSH_AUTH_SUCCESS)
        return authResult(offer);
    if (!privateKey &&
        ssh_pki_import_privkey_file(path.constData(), secret, nullptr, nullptr, &privateKey) != SSH_OK)
        return Auth::Denied; // encrypted, and the password box does not unlock it
    return authResult(pump([&] { return ssh_userauth_publickey(h_->session, nullptr, privateKey); },
                           SSH_AUTH_AGAIN, deadline));
}

SshSession::Auth SshSession::authPassword(const QByteArray& user, const QByteArray& password,
                                          const QDeadlineTimer& deadline) {
    (void)user;
    if (!(ssh_userauth_list(h_->session, nullptr) & SSH_AUTH_METHOD_PASSWORD))
        return Auth::Denied;
    return authResult(pump([&] { return ssh_userauth_password(h_->session, nullptr, password.constData()); },
                           SSH_AUTH_AGAIN, deadline));
}

SshSession::Auth SshSession::authKeyboard(const QByteArray& user, const QByteArray& password,
                                          const QDeadlineTimer& deadline) {
    (void)user;
    if (!(ssh_userauth_list(h_->session, nullptr) & SSH_AUTH_METHOD_INTERACTIVE))
        return Auth::Denied;
    const auto round = [&] {
        return pump([&] { return ssh_userauth_kbdint(h_->session, nullptr, nullptr); }, SSH_AUTH_AGAIN,
                    deadline);
    };
    int code = round();
    // A server may ask in several rounds (an empty one often ends it); only lone prompts
    // are answered, with the password.
    for (int rounds = 0; code == SSH_AUTH_INFO && rounds < 4; ++rounds) {
        const int prompts = ssh_userauth_kbdint_getnprompts(h_->session);
        if (prompts > 1)
            return Auth::Denied;
        if (prompts == 1 && ssh_userauth_kbdint_setanswer(h_->session, 0, password.constData()) < 0)
            return Auth::Denied;
        code = round();
    }
    return code == SSH_AUTH_INFO ? Auth::Denied : authResult(code);
}

QString SshSession::allowedMethods() const {
    const int methods = h_->session ? ssh_userauth_list(h_->session, nullptr) : 0;
    QStringList names;
    if (methods & SSH_AUTH_METHOD_PUBLICKEY)
        names.append(QStringLiteral("publickey"));
    if (methods & SSH_AUTH_METHOD_PASSWORD)
        names.append(QStringLiteral("password"));
    if (methods & SSH_AUTH_METHOD_INTERACTIVE)
        names.append(QStringLiteral("keyboard-interactive"));
    return names.join(u',');
}

void SshSession::openSftp(const QDeadlineTimer& deadline) {
    h_->channel = ssh_channel_new(h_->session);
    untilGrant_ = 0;
    if (!h_->channel)
        fail(QStringLiteral("Cannot open a channel"));
    if (pump([this] { return ssh_channel_open_session(h_->channel); }, SSH_AGAIN, deadline) != SSH_OK)
        fail(QStringLiteral("The server refused a session channel"));
    if (pump([this] { return ssh_channel_request_subsystem(h_->channel, "sftp"); }, SSH_AGAIN, deadline) !=
        SSH_OK)
        throw SessionError(SessionError::Refused, QStringLiteral("The server does not offer SFTP."));
}

qint64 SshSession::readSome(char* buffer, qint64 size) {
    if (!h_->channel)
        throw SessionError(SessionError::Closed,
                           QStringLiteral("The connection to the server has been lost."));
    // libssh 0.10 opens the channel's window (what the server may send before waiting,
    // RFC 4254, section 5.2) only as far as a read asks beyond what it holds, else it tops
    // it up to about 1.25 MB. A read of `size` asks for that window; only once a quarter of
    // it has come, so that the adjustments stay few. A timeout of 0 returns at once.
    const qint64 ask = std::min<qint64>(size, 1 << 30);
    const bool grant = untilGrant_ <= 0;
    const int n = ssh_channel_read_timeout(h_->channel, buffer,
                                           uint32_t(grant ? ask : std::min<qint64>(ask, kQuietRead)), 0, 0);
    untilGrant_ = (grant ? ask / 4 : untilGrant_) - std::max(n, 0);
    if (n == SSH_ERROR)
        fail(QStringLiteral("The connection to the server has been lost"));
    if (n == 0 && (ssh_channel_is_eof(h_->channel) || !ssh_is_connected(h_->session)))
        throw SessionError(SessionError::Closed, QStringLiteral("The server closed the connection."));
    return n;
}

qint64 SshSession::writeSome(const char* data, qint64 size) {
    if (!h_->channel || ssh_channel_is_closed(h_->channel))
        throw SessionError(SessionError::Closed,
                           QStringLiteral("The connection to the server has been lost."));
    const uint32_t window = ssh_channel_window_size(h_->channel);
    if (window == 0 || size == 0)
        return 0;
    const int n = ssh_channel_write(h_->channel, data, uint32_t(std::min<qint64>(size, window)));
    if (n == SSH_ERROR)
        fail(QStringLiteral("The connection to the server has been lost"));
    return n;
}

bool SshSession::isOpen() const {
    return h_->channel && h_->session && ssh_is_connected(h_->session) &&
           !ssh_channel_is_closed(h_->channel) && !ssh_channel_is_eof(h_->channel);
}

void SshSession::close() {
    if (h_->channel) {
        ssh_channel_free(h_->channel);
        h_->channel = nullptr;
    }
    if (h_->session) {
        // Sends SSH_MSG_DISCONNECT where the socket takes it, and closes the socket.
        ssh_disconnect(h_->session);
        ssh_free(h_->session);
        h_->session = nullptr;
        h_->socket = -1;
    } else if (h_->socket >= 0) {
        ::close(h_->socket);
        h_->socket = -1;
    }
}

} // namespace ftp::sftp
