#pragma once
// The control connection (RFC 959, section 4): sends command lines, reads whole
// replies, keeps the transcript. A reply that does not arrive in time, a reply that
// makes no sense and a connection the server dropped all end the session: after them
// the channel is closed and every further use fails at once.

#include "ftp/component/CallControl.h"
#include "ftp/component/NameCodec.h"
#include "ftp/component/ReplyReader.h"
#include "ftp/component/SessionError.h"
#include "ftp/component/Transport.h"

#include <QDeadlineTimer>
#include <QStringList>

#include <optional>

namespace ftp {

class Transcript;

struct Reply {
    int code = 0;
    QStringList lines;

    int kind() const { return code / 100; } // 1..5
    // 4xx or 5xx: the server said no, for now or for good.
    bool isRefusal() const { return kind() == 4 || kind() == 5; }
    // The whole reply on one line, as the user is shown it.
    QString oneLine() const { return lines.join(u' '); }
    bool isPositive() const { return code >= 100 && code < 400; }
    QString text() const { return lines.join(u'\n'); }
};

class ControlChannel {
public:
    ControlChannel(Transcript& transcript, NameCodec& codec);

    Transport& transport() { return transport_; }
    bool isOpen() const { return open_; }
    // The channel is open once connected; the caller marks it so.
    void setOpen() {
        open_ = true;
        ++opens_;
    }
    // Ends the session without a word to the server.
    void drop();

    // Cancels through `control`, when set (not owned): a cancelled call sends no further
    // command, and a reply that is awaited gets a short grace to arrive before the
    // connection is dropped, so that a responsive server stays in step.
    void setCallControl(CallControl* control) {
        callControl_ = control;
        transport_.setCallControl(control);
    }
    CallControl* callControl() const { return callControl_; }
    // Throws SessionError::Cancelled when the running call was cancelled.
    void throwIfCancelled() const;

    // Sends one command line (its line end is added here). Throws SessionError (Closed,
    // Failed, Cancelled, or Local for a line the server's encoding cannot carry).
    // `encoded`, when given, is the line's bytes as the caller has already checked and
    // encoded them; the line itself then only goes to the transcript.
    void send(const QString& line, int timeoutMs, const QByteArray* encoded = nullptr);
    // Sends several command lines in one write, so that their replies come back without a
    // round trip each (RFC 959, section 4.2: replies come in the order of the commands).
    void sendTogether(const QStringList& lines, int timeoutMs);
    // Reads the next complete reply. Throws SessionError (Timeout, Closed, Garbage).
    Reply readReply(int timeoutMs);
    // The same with the wait ending at `deadline`, so that several replies share one bound;
    // `timeoutMs` is that bound, for the message.
    Reply readReply(const QDeadlineTimer& deadline, int timeoutMs);
    // The next reply if it arrives before `deadline`; nullopt when none does, and then the
    // session goes on (what arrives later is taken in by checkAlive). Throws SessionError
    // like readReply for a dropped connection or garbage.
    std::optional<Reply> awaitReply(const QDeadlineTimer& deadline);
    // Sends a line and reads its reply; preliminary 1xx replies are followed by the final
    // one, all within `timeoutMs`.
    Reply exchange(const QString& line, int timeoutMs, const QByteArray* encoded = nullptr);

    // Before a call: takes in anything the server sent unasked (a 421 before it hangs
    // up) and fails at once with SessionError::Closed when the server has gone.
    void checkAlive();

    const Reply& lastReply() const { return last_; }

    // While one lives, lines sent and replies read leave no trace: neither the transcript,
    // nor lastReply, nor commandsSent sees them (for the keep-alive between calls).
    class Quiet {
    public:
        explicit Quiet(ControlChannel& channel) : channel_(channel), was_(channel.quiet_) {
            channel.quiet_ = true;
        }
        ~Quiet() { channel_.quiet_ = was_; }
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

    private:
        ControlChannel& channel_;
        bool was_;
    };
    // Grows with every line sent; lets a listing tell that nothing was sent since.
    quint64 commandsSent() const { return sent_; }
    // Grow with every connection marked open and every reply read: let Connect tell what
    // its own attempt got as far as.
    quint64 opens() const { return opens_; }
    quint64 repliesRead() const { return replies_; }

private:
    // The line's bytes; throws SessionError::Local for a line break, a NUL or a character
    // the server's encoding cannot carry.
    QByteArray encodeLine(const QString& line) const;
    Transcript& transcript_;
    NameCodec& codec_;
    Transport transport_;
    ReplyReader reader_;
    Reply last_;
    quint64 sent_ = 0;
    quint64 opens_ = 0;
    quint64 replies_ = 0;
    bool open_ = false;
    bool quiet_ = false;
    CallControl* callControl_ = nullptr;

    Reply takeReply(RawReply raw);
    [[noreturn]] void fail(SessionError::Kind kind, const QString& message);
};

} // namespace ftp
