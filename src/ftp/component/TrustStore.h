#pragma once
// The certificates the user chose to trust although the system's checks failed, and the
// servers that spoke TLS before: one line per host and port in a small text file under
// $XDG_DATA_HOME/TesselFTP/ (~/.local/share/TesselFTP/ by default). Each line is
// "host port fingerprint", the host in its ASCII (punycode) form, the fingerprint a
// SHA-256 one, or "-" for a server whose certificate the system trusted. The file is
// rewritten whole and atomically, owner-only; a symbolic link at its place is neither
// read nor written through, and only its first kMaxBytes are read.

#include <QString>

namespace ftp {

class TrustStore {
public:
    // The default file, or `path` when not empty (tests).
    explicit TrustStore(const QString& path = QString());

    // A store larger than this was not written by the program: the rest is ignored.
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    enum class Verdict { Unknown, Trusted, Changed };
    Verdict check(const QString& host, quint16 port, const QString& sha256) const;
    // Remembers `sha256` for host and port, replacing an older entry. False when the file
    // cannot be written.
    bool trust(const QString& host, quint16 port, const QString& sha256);
    // Whether host and port spoke TLS before: a session secured there left its line.
    bool spokeTls(const QString& host, quint16 port) const;
    // Remembers that host and port spoke TLS, unless a line for them is there already.
    bool rememberTls(const QString& host, quint16 port);

    const QString& path() const { return path_; }
    static QString defaultPath();

private:
    QString path_;
};

} // namespace ftp
