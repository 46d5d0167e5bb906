#pragma once
// The encoding of everything on the control connection and of listed names: UTF-8 once
// the server announces UTF8 in its FEAT reply (RFC 2640), CP932 otherwise. Names go back
// to the server in the encoding they came in.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace ftp {

class NameCodec {
public:
    void setUtf8(bool utf8) { utf8_ = utf8; }
    bool isUtf8() const { return utf8_; }

    QString decode(QByteArrayView bytes) const;
    // Nullopt when `text` holds a character the encoding cannot write.
    std::optional<QByteArray> encode(const QString& text) const;

private:
    bool utf8_ = false;
};

} // namespace ftp
