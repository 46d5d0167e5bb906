#include "ftp/component/FtpEngine.h"

#include "ftp/component/CallControl.h"
#include "ftp/component/CertificateCheck.h"
#include "ftp/component/EngineCalls.h"
#include "ftp/component/HostLookup.h"
#include "ftp/component/LineEnds.h"
#include "ftp/component/RemotePath.h"
#include "ftp/component/ServerName.h"
#include "ftp/component/SessionError.h"
#include "ftp/component/TransferChecks.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QSslSocket>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace ftp {

namespace {

QString verbOf(const QString& line) {
    const QString trimmed = line.trimmed();
    const qsizetype space = trimmed.indexOf(u' ');
    return (space < 0 ? trimmed : trimmed.left(space)).toUpper();
}

} // namespace

FtpEngine::FtpEngine() : control_(transcript_, codec_) {}

FtpEngine::~FtpEngine() {
    forgetKeptTransfers();
    forgetLogin();
    control_.drop();
}

void FtpEngine::setCallControl(CallControl* control) {
    callControl_ = control;
    control_.setCallControl(control);
}

Q_LOGGING_CATEGORY(engineState, "tessel.ftp.state", QtWarningMsg)

void FtpEngine::setState(SessionState next) {
    static const char* const names[] = {"NotConnected", "LoggingIn", "LoggedIn", "Closed"};
    qCDebug(engineState, "session %s -> %s", names[int(state_)], names[int(next)]);
    state_ = next;
}

void FtpEngine::Close() {
    forgetKeptTransfers();
    if (control_.isOpen()) {
        try {
            control_.checkAlive();
            // A polite goodbye, but a silent server must not hold the window for long.
            control_.exchange(QStringLiteral("QUIT"), std::min(timeouts_.replyMs, 5'000));
        } catch (const SessionError&) {
            // The session is ending anyway.
        }
    }
    control_.drop();
    transcript_.close();
    listing_.reset();
    forgetLogin();
    setState(SessionState::Closed);
}

QString FtpEngine::GetReply() {
    throwIfClosed();
    return control_.lastReply().text();
}

TlsStatus FtpEngine::tlsStatus() const {
    ControlChannel& control = const_cast<ControlChannel&>(control_);
    if (state_ != SessionState::LoggedIn || !control.isOpen() || !control.transport().isEncrypted())
        return {};
    return {true, control.transport().tlsProtocolName(), control.transport().tlsCipherName(), dataTls_};
}

void FtpEngine::requireSession() {
    if (state_ == SessionState::Closed)
        throw SessionError(SessionError::Closed, QStringLiteral("The session is closed."));
    if (state_ != SessionState::LoggedIn)
        throw SessionError(SessionError::Closed, QStringLiteral("Not connected to a server."));
    if (!control_.isOpen())
        throw SessionError(SessionError::Closed,
                           QStringLiteral("The connection to the server has been lost."));
    control_.checkAlive();
}

// --- Connect ---------------------------------------------------------------------------

int FtpEngine::Connect(const QString& server, const QString& user, const QString& password) {
    const auto flushed = transcriptFlushedAtEnd();
    throwIfClosed();
    if (state_ == SessionState::LoggedIn && control_.isOpen())
        throw FtpError(QStringLiteral("Already connected."));
    forgetKeptTransfers();
    setState(SessionState::LoggingIn);
    const quint64 opensBefore = control_.opens();
    const quint64 repliesBefore = control_.repliesRead();
    loginServer_ = server;
    loginUser_ = user;
    loginPassword_ = password;
    userFolder_.clear();
    const int result = connectSession(server, user, password);
    if (result != ConnectOk)
        forgetLogin();
    lastError_ = result == ConnectOk ? FtpError(QString())
                                     : connectFailure(result, control_.opens() != opensBefore,
                                                      control_.repliesRead() != repliesBefore);
    if (result != ConnectOk)
        control_.drop();
    setState(result == ConnectOk ? SessionState::LoggedIn : SessionState::NotConnected);
    return result;
}

namespace {

// What the caller learns of a Connect result whose message says all there is to say.
struct FixedConnectFailure {
    int result;
    FailureKind kind;
    const char* message;
};
const FixedConnectFailure kFixedConnectFailures[] = {
    {ConnectHostNotFound, FailureKind::Network, "The server name could not be resolved."},
    {ConnectRefused, FailureKind::Network, "The server refused the connection."},
    {ConnectGreetingRefused, FailureKind::Refused, "The server refused the session."},
    {ConnectLoginRefused, FailureKind::Refused, "The server refused the session."},
    {ConnectBadServerName, FailureKind::Local, "The server name is not usable."},
    {ConnectProtocolError, FailureKind::Garbage, "The server's replies make no sense."},
    {ConnectCancelled, FailureKind::Cancelled, "Cancelled by the user."},
    {ConnectClearTextRefused, FailureKind::Refused, "The server refused TLS; no login without it."},
    {ConnectTlsDowngrade, FailureKind::Refused,
     "The server spoke TLS before and now refuses it; no login without it."},
};

} // namespace

FtpError FtpEngine::connectFailure(int result, bool reachedServer, bool gotReply) const {
    FailureDetail detail;
    detail.connectResult = result;
    QString message;
    const auto fixed = std::find_if(std::begin(kFixedConnectFailures), std::end(kFixedConnectFailures),
                                    [&](const FixedConnectFailure& f) { return f.result == result; });
    if (fixed != std::end(kFixedConnectFailures)) {
        detail.kind = fixed->kind;
        message = QString::fromUtf8(fixed->message);
    } else if (result == ConnectTimedOut) {
        detail.kind = FailureKind::Timeout;
        // Before the connection was made the connect timeout ran out, after it a reply's.
        detail.timeoutMs = reachedServer ? timeouts_.replyMs : timeouts_.connectMs;
        message = QStringLiteral("No answer within %1 s.").arg(detail.timeoutMs / 1000.0);
    } else if (result == ConnectTlsFailed) {
        detail.kind = FailureKind::Network;
        message = tlsFailure_.isEmpty() ? QStringLiteral("TLS could not be set up.") : tlsFailure_;
    } else if (result == ConnectCertificateRefused) {
        detail.kind = FailureKind::Refused;
        message = tlsFailure_.isEmpty() ? QStringLiteral("The server's certificate was not accepted.")
                                        : tlsFailure_;
    } else {
        detail.kind = FailureKind::Network;
        message = QStringLiteral("The connection failed (%1).").arg(result);
    }
    // The reply that ended the attempt, when it was the server's answer to this attempt.
    const Reply& last = control_.lastReply();
    if (gotReply && last.code != 0 && (last.isRefusal() || result == ConnectProtocolError)) {
        detail.serverReply = last.oneLine();
        message += u' ' + detail.serverReply;
    }
    return FtpError(message, detail);
}

int FtpEngine::connectSession(const QString& server, const QString& user, const QString& password) {
    const auto address = parseServerAddress(server);
    if (!address || address->protocol != Protocol::Ftp) // sftp:// is the SFTP engine's
        return ConnectBadServerName;
    // A line break in the user name or password would end USER or PASS early and send
    // the rest as a command of its own.
    if (holdsLineBreakOrNul(user) || holdsLineBreakOrNul(password))
        return ConnectLoginRefused;
    server_ = *address;
    dataTls_ = false;
    type_ = 0;
    uniqueFacts_.reset();
    walkedFacts_.clear();
    madeFolders_.clear();
    currentFolder_.clear();
    tlsFailure_.clear();
    listing_.reset();

    const bool implicitTls = address->tls == TlsMode::Implicit;
    const std::pair<LoginStep, std::function<int()>> steps[] = {
        {LoginStep::Connecting, [&] { return openConnection(address->name); }},
        {LoginStep::Securing, [&] { return implicitTls ? secureControl() : int(ConnectOk); }},
        {LoginStep::Greeting, [&] { return readGreeting(); }},
        {LoginStep::Securing, [&] { return negotiateTls(); }},
        {LoginStep::LoggingIn, [&] { return logIn(user, password); }},
        {LoginStep::SettingUp,
         [&] {
             readFeatures();
             return protectData();
         }},
        {LoginStep::SettingUp,
         [&] {
             // The type is set by the first transfer that needs one: a listing does not.
             readLoginFolder();
             return int(ConnectOk);
         }},
    };
    LoginStep step = LoginStep::Connecting;
    try {
        for (const auto& [which, run] : steps) {
            step = which;
            if (const int result = run(); result != ConnectOk)
                return result;
        }
    } catch (const SessionError& e) {
        const int result = connectResultFor(e, step);
        if (result == ConnectTlsFailed)
            tlsFailure_ = QString::fromUtf8(e.what());
        return result;
    }
    return ConnectOk;
}

int FtpEngine::connectResultFor(const SessionError& error, LoginStep step) {
    switch (error.kind()) {
    case SessionError::Cancelled:
        return ConnectCancelled;
    case SessionError::Timeout:
        return ConnectTimedOut;
    case SessionError::Network:
        return ConnectNetworkError;
    case SessionError::Closed:
        // A server that hangs up instead of greeting turns the connection away.
        if (step == LoginStep::Greeting)
            return ConnectGreetingRefused;
        return step == LoginStep::Securing ? ConnectTlsFailed : ConnectProtocolError;
    default:
        return ConnectProtocolError;
    }
}

int FtpEngine::openConnection(const ServerName& name) {
    const QDeadlineTimer connectDeadline(timeouts_.connectMs);
    const ServerAddresses server = addressesOf(name.host, name.isLiteral, timeouts_.connectMs, callControl_);
    if (server.failure != ConnectOk)
        return server.failure;
    const QList<QHostAddress>& addresses = server.addresses;

    int failure = ConnectNetworkError;
    for (const QHostAddress& address : std::as_const(addresses)) {
        const qint64 left = connectDeadline.remainingTime();
        if (left == 0)
            return ConnectTimedOut;
        if (control_.transport().connectTo(address, name.port, int(left))) {
            control_.setOpen();
            control_.transport().setKeepAlive(true);
            // Until the server announces UTF8, everything goes in CP932.
            codec_.setUtf8(false);
            return ConnectOk;
        }
        if (control_.transport().wasCancelled())
            return ConnectCancelled;
        switch (control_.transport().error()) {
        case QAbstractSocket::ConnectionRefusedError:
            failure = ConnectRefused;
            break;
        case QAbstractSocket::SocketTimeoutError:
            failure = ConnectTimedOut;
            break;
        default:
            if (failure != ConnectRefused && failure != ConnectTimedOut)
                failure = ConnectNetworkError;
            break;
        }
    }
    return failure;
}

int FtpEngine::readGreeting() {
    // RFC 959, section 5.4: 120 means "wait", then 220; anything else turns us away.
    const QDeadlineTimer deadline(timeouts_.replyMs);
    Reply reply = control_.readReply(deadline, timeouts_.replyMs);
    while (reply.code == 120)
        reply = control_.readReply(deadline, timeouts_.replyMs);
    if (reply.code == 220)
        return ConnectOk;
    return reply.isRefusal() ? ConnectGreetingRefused : ConnectProtocolError;
}

int FtpEngine::negotiateTls() {
    if (server_.tls == TlsMode::Off || server_.tls == TlsMode::Implicit)
        return ConnectOk;
    // RFC 4217, section 4: AUTH TLS before anything of the login, so that neither the user
    // name nor the password crosses the network before the outcome is known.
    const Reply reply = control_.exchange(QStringLiteral("AUTH TLS"), timeouts_.replyMs);
    if (reply.code == 234)
        return secureControl();
    // Section 11 and what servers answer without TLS: not understood, not offered, not
    // before a login, or not configured.
    static constexpr int kRefusals[] = {500, 502, 504, 530, 534};
    if (std::find(std::begin(kRefusals), std::end(kRefusals), reply.code) == std::end(kRefusals))
        return ConnectProtocolError;
    return server_.tls == TlsMode::Required ? ConnectLoginRefused : allowClearText(reply);
}

int FtpEngine::allowClearText(const Reply& refusal) {
    // A server that secured a session before does not lose TLS by itself: someone between
    // may have answered for it.
    if (trustStore_.spokeTls(server_.name.host, server_.name.port))
        return ConnectTlsDowngrade;
    // Logging in again after a lost connection asks nothing the user answered before.
    if (clearTextAccepted_)
        return ConnectOk;
    if (!clearTextPrompt_)
        return ConnectClearTextRefused;
    const ClearTextQuestion question{server_.name.host, server_.name.port, refusal.oneLine()};
    clearTextAccepted_ = clearTextPrompt_(question);
    return clearTextAccepted_ ? ConnectOk : ConnectClearTextRefused;
}

int FtpEngine::secureControl() {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    // The chain is judged after the handshake, where the user may be asked about it.
    configuration.setPeerVerifyMode(QSslSocket::QueryPeer);
    // Keeps the server's session ticket, which every data connection resumes.
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    Transport& transport = control_.transport();
    if (!transport.startTls(configuration, server_.name.host, timeouts_.connectMs)) {
        if (transport.wasCancelled())
            return ConnectCancelled;
        if (transport.error() == QAbstractSocket::SocketTimeoutError)
            return ConnectTimedOut;
        tlsFailure_ = QStringLiteral("The TLS handshake failed: %1").arg(transport.errorString());
        return ConnectTlsFailed;
    }
    const int result = checkCertificate();
    // From now on this server never goes without TLS in the bare form.
    if (result == ConnectOk)
        trustStore_.rememberTls(server_.name.host, server_.name.port);
    return result;
}

int FtpEngine::checkCertificate() {
    const QList<QSslCertificate> chain = control_.transport().peerCertificateChain();
    if (chain.isEmpty()) {
        tlsFailure_ = QStringLiteral("The server sent no certificate.");
        return ConnectCertificateRefused;
    }
    // The handshake judged the chain already; QSslCertificate::verify() would read the
    // whole system trust store again, a tenth of a second of processor time each time.
    const QList<QSslError> errors = control_.transport().tlsHandshakeErrors();
    if (errors.isEmpty())
        return ConnectOk;
    const QString fingerprint = sha256Fingerprint(chain.constFirst());
    const TrustStore::Verdict verdict = trustStore_.check(server_.name.host, server_.name.port, fingerprint);
    // The user trusted the certificate while it was valid; once it is not, they are asked again.
    if (verdict == TrustStore::Verdict::Trusted && isWithinValidity(chain.constFirst()))
        return ConnectOk;
    // Accepted for this session, which is logging in again.
    if (!acceptedFingerprint_.isEmpty() && fingerprint == acceptedFingerprint_)
        return ConnectOk;
    tlsFailure_ =
        QStringLiteral("The server's certificate is not trusted: %1").arg(errors.constFirst().errorString());
    if (!certificatePrompt_)
        return ConnectCertificateRefused;
    CertificateQuestion question = describeCertificate(chain.constFirst(), errors);
    question.host = server_.name.host;
    question.port = server_.name.port;
    question.changed = verdict == TrustStore::Verdict::Changed;
    const CertificateAnswer answer = certificatePrompt_(question);
    if (!answer.connect)
        return ConnectCertificateRefused;
    if (answer.trustFromNowOn)
        trustStore_.trust(server_.name.host, server_.name.port, fingerprint);
    acceptedFingerprint_ = fingerprint;
    tlsFailure_.clear();
    return ConnectOk;
}

int FtpEngine::logIn(const QString& user, const QString& password) {
    // Line breaks were refused before connecting; both lines must fit the server's
    // encoding before either goes out, and are sent as encoded here.
    const QString userLine = QStringLiteral("USER ") + user;
    const QString passLine = QStringLiteral("PASS ") + password;
    const std::optional<QByteArray> userBytes = codec_.encodeCommand(userLine);
    const std::optional<QByteArray> passBytes = codec_.encodeCommand(passLine);
    if (!userBytes || !passBytes)
        return ConnectLoginRefused;
    // RFC 959, section 4.1.1: 230 right after USER means no password is asked.
    Reply reply = control_.exchange(userLine, timeouts_.replyMs, &*userBytes);
    if (reply.code == 331)
        reply = control_.exchange(passLine, timeouts_.replyMs, &*passBytes);
    if (reply.code == 230 || reply.code == 202)
        return ConnectOk;
    return reply.isRefusal() || reply.code == 332 ? ConnectLoginRefused : ConnectProtocolError;
}

void FtpEngine::readFeatures() {
    // RFC 2389: one feature per line, each line starting with a blank.
    features_ = Features{};
    const Reply reply = control_.exchange(QStringLiteral("FEAT"), timeouts_.replyMs);
    if (reply.code == 211) {
        for (qsizetype i = 1; i + 1 < reply.lines.size(); ++i) {
            const QString feature = reply.lines.at(i).trimmed().section(u' ', 0, 0).toUpper();
            if (feature == u"MLST") // with the facts it offers (RFC 3659, section 7.9)
                features_.mlstFacts = reply.lines.at(i).trimmed().section(u' ', 1);
            if (feature == u"MLST" || feature == u"MLSD") // RFC 3659, section 7.8: MLST implies MLSD
                features_.mlsd = true;
            else if (feature == u"MFMT")
                features_.mfmt = true;
            else if (feature == u"EPSV")
                features_.epsv = true;
            else if (feature == u"UTF8")
                features_.utf8 = true;
            else if (feature == u"SIZE")
                features_.size = true;
            else if (feature == u"MDTM")
                features_.mdtm = true;
        }
        features_.hash = hashMethodFromFeatures(reply.lines.mid(1));
    }
}

int FtpEngine::protectData() {
    if (!control_.transport().isEncrypted())
        return ConnectOk;
    // RFC 4217, sections 8 and 9: no buffer size with TLS, then private data connections.
    const Reply pbsz = control_.exchange(QStringLiteral("PBSZ 0"), timeouts_.replyMs);
    if (pbsz.kind() == 2 && control_.exchange(QStringLiteral("PROT P"), timeouts_.replyMs).kind() == 2) {
        dataTls_ = true;
        return ConnectOk;
    }
    // Only a session that merely tried TLS may move its files in clear.
    if (server_.tls != TlsMode::Opportunistic) {
        tlsFailure_ = QStringLiteral("The server refused to protect the data connections.");
        return ConnectTlsFailed;
    }
    if (pbsz.kind() == 2)
        control_.exchange(QStringLiteral("PROT C"), timeouts_.replyMs);
    return ConnectOk;
}

void FtpEngine::readLoginFolder() {
    // RFC 2640, section 3.3: UTF-8 where announced. Some servers refuse OPTS and still speak
    // UTF-8; the announcement is what counts, so PWD need not wait for its answer: both go
    // out at once and their replies share one round trip.
    const bool utf8 = features_.utf8;
    if (utf8) {
        control_.send(QStringLiteral("OPTS UTF8 ON"), timeouts_.replyMs);
        codec_.setUtf8(true);
    }
    control_.send(QStringLiteral("PWD"), timeouts_.replyMs);
    const QDeadlineTimer deadline(timeouts_.replyMs);
    const auto finalReply = [&] {
        Reply reply = control_.readReply(deadline, timeouts_.replyMs);
        while (reply.kind() == 1)
            reply = control_.readReply(deadline, timeouts_.replyMs);
        return reply;
    };
    if (utf8)
        finalReply();
    const Reply reply = finalReply();
    const auto folder = reply.code == 257 ? quotedPathOf(reply.text()) : std::nullopt;
    loginFolder_ = folder && !folder->isEmpty() ? *folder : QStringLiteral("/");
    // Where the session is: a listing of the login folder needs no CWD.
    currentFolder_ = folder && folder->startsWith(u'/') ? tidyRemotePath(*folder) : QString();
}

// After a text transfer, whichever way it ends: back to binary, so that a later SIZE works
// on servers that refuse it in ASCII.
FtpEngine::BinaryAfterwards FtpEngine::binaryAfterwards(bool textTransfer) {
    return qScopeGuard(std::function<void()>([this, textTransfer] {
        if (textTransfer && !batch_)
            restoreBinary();
    }));
}

void FtpEngine::restoreBinary() {
    // After a text transfer. Whether it failed or not, the transfer's outcome is what the
    // caller hears about; a session that died here fails the next call.
    if (!control_.isOpen())
        return;
    // Also after a cancelled transfer: the session goes on in binary.
    const CancelShield shield(callControl_);
    try {
        setType('I');
    } catch (const SessionError&) {
    }
}

void FtpEngine::setType(char type) {
    // RFC 959, section 3.1.1: A for text (CR LF line ends on the wire), I for bytes. The
    // type holds until changed, so it is sent only when it differs.
    if (type_ == type)
        return;
    type_ = 0;
    if (control_.exchange(QStringLiteral("TYPE ") + QLatin1Char(type), timeouts_.replyMs).kind() == 2)
        type_ = type;
}

void FtpEngine::changeFolder(const QString& folder) {
    if (!currentFolder_.isEmpty() && currentFolder_ == folder)
        return;
    // Servers differ on listing arguments (blanks, options) and on missing folders, but all
    // refuse CWD into a folder that is not there.
    const Reply reply = control_.exchange(QStringLiteral("CWD ") + folder, timeouts_.replyMs);
    if (reply.kind() != 2)
        throw SessionError(
            SessionError::Refused,
            QStringLiteral("Cannot open the folder \"%1\": %2").arg(folder, replyForMessage(reply)));
    currentFolder_ = folder;
    userFolder_ = folder;
}

void FtpEngine::forgetSettingsFor(const QString& verb) {
    // Commands that leave both the type and the folder as they are; after any other the
    // next step sets what it needs again.
    static const QSet<QString> kHarmless{
        QStringLiteral("SIZE"), QStringLiteral("MDTM"), QStringLiteral("PWD"),  QStringLiteral("XPWD"),
        QStringLiteral("NOOP"), QStringLiteral("HELP"), QStringLiteral("STAT"), QStringLiteral("SYST"),
        QStringLiteral("FEAT"), QStringLiteral("MKD"),  QStringLiteral("XMKD"), QStringLiteral("RMD"),
        QStringLiteral("XRMD"), QStringLiteral("DELE"), QStringLiteral("RNFR"), QStringLiteral("RNTO"),
        QStringLiteral("MLST"), QStringLiteral("LIST"), QStringLiteral("NLST"), QStringLiteral("MLSD"),
        QStringLiteral("RETR")};
    if (!kHarmless.contains(verb)) {
        type_ = 0;
        currentFolder_.clear();
    }
}

// --- Data connections in TLS ------------------------------------------------------

void FtpEngine::secureData(Transport& data, const Reply& first) {
    // RFC 4217, section 7: the data connection is the TLS client too. The control
    // connection's settings carry its session ticket, so the server sees the same session
    // resumed, which servers such as vsftpd insist on.
    Transport& control = control_.transport();
    QString failure;
    if (!data.awaitTls(timeouts_.dataMs))
        failure = QStringLiteral("the TLS handshake failed: %1").arg(data.errorString());
    else if (const QList<QSslCertificate> chain = data.peerCertificateChain();
             // A resumed session shows no certificate of its own: it is the control
             // connection's session.
             !chain.isEmpty() && chain.constFirst() != control.peerCertificateChain().value(0))
        failure = QStringLiteral("it showed another certificate than the control connection");
    if (failure.isEmpty())
        return;
    if (data.wasCancelled())
        abortTransfer(data);
    data.abort();
    // The server's word on the failed transfer, unless it already called it done.
    const QString said =
        first.kind() == 1 ? replyForMessage(control_.readReply(timeouts_.replyMs)) : replyForMessage(first);
    throw SessionError(SessionError::Refused,
                       QStringLiteral("The data connection could not be secured (%1); the server said: %2")
                           .arg(failure, said));
}

void FtpEngine::closeData(Transport& data) {
    if (data.isEncrypted())
        data.finish(std::min(timeouts_.dataMs, 5'000));
    data.abort();
}

// --- Remote operations -----------------------------------------------------------------

int FtpEngine::DeleteFile(const QString& remotePath) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers(); // a call of its own: the transfer before it was given up
        if (remotePath.isEmpty() || holdsLineBreakOrNul(remotePath))
            localError(QStringLiteral("The remote path is empty or holds a line break or a NUL character."));
        requireSession();
        const Reply reply = control_.exchange(
            QStringLiteral("DELE ") + resolveRemotePath(remotePath, loginFolder_), timeouts_.replyMs);
        return reply.kind() == 2 ? 1 : 0;
    });
}

int FtpEngine::Command(const QString& line) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&] {
        forgetKeptTransfers(); // a call of its own: the transfer before it was given up
        if (holdsLineBreakOrNul(line))
            localError(QStringLiteral("A command line may not hold a line break or a NUL character."));
        requireSession();
        const QString verb = verbOf(line);
        if (verb == u"STOR" || verb == u"STOU" || verb == u"APPE")
            localError(QStringLiteral("%1 needs a local file: use the upload.").arg(verb));
        forgetSettingsFor(verb);
        // RFC 3659, section 4: SIZE counts bytes in the binary type; some servers refuse it
        // in the text type.
        if (verb == u"SIZE")
            setType('I');
        if (verb == u"LIST" || verb == u"NLST" || verb == u"MLSD" || verb == u"RETR") {
            // These answer over a data connection: open one, so that the server can
            // finish the command; what it sends is not kept.
            const ChunkSink discard = [](const char*, qint64, QString&) { return true; };
            try {
                return retrieve(line, discard).kind();
            } catch (const SessionError& e) {
                if (e.kind() != SessionError::Refused || !control_.isOpen())
                    throw;
                return control_.lastReply().kind();
            }
        }
        return control_.exchange(line, timeouts_.replyMs).kind();
    });
}

// --- Listings --------------------------------------------------------------------------

DirList FtpEngine::listNames(const QString& path, bool folders) {
    const auto flushed = transcriptFlushedAtEnd();
    return guarded([&]() -> DirList {
        forgetKeptTransfers(); // a call of its own: the transfer before it was given up
        if (holdsLineBreakOrNul(path))
            localError(QStringLiteral("The path holds a line break or a NUL character."));
        requireSession();
        const QString folder = resolveRemotePath(path, loginFolder_);
        // The folder request, which the window always makes first, lists afresh, so that
        // listing the same folder again shows what the server holds now; the file request
        // that follows it reuses that listing while nothing was sent in between.
        if (folders || !listing_ || listing_->folder != folder ||
            listing_->stamp != control_.commandsSent()) {
            listing_.reset();
            // Into the folder, then a listing without argument.
            changeFolder(folder);
            QList<ListEntry> entries = fetchListing();
            sortOutLinks(entries, folder);
            Listing listing;
            listing.folder = folder;
            for (const ListEntry& entry : std::as_const(entries)) {
                if (entry.kind == EntryKind::Folder) {
                    listing.folders.append(entry.name);
                } else if (entry.kind == EntryKind::File) {
                    listing.files.append(entry.name);
                    if (entry.size)
                        listing.plainFiles.insert(entry.name, entry);
                }
            }
            listing.stamp = control_.commandsSent();
            listing_ = std::move(listing);
        }
        const QStringList& names = folders ? listing_->folders : listing_->files;
        if (names.isEmpty())
            return std::nullopt;
        return names;
    });
}

QList<ListEntry> FtpEngine::fetchListing() {
    for (;;) {
        const bool mlsd = features_.mlsd && mlsdAllowed_;
        ListingParser parser(
            mlsd ? ListingFormat::Mlsd : ListingFormat::List,
            [this](QByteArrayView line) { return codec_.decodeName(line); }, listingLimits_);
        const ListingLimits limits = listingLimits_;
        const ChunkSink sink = [&parser, limits](const char* bytes, qint64 size, QString& detail) {
            if (parser.feed(QByteArrayView(bytes, size)))
                return true;
            detail = QStringLiteral("The listing is too large: more than %1 entries or %2 MiB.")
                         .arg(limits.entries)
                         .arg(limits.bytes / (1024 * 1024));
            return false;
        };
        const Reply final = retrieve(mlsd ? QStringLiteral("MLSD") : QStringLiteral("LIST"), sink);
        if (mlsd && (final.code == 500 || final.code == 502)) {
            // Announced but not understood: LIST from now on.
            features_.mlsd = false;
            continue;
        }
        if (final.kind() != 2)
            throw SessionError(
                SessionError::Refused,
                QStringLiteral("The server refused the listing: %1").arg(replyForMessage(final)));
        parser.finish();
        QList<ListEntry> entries;
        entries.reserve(parser.entries().size());
        for (const ListEntry& entry : parser.entries()) {
            if (entry.kind != EntryKind::Self && isUsableListedName(entry.name))
                entries.append(entry);
        }
        showComposed(entries);
        return entries;
    }
}

void FtpEngine::showComposed(QList<ListEntry>& entries) {
    // Decomposed names (as macOS servers keep them) are shown composed, and remembered
    // with their own bytes, which are what goes back. A composed name that is listed too
    // keeps its place: the decomposed one is then shown as it is.
    const auto decomposed = [](const QString& name) {
        return std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() >= 0x300; }) &&
               name.normalized(QString::NormalizationForm_C) != name;
    };
    if (std::none_of(entries.cbegin(), entries.cend(),
                     [&](const ListEntry& e) { return decomposed(e.name); }))
        return;
    QSet<QString> listed;
    listed.reserve(entries.size());
    for (const ListEntry& entry : std::as_const(entries))
        listed.insert(entry.name);
    for (ListEntry& entry : entries) {
        if (!decomposed(entry.name))
            continue;
        const QString composed = entry.name.normalized(QString::NormalizationForm_C);
        const auto raw = codec_.encodeName(entry.name);
        if (listed.contains(composed) || !raw)
            continue;
        codec_.rememberName(composed, *raw);
        entry.name = composed;
    }
}

namespace {

// The kind of the entry a link's target names in the same listing ("name" or "./name"), if
// it names one that is not itself a link.
std::optional<EntryKind> kindOfListedTarget(const ListEntry& link, const QHash<QString, EntryKind>& kinds) {
    QString target = link.target;
    while (target.startsWith(QLatin1String("./")))
        target.remove(0, 2);
    while (target.size() > 1 && target.endsWith(u'/'))
        target.chop(1);
    if (target.isEmpty() || target.contains(u'/'))
        return std::nullopt;
    const auto kind = kinds.constFind(target);
    if (kind == kinds.cend() || (*kind != EntryKind::File && *kind != EntryKind::Folder))
        return std::nullopt;
    return *kind;
}

// A name as a file system that ignores case and Unicode normalization sees it.
QString foldedName(const QString& name) {
    return name.normalized(QString::NormalizationForm_C).toCaseFolded();
}

// Whether a link's target provably names nothing: a relative target ("name", "./name/...")
// resolves from the link's own folder, the one listed, so its first step must be an entry
// of the listing; it is not one under any case or normalization. Names starting with a dot
// may be hidden from the listing, and an absolute target is a path of the server's file
// system, not of the session (a virtual or changed root): those are not judged here.
bool targetNamesNothingListed(const ListEntry& link, const QSet<QString>& folded) {
    QString target = link.target;
    while (target.startsWith(QLatin1String("./")))
        target.remove(0, 2);
    const QString step = target.section(u'/', 0, 0);
    return !step.isEmpty() && !link.target.startsWith(u'/') && !step.startsWith(u'.') &&
           !folded.contains(foldedName(step));
}

} // namespace

void FtpEngine::sortOutLinks(QList<ListEntry>& entries, const QString& folder) {
    // A link to an entry of the same listing is what that entry is, and one whose target
    // provably names nothing there a file. Of the others, a link leads to a folder when the server lets us
    // change into it; each such test is followed by a change back, so the session stays in the listed folder.
    QHash<QString, EntryKind> kinds;
    QSet<QString> folded;
    for (const ListEntry& entry : std::as_const(entries)) {
        kinds.insert(entry.name, entry.kind);
        folded.insert(foldedName(entry.name));
    }
    int probes = 0;
    QString here = folder;
    for (ListEntry& entry : entries) {
        if (entry.kind != EntryKind::Link)
            continue;
        if (const auto kind = kindOfListedTarget(entry, kinds)) {
            entry.kind = *kind;
            continue;
        }
        // A link to nothing is no folder: shown as a file, as a broken link is.
        if (targetNamesNothingListed(entry, folded) || probes++ >= kMaxLinkProbes) {
            entry.kind = EntryKind::File;
            continue;
        }
        if (!here.startsWith(u'/')) {
            const Reply pwd = control_.exchange(QStringLiteral("PWD"), timeouts_.replyMs);
            if (const auto absolute = pwd.code == 257 ? quotedPathOf(pwd.text()) : std::nullopt)
                here = *absolute;
        }
        // The whole path, so that a name with leading blanks survives servers that trim
        // arguments.
        const QString target = here.startsWith(u'/') ? joinRemotePath(here, entry.name) : entry.name;
        const Reply reply = control_.exchange(QStringLiteral("CWD ") + target, timeouts_.replyMs);
        if (reply.kind() != 2) {
            entry.kind = EntryKind::File;
            continue;
        }
        entry.kind = EntryKind::Folder;
        currentFolder_.clear(); // until the change back is done
        const Reply back = control_.exchange(QStringLiteral("CWD ") + here, timeouts_.replyMs);
        if (back.kind() != 2)
            throw SessionError(
                SessionError::Refused,
                QStringLiteral("Cannot return to the folder \"%1\": %2").arg(here, replyForMessage(back)));
        currentFolder_ = here == folder ? folder : QString();
    }
}

std::unique_ptr<FtpComponent> createFtpEngine() {
    return std::make_unique<FtpEngine>();
}

} // namespace ftp
