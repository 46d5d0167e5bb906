#pragma once
// What a transfer is checked against: the size the server reports (SIZE, RFC 3659
// section 4, or the 150 reply) and the file's hash (HASH, draft-bryan-ftpext-hash, or the
// older XSHA256, XSHA1 and XMD5 commands).

#include "ftp/component/ControlChannel.h"

#include <QCryptographicHash>
#include <QStringList>

#include <optional>

namespace ftp {

// The size a 150 reply announces: the last "(N bytes)" that ends its first line, so that a
// file name holding "(N bytes)" is not taken for the size.
std::optional<qint64> announcedSize(const Reply& reply);
// The size in a 213 reply to SIZE.
std::optional<qint64> sizeFromReply(const Reply& reply);

// How the server can tell a file's hash, as its FEAT reply offers it.
struct HashMethod {
    enum Command { None, Hash, XSha256, XSha1, XMd5 };
    Command command = None;
    QCryptographicHash::Algorithm algorithm = QCryptographicHash::Sha256;
    QString name;          // HASH's name of the algorithm ("SHA-256"), for OPTS HASH
    bool selected = false; // HASH already uses that algorithm (marked "*" in FEAT)

    bool offered() const { return command != None; }
    // The command to send, followed by a blank and the path.
    QString verb() const;
};
// The best method among the FEAT reply's lines: HASH with SHA-256, SHA-512, SHA-1 or MD5,
// then XSHA256, XSHA1, XMD5.
HashMethod hashMethodFromFeatures(const QStringList& featLines);
// The hex digest (lower case) in a positive reply to the method's command.
std::optional<QByteArray> digestFromReply(const Reply& reply, const HashMethod& method);

} // namespace ftp
