// The SFTP engine's session: Connect (socket, SSH handshake, host key, authentication,
// the sftp subsystem) and the calls that end it.
#include "ftp/component/sftp/SftpEngine.h"

#include "ftp/component/CallControl.h"
#include "ftp/component/FtpEngine.h"
#include "ftp/component/HostLookup.h"
#include "ftp/component/RemotePath.h"
#include "ftp/component/SessionError.h"
#include "ftp/component/sftp/KnownHosts.h"
#include "ftp/component/sftp/SftpEngineCalls.h"
#include "platform/SocketConnect.h"

#include <QDir>
#include <QHostInfo>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace ftp::sftp {

namespace {

// The default key files, in the order OpenSSH tries them.
const char* const kKeyFiles[] = {"id_ed25519", "id_ecdsa", "id_rsa"};

} // namespace

SftpEngine::SftpEngine() {
    codec_.setUtf8(true); // SFTP version 3 names are UTF-8 by custom; other bytes are marked
}

SftpEngine::~SftpEngine() {
    forgetKeptTransfers();
    ssh_.close();
}

void SftpEngine::setCallControl(CallControl* control) {
    callControl_ = control;
    ssh_.setCallControl(control);
}

void SftpEngine::Close() {
    forgetKeptTransfers();
    if (ssh_.isOpen())
        logCommand(QStringLiteral("QUIT"));
    ssh_.close();
    if (state_ == State::LoggedIn)
        logReply(QStringLiteral("221 Goodbye."));
    transcript_.close();
    listing_.reset();
    password_.fill('\0');
    password_.clear();
    state_ = State::Closed;
}

QString SftpEngine::GetReply() {
    throwIfClosed();
    return lastReply_;
}

void SftpEngine::requireSession() {
    if (state_ == State::Closed)
        throw SessionError(SessionError::Closed, QStringLiteral("The session is closed."));
    if (state_ != State::LoggedIn)
        throw SessionError(SessionError::Closed, QStringLiteral("Not connected to a server."));
    if (!ssh_.isOpen())
        throw SessionError(SessionError::Closed,
                           QStringLiteral("The connection to the server has been lost."));
}

bool SftpEngine::reconnectAfter(const SessionError& error) {
    if (error.kind() != SessionError::Closed || state_ != State::LoggedIn)
        return false;
    // The folder is this side's: the new session goes on in it. A transfer that broke goes
    // on behind what it kept.
    const QString folder = currentFolder_;
    ssh_.close();
    hostKeyFailure_.clear();
    if (const int result = connectSession(QString(), user_, QString()); result != ConnectOk)
        endSession(error, result);
    currentFolder_ = folder;
    transcript_.note(QStringLiteral("再接続しました"));
    return true;
}

void SftpEngine::endSession(const SessionError& lost, int result) {
    const FtpError why = connectFailure(result, hostKeyFailure_);
    ssh_.close();
    transcript_.note(QStringLiteral("再接続できませんでした: ") + why.message());
    forgetKeptTransfers();
    listing_.reset();
    password_.fill('\0');
    password_.clear();
    lastError_ = why;
    state_ = State::NotConnected;
    FailureDetail detail = why.detail();
    detail.sessionEnded = true;
    throw SessionError(SessionError::Closed,
                       QStringLiteral("%1 Logging in again failed: %2").arg(lost.message(), why.message()),
                       detail);
}

void SftpEngine::keepAlive() {
    if (state_ != State::LoggedIn || !ssh_.isOpen())
        return;
    constexpr int kKeepAliveReplyMs = 10'000;
    const CancelShield shield(callControl_);
    // Not a request of the user's: a listing made before it is still current.
    const bool listed = listing_ && listing_->stamp == channel_.requestsSent();
    try {
        channel_.call(FxpRealpath, PacketWriter().string(QByteArrayLiteral(".")).bytes(),
                      std::min(timeouts_.replyMs, kKeepAliveReplyMs));
    } catch (const SessionError&) {
        ssh_.close(); // the next call logs in again
    }
    if (listed && listing_)
        listing_->stamp = channel_.requestsSent();
}

// --- Connect ---------------------------------------------------------------------------

int SftpEngine::Connect(const QString& server, const QString& user, const QString& password) {
    const auto flushed = transcriptFlushedAtEnd();
    throwIfClosed();
    if (state_ == State::LoggedIn && ssh_.isOpen())
        throw FtpError(QStringLiteral("Already connected."));
    forgetKeptTransfers();
    state_ = State::LoggingIn;
    hostKeyFailure_.clear();
    const auto address = parseServerAddress(server);
    int result = ConnectBadServerName;
    if (address && address->protocol == Protocol::Sftp && !holdsLineBreakOrNul(user) &&
        !holdsLineBreakOrNul(password)) {
        server_ = address->name;
        password_ = password.toUtf8();
        result = connectSession(server, user, password);
    } else if (address && address->protocol == Protocol::Sftp) {
        result = ConnectLoginRefused;
    }
    lastError_ = result == ConnectOk ? FtpError(QString()) : connectFailure(result, hostKeyFailure_);
    if (result != ConnectOk)
        ssh_.close();
    state_ = result == ConnectOk ? State::LoggedIn : State::NotConnected;
    return result;
}

int SftpEngine::connectSession(const QString& server, const QString& user, const QString& password) {
    (void)server;
    (void)password;
    user_ = user;
    listing_.reset();
    enum class Step { Connecting, Greeting, LoggingIn, SettingUp } step = Step::Connecting;
    try {
        if (const int result = openConnection(); result != ConnectOk)
            return result;
        step = Step::Greeting;
        if (const int result = checkHostKey(); result != ConnectOk)
            return result;
        step = Step::LoggingIn;
        if (const int result = logIn(); result != ConnectOk)
            return result;
        step = Step::SettingUp;
        startSftp();
        return ConnectOk;
    } catch (const SessionError& e) {
        hostKeyFailure_ = e.message();
        switch (e.kind()) {
        case SessionError::Cancelled:
            return ConnectCancelled;
        case SessionError::Timeout:
            return ConnectTimedOut;
        case SessionError::Network:
            return ConnectNetworkError;
        case SessionError::Closed:
            return step == Step::Greeting ? ConnectGreetingRefused : ConnectProtocolError;
        case SessionError::Local:
            return ConnectHostKeyRefused; // the known hosts could not be read
        default:
            return step == Step::SettingUp && e.kind() == SessionError::Refused ? ConnectGreetingRefused
                                                                                : ConnectProtocolError;
        }
    }
}

int SftpEngine::openConnection() {
    const QDeadlineTimer deadline(timeouts_.connectMs);
    const ServerAddresses server =
        addressesOf(server_.host, server_.isLiteral, timeouts_.connectMs, callControl_);
    if (server.failure != ConnectOk)
        return server.failure;
    const QList<QHostAddress>& addresses = server.addresses;
    int failure = ConnectNetworkError;
    for (const QHostAddress& address : std::as_const(addresses)) {
        platform::net::PendingConnect attempt(address, server_.port);
        using Outcome = platform::net::PendingConnect::Outcome;
        Outcome outcome = Outcome::Pending;
        while (outcome == Outcome::Pending) {
            if (callControl_ && callControl_->isCancelled())
                return ConnectCancelled;
            if (deadline.hasExpired())
                return ConnectTimedOut;
            outcome = attempt.wait(int(std::min<qint64>(deadline.remainingTime(), kCancelPollMs)));
        }
        if (outcome == Outcome::Connected) {
            const qintptr socket = attempt.take();
            platform::net::setKeepAlive(socket); // a connection whose peer vanished is found out
            ssh_.handshake(socket, server_.host, server_.port, timeouts_.connectMs);
            logReply(QStringLiteral("220 ") + ssh_.serverBanner());
            return ConnectOk;
        }
        if (outcome == Outcome::Refused)
            failure = ConnectRefused;
        else if (outcome == Outcome::TimedOut && failure != ConnectRefused)
            failure = ConnectTimedOut;
    }
    return failure;
}

int SftpEngine::checkHostKey() {
    HostKeyQuestion question = ssh_.hostKey();
    question.host = server_.host;
    question.port = server_.port;
    const HostKeyVerdict verdict = ssh_.knownHostVerdict();
    if (verdict == HostKeyVerdict::Known ||
        (verdict == HostKeyVerdict::Unknown && !acceptedKey_.isEmpty() && acceptedKey_ == question.sha256))
        return ConnectOk;
    question.changed = verdict == HostKeyVerdict::Changed;
    hostKeyFailure_ =
        question.changed ? QStringLiteral("The server's host key has changed (%1 %2): this may be an attack.")
                               .arg(question.keyType, question.sha256)
                         : QStringLiteral("The server's host key (%1 %2) is not known.")
                               .arg(question.keyType, question.sha256);
    transcript_.note(hostKeyFailure_);
    const HostKeyAnswer answer = hostKeyPrompt_ ? hostKeyPrompt_(question) : HostKeyAnswer{};
    if (question.changed || !answer.connect)
        return ConnectHostKeyRefused;
    hostKeyFailure_.clear();
    acceptedKey_ = question.sha256;
    if (answer.trustFromNowOn) {
        QString error;
        if (!knownhosts::append(knownhosts::userFile(), ssh_.knownHostsLine(), error))
            transcript_.note(
                QStringLiteral("Cannot add the host key to %1: %2").arg(knownhosts::userFile(), error));
    }
    return ConnectOk;
}

int SftpEngine::logInWith(const QString& method, const std::function<SshSession::Auth()>& attempt) {
    if (attempt() != SshSession::Auth::Success)
        return ConnectLoginRefused;
    logReply(QStringLiteral("230 Logged in (%1).").arg(method));
    return ConnectOk;
}

int SftpEngine::logIn() {
    // RFC 4252: "none" first, which also tells the methods the server allows.
    const QByteArray user = user_.toUtf8();
    logCommand(QStringLiteral("USER ") + user_);
    const auto deadline = [this] { return QDeadlineTimer(timeouts_.replyMs); };
    if (logInWith(QStringLiteral("none"), [&] { return ssh_.authNone(user, deadline()); }) == ConnectOk ||
        logInWith(QStringLiteral("agent"), [&] { return ssh_.authAgent(user, deadline()); }) == ConnectOk)
        return ConnectOk;
    const QString sshDir = QDir::homePath() + QStringLiteral("/.ssh/");
    for (const char* file : kKeyFiles) {
        const QString path = sshDir + QLatin1String(file);
        if (logInWith(QStringLiteral("publickey ") + QLatin1String(file),
                      [&] { return ssh_.authKeyFile(user, path, password_, deadline()); }) == ConnectOk)
            return ConnectOk;
    }
    const QString methods = ssh_.allowedMethods();
    if (methods.contains(QLatin1String("password")) || methods.contains(QLatin1String("keyboard"))) {
        logCommand(QStringLiteral("PASS ****"));
        if (logInWith(QStringLiteral("password"),
                      [&] { return ssh_.authPassword(user, password_, deadline()); }) == ConnectOk ||
            logInWith(QStringLiteral("keyboard-interactive"),
                      [&] { return ssh_.authKeyboard(user, password_, deadline()); }) == ConnectOk)
            return ConnectOk;
    }
    logReply(QStringLiteral("530 Permission denied (%1).").arg(ssh_.allowedMethods()));
    return ConnectLoginRefused;
}

void SftpEngine::startSftp() {
    ssh_.openSftp(QDeadlineTimer(timeouts_.replyMs));
    channel_.start(timeouts_.replyMs);
    logCommand(QStringLiteral("PWD"));
    loginFolder_ = realPath(QStringLiteral("."));
    if (!loginFolder_.startsWith(u'/'))
        loginFolder_ = QStringLiteral("/");
    currentFolder_ = loginFolder_;
    logReply(QStringLiteral("257 \"%1\" is the current directory").arg(loginFolder_));
}

namespace {

// What a failed connect says where nothing more particular is known, in the FTP engine's words.
QString plainConnectFailure(int result, int connectMs) {
    switch (result) {
    case ConnectHostNotFound:
        return QStringLiteral("The server name could not be resolved.");
    case ConnectRefused:
        return QStringLiteral("The server refused the connection.");
    case ConnectTimedOut:
        return QStringLiteral("No answer within %1 s.").arg(connectMs / 1000.0);
    case ConnectCancelled:
        return QStringLiteral("Cancelled by the user.");
    case ConnectBadServerName:
        return QStringLiteral("The server name is not usable.");
    default:
        return QStringLiteral("The connection failed (%1).").arg(result);
    }
}

} // namespace

FtpError SftpEngine::connectFailure(int result, const QString& why) const {
    FailureDetail detail;
    detail.connectResult = result;
    QString message = why;
    switch (result) {
    case ConnectTimedOut:
        detail.kind = FailureKind::Timeout;
        detail.timeoutMs = timeouts_.connectMs;
        break;
    case ConnectLoginRefused:
    case ConnectGreetingRefused:
    case ConnectHostKeyRefused:
        detail.kind = FailureKind::Refused;
        if (result == ConnectLoginRefused && lastReply_.startsWith(QLatin1String("530")))
            detail.serverReply = lastReply_.mid(4);
        break;
    case ConnectProtocolError:
        detail.kind = FailureKind::Garbage;
        break;
    case ConnectCancelled:
        detail.kind = FailureKind::Cancelled;
        break;
    case ConnectBadServerName:
        detail.kind = FailureKind::Local;
        break;
    default:
        detail.kind = FailureKind::Network;
        break;
    }
    if (message.isEmpty())
        message = plainConnectFailure(result, timeouts_.connectMs);
    return FtpError(message, detail);
}

} // namespace ftp::sftp

namespace ftp {

std::unique_ptr<FtpComponent> createSftpEngine() {
    return std::make_unique<sftp::SftpEngine>();
}

} // namespace ftp
