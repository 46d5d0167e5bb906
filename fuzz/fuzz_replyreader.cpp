// The reply reader on any byte stream, cut anywhere; 257 replies' quoted names.
#include "FuzzInput.h"
#include "ftp/component/ReplyReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using ftp::ReplyReader;
    ReplyReader reader;
    for (const QByteArrayView chunk : fuzzing::chunks(fuzzing::view(data, size))) {
        reader.feed(chunk);
        while (const auto reply = reader.next()) {
            fuzzing::require(reply->code >= 100 && reply->code <= 599, "reply code out of range");
            fuzzing::require(!reply->lines.isEmpty(), "reply without lines");
            fuzzing::require(reply->lines.size() <= ReplyReader::kMaxReplyLines, "too many lines");
            qsizetype bytes = 0;
            for (const QByteArray& line : reply->lines) {
                fuzzing::require(line.size() <= ReplyReader::kMaxLineLength, "line over the limit");
                fuzzing::require(!line.contains('\n'), "line end inside a line");
                bytes += line.size();
            }
            fuzzing::require(bytes <= ReplyReader::kMaxReplyBytes, "reply over the limit");
            fuzzing::require(ftp::replyCodeOf(reply->lines.constFirst()) == reply->code, "first line's code");
            (void)ftp::quotedPathOf(QString::fromUtf8(reply->lines.join('\n')));
        }
    }
    return 0;
}
