#include "ftp/component/ControlChannel.h"

#include "ftp/component/CallControl.h"
#include "ftp/component/RemotePath.h"
#include "ftp/component/Transcript.h"

#include <QDeadlineTimer>

#include <optional>

namespace ftp {

ControlChannel::ControlChannel(Transcript& transcript, NameCodec& codec)
    : transcript_(transcript), codec_(codec) {}

void ControlChannel::drop() {
    open_ = false;
    transport_.abort();
    // Nothing of this connection may be taken for a reply on the next one.
    reader_ = ReplyReader();
}

void ControlChannel::fail(SessionError::Kind kind, const QString& message) {
    drop();
    throw SessionError(kind, message);
}

namespace {
// How long a reply that was already asked for may still take once the call is cancelled.
constexpr int kCancelGraceMs = 500;
} // namespace

void ControlChannel::throwIfCancelled() const {
    if (callControl_ && callControl_->isCancelled())
        throw SessionError(SessionError::Cancelled, QStringLiteral("Cancelled by the user."));
}

QByteArray ControlChannel::encodeLine(const QString& line) const {
    // The last guard against a line that would smuggle in a second command.
    if (holdsLineBreakOrNul(line))
        throw SessionError(SessionError::Local,
                           QStringLiteral("A command line may not hold a line break or a NUL character."));
    const auto bytes = codec_.encodeCommand(line);
    if (!bytes)
        throw SessionError(
            SessionError::Local,
            QStringLiteral("The command holds characters the server's encoding (%1) cannot carry.")
                .arg(codec_.isUtf8() ? QStringLiteral("UTF-8") : QStringLiteral("CP932")));
    return *bytes;
}

void ControlChannel::send(const QString& line, int timeoutMs, const QByteArray* encoded) {
    if (!open_)
        throw SessionError(SessionError::Closed, QStringLiteral("Not connected to a server."));
    throwIfCancelled();
    const QByteArray wire = (encoded ? *encoded : encodeLine(line)) + "\r\n";
    if (!quiet_) {
        ++sent_;
        transcript_.command(line);
    }
    // A line once begun is sent whole.
    const CancelShield shield(callControl_);
    if (!transport_.write(wire.constData(), wire.size(), timeoutMs) || !transport_.flush(timeoutMs))
        fail(transport_.error() == QAbstractSocket::SocketTimeoutError ? SessionError::Timeout
                                                                       : SessionError::Closed,
             QStringLiteral("The connection to the server was lost while sending a command (%1).")
                 .arg(transport_.errorString()));
}

void ControlChannel::sendTogether(const QStringList& lines, int timeoutMs) {
    if (!open_)
        throw SessionError(SessionError::Closed, QStringLiteral("Not connected to a server."));
    throwIfCancelled();
    QByteArray wire;
    for (const QString& line : lines)
        wire += encodeLine(line) + "\r\n";
    for (const QString& line : lines)
        transcript_.command(line);
    sent_ += quint64(lines.size());
    const CancelShield shield(callControl_);
    if (!transport_.write(wire.constData(), wire.size(), timeoutMs) || !transport_.flush(timeoutMs))
        fail(transport_.error() == QAbstractSocket::SocketTimeoutError ? SessionError::Timeout
                                                                       : SessionError::Closed,
             QStringLiteral("The connection to the server was lost while sending a command (%1).")
                 .arg(transport_.errorString()));
}

Reply ControlChannel::takeReply(RawReply raw) {
    Reply reply;
    reply.code = raw.code;
    reply.lines.reserve(raw.lines.size());
    for (const QByteArray& line : raw.lines)
        reply.lines.append(codec_.decode(line));
    if (!quiet_) {
        transcript_.reply(reply.code, reply.lines);
        last_ = reply;
    }
    ++replies_;
    return reply;
}

Reply ControlChannel::readReply(int timeoutMs) {
    return readReply(QDeadlineTimer(timeoutMs), timeoutMs);
}

Reply ControlChannel::readReply(const QDeadlineTimer& deadline, int timeoutMs) {
    if (auto reply = awaitReply(deadline))
        return std::move(*reply);
    if (transport_.wasCancelled()) {
        // The reply asked for may still come at once; if not, the session is given up.
        const CancelShield shield(callControl_);
        if (auto reply = awaitReply(std::min(deadline, QDeadlineTimer(kCancelGraceMs))))
            return std::move(*reply);
        fail(SessionError::Cancelled,
             QStringLiteral("Cancelled by the user; the server did not answer in time."));
    }
    drop();
    throw SessionError(SessionError::Timeout,
                       QStringLiteral("The server did not answer within %1 s; the connection was closed.")
                           .arg(timeoutMs / 1000.0),
                       FailureDetail(FailureKind::Timeout, timeoutMs));
}

std::optional<Reply> ControlChannel::awaitReply(const QDeadlineTimer& deadline) {
    if (!open_)
        throw SessionError(SessionError::Closed, QStringLiteral("Not connected to a server."));
    char buffer[16 * 1024];
    for (;;) {
        if (auto raw = reader_.next())
            return takeReply(std::move(*raw));
        if (reader_.state() == ReplyReader::State::Garbage)
            fail(SessionError::Garbage, QStringLiteral("The server sent a reply that is not FTP."));
        if (reader_.state() == ReplyReader::State::TooLong)
            fail(SessionError::Garbage,
                 QStringLiteral("The server sent an overlong reply (a line over %1 KiB, or more than %2 MiB "
                                "or %3 lines).")
                     .arg(ReplyReader::kMaxLineLength / 1024)
                     .arg(ReplyReader::kMaxReplyBytes / (1024 * 1024))
                     .arg(ReplyReader::kMaxReplyLines));
        Transport::Status status;
        const qint64 n = transport_.read(buffer, sizeof buffer,
                                         int(std::max<qint64>(0, deadline.remainingTime())), status);
        switch (status) {
        case Transport::Status::Ok:
            reader_.feed(QByteArrayView(buffer, n));
            break;
        case Transport::Status::Timeout:
        case Transport::Status::Cancelled:
            return std::nullopt;
        case Transport::Status::End:
            fail(SessionError::Closed, QStringLiteral("The server closed the connection."));
        case Transport::Status::Failed:
            fail(SessionError::Closed,
                 QStringLiteral("The connection to the server was lost (%1).").arg(transport_.errorString()));
        }
    }
}

Reply ControlChannel::exchange(const QString& line, int timeoutMs, const QByteArray* encoded) {
    send(line, timeoutMs, encoded);
    // RFC 959, section 4.2: any number of 1xx replies may come before the final one, but
    // a server that keeps sending them must not hold the caller for ever.
    const QDeadlineTimer deadline(timeoutMs);
    Reply reply = readReply(deadline, timeoutMs);
    while (reply.kind() == 1)
        reply = readReply(deadline, timeoutMs);
    return reply;
}

void ControlChannel::checkAlive() {
    if (!open_)
        throw SessionError(SessionError::Closed, QStringLiteral("Not connected to a server."));
    const bool alive = transport_.poll();
    char buffer[16 * 1024];
    Transport::Status status = Transport::Status::Ok;
    while (transport_.bytesAvailable() > 0 && status == Transport::Status::Ok) {
        const qint64 n = transport_.read(buffer, sizeof buffer, 0, status);
        if (status == Transport::Status::Ok)
            reader_.feed(QByteArrayView(buffer, n));
    }
    // Whatever came unasked (possibly together with the last reply) is logged; a 421
    // means the server is about to hang up.
    while (auto raw = reader_.next()) {
        const Reply reply = takeReply(std::move(*raw));
        if (reply.code == 421)
            fail(SessionError::Closed, QStringLiteral("The server closed the session: %1").arg(reply.text()));
    }
    if (reader_.state() != ReplyReader::State::Ok)
        fail(SessionError::Garbage, QStringLiteral("The server sent a reply that is not FTP."));
    if (!alive || !transport_.isConnected())
        fail(SessionError::Closed, QStringLiteral("The server closed the connection."));
}

} // namespace ftp
