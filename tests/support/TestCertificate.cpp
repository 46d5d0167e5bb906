#include "support/TestCertificate.h"

#include <QFile>
#include <QProcess>

namespace testing {

bool makeSelfSignedCertificate(const QString& path) {
    const QString key = path + QStringLiteral(".key");
    const QString certificate = path + QStringLiteral(".crt");
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                   QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1"),
                   QStringLiteral("-keyout"), key, QStringLiteral("-out"), certificate});
    if (!openssl.waitForFinished(30'000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
        return false;
    QFile keyFile(key);
    QFile certificateFile(certificate);
    QFile combined(path);
    if (!keyFile.open(QIODevice::ReadOnly) || !certificateFile.open(QIODevice::ReadOnly) ||
        !combined.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    combined.write(certificateFile.readAll() + keyFile.readAll());
    return combined.flush();
}

} // namespace testing
