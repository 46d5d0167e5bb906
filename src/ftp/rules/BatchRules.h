#pragma once
// Text rules of the batches the window starts: where several files go, what a drop from
// the desktop names, and what a drag out of the remote lists carries.

#include "ftp/rules/TransferRules.h"

#include <QString>
#include <QStringList>

#include <optional>

class QMimeData;

namespace batchrules {

// The remote folder a batch uploads into, ending in "/": the folder listed last, "/"
// when nothing was listed yet. Nothing else is changed ("/pub//" stays as it is).
QString remoteFolder(const QString& remoteDir);

// The local folder several files are downloaded into from the save-location box: the
// folder a single download from the same box writes into (downloadTarget), ending in a
// separator; empty when the box names no folder at all (a bare name).
QString downloadFolder(const QString& saveTo, transferrules::SaveTo kind);

// Files and folders, each named by its full path.
struct Entries {
    QStringList files;
    QStringList folders;
    bool isEmpty() const { return files.isEmpty() && folders.isEmpty(); }
};

// What a drop from the desktop names: the local files and folders of its URL list
// (text/uri-list), as absolute native paths, each once. URLs that are not local files,
// paths that do not exist and links to folders (which folder uploads do not follow) are
// left out.
Entries localEntries(const QMimeData& data);

// The MIME type of a drag out of the remote lists.
inline const QString kRemoteEntriesType = QStringLiteral("application/x-tesselftp-remote-entries");

// A drag of remote entries (full remote paths) out of the window named by `owner`, a
// text that no other window of this or another running program has.
QMimeData* remoteEntriesData(const Entries& entries, const QString& owner);
// The remote entries a drag carries when it came out of the window `owner`; nothing for
// any other data.
std::optional<Entries> remoteEntriesOf(const QMimeData& data, const QString& owner);

} // namespace batchrules
