#pragma once
// "ftpsvr.dat": the remembered server names, one per line, CP932, every line ended by
// CR LF when written; a line read ends at CR LF or a lone CR (or LF), the last one may
// lack its terminator.

#include <QStringList>

#include <optional>

namespace serverlist {

inline const QString kFileName = QStringLiteral("ftpsvr.dat");

QStringList parse(const QByteArray& bytes);
QByteArray serialize(const QStringList& entries);

// std::nullopt when the file is missing or unreadable.
std::optional<QStringList> read(const QString& path);
// Replaces the file whole; on failure the old file is untouched and the reason is returned.
std::optional<QString> write(const QString& path, const QStringList& entries);

} // namespace serverlist
