#pragma once
// The certificates the user chose to trust although the system's checks failed: one
// SHA-256 fingerprint per host and port, in a small text file under
// $XDG_DATA_HOME/TesselFTP/ (~/.local/share/TesselFTP/ by default). Each line is
// "host port fingerprint", the host in its ASCII (punycode) form. The file is rewritten
// whole and atomically, owner-only.

#include <QString>

namespace ftp {

class TrustStore {
public:
    // The default file, or `path` when not empty (tests).
    explicit TrustStore(const QString& path = QString());

    enum class Verdict { Unknown, Trusted, Changed };
    Verdict check(const QString& host, quint16 port, const QString& sha256) const;
    // Remembers `sha256` for host and port, replacing an older entry. False when the file
    // cannot be written.
    bool trust(const QString& host, quint16 port, const QString& sha256);

    const QString& path() const { return path_; }
    static QString defaultPath();

private:
    QString path_;
};

} // namespace ftp
