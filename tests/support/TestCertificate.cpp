#include "support/TestCertificate.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace testing {

namespace {

bool runOpenssl(const QStringList& arguments, const QString& workingDir = QString()) {
    QProcess openssl;
    openssl.setWorkingDirectory(workingDir);
    openssl.start(QStringLiteral("openssl"), arguments);
    return openssl.waitForFinished(30'000) && openssl.exitStatus() == QProcess::NormalExit &&
           openssl.exitCode() == 0;
}

bool combine(const QString& certificate, const QString& key, const QString& path) {
    QFile keyFile(key);
    QFile certificateFile(certificate);
    QFile combined(path);
    if (!keyFile.open(QIODevice::ReadOnly) || !certificateFile.open(QIODevice::ReadOnly) ||
        !combined.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    combined.write(certificateFile.readAll() + keyFile.readAll());
    return combined.flush();
}

const QStringList kNewKey{QStringLiteral("-newkey"),
                          QStringLiteral("ec"),
                          QStringLiteral("-pkeyopt"),
                          QStringLiteral("ec_paramgen_curve:prime256v1"),
                          QStringLiteral("-nodes"),
                          QStringLiteral("-subj"),
                          QStringLiteral("/CN=localhost"),
                          QStringLiteral("-addext"),
                          QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1")};

} // namespace

bool makeSelfSignedCertificate(const QString& path) {
    const QString key = path + QStringLiteral(".key");
    const QString certificate = path + QStringLiteral(".crt");
    return runOpenssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-days"),
                                  QStringLiteral("2"), QStringLiteral("-keyout"), key, QStringLiteral("-out"),
                                  certificate} +
                      kNewKey) &&
           combine(certificate, key, path);
}

bool makeExpiredCertificate(const QString& path) {
    // "openssl req" only makes certificates valid from now on; "openssl ca" takes any dates.
    QTemporaryDir ca;
    QFile config(ca.filePath(QStringLiteral("ca.cnf")));
    if (!ca.isValid() || !config.open(QIODevice::WriteOnly))
        return false;
    config.write("[ca]\ndefault_ca = d\n[d]\ndatabase = index.txt\nnew_certs_dir = .\nserial = serial\n"
                 "default_md = sha256\npolicy = p\ncopy_extensions = copy\n[p]\ncommonName = supplied\n");
    config.close();
    QFile(ca.filePath(QStringLiteral("index.txt"))).open(QIODevice::WriteOnly);
    QFile serial(ca.filePath(QStringLiteral("serial")));
    if (!serial.open(QIODevice::WriteOnly) || serial.write("01\n") != 3)
        return false;
    serial.close();
    const QString key = path + QStringLiteral(".key");
    const QString certificate = path + QStringLiteral(".crt");
    return runOpenssl(QStringList{QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-keyout"),
                                  key, QStringLiteral("-out"), QStringLiteral("request.csr")} +
                          kNewKey,
                      ca.path()) &&
           runOpenssl({QStringLiteral("ca"), QStringLiteral("-batch"), QStringLiteral("-config"),
                       QStringLiteral("ca.cnf"), QStringLiteral("-selfsign"), QStringLiteral("-keyfile"), key,
                       QStringLiteral("-in"), QStringLiteral("request.csr"), QStringLiteral("-startdate"),
                       QStringLiteral("20200101000000Z"), QStringLiteral("-enddate"),
                       QStringLiteral("20200102000000Z"), QStringLiteral("-out"), certificate},
                      ca.path()) &&
           combine(certificate, key, path);
}

} // namespace testing
