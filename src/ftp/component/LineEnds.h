#pragma once
// Line-end conversion for text-mode transfers (RFC 959, section 3.1.1.1: ASCII type
// puts CR LF at the end of every line on the wire). Both converters work on a stream
// cut anywhere and keep what they need from one chunk to the next.

#include <QByteArray>
#include <QByteArrayView>

namespace ftp {

// How much of a file's start is looked at to tell a binary file: text mode would damage
// one (its CR LF pairs lose their CR), so it moves byte for byte instead.
inline constexpr qint64 kBinarySniffBytes = 8 * 1024;
// Whether the first kBinarySniffBytes of `start` hold a NUL byte, which no text has.
bool looksBinary(QByteArrayView start);

// Upload: every LF not already preceded by CR becomes CR LF, so that a local file with
// CR LF ends stays as it is.
class LfToCrlf {
public:
    // Appends the converted form of `data` to `out`.
    void convert(const char* data, qint64 size, QByteArray& out);

private:
    bool lastWasCr_ = false;
};

// Download: CR LF becomes LF; a lone CR stays. A CR at the end of a chunk is held back
// until the next chunk or finish() shows what follows it.
class CrlfToLf {
public:
    void convert(const char* data, qint64 size, QByteArray& out);
    // The same in place, in one pass: returns the converted size. When `crFirst` comes back
    // true a CR held back from the chunk before belongs in front of the converted bytes.
    qint64 convertInPlace(char* data, qint64 size, bool& crFirst);
    void finish(QByteArray& out);

private:
    bool pendingCr_ = false;
};

} // namespace ftp
