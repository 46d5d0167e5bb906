#include "ftp/component/sftp/SftpChannel.h"

#include "ftp/component/SessionError.h"

#include <QtEndian>

namespace ftp::sftp {

namespace {

// A read from the channel asks for this much: with libssh 0.10 it is also the window the
// server may fill ahead of the reads (a 64-request download keeps 4 MiB on the way).
constexpr qsizetype kReadChunk = 4 * 1024 * 1024;
// Sent bytes are dropped from the front of the queue once this many have gone.
constexpr qsizetype kSentCompaction = 256 * 1024;

[[noreturn]] void garbage(const QString& what) {
    throw SessionError(SessionError::Garbage,
                       QStringLiteral("The server's SFTP reply makes no sense: %1").arg(what));
}

} // namespace

quint32 Response::status() const {
    PacketReader reader(body);
    return reader.u32();
}

QString Response::statusMessage() const {
    PacketReader reader(body);
    reader.u32();
    return QString::fromUtf8(reader.string());
}

void SftpChannel::enqueue(const QByteArray& packet) {
    // What the channel took goes, so that the queue holds only what is still to send.
    if (outPos_ > 0 && (outPos_ == out_.size() || outPos_ >= kSentCompaction)) {
        out_.remove(0, outPos_);
        outPos_ = 0;
    }
    char length[4];
    qToBigEndian(quint32(packet.size()), length);
    out_.append(length, 4);
    out_.append(packet);
}

quint32 SftpChannel::send(quint8 type, const QByteArray& payload) {
    const quint32 id = nextId_++;
    PacketWriter header;
    header.u8(type).u32(id);
    enqueue(header.bytes() + payload);
    return id;
}

bool SftpChannel::shuffle() {
    bool moved = false;
    if (queued() > 0) {
        const qint64 n = ssh_.writeSome(out_.constData() + outPos_, queued());
        outPos_ += n;
        moved = n > 0;
    }
    if (inPos_ > 0 && inPos_ * 2 >= in_.size()) {
        in_.remove(0, inPos_);
        inPos_ = 0;
    }
    const qsizetype had = in_.size();
    in_.resize(had + kReadChunk);
    const qint64 n = ssh_.readSome(in_.data() + had, kReadChunk);
    in_.resize(had + n);
    return moved || n > 0;
}

std::optional<Response> SftpChannel::takeResponse() {
    const qsizetype available = in_.size() - inPos_;
    if (available < 4)
        return std::nullopt;
    const quint32 length = qFromBigEndian<quint32>(in_.constData() + inPos_);
    if (length < 1 || length > kMaxPacket)
        garbage(QStringLiteral("a packet of %1 bytes").arg(length));
    if (available < 4 + qsizetype(length))
        return std::nullopt;
    PacketReader reader(QByteArrayView(in_.constData() + inPos_ + 4, length));
    Response response;
    response.type = reader.u8();
    const qsizetype bodyAt = response.type == FxpVersion ? 1 : 5;
    if (response.type != FxpVersion)
        response.id = reader.u32();
    if (!reader.ok())
        garbage(QStringLiteral("a packet too short for its id"));
    response.body = QByteArray(in_.constData() + inPos_ + 4 + bodyAt, qsizetype(length) - bodyAt);
    inPos_ += 4 + length;
    return response;
}

Response SftpChannel::next(const QDeadlineTimer& deadline, int timeoutMs) {
    for (;;) {
        if (auto response = takeResponse())
            return std::move(*response);
        if (!shuffle())
            ssh_.waitSlice(deadline, timeoutMs, queued() > 0);
    }
}

Response SftpChannel::call(quint8 type, const QByteArray& payload, int timeoutMs) {
    const quint32 id = send(type, payload);
    const QDeadlineTimer deadline(timeoutMs);
    Response response = next(deadline, timeoutMs);
    if (response.id != id)
        garbage(QStringLiteral("a reply to request %1 while %2 was awaited").arg(response.id).arg(id));
    return response;
}

void SftpChannel::start(int timeoutMs) {
    out_.clear();
    in_.clear();
    outPos_ = inPos_ = 0;
    nextId_ = 1;
    PacketWriter init;
    init.u8(FxpInit).u32(3);
    enqueue(init.bytes());
    const Response version = next(QDeadlineTimer(timeoutMs), timeoutMs);
    PacketReader reader(version.body);
    const quint32 number = reader.u32();
    if (version.type != FxpVersion || !reader.ok() || number < 3)
        garbage(QStringLiteral("no version 3 greeting"));
}

} // namespace ftp::sftp
