#include "support/TestCertificate.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

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

bool makeExpiredCertificate(const QString& path) {
    // "openssl req" makes certificates valid from now on only; "openssl ca" takes any dates.
    const char script[] = R"(set -e
printf '[ca]\ndefault_ca=d\n[d]\ndatabase=i\nnew_certs_dir=.\nserial=s\ndefault_md=sha256\npolicy=p\n'\
'copy_extensions=copy\n[p]\ncommonName=supplied\n' >c; : >i; echo 01 >s
openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=localhost \
  -addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout k -out r 2>/dev/null
openssl ca -batch -config c -selfsign -keyfile k -in r -startdate 20200101000000Z \
  -enddate 20200102000000Z -out x 2>/dev/null
cat x k >"$1")";
    QTemporaryDir work;
    QProcess shell;
    shell.setWorkingDirectory(work.path());
    shell.start(QStringLiteral("sh"),
                {QStringLiteral("-c"), QString::fromLatin1(script), QStringLiteral("sh"), path});
    return work.isValid() && shell.waitForFinished(30'000) && shell.exitStatus() == QProcess::NormalExit &&
           shell.exitCode() == 0;
}

} // namespace testing
