#pragma once
// Reading server replies off the control connection (RFC 959, section 4.2): a reply is
// one line "xyz text", or several lines from "xyz-text" to the first line that begins
// with the same code followed by a blank. Bytes may arrive cut anywhere.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

namespace ftp {

struct RawReply {
    int code = 0;            // 100..599
    QList<QByteArray> lines; // every line as received, without its line end
};

class ReplyReader {
public:
    // Longest line and largest reply accepted; beyond them the stream counts as garbage.
    static constexpr qsizetype kMaxLineLength = 64 * 1024;
    static constexpr qsizetype kMaxReplyBytes = 8 * 1024 * 1024;
    // Each line costs far more memory than its bytes, so short lines are bounded too.
    static constexpr qsizetype kMaxReplyLines = 100'000;

    enum class State { Ok, Garbage, TooLong };

    void feed(QByteArrayView bytes);
    // The next complete reply, if one has arrived. Once the state is not Ok, nothing more.
    std::optional<RawReply> next();
    State state() const { return state_; }
    // Whether bytes of an unfinished reply are waiting.
    bool hasPartial() const { return buffer_.size() > start_ || !current_.lines.isEmpty(); }

private:
    QByteArray buffer_;
    qsizetype start_ = 0;   // where the unread part of buffer_ begins
    qsizetype scanned_ = 0; // buffer_ holds no line end before this offset
    RawReply current_;
    qsizetype currentBytes_ = 0;
    State state_ = State::Ok;

    // Takes one complete line into the reply being built; true when it ended the reply.
    bool takeLine(QByteArray line);
    void compact();
};

// The reply code at the start of `line` ("xyz" followed by a blank, a hyphen or the
// end), or 0 when the line does not start with one.
int replyCodeOf(QByteArrayView line, char* separator = nullptr);

// The first quoted name in a 257 reply (RFC 959, appendix II: a quote inside the name
// is doubled). Nullopt when the text holds no quoted name.
std::optional<QString> quotedPathOf(const QString& replyText);

} // namespace ftp
