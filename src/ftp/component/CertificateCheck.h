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

// Subject, issuer, validity and fingerprint of `certificate`, and each problem once, in
// the order the errors name them. Host, port and `changed` are left to the caller.
CertificateQuestion describeCertificate(const QSslCertificate& certificate, const QList<QSslError>& errors);

} // namespace ftp
