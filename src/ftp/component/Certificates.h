#pragma once
// What the engine tells the window about a server's TLS: the question it asks when a
// certificate cannot be trusted, the user's answer, and the protection of the session.
// Plain data, no widgets: the window turns a question into a box of its own.

#include "platform/TlsQuestions.h"

#include <QString>

#include <functional>

namespace ftp {

using platform::CertificateAnswer;
using platform::CertificateProblem;
using platform::CertificateQuestion;
using platform::ClearTextQuestion;

// Asked on the engine's thread, before anything of the login is sent; it may block
// until the user has answered.
using CertificatePrompt = std::function<CertificateAnswer(const CertificateQuestion&)>;

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
