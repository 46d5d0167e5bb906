#pragma once
// A self-signed server certificate for "localhost" and 127.0.0.1, made by the openssl
// program at run time, valid for two days.

#include <QString>

namespace testing {

// Writes certificate and key into one PEM file at `path`; false when openssl fails.
bool makeSelfSignedCertificate(const QString& path);

} // namespace testing
