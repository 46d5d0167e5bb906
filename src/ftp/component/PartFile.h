#pragma once
// The file a download goes into beside its target until it is complete and checked:
// ".<target name>.<random>.part", owner-only (0600) while it fills, given its final mode
// and renamed over the target only at the end, so that no partial file ever carries the
// target's name.

#include "platform/NoFollowOpen.h"

#include <QFile>
#include <QString>

#include <memory>

namespace ftp::partfile {

// The longest file name, in bytes, that common file systems take.
inline constexpr qsizetype kNameLimit = 255;

// The part file's name for a target named `targetName` with the random piece `unique`:
// a target name too long for the limit is shortened and marked with a hash of the whole
// name, so that the part file's name never exceeds kNameLimit bytes.
QString nameFor(const QString& targetName, const QString& unique);

// Creates a new, empty part file beside `target`, open for reading and writing (a
// download looks over what it spliced in); nullptr (with `error`) when it cannot.
std::unique_ptr<QFile> create(const QString& target, QString& error);
// Opens a kept part file to go on writing at `size` (anything beyond it is cut off), only
// when `path` still names the file written before (`identity`, taken when it was created),
// never through a link put in its place.
std::unique_ptr<QFile> reopen(const QString& path, qint64 size, const platform::FileIdentity& identity,
                              QString& error);
// Gives the complete part file its final mode (an existing target's, else that of a new
// file), closes it and renames it from `partPath` over `target`, only when `partPath` still
// names it.
bool putInPlace(QFile& part, const QString& partPath, const QString& target, QString& error);

} // namespace ftp::partfile
