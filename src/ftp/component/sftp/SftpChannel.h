#pragma once
// The SFTP packets over the SSH channel (draft-ietf-secsh-filexfer-02, section 3): each
// packet is a uint32 length, a type byte and, but for INIT and VERSION, a request id.
// Requests may be sent one after another without waiting (a transfer keeps many in
// flight); replies are read as they come and matched by id.

#include "ftp/component/sftp/SftpPackets.h"
#include "ftp/component/sftp/SshSession.h"

#include <QByteArray>
#include <QDeadlineTimer>

#include <optional>

namespace ftp::sftp {

struct Response {
    quint8 type = 0;
    quint32 id = 0;
    QByteArray body; // after the id

    // For an SSH_FXP_STATUS reply: the code and the server's message.
    quint32 status() const;
    QString statusMessage() const;
};

class SftpChannel {
public:
    explicit SftpChannel(SshSession& ssh) : ssh_(ssh) {}

    // SSH_FXP_INIT and the server's SSH_FXP_VERSION (section 4). Throws SessionError:
    // Garbage for a server that answers anything else.
    void start(int timeoutMs);
    // Queues a request and returns its id; it goes out as the channel takes it.
    quint32 send(quint8 type, const QByteArray& payload);
    // Sends what is queued and waits for the next reply, at most until `deadline`.
    Response next(const QDeadlineTimer& deadline, int timeoutMs);
    // The reply to `id`, after sending it; replies to other ids in between are garbage.
    Response call(quint8 type, const QByteArray& payload, int timeoutMs);
    // Bytes of requests not yet taken by the channel.
    qsizetype queued() const { return out_.size() - outPos_; }
    // Requests sent since the session began: a listing made at one count is still current.
    quint64 requestsSent() const { return nextId_; }

    // The longest reply accepted: a read of kMaxRead bytes and its header, or a folder's
    // page of names.
    static constexpr qsizetype kMaxPacket = 4 * 1024 * 1024;

private:
    SshSession& ssh_;
    QByteArray out_;
    qsizetype outPos_ = 0;
    QByteArray in_;
    qsizetype inPos_ = 0;
    quint32 nextId_ = 1;

    void enqueue(const QByteArray& packet);
    // Moves bytes both ways without waiting; true when anything moved.
    bool shuffle();
    std::optional<Response> takeResponse();
};

} // namespace ftp::sftp
