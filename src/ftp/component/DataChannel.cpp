#include "ftp/component/DataChannel.h"

#include "ftp/component/ControlChannel.h"
#include "ftp/component/LineEnds.h"
#include "ftp/component/Passive.h"
#include "ftp/component/SessionError.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>

#include <algorithm>

#include <vector>

namespace ftp {

namespace {

std::unique_ptr<Transport> connectData(const QHostAddress& peer, quint16 port, const Timeouts& timeouts) {
    auto data = std::make_unique<Transport>();
    if (!data->connectTo(peer, port, timeouts.connectMs))
        return nullptr;
    // A cap on what waits between reads keeps memory flat however fast the server sends.
    data->setReadBufferSize(2 * kStreamBufferSize);
    return data;
}

} // namespace

std::unique_ptr<Transport> PassiveOpener::open(ControlChannel& control, const Timeouts& timeouts) {
    const QHostAddress peer = control.transport().peerAddress();
    QString failure;
    if (epsvUsable_) {
        const Reply reply = control.exchange(QStringLiteral("EPSV"), timeouts.replyMs);
        if (reply.code == 229) {
            if (const auto port = epsvPort(reply.text())) {
                if (auto data = connectData(peer, *port, timeouts))
                    return data;
                failure = QStringLiteral("cannot reach the passive port %1").arg(*port);
            }
        }
        // Refused, unreadable or unreachable: PASV from now on.
        epsvUsable_ = false;
    }
    // PASV is also tried on IPv6: its address is never used, only its port.
    const Reply reply = control.exchange(QStringLiteral("PASV"), timeouts.replyMs);
    if (reply.code != 227)
        throw SessionError(
            SessionError::Refused,
            QStringLiteral("The server refused passive mode%1: %2")
                .arg(failure.isEmpty() ? QString() : QStringLiteral(" (") + failure + u')', reply.text()));
    const auto port = pasvPort(reply.text());
    if (!port)
        throw SessionError(SessionError::Refused,
                           QStringLiteral("The server's passive reply is unreadable: %1").arg(reply.text()));
    // The address inside the reply is ignored: it may be private, wrong or chosen to
    // make the client connect somewhere else.
    if (auto data = connectData(peer, *port, timeouts))
        return data;
    throw SessionError(SessionError::Network,
                       QStringLiteral("Cannot open the data connection to port %1.").arg(*port));
}

namespace {

// Waits are cut into slices this long, so that a stream can look at its stall rule
// between them.
constexpr int kWaitSliceMs = 250;

// The stall rule: within every window of the data timeout at least kStallBytes must move.
// A byte now and then does not keep a connection alive.
class StallWatch {
public:
    explicit StallWatch(int windowMs) : windowMs_(std::max(windowMs, 1)), window_(windowMs_) {}
    // How long the next wait may last.
    int sliceMs() const { return int(std::clamp<qint64>(window_.remainingTime(), 0, kWaitSliceMs)); }
    void moved(qint64 bytes) { bytes_ += bytes; }
    // True once a window has ended with too few bytes moved; a window that moved enough
    // starts the next one.
    bool stalled() {
        if (!window_.hasExpired())
            return false;
        if (bytes_ < kStallBytes)
            return true;
        bytes_ = 0;
        window_.setRemainingTime(windowMs_);
        return false;
    }
    QString detail() const {
        return QStringLiteral("fewer than %1 bytes moved in %2 s").arg(kStallBytes).arg(windowMs_ / 1000.0);
    }

private:
    int windowMs_;
    QDeadlineTimer window_;
    qint64 bytes_ = 0;
};

StreamResult stalled(const StallWatch& watch) {
    return {StreamResult::Timeout, 0, watch.detail()};
}

StreamResult broken(const Transport& data) {
    return {StreamResult::Broken, 0, data.errorString()};
}

// Waits until at most `limit` bytes are left queued, under the stall rule.
StreamResult drain(Transport& data, qint64 limit, StallWatch& watch) {
    for (;;) {
        const qint64 before = data.bytesToWrite();
        const Transport::Status status = data.drainTo(limit, watch.sliceMs());
        watch.moved(before - data.bytesToWrite());
        if (status == Transport::Status::Ok)
            return {};
        if (status != Transport::Status::Timeout)
            return broken(data);
        if (watch.stalled())
            return stalled(watch);
    }
}

StreamResult sendFileDirectly(const UploadSource& source, Transport& data, StallWatch& watch) {
    StreamResult result;
    qint64 offset = source.offset;
    for (;;) {
        Transport::Status status;
        const qint64 n =
            data.sendFile(source.file.handle(), &offset, kStreamBufferSize * 4, watch.sliceMs(), status);
        if (status == Transport::Status::End)
            return result;
        if (status == Transport::Status::Failed) {
            result.outcome = StreamResult::Broken;
            result.detail = data.errorString();
            return result;
        }
        if (status == Transport::Status::Timeout) {
            if (watch.stalled()) {
                result.outcome = StreamResult::Timeout;
                result.detail = watch.detail();
                return result;
            }
            continue;
        }
        watch.moved(n);
        result.bytes += n;
    }
}

StreamResult sendFileThroughBuffer(const UploadSource& source, Transport& data, StallWatch& watch) {
    StreamResult result;
    if (!source.file.seek(source.offset))
        return {StreamResult::LocalFailure, 0,
                QStringLiteral("Cannot read the local file: %1").arg(source.file.errorString())};
    std::vector<char> buffer(static_cast<size_t>(kStreamBufferSize));
    QByteArray converted;
    LfToCrlf toCrlf;
    // Bytes a writer may queue beyond what the system has taken before it waits.
    constexpr qint64 highWater = 2 * kStreamBufferSize;
    for (;;) {
        const qint64 n = source.file.read(buffer.data(), kStreamBufferSize);
        if (n < 0)
            return {StreamResult::LocalFailure, result.bytes,
                    QStringLiteral("Cannot read the local file: %1").arg(source.file.errorString())};
        if (n == 0)
            return result;
        if (source.hash)
            source.hash->addData(QByteArrayView(buffer.data(), n));
        const char* out = buffer.data();
        qint64 size = n;
        if (source.textMode) {
            converted.resize(0);
            toCrlf.convert(buffer.data(), n, converted);
            out = converted.constData();
            size = converted.size();
        }
        if (!data.queue(out, size))
            return broken(data);
        result.bytes += size;
        if (StreamResult wait = drain(data, highWater, watch); wait.outcome != StreamResult::Done)
            return wait;
    }
}

} // namespace

StreamResult receiveStream(Transport& data, int timeoutMs, const ChunkSink& sink) {
    StreamResult result;
    StallWatch watch(timeoutMs);
    std::vector<char> buffer(static_cast<size_t>(kStreamBufferSize));
    for (;;) {
        Transport::Status status;
        const qint64 n = data.readBulk(buffer.data(), kStreamBufferSize, watch.sliceMs(), status);
        if (status == Transport::Status::End)
            return result;
        if (status == Transport::Status::Timeout) {
            if (!watch.stalled())
                continue;
            result.outcome = StreamResult::Timeout;
            result.detail = watch.detail();
            return result;
        }
        if (status == Transport::Status::Failed) {
            result.outcome = StreamResult::Broken;
            result.detail = data.errorString();
            return result;
        }
        watch.moved(n);
        result.bytes += n;
        if (!sink(buffer.data(), n, result.detail)) {
            result.outcome = StreamResult::LocalFailure;
            return result;
        }
    }
}

StreamResult sendStream(const UploadSource& source, Transport& data, int timeoutMs) {
    StallWatch watch(timeoutMs);
    const bool direct = !source.textMode && !source.hash && source.file.handle() >= 0 && data.canSendFile();
    StreamResult result =
        direct ? sendFileDirectly(source, data, watch) : sendFileThroughBuffer(source, data, watch);
    if (result.outcome != StreamResult::Done)
        return result;
    if (StreamResult wait = drain(data, 0, watch); wait.outcome != StreamResult::Done) {
        wait.bytes = result.bytes;
        return wait;
    }
    if (!data.finish(timeoutMs)) {
        result.outcome = StreamResult::Broken;
        result.detail = data.errorString();
    }
    return result;
}

} // namespace ftp
