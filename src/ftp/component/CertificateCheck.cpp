#include "ftp/component/CertificateCheck.h"

#include <QCryptographicHash>

namespace ftp {

namespace {

QString describeName(const QSslCertificate& certificate, bool issuer) {
    const QString text = issuer ? certificate.issuerDisplayName() : certificate.subjectDisplayName();
    return text.isEmpty() ? QStringLiteral("-") : text;
}

} // namespace

QString sha256Fingerprint(const QSslCertificate& certificate) {
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

CertificateProblem problemOf(QSslError::SslError error) {
    switch (error) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
        return CertificateProblem::SelfSigned;
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
    case QSslError::InvalidCaCertificate:
    case QSslError::CertificateRejected:
        return CertificateProblem::UntrustedIssuer;
    case QSslError::HostNameMismatch:
        return CertificateProblem::NameMismatch;
    case QSslError::CertificateExpired:
        return CertificateProblem::Expired;
    case QSslError::CertificateNotYetValid:
        return CertificateProblem::NotYetValid;
    case QSslError::CertificateRevoked:
        return CertificateProblem::Revoked;
    default:
        return CertificateProblem::Other;
    }
}

bool isWithinValidity(const QSslCertificate& certificate, const QDateTime& now) {
    return certificate.effectiveDate() <= now && now <= certificate.expiryDate();
}

CertificateQuestion describeCertificate(const QSslCertificate& certificate, const QList<QSslError>& errors) {
    CertificateQuestion question;
    QStringList others;
    for (const QSslError& error : errors) {
        const CertificateProblem problem = problemOf(error.error());
        if (problem == CertificateProblem::Other)
            others.append(error.errorString());
        if (!question.problems.contains(problem))
            question.problems.append(problem);
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const CertificateProblem dated =
        now > certificate.expiryDate() ? CertificateProblem::Expired : CertificateProblem::NotYetValid;
    if (!isWithinValidity(certificate, now) && !question.problems.contains(dated))
        question.problems.append(dated);
    question.otherDetail = others.join(QStringLiteral("; "));
    question.subject = describeName(certificate, false);
    question.issuer = describeName(certificate, true);
    question.validFrom = certificate.effectiveDate();
    question.validUntil = certificate.expiryDate();
    question.sha256 = sha256Fingerprint(certificate);
    return question;
}

} // namespace ftp
