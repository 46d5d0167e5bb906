#pragma once
// The box that asks the user about a server certificate the system's checks refused:
// what is wrong, whom it was made out to and by whom, how long it is valid and its
// SHA-256 fingerprint, with "接続する", "接続しない" and "この証明書を今後も信頼する".

#include "ftp/component/Certificates.h"

#include <QString>

class QWidget;

namespace platform {

// The box's texts: the question with what is wrong, and the certificate's details.
QString certificateQuestionText(const ftp::CertificateQuestion& question);
QString certificateDetailsText(const ftp::CertificateQuestion& question);

// Shows the box (modal, titled "TesselFTP") and returns the user's answer. Closing it by
// its frame or Esc means "接続しない".
ftp::CertificateAnswer askAboutCertificate(QWidget* parent, const ftp::CertificateQuestion& question);

} // namespace platform
