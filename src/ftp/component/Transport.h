#pragma once
// The one seam between the engine and the network: a byte stream to a server with
// blocking calls that always end within the time they are given. Both the control and
// the data connections go through it, so that an encrypting transport can take the
// plain socket's place without touching the protocol code.

#include <QAbstractSocket>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QString>

#include <memory>

class QTcpSocket;

namespace ftp {

class CallControl;

class Transport {
public:
    Transport();
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    enum class Status { Ok, End, Timeout, Failed, Cancelled };

    // Every blocking wait also ends, within kCancelPollMs, once `control` says the call
    // was cancelled (nullptr: waits end only by their timeouts). Not owned.
    void setCallControl(CallControl* control) { callControl_ = control; }
    CallControl* callControl() const { return callControl_; }
    // Whether the last failure was a cancelled wait.
    bool wasCancelled() const { return cancelled_; }

    // Opens a connection; on failure error() tells refused, timed out or other.
    bool connectTo(const QHostAddress& address, quint16 port, int timeoutMs);
    bool isConnected() const;
    QHostAddress peerAddress() const;

    // Reads up to `max` bytes, waiting up to `timeoutMs` for the first one. Returns the
    // number read (> 0) with Status::Ok, or 0 with End (the peer closed the stream),
    // Timeout, Failed or Cancelled.
    qint64 read(char* buffer, qint64 max, int timeoutMs, Status& status);
    // Takes in whatever has arrived without waiting. False once the peer has closed the
    // stream or the connection failed and nothing is left to read.
    bool poll();
    qint64 bytesAvailable() const;

    // Queues `size` bytes, waiting while more than a fixed amount is still unsent; the
    // wait ends with false after `timeoutMs` without progress, on an error or a cancel.
    bool write(const char* data, qint64 size, int timeoutMs);
    // Waits until every queued byte has been handed to the system.
    bool flush(int timeoutMs);
    // Flushes, then closes the stream in an orderly way (the peer sees the end).
    bool finish(int timeoutMs);
    // Drops the connection at once; queued bytes are discarded.
    void abort();

    // Caps the bytes held between reads (0 = no cap).
    void setReadBufferSize(qint64 size);

    QAbstractSocket::SocketError error() const;
    QString errorString() const;

private:
    std::unique_ptr<QTcpSocket> socket_;
    QAbstractSocket::SocketError error_ = QAbstractSocket::UnknownSocketError;
    QString errorString_;
    CallControl* callControl_ = nullptr;
    bool cancelled_ = false;

    void noteError(QAbstractSocket::SocketError error, const QString& text);
    bool cancelRequested() const;
    void noteCancelled();
    // One slice of a longer wait: what is left of `deadline`, but at most kCancelPollMs.
    static int slice(const QDeadlineTimer& deadline);
    // Waits for the socket to send; false (with the error noted) on a timeout or a drop.
    bool waitWritten(int timeoutMs);
    bool endedCleanly() const;
};

} // namespace ftp
