// The session beyond single calls: the keep-alive between them, and logging in again when a
// call finds the control connection gone.
#include "ftp/component/FtpEngine.h"

#include "ftp/component/CallControl.h"
#include "ftp/component/EngineCalls.h"

#include <QLoggingCategory>

namespace ftp {

namespace {

// How long the keep-alive waits for its reply: a server that slow is given up, and the
// next call logs in again.
constexpr int kKeepAliveReplyMs = 10'000;

Q_LOGGING_CATEGORY(keepAliveLog, "tessel.ftp.keepalive", QtWarningMsg)

} // namespace

void FtpEngine::keepAlive() {
    if (state_ != SessionState::LoggedIn || !control_.isOpen())
        return;
    // Between calls: nothing of it may pass for the user's own exchange, and a cancel left
    // over from the last call is not meant for it.
    const ControlChannel::Quiet quiet(control_);
    const CancelShield shield(callControl_);
    try {
        control_.checkAlive();
        const Reply reply =
            control_.exchange(keepAliveCommand_, std::min(timeouts_.replyMs, kKeepAliveReplyMs));
        // RFC 959, section 4.2: 421 is the server closing the connection.
        if (reply.code != 421)
            return;
        control_.drop();
    } catch (const SessionError& e) {
        // A silent server loses the connection (readReply drops it); the next call logs in
        // again. It says nothing about which command the server counts.
        if (e.kind() != SessionError::Closed)
            return;
    }
    // The server dropped the session although a command came every interval: its idle
    // timer passes NOOP over (RFC 959 lets NOOP do nothing at all). PWD asks something of
    // the session and changes nothing, so it is the keep-alive from now on.
    if (keepAliveCommand_ == u"NOOP") {
        keepAliveCommand_ = QStringLiteral("PWD");
        qCDebug(keepAliveLog, "session dropped despite NOOP: keeping it alive with PWD");
    }
}

bool FtpEngine::reconnectAfter(const SessionError& error) {
    // An end of stream, a reset or a TLS alert has closed the connection already; a 421
    // reply (RFC 959, section 4.2) says the server is closing it.
    const bool lost = (error.kind() == SessionError::Closed && !control_.isOpen()) ||
                      (error.kind() == SessionError::Refused && control_.lastReply().code == 421);
    // A session the user ended with QUIT (its 221, RFC 959, section 4.2) stays ended.
    if (!lost || state_ != SessionState::LoggedIn || loginServer_.isEmpty() ||
        control_.lastReply().code == 221)
        return false;
    const QString folder = userFolder_;
    control_.drop();
    const quint64 opensBefore = control_.opens();
    const quint64 repliesBefore = control_.repliesRead();
    // The same login as the user's: TLS again, the certificate checked again.
    const int result = connectSession(loginServer_, loginUser_, loginPassword_);
    if (result != ConnectOk)
        endSession(error, connectFailure(result, control_.opens() != opensBefore,
                                         control_.repliesRead() != repliesBefore));
    // Back where the user was; a folder that has gone since leaves the session where the
    // server put it.
    if (!folder.isEmpty()) {
        try {
            changeFolder(folder);
        } catch (const SessionError& e) {
            if (e.kind() != SessionError::Refused)
                throw;
        }
    }
    transcript_.note(QStringLiteral("再接続しました"));
    return true;
}

void FtpEngine::endSession(const SessionError& lost, const FtpError& why) {
    control_.drop();
    transcript_.note(QStringLiteral("再接続できませんでした: ") + why.message());
    forgetKeptTransfers();
    forgetLogin();
    listing_.reset();
    lastError_ = why;
    setState(SessionState::NotConnected);
    FailureDetail detail = why.detail();
    detail.sessionEnded = true;
    throw SessionError(SessionError::Closed,
                       QStringLiteral("%1 Logging in again failed: %2").arg(lost.message(), why.message()),
                       detail);
}

void FtpEngine::forgetLogin() {
    loginPassword_.fill(QChar(u'\0'));
    loginPassword_.clear();
    loginUser_.clear();
    loginServer_.clear();
    userFolder_.clear();
    acceptedFingerprint_.clear();
    clearTextAccepted_ = false;
}

} // namespace ftp
