#include "ftp/rules/BatchRules.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace batchrules {

QString remoteFolder(const QString& remoteDir) {
    if (remoteDir.isEmpty())
        return QStringLiteral("/");
    return remoteDir.endsWith(u'/') ? remoteDir : remoteDir + u'/';
}

QString downloadFolder(const QString& saveTo, transferrules::SaveTo kind) {
    const bool endsInSeparator = saveTo.endsWith(u'/') || saveTo.endsWith(QDir::separator());
    if (endsInSeparator)
        return saveTo;
    if (kind == transferrules::SaveTo::Folder)
        return saveTo + QDir::separator();
    // A file, or a text the name is appended to: the names land in the folder before it.
    const qsizetype cut = std::max(saveTo.lastIndexOf(u'/'), saveTo.lastIndexOf(QDir::separator()));
    return saveTo.left(cut + 1);
}

Entries localEntries(const QMimeData& data) {
    Entries entries;
    if (!data.hasUrls())
        return entries;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile())
            continue;
        const QFileInfo info(url.toLocalFile());
        const QString path = QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
        if (info.isDir() && !info.isSymLink()) {
            if (!entries.folders.contains(path))
                entries.folders.append(path);
        } else if (info.isFile() && !entries.files.contains(path)) {
            entries.files.append(path);
        }
    }
    return entries;
}

QMimeData* remoteEntriesData(const Entries& entries, const QString& owner) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << owner << entries.files << entries.folders;
    auto* data = new QMimeData;
    data->setData(kRemoteEntriesType, bytes);
    return data;
}

std::optional<Entries> remoteEntriesOf(const QMimeData& data, const QString& owner) {
    if (!data.hasFormat(kRemoteEntriesType))
        return std::nullopt;
    QDataStream in(data.data(kRemoteEntriesType));
    QString from;
    Entries entries;
    in >> from >> entries.files >> entries.folders;
    if (in.status() != QDataStream::Ok || from != owner || entries.isEmpty())
        return std::nullopt;
    return entries;
}

} // namespace batchrules
