#include "ftp/component/DataChannel.h"

#include "ftp/component/CallControl.h"
#include "ftp/component/ControlChannel.h"
#include "ftp/component/LineEnds.h"
#include "ftp/component/Passive.h"
#include "ftp/component/SessionError.h"

#include <QIODevice>

#include <vector>

namespace ftp {

namespace {

std::unique_ptr<Transport> connectData(const QHostAddress& peer, quint16 port, const Timeouts& timeouts,
                                       CallControl* control) {
    auto data = std::make_unique<Transport>();
    data->setCallControl(control);
    if (!data->connectTo(peer, port, timeouts.connectMs)) {
        if (data->wasCancelled())
            throw SessionError(SessionError::Cancelled, QStringLiteral("Cancelled by the user."));
        return nullptr;
    }
    // A cap on what waits between reads keeps memory flat however fast the server sends.
    data->setReadBufferSize(2 * kStreamBufferSize);
    return data;
}

} // namespace

std::unique_ptr<Transport> PassiveOpener::open(ControlChannel& control, const Timeouts& timeouts) {
    const QHostAddress peer = control.transport().peerAddress();
    CallControl* const cancel = control.callControl();
    QString failure;
    if (epsvUsable_) {
        const Reply reply = control.exchange(QStringLiteral("EPSV"), timeouts.replyMs);
        if (reply.code == 229) {
            if (const auto port = epsvPort(reply.text())) {
                if (auto data = connectData(peer, *port, timeouts, cancel))
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
    if (auto data = connectData(peer, *port, timeouts, cancel))
        return data;
    throw SessionError(SessionError::Network,
                       QStringLiteral("Cannot open the data connection to port %1.").arg(*port));
}

StreamResult receiveStream(Transport& data, int timeoutMs, const ChunkSink& sink) {
    StreamResult result;
    CallControl* const progress = data.callControl();
    std::vector<char> buffer(static_cast<size_t>(kStreamBufferSize));
    for (;;) {
        Transport::Status status = Transport::Status::Cancelled;
        // Data that keeps coming never waits, so the cancel is looked at here too.
        const qint64 n = progress && progress->isCancelled()
                             ? 0
                             : data.read(buffer.data(), kStreamBufferSize, timeoutMs, status);
        if (status == Transport::Status::End)
            return result;
        if (status == Transport::Status::Cancelled) {
            result.outcome = StreamResult::Cancelled;
            result.detail = QStringLiteral("cancelled by the user");
            return result;
        }
        if (status == Transport::Status::Timeout) {
            result.outcome = StreamResult::Timeout;
            result.detail = QStringLiteral("no data arrived for %1 s").arg(timeoutMs / 1000.0);
            return result;
        }
        if (status == Transport::Status::Failed) {
            result.outcome = StreamResult::Broken;
            result.detail = data.errorString();
            return result;
        }
        result.bytes += n;
        if (progress)
            progress->addDone(n);
        if (!sink(buffer.data(), n, result.detail)) {
            result.outcome = StreamResult::LocalFailure;
            return result;
        }
    }
}

StreamResult sendStream(QIODevice& source, Transport& data, int timeoutMs, bool textMode) {
    StreamResult result;
    CallControl* const progress = data.callControl();
    const auto cancelled = [&] {
        result.outcome = StreamResult::Cancelled;
        result.detail = QStringLiteral("cancelled by the user");
        return result;
    };
    std::vector<char> buffer(static_cast<size_t>(kStreamBufferSize));
    QByteArray converted;
    LfToCrlf toCrlf;
    if (textMode)
        converted.reserve(2 * kStreamBufferSize);
    for (;;) {
        if (progress && progress->isCancelled())
            return cancelled();
        const qint64 n = source.read(buffer.data(), kStreamBufferSize);
        if (n < 0) {
            result.outcome = StreamResult::LocalFailure;
            result.detail = source.errorString();
            return result;
        }
        if (n == 0)
            break;
        const char* out = buffer.data();
        qint64 size = n;
        if (textMode) {
            converted.resize(0);
            toCrlf.convert(buffer.data(), n, converted);
            out = converted.constData();
            size = converted.size();
        }
        if (!data.write(out, size, timeoutMs)) {
            if (data.wasCancelled())
                return cancelled();
            result.outcome = data.error() == QAbstractSocket::SocketTimeoutError ? StreamResult::Timeout
                                                                                 : StreamResult::Broken;
            result.detail = data.errorString();
            return result;
        }
        result.bytes += size;
        if (progress)
            progress->addDone(n);
    }
    if (!data.finish(timeoutMs)) {
        if (data.wasCancelled())
            return cancelled();
        result.outcome = StreamResult::Broken;
        result.detail = data.errorString();
    }
    return result;
}

} // namespace ftp
