#include "ftp/component/Transport.h"

#include "ftp/component/CallControl.h"
#include "platform/DirectIo.h"
#include "platform/SocketConnect.h"

#include <QSslCipher>
#include <QSslSocket>

#include <unistd.h>

namespace ftp {

namespace {
// Bytes a writer may queue beyond what the system has taken before it waits.
constexpr qint64 kWriteHighWater = 1024 * 1024;
// How long the close of a TLS connection waits for the server's session ticket.
constexpr int kTicketWaitMs = 500;

// The socket error that tells the engine how a connect ended.
QAbstractSocket::SocketError connectError(platform::net::PendingConnect::Outcome outcome) {
    using Outcome = platform::net::PendingConnect::Outcome;
    switch (outcome) {
    case Outcome::Refused:
        return QAbstractSocket::ConnectionRefusedError;
    case Outcome::TimedOut:
        return QAbstractSocket::SocketTimeoutError;
    case Outcome::Unreachable:
        return QAbstractSocket::NetworkError;
    default:
        return QAbstractSocket::UnknownSocketError;
    }
}

} // namespace

Transport::Transport() {
    renewSocket();
}

void Transport::renewSocket() {
    if (socket_)
        socket_->abort();
    socket_ = std::make_unique<QSslSocket>();
    ticketsReceived_ = 0;
    tlsClosedByPeer_ = false;
    QObject::connect(socket_.get(), &QSslSocket::newSessionTicketReceived, [this] { ++ticketsReceived_; });
    // A bare TCP close reports the same error as the TLS close alert; only the alert
    // carries the TLS layer's own text (in whatever language Qt speaks).
    QObject::connect(
        socket_.get(), &QAbstractSocket::errorOccurred, [this](QAbstractSocket::SocketError error) {
            if (error == QAbstractSocket::RemoteHostClosedError && socket_->isEncrypted() &&
                socket_->errorString() == QSslSocket::tr("The TLS/SSL connection has been closed"))
                tlsClosedByPeer_ = true;
        });
}

Transport::~Transport() {
    if (socket_)
        socket_->abort();
}

void Transport::noteError(QAbstractSocket::SocketError error, const QString& text) {
    error_ = error;
    errorString_ = text;
    cancelled_ = false;
}

bool Transport::cancelRequested() const {
    return callControl_ && callControl_->isCancelled();
}

void Transport::noteCancelled() {
    noteError(QAbstractSocket::OperationError, QStringLiteral("Cancelled"));
    cancelled_ = true;
}

int Transport::slice(const QDeadlineTimer& deadline) {
    return int(std::min<qint64>(deadline.remainingTime(), kCancelPollMs));
}

bool Transport::connectTo(const QHostAddress& address, quint16 port, int timeoutMs) {
    beginConnect(address, port);
    // The attempt outlives every slice of the wait: a server whose SYN-ACK comes late (far
    // away, or a SYN lost and sent again by our TCP a second later) is still reached.
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const Status status = awaitConnected(slice(deadline));
        if (status != Status::Timeout)
            return status == Status::Ok;
        if (cancelRequested()) {
            pending_.reset();
            noteCancelled();
            return false;
        }
        if (deadline.hasExpired()) {
            pending_.reset();
            noteError(QAbstractSocket::SocketTimeoutError,
                      QStringLiteral("No answer from %1 port %2 within %3 s")
                          .arg(address.toString())
                          .arg(port)
                          .arg(timeoutMs / 1000.0));
            return false;
        }
    }
}

void Transport::beginConnect(const QHostAddress& address, quint16 port) {
    // A socket that carried TLS before keeps its TLS state through an abort; a new
    // connection starts on a new, plain one.
    renewSocket();
    pending_ = std::make_unique<platform::net::PendingConnect>(address, port);
}

Transport::Status Transport::awaitConnected(int timeoutMs) {
    using Outcome = platform::net::PendingConnect::Outcome;
    if (!pending_) {
        if (isConnected())
            return Status::Ok;
        noteError(QAbstractSocket::UnknownSocketError, QStringLiteral("No connection is being opened"));
        return Status::Failed;
    }
    const Outcome outcome = pending_->wait(timeoutMs);
    if (outcome == Outcome::Pending)
        return Status::Timeout;
    const auto attempt = std::move(pending_);
    if (outcome == Outcome::Connected)
        return adoptConnected(attempt->take()) ? Status::Ok : Status::Failed;
    noteError(connectError(outcome), attempt->errorString());
    return Status::Failed;
}

bool Transport::adoptConnected(qintptr descriptor) {
    if (socket_->setSocketDescriptor(descriptor, QAbstractSocket::ConnectedState))
        return true;
    noteError(socket_->error(), socket_->errorString());
    ::close(int(descriptor));
    return false;
}

bool Transport::isConnected() const {
    return socket_->state() == QAbstractSocket::ConnectedState;
}

void Transport::setKeepAlive(bool on) {
    socket_->setSocketOption(QAbstractSocket::KeepAliveOption, on ? 1 : 0);
}

QHostAddress Transport::peerAddress() const {
    return socket_->peerAddress();
}

bool Transport::endedCleanly() const {
    // With TLS only after the peer's close alert (RFC 8446, section 6.1): a bare TCP close
    // may have cut the stream short.
    if (socket_->mode() != QSslSocket::UnencryptedMode && !tlsClosedByPeer_)
        return false;
    // The peer's orderly close; a reset or any other error is a broken stream. A timeout
    // left over from one slice of a wait says nothing about how the stream ended.
    return socket_->error() == QAbstractSocket::RemoteHostClosedError ||
           socket_->error() == QAbstractSocket::UnknownSocketError ||
           socket_->error() == QAbstractSocket::SocketTimeoutError;
}

Transport::Status Transport::endStatus() {
    if (endedCleanly())
        return Status::End;
    if (socket_->mode() != QSslSocket::UnencryptedMode && !tlsClosedByPeer_)
        noteError(
            QAbstractSocket::RemoteHostClosedError,
            QStringLiteral("The TLS connection ended without its close alert: the data may be cut short"));
    else
        noteError(socket_->error(), socket_->errorString());
    return Status::Failed;
}

qint64 Transport::read(char* buffer, qint64 max, int timeoutMs, Status& status) {
    if (socket_->bytesAvailable() == 0) {
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            status = endStatus();
            return 0;
        }
        const QDeadlineTimer deadline(timeoutMs);
        while (socket_->bytesAvailable() == 0) {
            // The close alert may have come with the last bytes: nothing more to wait for.
            if (tlsClosedByPeer_) {
                status = Status::End;
                return 0;
            }
            const platform::directio::Wait wait = waitForBytes(slice(deadline));
            if (wait != platform::directio::Wait::Ready) {
                if (socket_->bytesAvailable() > 0)
                    break;
                if (tlsClosedByPeer_) {
                    // The server's TLS close alert (RFC 8446, section 6.1): the end of
                    // the stream, although the connection stays open for our own close.
                    status = Status::End;
                    return 0;
                }
                if (socket_->state() == QAbstractSocket::ConnectedState) {
                    const bool timedOut = wait == platform::directio::Wait::Timeout;
                    if (cancelRequested()) {
                        noteCancelled();
                        status = Status::Cancelled;
                    } else if (timedOut && !deadline.hasExpired()) {
                        continue; // one slice of the wait is over
                    } else if (timedOut || deadline.hasExpired()) {
                        noteError(QAbstractSocket::SocketTimeoutError, QStringLiteral("Timed out"));
                        status = Status::Timeout;
                    } else {
                        noteError(socket_->error(), socket_->errorString());
                        status = Status::Failed;
                    }
                    return 0;
                }
                status = endStatus();
                return 0;
            }
        }
    }
    const qint64 n = socket_->read(buffer, max);
    if (n <= 0) {
        noteError(socket_->error(), socket_->errorString());
        status = Status::Failed;
        return 0;
    }
    status = Status::Ok;
    return n;
}

bool Transport::errorNoted() const {
    // A wait of Qt's that ran out of time says so, or (when its time ran out just after it
    // had sent something) nothing at all.
    return socket_->error() != QAbstractSocket::SocketTimeoutError &&
           socket_->error() != QAbstractSocket::UnknownSocketError;
}

platform::directio::Wait Transport::waitForBytes(int timeoutMs) {
    using platform::directio::Wait;
    // QSslSocket's own wait ends only on decrypted bytes: after the peer's close alert it
    // waits on for the rest of its time. On the system's socket instead, the TLS layer then
    // taking in what came, the wait ends at the alert. Undecrypted bytes that the TLS layer
    // left in its buffer are taken in by QSslSocket's wait only.
    // What waits to be sent (the handshake's last message) goes first, as QSslSocket's
    // wait would send it.
    if (socket_->isEncrypted())
        socket_->flush();
    if (!socket_->isEncrypted() || socket_->encryptedBytesAvailable() > 0 || unsentBytes() > 0 ||
        !platform::directio::isAvailable()) {
        if (socket_->waitForReadyRead(timeoutMs))
            return Wait::Ready;
        return errorNoted() ? Wait::Failed : Wait::Timeout;
    }
    platform::directio::waitReadable(socket_->socketDescriptor(), timeoutMs);
    if (socket_->waitForReadyRead(0))
        return Wait::Ready;
    // Nothing for the reader yet (a session ticket, the close alert, or nothing at all);
    // a connection that failed shows in its state.
    return Wait::Timeout;
}

bool Transport::poll() {
    if (socket_->state() == QAbstractSocket::ConnectedState)
        socket_->waitForReadyRead(0);
    return socket_->bytesAvailable() > 0 || socket_->state() == QAbstractSocket::ConnectedState;
}

qint64 Transport::bytesAvailable() const {
    return socket_->bytesAvailable();
}

bool Transport::write(const char* data, qint64 size, int timeoutMs) {
    if (socket_->state() != QAbstractSocket::ConnectedState) {
        noteError(socket_->error(), QStringLiteral("The connection is closed"));
        return false;
    }
    if (socket_->write(data, size) != size) {
        noteError(socket_->error(), socket_->errorString());
        return false;
    }
    while (unsentBytes() > kWriteHighWater) {
        if (!waitWritten(timeoutMs))
            return false;
    }
    return true;
}

bool Transport::waitWritten(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (unsentBytes() == 0 || socket_->waitForBytesWritten(slice(deadline)))
            return true;
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            noteError(socket_->error(), socket_->errorString());
            return false;
        }
        if (cancelRequested()) {
            noteCancelled();
            return false;
        }
        if (deadline.hasExpired()) {
            noteError(QAbstractSocket::SocketTimeoutError, QStringLiteral("Timed out while sending"));
            return false;
        }
    }
}

bool Transport::flush(int timeoutMs) {
    while (unsentBytes() > 0) {
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            noteError(socket_->error(), socket_->errorString());
            return false;
        }
        if (!waitWritten(timeoutMs))
            return false;
    }
    return true;
}

void Transport::awaitSessionTicket(const QDeadlineTimer& deadline) {
    // A TLS 1.3 server sends session tickets (RFC 8446, section 4.6.1) just after the
    // handshake. Closing before they have been read would reset the connection instead
    // of closing it, and a reset makes the server's system throw away the end of an
    // upload that the server has not read yet.
    while (socket_->sessionProtocol() == QSsl::TlsV1_3 && ticketsReceived_ == 0 && !deadline.hasExpired() &&
           socket_->state() == QAbstractSocket::ConnectedState) {
        socket_->waitForReadyRead(int(std::min<qint64>(deadline.remainingTime(), 20)));
        if (cancelRequested())
            return;
        socket_->readAll();
    }
}

qint64 Transport::unsentBytes() const {
    // With TLS, what is encrypted but not yet handed to the system counts too.
    return socket_->bytesToWrite() + socket_->encryptedBytesToWrite();
}

bool Transport::finish(int timeoutMs) {
    if (!flush(timeoutMs)) {
        socket_->abort();
        return false;
    }
    // After the peer's close alert no ticket will come.
    if (socket_->isEncrypted() && !tlsClosedByPeer_)
        awaitSessionTicket(QDeadlineTimer(std::min(timeoutMs, kTicketWaitMs)));
    socket_->disconnectFromHost();
    const QDeadlineTimer deadline(timeoutMs);
    while (socket_->state() != QAbstractSocket::UnconnectedState) {
        if (socket_->waitForDisconnected(slice(deadline)))
            break;
        if (cancelRequested())
            noteCancelled();
        else if (deadline.hasExpired())
            noteError(QAbstractSocket::SocketTimeoutError, QStringLiteral("Timed out while closing"));
        else
            continue;
        socket_->abort();
        return false;
    }
    return true;
}

void Transport::abort() {
    pending_.reset();
    socket_->abort();
}

bool Transport::startTls(const QSslConfiguration& configuration, const QString& peerName, int timeoutMs) {
    return beginTls(configuration, peerName) && awaitTls(timeoutMs);
}

bool Transport::beginTls(const QSslConfiguration& configuration, const QString& peerName) {
    if (socket_->state() != QAbstractSocket::ConnectedState) {
        noteError(socket_->error(), QStringLiteral("The connection is closed"));
        return false;
    }
    ticketsReceived_ = 0;
    tlsClosedByPeer_ = false;
    socket_->setSslConfiguration(configuration);
    socket_->setPeerVerifyName(peerName);
    socket_->startClientEncryption();
    // The first handshake message goes out now, not at the first wait.
    socket_->flush();
    return true;
}

bool Transport::awaitTls(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        // QSslSocket's wait says false for a handshake that had already ended.
        if (socket_->isEncrypted() || socket_->waitForEncrypted(slice(deadline)) || socket_->isEncrypted()) {
            socket_->flush(); // our Finished goes out now, not at the next wait
            return true;
        }
        const bool stillShaking = socket_->state() == QAbstractSocket::ConnectedState && !errorNoted();
        if (!stillShaking) {
            noteError(socket_->error(), socket_->errorString());
            break;
        }
        if (cancelRequested()) {
            noteCancelled();
            break;
        }
        if (deadline.hasExpired()) {
            noteError(QAbstractSocket::SocketTimeoutError, QStringLiteral("The TLS handshake timed out"));
            break;
        }
    }
    socket_->abort();
    return false;
}

bool Transport::isEncrypted() const {
    return socket_->isEncrypted();
}

QList<QSslError> Transport::tlsHandshakeErrors() const {
    return socket_->sslHandshakeErrors();
}

QSslConfiguration Transport::tlsConfiguration() const {
    return socket_->sslConfiguration();
}

QList<QSslCertificate> Transport::peerCertificateChain() const {
    return socket_->peerCertificateChain();
}

QString Transport::tlsProtocolName() const {
    switch (socket_->sessionProtocol()) {
    case QSsl::TlsV1_2:
        return QStringLiteral("TLS 1.2");
    case QSsl::TlsV1_3:
        return QStringLiteral("TLS 1.3");
    default:
        return socket_->sessionCipher().protocolString();
    }
}

QString Transport::tlsCipherName() const {
    return socket_->sessionCipher().name();
}

void Transport::setReadBufferSize(qint64 size) {
    socket_->setReadBufferSize(size);
}

QAbstractSocket::SocketError Transport::error() const {
    return error_;
}

QString Transport::errorString() const {
    return errorString_;
}

} // namespace ftp

// --- Bulk paths --------------------------------------------------------------------------

namespace ftp {

qintptr Transport::plainDescriptor() const {
    if (!platform::directio::isAvailable() || socket_->state() != QAbstractSocket::ConnectedState ||
        socket_->bytesAvailable() > 0 || socket_->bytesToWrite() > 0)
        return -1;
#if QT_CONFIG(ssl)
    // Encrypted bytes must pass through the TLS layer.
    if (const auto* tls = qobject_cast<const QSslSocket*>(socket_.get());
        tls && tls->mode() != QSslSocket::UnencryptedMode)
        return -1;
#endif
    return socket_->socketDescriptor();
}

// What one bulk step on the system's socket came to.
struct BulkOutcome {
    qint64 bytes = 0;
    Transport::Status status = Transport::Status::Ok;
    QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
    QString text;
};

namespace {

// Tries `attempt` (bytes moved > 0, the end 0, kFailed, or anything else: wait) until it
// moves bytes, ends or fails; between tries `waitFor` waits for the socket, up to the
// time left of `timeoutMs`.
template <typename Attempt, typename WaitFor>
BulkOutcome bulkStep(int timeoutMs, const QString& timedOut, const QString& cannotWait, Attempt attempt,
                     WaitFor waitFor) {
    using namespace platform::directio;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        QString error;
        const qint64 n = attempt(error);
        if (n > 0)
            return {n, Transport::Status::Ok, {}, {}};
        if (n == 0)
            return {0, Transport::Status::End, {}, {}};
        if (n == kFailed)
            return {0, Transport::Status::Failed, QAbstractSocket::RemoteHostClosedError, error};
        const Wait wait = waitFor(int(deadline.remainingTime()));
        if (wait == Wait::Timeout)
            return {0, Transport::Status::Timeout, QAbstractSocket::SocketTimeoutError, timedOut};
        if (wait == Wait::Failed)
            return {0, Transport::Status::Failed, QAbstractSocket::UnknownSocketError, cannotWait};
    }
}

} // namespace

qint64 Transport::takeBulk(const BulkOutcome& outcome, Status& status) {
    if (outcome.status == Status::Failed || outcome.status == Status::Timeout)
        noteError(outcome.error, outcome.text);
    status = outcome.status;
    return outcome.bytes;
}

qint64 Transport::readBulk(char* buffer, qint64 max, int timeoutMs, Status& status) {
    const qintptr socket = plainDescriptor();
    if (socket < 0)
        return read(buffer, max, timeoutMs, status);
    using namespace platform::directio;
    return takeBulk(bulkStep(
                        timeoutMs, QStringLiteral("Timed out"), QStringLiteral("Cannot wait for the data"),
                        [&](QString& error) { return readSome(socket, buffer, max, error); },
                        [&](int ms) { return waitReadable(socket, ms); }),
                    status);
}

bool Transport::canSplice() const {
    return plainDescriptor() >= 0;
}

qint64 Transport::spliceToFile(platform::directio::SplicePipe& pipe, int fileHandle, qint64 max,
                               int timeoutMs, Status& status, QString& fileError) {
    using namespace platform::directio;
    const qintptr socket = plainDescriptor();
    if (socket < 0 || !pipe.isOpen()) {
        noteError(QAbstractSocket::UnsupportedSocketOperationError,
                  QStringLiteral("The connection cannot pass bytes to a file directly"));
        status = Status::Failed;
        return 0;
    }
    return takeBulk(bulkStep(
                        timeoutMs, QStringLiteral("Timed out"), QStringLiteral("Cannot wait for the data"),
                        [&](QString& error) {
                            const qint64 n = spliceSome(socket, pipe, fileHandle, max, error);
                            if (n != kFileFailed)
                                return n;
                            fileError = error;
                            return kFailed;
                        },
                        [&](int ms) { return waitReadable(socket, ms); }),
                    status);
}

bool Transport::canSendFile() const {
    return plainDescriptor() >= 0;
}

qint64 Transport::sendFile(int fileHandle, qint64* offset, qint64 count, int timeoutMs, Status& status) {
    const qintptr socket = plainDescriptor();
    if (socket < 0) {
        noteError(QAbstractSocket::UnsupportedSocketOperationError,
                  QStringLiteral("The connection cannot send a file directly"));
        status = Status::Failed;
        return 0;
    }
    using namespace platform::directio;
    return takeBulk(
        bulkStep(
            timeoutMs, QStringLiteral("Timed out while sending"), QStringLiteral("Cannot wait to send"),
            [&](QString& error) { return sendFileSome(socket, fileHandle, offset, count, error); },
            [&](int ms) { return waitWritable(socket, ms); }),
        status);
}

bool Transport::queue(const char* data, qint64 size) {
    if (socket_->state() != QAbstractSocket::ConnectedState) {
        noteError(socket_->error(), QStringLiteral("The connection is closed"));
        return false;
    }
    if (socket_->write(data, size) != size) {
        noteError(socket_->error(), socket_->errorString());
        return false;
    }
    return true;
}

Transport::Status Transport::drainTo(qint64 limit, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (socket_->bytesToWrite() > limit) {
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            noteError(socket_->error(), socket_->errorString());
            return Status::Failed;
        }
        if (!socket_->waitForBytesWritten(int(deadline.remainingTime()))) {
            if (socket_->state() != QAbstractSocket::ConnectedState) {
                noteError(socket_->error(), socket_->errorString());
                return Status::Failed;
            }
            if (deadline.hasExpired()) {
                noteError(QAbstractSocket::SocketTimeoutError, QStringLiteral("Timed out while sending"));
                return Status::Timeout;
            }
        }
    }
    return Status::Ok;
}

qint64 Transport::bytesToWrite() const {
    return socket_->bytesToWrite();
}

} // namespace ftp
