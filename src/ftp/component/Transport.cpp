#include "ftp/component/Transport.h"

#include "ftp/component/CallControl.h"

#include <QTcpSocket>

namespace ftp {

namespace {
// Bytes a writer may queue beyond what the system has taken before it waits.
constexpr qint64 kWriteHighWater = 1024 * 1024;
} // namespace

Transport::Transport() : socket_(std::make_unique<QTcpSocket>()) {}

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
    socket_->abort();
    socket_->connectToHost(address, port);
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (socket_->waitForConnected(slice(deadline)))
            return true;
        const bool stillTrying = socket_->state() == QAbstractSocket::ConnectingState ||
                                 socket_->state() == QAbstractSocket::HostLookupState;
        if (!stillTrying && socket_->error() != QAbstractSocket::SocketTimeoutError) {
            noteError(socket_->error(), socket_->errorString());
            break;
        }
        if (cancelRequested()) {
            noteCancelled();
            break;
        }
        if (deadline.hasExpired() || !stillTrying) {
            noteError(QAbstractSocket::SocketTimeoutError, QStringLiteral("Connection timed out"));
            break;
        }
    }
    socket_->abort();
    return false;
}

bool Transport::isConnected() const {
    return socket_->state() == QAbstractSocket::ConnectedState;
}

QHostAddress Transport::peerAddress() const {
    return socket_->peerAddress();
}

bool Transport::endedCleanly() const {
    // The peer's orderly close; a reset or any other error is a broken stream. A timeout
    // left over from one slice of a wait says nothing about how the stream ended.
    return socket_->error() == QAbstractSocket::RemoteHostClosedError ||
           socket_->error() == QAbstractSocket::UnknownSocketError ||
           socket_->error() == QAbstractSocket::SocketTimeoutError;
}

qint64 Transport::read(char* buffer, qint64 max, int timeoutMs, Status& status) {
    if (socket_->bytesAvailable() == 0) {
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            status = endedCleanly() ? Status::End : Status::Failed;
            if (status == Status::Failed)
                noteError(socket_->error(), socket_->errorString());
            return 0;
        }
        const QDeadlineTimer deadline(timeoutMs);
        while (socket_->bytesAvailable() == 0) {
            if (!socket_->waitForReadyRead(slice(deadline))) {
                if (socket_->bytesAvailable() > 0)
                    break;
                if (socket_->state() == QAbstractSocket::ConnectedState) {
                    const bool timedOut = socket_->error() == QAbstractSocket::SocketTimeoutError;
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
                status = endedCleanly() ? Status::End : Status::Failed;
                if (status == Status::Failed)
                    noteError(socket_->error(), socket_->errorString());
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
    while (socket_->bytesToWrite() > kWriteHighWater) {
        if (!waitWritten(timeoutMs))
            return false;
    }
    return true;
}

bool Transport::waitWritten(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (socket_->bytesToWrite() == 0 || socket_->waitForBytesWritten(slice(deadline)))
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
    while (socket_->bytesToWrite() > 0) {
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            noteError(socket_->error(), socket_->errorString());
            return false;
        }
        if (!waitWritten(timeoutMs))
            return false;
    }
    return true;
}

bool Transport::finish(int timeoutMs) {
    if (!flush(timeoutMs)) {
        socket_->abort();
        return false;
    }
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
    socket_->abort();
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
