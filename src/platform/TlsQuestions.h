#pragma once
// The questions about a server's TLS that the window puts to the user, and the answer:
// plain data that the engine fills and the boxes show.

#include <QDateTime>
#include <QList>
#include <QString>

namespace platform {

// Why a certificate failed the checks against the system's trust store.
enum class CertificateProblem {
    SelfSigned,      // signed by itself, not by an authority the system trusts
    UntrustedIssuer, // its issuer is unknown or not trusted
    NameMismatch,    // made out for another host name
    Expired,
    NotYetValid,
    Revoked,
    Other, // any other failure; `otherDetail` says which
};

struct CertificateQuestion {
    QString host;
    quint16 port = 0;
    QList<CertificateProblem> problems;
    QString otherDetail;
    // True when the user trusted another certificate for this host and port before.
    bool changed = false;
    QString subject;
    QString issuer;
    QDateTime validFrom;
    QDateTime validUntil;
    QString sha256; // upper-case hex pairs joined by ':'
};

struct CertificateAnswer {
    bool connect = false;
    bool trustFromNowOn = false; // remember the fingerprint for this host and port
};

// Asked when a server named without a scheme refuses AUTH TLS, before anything of the
// login is sent: the user name, the password and the files would cross the network in
// clear. The server's reply to AUTH TLS, as one line.
struct ClearTextQuestion {
    QString host;
    quint16 port = 0;
    QString serverReply;
};

} // namespace platform
