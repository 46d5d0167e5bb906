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

// How the session's control connection is protected ("TLSv1.3", "TLS_AES_256_GCM_SHA384").
struct TlsStatus {
    bool encrypted = false;
    QString protocol;
    QString cipher;
};

} // namespace ftp
