#pragma once
// The encoding of everything on the control connection and of listed names: UTF-8 once
// the server announces UTF8 in its FEAT reply (RFC 2640), CP932 otherwise. Names go back
// to the server as the very bytes they came in.
//
// A listed name is shown as decoded, except for bytes the encoding does not read (and a
// U+FFFD the server itself sent): each such byte is shown as U+FFFD followed by its two
// hex digits ("bad\xff.txt" becomes "bad\uFFFDFF.txt"), so that the name is visibly marked
// and its bytes can be told from it again. A name that is shown differently from its bytes
// in another way (a decomposed name shown composed) is remembered with its bytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <optional>

namespace ftp {

class NameCodec {
public:
    // A new session's encoding; names remembered from the last one are forgotten.
    void setUtf8(bool utf8) {
        utf8_ = utf8;
        rawNames_.clear();
    }
    bool isUtf8() const { return utf8_; }

    QString decode(QByteArrayView bytes) const;
    // Nullopt when `text` holds a character the encoding cannot write.
    std::optional<QByteArray> encode(const QString& text) const;

    // A listed name (or a whole listing line) as shown; see above.
    QString decodeName(QByteArrayView bytes) const;
    // The bytes of a name as shown: remembered bytes first, then marked bytes given back.
    std::optional<QByteArray> encodeName(const QString& shown) const;
    // Remembers that `shown` stands for `raw`.
    void rememberName(const QString& shown, const QByteArray& raw);

    // A command line for the wire: the path argument of a command that takes one has each
    // of its "/"-separated pieces encoded as a name, the rest as text.
    std::optional<QByteArray> encodeCommand(const QString& line) const;

    // The mark of one byte that has no character: U+FFFD and two hex digits.
    static constexpr char16_t kByteMark = 0xFFFD;
    // Remembered names beyond this many are forgotten (the oldest listings' first).
    static constexpr qsizetype kMaxRememberedNames = 200'000;

private:
    bool utf8_ = false;
    QHash<QString, QByteArray> rawNames_;

    QString decodeMarked(QByteArrayView bytes) const;
};

} // namespace ftp
