#include "ftp/component/sftp/SftpPackets.h"

#include <QtEndian>

namespace ftp::sftp {

PacketWriter& PacketWriter::u8(quint8 value) {
    bytes_.append(char(value));
    return *this;
}

PacketWriter& PacketWriter::u32(quint32 value) {
    char raw[4];
    qToBigEndian(value, raw);
    bytes_.append(raw, 4);
    return *this;
}

PacketWriter& PacketWriter::u64(quint64 value) {
    char raw[8];
    qToBigEndian(value, raw);
    bytes_.append(raw, 8);
    return *this;
}

PacketWriter& PacketWriter::string(QByteArrayView bytes) {
    u32(quint32(bytes.size()));
    bytes_.append(bytes.data(), bytes.size());
    return *this;
}

PacketWriter& PacketWriter::permissions(quint32 mode) {
    constexpr quint32 kPermissionsFlag = 0x00000004;
    return u32(kPermissionsFlag).u32(mode);
}

bool PacketReader::take(qsizetype size) {
    if (!ok_ || size < 0 || left() < size) {
        ok_ = false;
        return false;
    }
    return true;
}

quint8 PacketReader::u8() {
    if (!take(1))
        return 0;
    return quint8(bytes_[pos_++]);
}

quint32 PacketReader::u32() {
    if (!take(4))
        return 0;
    const quint32 value = qFromBigEndian<quint32>(bytes_.data() + pos_);
    pos_ += 4;
    return value;
}

quint64 PacketReader::u64() {
    if (!take(8))
        return 0;
    const quint64 value = qFromBigEndian<quint64>(bytes_.data() + pos_);
    pos_ += 8;
    return value;
}

QByteArray PacketReader::string() {
    const quint32 size = u32();
    if (!take(qsizetype(size)))
        return {};
    QByteArray value(bytes_.data() + pos_, qsizetype(size));
    pos_ += size;
    return value;
}

Attributes PacketReader::attributes() {
    // Section 5: flags, then size, uid and gid, permissions, atime and mtime, extensions.
    enum : quint32 { Size = 0x1, UidGid = 0x2, Permissions = 0x4, Times = 0x8, Extended = 0x80000000 };
    Attributes attributes;
    const quint32 flags = u32();
    if (flags & Size)
        attributes.size = u64();
    if (flags & UidGid) {
        u32();
        u32();
    }
    if (flags & Permissions)
        attributes.permissions = u32();
    if (flags & Times) {
        u32(); // atime
        attributes.mtime = u32();
    }
    if (flags & Extended) {
        const quint32 count = u32();
        for (quint32 i = 0; i < count && ok_; ++i) {
            string();
            string();
        }
    }
    return attributes;
}

QString ftpReplyFor(quint32 status, const QString& serverMessage) {
    const auto with = [&](int code, const char* fallback) {
        const QString text =
            serverMessage.trimmed().isEmpty() ? QString::fromLatin1(fallback) : serverMessage;
        return QStringLiteral("%1 %2").arg(code).arg(text.simplified());
    };
    switch (status) {
    case FxOk:
        return with(200, "Success");
    case FxEof:
        return with(226, "End of file");
    case FxNoSuchFile:
        return with(550, "No such file");
    case FxPermissionDenied:
        return with(550, "Permission denied");
    case FxBadMessage:
        return with(501, "Bad message");
    case FxNoConnection:
    case FxConnectionLost:
        return with(421, "Connection lost");
    case FxOpUnsupported:
        return with(502, "Operation unsupported");
    default:
        return with(550, "Failure");
    }
}

} // namespace ftp::sftp
