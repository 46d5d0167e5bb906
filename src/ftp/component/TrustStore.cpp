#include "ftp/component/TrustStore.h"

#include "platform/FileModes.h"
#include "platform/NoFollowOpen.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <optional>

namespace ftp {

namespace {

// The fingerprint field of a server that spoke TLS with a certificate the system trusts.
const QString kNoPin = QStringLiteral("-");

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
    QFile file;
    if (!platform::openForReadNoFollow(file, path))
        return entries;
    QList<QByteArray> lines = file.read(TrustStore::kMaxBytes).split('\n');
    if (!file.atEnd())
        lines.removeLast(); // cut off by the bound
    for (const QByteArray& line : std::as_const(lines)) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
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

std::optional<Entry> entryFor(const QString& path, const QString& host, quint16 port) {
    const QString key = keyHost(host);
    for (const Entry& entry : readEntries(path)) {
        if (entry.host == key && entry.port == port)
            return entry;
    }
    return std::nullopt;
}

bool writeEntries(const QString& path, const QList<Entry>& entries) {
    if (!platform::makeOwnerOnlyFolders(QFileInfo(path).absolutePath()))
        return false;
    // QSaveFile writes to a link's target: the link goes, the new file takes its place.
    if (QFileInfo(path).isSymLink() && !QFile::remove(path))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    for (const Entry& entry : entries)
        file.write(QStringLiteral("%1 %2 %3\n").arg(entry.host).arg(entry.port).arg(entry.sha256).toLatin1());
    return file.commit();
}

} // namespace

TrustStore::TrustStore(const QString& path) : path_(path.isEmpty() ? defaultPath() : path) {}

QString TrustStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/TesselFTP/trusted-certificates");
}

TrustStore::Verdict TrustStore::check(const QString& host, quint16 port, const QString& sha256) const {
    const auto entry = entryFor(path_, host, port);
    if (!entry || entry->sha256 == kNoPin)
        return Verdict::Unknown;
    return entry->sha256 == sha256.toUpper() ? Verdict::Trusted : Verdict::Changed;
}

bool TrustStore::spokeTls(const QString& host, quint16 port) const {
    return entryFor(path_, host, port).has_value();
}

bool TrustStore::trust(const QString& host, quint16 port, const QString& sha256) {
    const QString key = keyHost(host);
    QList<Entry> entries = readEntries(path_);
    entries.removeIf([&](const Entry& entry) { return entry.host == key && entry.port == port; });
    entries.append({key, port, sha256.toUpper()});
    return writeEntries(path_, entries);
}

bool TrustStore::rememberTls(const QString& host, quint16 port) {
    const QString key = keyHost(host);
    QList<Entry> entries = readEntries(path_);
    for (const Entry& entry : std::as_const(entries)) {
        if (entry.host == key && entry.port == port)
            return true;
    }
    entries.append({key, port, kNoPin});
    return writeEntries(path_, entries);
}

} // namespace ftp
