#include "ftp/component/TrustStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace ftp {

namespace {

struct Entry {
    QString host;
    quint16 port = 0;
    QString sha256;
};

QString keyHost(const QString& host) {
    const QByteArray ace = QUrl::toAce(host);
    return ace.isEmpty() ? host.toLower() : QString::fromLatin1(ace).toLower();
}

QList<Entry> readEntries(const QString& path) {
    QList<Entry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(' ');
        if (fields.size() != 3)
            continue;
        bool ok = false;
        const uint port = fields.at(1).toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            continue;
        entries.append(
            {QString::fromLatin1(fields.at(0)), quint16(port), QString::fromLatin1(fields.at(2)).toUpper()});
    }
    return entries;
}

} // namespace

TrustStore::TrustStore(const QString& path) : path_(path.isEmpty() ? defaultPath() : path) {}

QString TrustStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/TesselFTP/trusted-certificates");
}

TrustStore::Verdict TrustStore::check(const QString& host, quint16 port, const QString& sha256) const {
    const QString key = keyHost(host);
    for (const Entry& entry : readEntries(path_)) {
        if (entry.host == key && entry.port == port)
            return entry.sha256 == sha256.toUpper() ? Verdict::Trusted : Verdict::Changed;
    }
    return Verdict::Unknown;
}

bool TrustStore::trust(const QString& host, quint16 port, const QString& sha256) {
    const QString key = keyHost(host);
    QList<Entry> entries = readEntries(path_);
    entries.removeIf([&](const Entry& entry) { return entry.host == key && entry.port == port; });
    entries.append({key, port, sha256.toUpper()});

    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    for (const Entry& entry : std::as_const(entries))
        file.write(QStringLiteral("%1 %2 %3\n").arg(entry.host).arg(entry.port).arg(entry.sha256).toLatin1());
    return file.commit();
}

} // namespace ftp
