#include "ftp/rules/ServerList.h"

#include "platform/Codepage.h"

#include <QFile>
#include <QSaveFile>

namespace serverlist {

QStringList parse(const QByteArray& bytes) {
    return codepage::splitLines(codepage::fromCp932(bytes));
}

QByteArray serialize(const QStringList& entries) {
    QByteArray bytes;
    for (const QString& entry : entries)
        bytes += codepage::toCp932(entry) + "\r\n";
    return bytes;
}

std::optional<QStringList> read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return parse(bytes);
}

std::optional<QString> write(const QString& path, const QStringList& entries) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QByteArray bytes = serialize(entries);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace serverlist
