#pragma once
// A self-signed server certificate for "localhost" and 127.0.0.1, made by the openssl
// program at run time, valid for two days, or expired since 2020.

#include <QString>

namespace testing {

// Writes certificate and key into one PEM file at `path`; false when openssl fails.
bool makeSelfSignedCertificate(const QString& path);
// The same with a certificate valid only on 1 January 2020.
bool makeExpiredCertificate(const QString& path);

} // namespace testing
