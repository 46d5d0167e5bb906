#pragma once
// SFTP version 3 (draft-ietf-secsh-filexfer-02): packet types, status codes, file
// attributes, and the reading and writing of a packet's fields (section 3: uint32 and
// uint64 in network byte order, strings as a uint32 length and the bytes).

#include <QByteArray>
#include <QString>

#include <optional>

namespace ftp::sftp {

enum PacketType : quint8 {
    FxpInit = 1,
    FxpVersion = 2,
    FxpOpen = 3,
    FxpClose = 4,
    FxpRead = 5,
    FxpWrite = 6,
    FxpLstat = 7,
    FxpFstat = 8,
    FxpOpendir = 11,
    FxpReaddir = 12,
    FxpRemove = 13,
    FxpMkdir = 14,
    FxpRmdir = 15,
    FxpRealpath = 16,
    FxpStat = 17,
    FxpStatus = 101,
    FxpHandle = 102,
    FxpData = 103,
    FxpName = 104,
    FxpAttrs = 105,
};

// Section 7.
enum StatusCode : quint32 {
    FxOk = 0,
    FxEof = 1,
    FxNoSuchFile = 2,
    FxPermissionDenied = 3,
    FxFailure = 4,
    FxBadMessage = 5,
    FxNoConnection = 6,
    FxConnectionLost = 7,
    FxOpUnsupported = 8,
};

// Section 6.3: the pflags of SSH_FXP_OPEN.
enum OpenFlag : quint32 {
    FxfRead = 0x01,
    FxfWrite = 0x02,
    FxfAppend = 0x04,
    FxfCreat = 0x08,
    FxfTrunc = 0x10
};

// Section 5: what a server tells of a file, each part only when its flag is set.
struct Attributes {
    std::optional<quint64> size;
    std::optional<quint32> permissions;
    std::optional<quint32> mtime;
    bool isFolder() const { return permissions && (*permissions & 0170000) == 0040000; }
    bool isLink() const { return permissions && (*permissions & 0170000) == 0120000; }
};

class PacketWriter {
public:
    PacketWriter& u8(quint8 value);
    PacketWriter& u32(quint32 value);
    PacketWriter& u64(quint64 value);
    PacketWriter& string(QByteArrayView bytes);
    // Attributes with only the permissions of a new file or folder.
    PacketWriter& permissions(quint32 mode);
    PacketWriter& noAttributes() { return u32(0); }
    const QByteArray& bytes() const { return bytes_; }

private:
    QByteArray bytes_;
};

// Reads fields from the front; a field that runs past the end leaves ok() false and reads
// as zero or empty.
class PacketReader {
public:
    explicit PacketReader(QByteArrayView bytes) : bytes_(bytes) {}
    quint8 u8();
    quint32 u32();
    quint64 u64();
    QByteArray string();
    Attributes attributes();
    bool ok() const { return ok_; }
    qsizetype left() const { return bytes_.size() - pos_; }

private:
    QByteArrayView bytes_;
    qsizetype pos_ = 0;
    bool ok_ = true;
    bool take(qsizetype size);
};

// The reply line an FTP server would give for a status, for the transcript and the
// console: "550 No such file", "550 Permission denied", "502 ..." (the server's own
// message where it sent one).
QString ftpReplyFor(quint32 status, const QString& serverMessage);

} // namespace ftp::sftp
