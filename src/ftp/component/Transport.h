#pragma once
// The one seam between the engine and the network: a byte stream to a server with
// blocking calls that always end within the time they are given. Both the control and
// the data connections go through it, so that an encrypting transport can take the
// plain socket's place without touching the protocol code. A connection starts plain and
// may turn to TLS (startTls); every call then reads and writes the decrypted stream.

#include "ftp/component/CallControl.h"

#include <QAbstractSocket>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>

#include <memory>

class QSslSocket;

namespace platform::directio {
class SplicePipe;
enum class Wait;
} // namespace platform::directio
namespace platform::net {
class PendingConnect;
}

namespace ftp {

struct BulkOutcome;

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
    // The same in two steps, so that the caller may do other things while the connection
    // opens: beginConnect() starts the attempt, each awaitConnected() waits up to
    // `timeoutMs` for it to end: Ok once connected, Timeout while it still runs, Failed
    // (noted as connectTo's) when it failed. The attempt lives until it ends or abort().
    void beginConnect(const QHostAddress& address, quint16 port);
    Status awaitConnected(int timeoutMs);
    bool isConnected() const;
    QHostAddress peerAddress() const;
    // TCP keep-alive probes on the open connection (SO_KEEPALIVE), so that a connection
    // whose peer vanished is found out and a quiet one is not forgotten by routers.
    void setKeepAlive(bool on);

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

    // Starts TLS on the open connection as its client (RFC 4217, section 4) and waits for
    // the handshake; `peerName` goes out as the server name indication. Certificates are
    // not judged here: the caller checks the chain afterwards. False (with the error
    // noted) when the handshake fails or does not end in time.
    bool startTls(const QSslConfiguration& configuration, const QString& peerName, int timeoutMs);
    // The same in two steps: beginTls() sends the first handshake message without waiting
    // (false, noted, when the connection is closed); awaitTls() waits for the handshake's end.
    bool beginTls(const QSslConfiguration& configuration, const QString& peerName);
    bool awaitTls(int timeoutMs);
    bool isEncrypted() const;
    // The session's settings as now, with the server's session ticket once one came:
    // what a data connection copies to resume this session.
    QSslConfiguration tlsConfiguration() const;
    QList<QSslCertificate> peerCertificateChain() const;
    // What the handshake found wrong with the peer's chain against the system's trust store
    // (looked up as needed, not loaded whole) and the peer name given to startTls.
    QList<QSslError> tlsHandshakeErrors() const;
    QString tlsProtocolName() const;
    QString tlsCipherName() const;

    // Caps the bytes held between reads (0 = no cap).
    void setReadBufferSize(qint64 size);

    QAbstractSocket::SocketError error() const;
    QString errorString() const;

    // --- Bulk paths for data connections --------------------------------------------
    // Like read(), but on a plain connection, where the system allows it, the bytes come
    // straight from the system's socket into `buffer`, past the socket object's buffer.
    qint64 readBulk(char* buffer, qint64 max, int timeoutMs, Status& status);
    // Whether spliceToFile() can move the next bytes straight into a file (a plain
    // connection with nothing buffered on this system).
    bool canSplice() const;
    // Moves up to `max` bytes into the open file `fileHandle` at its position, waiting up to
    // `timeoutMs` for them: as readBulk(); a file that takes no more ends with Failed and the
    // reason in `fileError` (empty when the connection failed).
    qint64 spliceToFile(platform::directio::SplicePipe& pipe, int fileHandle, qint64 max, int timeoutMs,
                        Status& status, QString& fileError);
    // Whether sendFile() can send a file's bytes without reading them into memory.
    bool canSendFile() const;
    // Sends up to `count` bytes of the open file `fileHandle` from `*offset` (advanced),
    // waiting up to `timeoutMs` for room: the bytes sent (> 0) with Ok, or 0 with End (the
    // file ends at `*offset`), Timeout or Failed.
    qint64 sendFile(int fileHandle, qint64* offset, qint64 count, int timeoutMs, Status& status);
    // Queues bytes without waiting; false when the connection is closed.
    bool queue(const char* data, qint64 size);
    // Waits up to `timeoutMs` until at most `limit` queued bytes are left unsent: Ok,
    // Timeout or Failed.
    Status drainTo(qint64 limit, int timeoutMs);
    qint64 bytesToWrite() const;

private:
    std::unique_ptr<QSslSocket> socket_;
    QAbstractSocket::SocketError error_ = QAbstractSocket::UnknownSocketError;
    QString errorString_;
    CallControl* callControl_ = nullptr;
    bool cancelled_ = false;

    void noteError(QAbstractSocket::SocketError error, const QString& text);
    // Replaces the socket object with a new one, closing the old one.
    void renewSocket();
    // Hands a connected system socket to the socket object; false (noted) when it fails.
    bool adoptConnected(qintptr descriptor);
    bool cancelRequested() const;
    void noteCancelled();
    // One slice of a longer wait: what is left of `deadline`, but at most kCancelPollMs.
    static int slice(const QDeadlineTimer& deadline);
    // Whether the socket object noted a failure, not just a wait whose time ran out.
    bool errorNoted() const;
    // QSslSocket::waitForReadyRead for up to `timeoutMs`, but ending at a TLS close alert too.
    platform::directio::Wait waitForBytes(int timeoutMs);
    // Waits for the socket to send; false (with the error noted) on a timeout or a drop.
    bool waitWritten(int timeoutMs);
    bool endedCleanly() const;
    // End at the peer's close, or Failed (with the error noted) when it was not clean.
    Status endStatus();
    // The system's socket when bytes may bypass the socket object (a plain connection
    // with nothing buffered on this system); -1 otherwise.
    qintptr plainDescriptor() const;
    // Notes the failure of a bulk step, if any; its bytes.
    qint64 takeBulk(const BulkOutcome& outcome, Status& status);
    qint64 unsentBytes() const;
    void awaitSessionTicket(const QDeadlineTimer& deadline);
    std::unique_ptr<platform::net::PendingConnect> pending_; // a connection being opened
    int ticketsReceived_ = 0;
    bool tlsClosedByPeer_ = false;
};

} // namespace ftp
