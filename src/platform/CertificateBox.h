#pragma once
// The box that asks the user about a server certificate the system's checks refused:
// what is wrong, whom it was made out to and by whom, how long it is valid and its
// SHA-256 fingerprint, with "接続する", "接続しない" and "この証明書を今後も信頼する"; and
// the box that asks before a login without TLS.

#include "platform/TlsQuestions.h"

#include <QString>

class QWidget;

namespace platform {

// The box's texts: the question with what is wrong, and the certificate's details.
QString certificateQuestionText(const CertificateQuestion& question);
QString certificateDetailsText(const CertificateQuestion& question);

// Shows the box (modal, titled "TesselFTP") and returns the user's answer. Closing it by
// its frame or Esc means "接続しない".
CertificateAnswer askAboutCertificate(QWidget* parent, const CertificateQuestion& question);

// The box that asks before logging in without TLS to a server that refused it: the risk
// named, "接続する" and "接続しない" (the default, also for Esc and the frame). The text,
// and the box shown (modal, titled "TesselFTP"); true for "接続する".
QString clearTextQuestionText(const ClearTextQuestion& question);
bool askAboutClearText(QWidget* parent, const ClearTextQuestion& question);

} // namespace platform
