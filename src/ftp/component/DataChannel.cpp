#include "ftp/component/DataChannel.h"

#include "ftp/component/CallControl.h"
#include "ftp/component/ControlChannel.h"
#include "ftp/component/LineEnds.h"
#include "ftp/component/Passive.h"
#include "ftp/component/SessionError.h"
#include "platform/DirectIo.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <utility>

#include <vector>

namespace ftp {

std::unique_ptr<Transport> PassiveOpener::begin(ControlChannel& control, const Timeouts& timeouts) {
    const QHostAddress peer = control.transport().peerAddress();
    auto data = std::make_unique<Transport>();
    data->setCallControl(control.callControl());
    extended_ = false;
    if (epsvUsable_) {
        const Reply reply = control.exchange(QStringLiteral("EPSV"), timeouts.replyMs);
        if (const auto port = reply.code == 229 ? epsvPort(reply.text()) : std::nullopt) {
            extended_ = true;
            data->beginConnect(peer, *port);
            return data;
        }
        // Refused or unreadable: PASV from now on.
        epsvUsable_ = false;
    }
    // PASV is also tried on IPv6: its address is never used, only its port.
    const Reply reply = control.exchange(QStringLiteral("PASV"), timeouts.replyMs);
    if (reply.code != 227)
        throw SessionError(SessionError::Refused,
                           QStringLiteral("The server refused passive mode: %1").arg(reply.text()));
    const auto port = pasvPort(reply.text());
    if (!port)
        throw SessionError(SessionError::Refused,
                           QStringLiteral("The server's passive reply is unreadable: %1").arg(reply.text()));
    // The address inside the reply is ignored: it may be private, wrong or chosen to
    // make the client connect somewhere else.
    data->beginConnect(peer, *port);
    return data;
}

bool PassiveOpener::giveUpExtended() {
    const bool was = std::exchange(extended_, false);
    if (was)
        epsvUsable_ = false;
    return was;
}

DataOpening awaitDataOpen(Transport& data, ControlChannel& control, int connectMs,
                          std::optional<Reply>& first) {
    // A server may answer before the connection is there (150 at once, or a refusal and
    // its port closed), or only once it is: both are watched for.
    const QDeadlineTimer deadline(connectMs);
    const CallControl* const cancel = control.callControl();
    for (;;) {
        const Transport::Status status =
            data.awaitConnected(int(std::clamp<qint64>(deadline.remainingTime(), 0, kCancelPollMs)));
        if (status == Transport::Status::Ok) {
            // A cap on what waits between reads keeps memory flat however fast the server sends.
            data.setReadBufferSize(2 * kStreamBufferSize);
            return DataOpening::Open;
        }
        if (status == Transport::Status::Failed)
            return DataOpening::Failed;
        if (!first)
            first = control.awaitReply(QDeadlineTimer(0));
        if (first && first->kind() != 1 && first->kind() != 2) {
            data.abort();
            return DataOpening::Refused;
        }
        if (cancel && cancel->isCancelled())
            return DataOpening::Cancelled;
        if (deadline.hasExpired()) {
            data.abort();
            return DataOpening::TimedOut;
        }
    }
}

namespace {

// The stall rule: within every window of the data timeout at least kStallBytes must move.
// A byte now and then does not keep a connection alive. Waits are cut into slices of
// kCancelPollMs, so that a stream looks at its rule and at the user's cancel between them.
class StallWatch {
public:
    explicit StallWatch(int windowMs) : windowMs_(std::max(windowMs, 1)), window_(windowMs_) {}
    // How long the next wait may last.
    int sliceMs() const { return int(std::clamp<qint64>(window_.remainingTime(), 0, kCancelPollMs)); }
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

// One stream's view of its call: the cancel to look at and the progress to report.
class CallView {
public:
    explicit CallView(const Transport& data) : control_(data.callControl()) {}
    bool cancelled() const { return control_ && control_->isCancelled(); }
    void moved(qint64 bytes) const {
        if (control_)
            control_->addDone(bytes);
    }

private:
    CallControl* control_;
};

StreamResult failed(StreamResult::Outcome outcome, QString detail, qint64 bytes = 0) {
    return {outcome, bytes, std::move(detail)};
}

StreamResult cancelledStream() {
    return failed(StreamResult::Cancelled, QStringLiteral("cancelled by the user"));
}

StreamResult broken(const Transport& data) {
    return data.wasCancelled() ? cancelledStream() : failed(StreamResult::Broken, data.errorString());
}

// Waits until at most `limit` bytes are left queued, under the stall rule.
StreamResult drain(Transport& data, qint64 limit, StallWatch& watch, const CallView& call) {
    for (;;) {
        const qint64 before = data.bytesToWrite();
        const Transport::Status status = data.drainTo(limit, watch.sliceMs());
        watch.moved(before - data.bytesToWrite());
        if (status == Transport::Status::Ok)
            return {};
        if (status != Transport::Status::Timeout)
            return broken(data);
        if (call.cancelled())
            return cancelledStream();
        if (watch.stalled())
            return failed(StreamResult::Timeout, watch.detail());
    }
}

StreamResult sendFileDirectly(const UploadSource& source, Transport& data, StallWatch& watch,
                              const CallView& call) {
    StreamResult result;
    qint64 offset = source.offset;
    for (;;) {
        if (call.cancelled())
            return cancelledStream();
        Transport::Status status;
        const qint64 n =
            data.sendFile(source.file.handle(), &offset, kStreamBufferSize * 4, watch.sliceMs(), status);
        if (status == Transport::Status::End)
            return result;
        if (status == Transport::Status::Failed)
            return broken(data);
        if (status == Transport::Status::Timeout) {
            if (watch.stalled())
                return failed(StreamResult::Timeout, watch.detail());
            continue;
        }
        watch.moved(n);
        call.moved(n);
        result.bytes += n;
    }
}

StreamResult sendFileThroughBuffer(const UploadSource& source, Transport& data, StallWatch& watch,
                                   const CallView& call) {
    StreamResult result;
    if (!source.file.seek(source.offset))
        return failed(StreamResult::LocalFailure,
                      QStringLiteral("Cannot read the local file: %1").arg(source.file.errorString()));
    std::vector<char> buffer(static_cast<size_t>(kStreamBufferSize));
    QByteArray converted;
    LfToCrlf toCrlf;
    // Bytes a writer may queue beyond what the system has taken before it waits.
    constexpr qint64 highWater = 2 * kStreamBufferSize;
    for (;;) {
        if (call.cancelled())
            return cancelledStream();
        const qint64 n = source.file.read(buffer.data(), kStreamBufferSize);
        if (n < 0)
            return failed(StreamResult::LocalFailure,
                          QStringLiteral("Cannot read the local file: %1").arg(source.file.errorString()),
                          result.bytes);
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
        call.moved(n); // progress counts the local file's bytes
        if (StreamResult wait = drain(data, highWater, watch, call); wait.outcome != StreamResult::Done)
            return wait;
    }
}

} // namespace

namespace {

// The receive loop of both ways in. `step` moves the next bytes within a wait of up to
// the given milliseconds (a file that takes no more sets its reason); `take` hands them
// on, false with a reason when they cannot be.
template <typename Step, typename Take>
StreamResult receiveLoop(Transport& data, int timeoutMs, Step step, Take take) {
    StreamResult result;
    StallWatch watch(timeoutMs);
    const CallView call(data);
    for (;;) {
        // Data that keeps coming never waits, so the cancel is looked at here too.
        if (call.cancelled())
            return cancelledStream();
        Transport::Status status;
        QString fileError;
        const qint64 n = step(watch.sliceMs(), status, fileError);
        if (status == Transport::Status::End)
            return result;
        if (status == Transport::Status::Cancelled)
            return cancelledStream();
        if (status == Transport::Status::Timeout) {
            if (!watch.stalled())
                continue;
            result.outcome = StreamResult::Timeout;
            result.detail = watch.detail();
            return result;
        }
        if (status == Transport::Status::Failed) {
            result.outcome = fileError.isEmpty() ? StreamResult::Broken : StreamResult::LocalFailure;
            result.detail = fileError.isEmpty() ? data.errorString() : fileError;
            return result;
        }
        watch.moved(n);
        call.moved(n);
        result.bytes += n;
        if (!take(n, result.detail)) {
            result.outcome = StreamResult::LocalFailure;
            return result;
        }
    }
}

} // namespace

StreamResult receiveStream(Transport& data, int timeoutMs, const ChunkSink& sink) {
    std::vector<char> buffer(static_cast<size_t>(kStreamBufferSize));
    return receiveLoop(
        data, timeoutMs,
        [&](int sliceMs, Transport::Status& status, QString&) {
            return data.readBulk(buffer.data(), kStreamBufferSize, sliceMs, status);
        },
        [&](qint64 n, QString& detail) { return sink(buffer.data(), n, detail); });
}

bool canReceiveIntoFile(const Transport& data) {
    return platform::directio::isAvailable() && data.canSplice();
}

namespace {

StreamResult spliceIntoFile(Transport& data, int timeoutMs, const FileTarget& target) {
    using namespace platform::directio;
    SplicePipe pipe;
    std::vector<char> buffer; // only for bytes the socket object holds already
    return receiveLoop(
        data, timeoutMs,
        [&](int sliceMs, Transport::Status& status, QString& fileError) -> qint64 {
            if (pipe.isOpen() && data.canSplice())
                return data.spliceToFile(pipe, target.handle, kStreamBufferSize, sliceMs, status, fileError);
            buffer.resize(static_cast<size_t>(kStreamBufferSize));
            const qint64 n = data.readBulk(buffer.data(), kStreamBufferSize, sliceMs, status);
            if (status == Transport::Status::Ok && !writeAll(target.handle, buffer.data(), n, fileError))
                status = Transport::Status::Failed;
            return n;
        },
        [&](qint64 n, QString& detail) { return target.written(n, detail); });
}

// Text as it comes from servers that send a file's own LF ends in text mode too: spliced
// into the file like a binary download, each step's bytes only looked over in the file's
// pages for a CR. The first step with one is read back, converted and written over its
// raw bytes, and the rest of the stream is read and converted in the program's buffer.
StreamResult spliceTextIntoFile(Transport& data, int timeoutMs, const FileTarget& target) {
    using namespace platform::directio;
    SplicePipe pipe;
    FileView view(target.handle);
    qint64 end = positionOf(target.handle);    // where the next kept byte goes
    bool splicing = pipe.isOpen() && end >= 0; // until the first CR
    bool spliced = false;                      // how the last step's bytes came
    std::vector<char> buffer(static_cast<size_t>(kStreamBufferSize));
    const auto convertAndWrite = [&](qint64 n, QString& detail) {
        bool crFirst = false; // a CR held back from the bytes before goes in front
        const qint64 converted = target.lineEnds->convertInPlace(buffer.data(), n, crFirst);
        if ((crFirst && !writeAll(target.handle, "\r", 1, detail)) ||
            !writeAll(target.handle, buffer.data(), converted, detail))
            return false;
        const qint64 kept = converted + (crFirst ? 1 : 0);
        end += kept;
        return target.written(kept, detail);
    };
    return receiveLoop(
        data, timeoutMs,
        [&](int sliceMs, Transport::Status& status, QString& fileError) -> qint64 {
            spliced = splicing && data.canSplice();
            if (spliced)
                return data.spliceToFile(pipe, target.handle, kStreamBufferSize, sliceMs, status, fileError);
            return data.readBulk(buffer.data(), kStreamBufferSize, sliceMs, status);
        },
        [&](qint64 n, QString& detail) {
            if (!spliced) {
                if (std::memchr(buffer.data(), '\r', size_t(n)))
                    splicing = false; // a CR held back must meet what follows it here
                return convertAndWrite(n, detail);
            }
            const char* raw = view.view(end, n);
            if (raw && !std::memchr(raw, '\r', size_t(n))) {
                end += n;
                return target.written(n, detail);
            }
            splicing = false;
            if (raw)
                std::memcpy(buffer.data(), raw, size_t(n));
            else if (!readAt(target.handle, end, buffer.data(), n, detail))
                return false;
            return cutTo(target.handle, end, detail) && convertAndWrite(n, detail);
        });
}

} // namespace

StreamResult receiveIntoFile(Transport& data, int timeoutMs, const FileTarget& target) {
    if (target.lineEnds)
        return spliceTextIntoFile(data, timeoutMs, target);
    return spliceIntoFile(data, timeoutMs, target);
}

StreamResult sendStream(const UploadSource& source, Transport& data, int timeoutMs) {
    StallWatch watch(timeoutMs);
    const CallView call(data);
    const bool direct = !source.textMode && !source.hash && source.file.handle() >= 0 && data.canSendFile();
    StreamResult result = direct ? sendFileDirectly(source, data, watch, call)
                                 : sendFileThroughBuffer(source, data, watch, call);
    if (result.outcome != StreamResult::Done)
        return result;
    if (StreamResult wait = drain(data, 0, watch, call); wait.outcome != StreamResult::Done) {
        wait.bytes = result.bytes;
        return wait;
    }
    if (!data.finish(timeoutMs))
        return broken(data);
    return result;
}

} // namespace ftp
