#pragma once
// What the engine tells the window about a server's TLS: the question it asks when a
// certificate cannot be trusted, the user's answer, and the protection of the session.
// Plain data, no widgets: the window turns a question into a box of its own.

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

namespace ftp {

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

// Asked on the engine's thread, before anything of the login is sent; it may block
// until the user has answered.
using CertificatePrompt = std::function<CertificateAnswer(const CertificateQuestion&)>;

// Asked when a server named without a scheme refuses AUTH TLS, before anything of the
// login is sent: the user name, the password and the files would cross the network in
// clear. The server's reply to AUTH TLS, as one line.
struct ClearTextQuestion {
    QString host;
    quint16 port = 0;
    QString serverReply;
};

// True: log in without TLS. Asked on the engine's thread like the certificate prompt.
using ClearTextPrompt = std::function<bool(const ClearTextQuestion&)>;

// How the session's control connection is protected ("TLSv1.3", "TLS_AES_256_GCM_SHA384"),
// and whether its data connections are too (PROT P).
struct TlsStatus {
    bool encrypted = false;
    QString protocol;
    QString cipher;
    bool dataEncrypted = false;
};

} // namespace ftp
