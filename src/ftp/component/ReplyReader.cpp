#include "ftp/component/ReplyReader.h"

#include <QString>

#include <algorithm>

namespace ftp {

int replyCodeOf(QByteArrayView line, char* separator) {
    if (line.size() < 3)
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return 0;
    }
    if (line[0] < '1' || line[0] > '5')
        return 0;
    const char sep = line.size() > 3 ? line[3] : ' ';
    if (sep != ' ' && sep != '-')
        return 0;
    if (separator)
        *separator = sep;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

void ReplyReader::feed(QByteArrayView bytes) {
    if (state_ == State::Ok)
        buffer_.append(bytes);
}

std::optional<RawReply> ReplyReader::next() {
    while (state_ == State::Ok) {
        const qsizetype end = buffer_.indexOf('\n', std::max(start_, scanned_));
        if (end < 0) {
            scanned_ = buffer_.size();
            // The same limit as for a whole line: a CR at the end may be the first half
            // of the line end, whose LF is still on its way.
            qsizetype waiting = buffer_.size() - start_;
            if (waiting > 0 && buffer_.endsWith('\r'))
                --waiting;
            if (waiting > kMaxLineLength)
                state_ = State::TooLong;
            compact();
            return std::nullopt;
        }
        qsizetype lineEnd = end;
        if (lineEnd > start_ && buffer_.at(lineEnd - 1) == '\r')
            --lineEnd;
        QByteArray line = buffer_.mid(start_, lineEnd - start_);
        start_ = end + 1;
        if (line.size() > kMaxLineLength) {
            state_ = State::TooLong;
            return std::nullopt;
        }
        if (takeLine(std::move(line))) {
            RawReply reply = std::move(current_);
            current_ = RawReply{};
            currentBytes_ = 0;
            compact();
            return reply;
        }
    }
    return std::nullopt;
}

void ReplyReader::compact() {
    if (start_ == 0)
        return;
    buffer_.remove(0, start_);
    scanned_ = std::max<qsizetype>(0, scanned_ - start_);
    start_ = 0;
}

bool ReplyReader::takeLine(QByteArray line) {
    char separator = ' ';
    const int code = replyCodeOf(line, &separator);
    currentBytes_ += line.size() + 2;
    if (currentBytes_ > kMaxReplyBytes || current_.lines.size() >= kMaxReplyLines) {
        state_ = State::TooLong;
        return false;
    }
    if (current_.lines.isEmpty()) {
        if (code == 0) {
            state_ = State::Garbage;
            return false;
        }
        current_.code = code;
        current_.lines.append(std::move(line));
        return separator == ' ';
    }
    current_.lines.append(std::move(line));
    return code == current_.code && separator == ' ';
}

std::optional<QString> quotedPathOf(const QString& replyText) {
    const qsizetype open = replyText.indexOf(u'"');
    if (open < 0)
        return std::nullopt;
    QString path;
    for (qsizetype i = open + 1; i < replyText.size(); ++i) {
        const QChar c = replyText.at(i);
        if (c != u'"') {
            path.append(c);
            continue;
        }
        if (i + 1 < replyText.size() && replyText.at(i + 1) == u'"') {
            path.append(u'"');
            ++i;
            continue;
        }
        return path;
    }
    return std::nullopt;
}

} // namespace ftp
