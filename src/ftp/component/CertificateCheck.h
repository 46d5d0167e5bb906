#pragma once
// Turning a server certificate and the system's verdict on it into what the user is asked.

#include "ftp/component/Certificates.h"

#include <QList>
#include <QSslCertificate>
#include <QSslError>

namespace ftp {

// "AB:CD:...", the SHA-256 of the certificate's DER form.
QString sha256Fingerprint(const QSslCertificate& certificate);

CertificateProblem problemOf(QSslError::SslError error);

// Whether `now` lies within the certificate's validity.
bool isWithinValidity(const QSslCertificate& certificate,
                      const QDateTime& now = QDateTime::currentDateTimeUtc());

// Subject, issuer, validity and fingerprint of `certificate`, and each problem once, in
// the order the errors name them (an expired or not yet valid certificate says so, also
// when the errors do not). Host, port and `changed` are left to the caller.
CertificateQuestion describeCertificate(const QSslCertificate& certificate, const QList<QSslError>& errors);

} // namespace ftp
