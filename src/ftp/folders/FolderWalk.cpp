#include "ftp/folders/FolderWalk.h"

#include "ftp/component/RemotePath.h"
#include "ftp/rules/TransferRules.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace ftp::folders {

using Action = TransferJob::Action;

QString unsafeNameCause() {
    return QStringLiteral("このファイル名では保存できません。");
}

QString tooDeepCause() {
    return QStringLiteral("フォルダの階層が深すぎます (%1 階層まで)。").arg(kMaxDepth);
}

QString normalizedRemotePath(const QString& path) {
    QStringList kept;
    const QStringList pieces = path.split(u'/', Qt::SkipEmptyParts);
    for (const QString& piece : pieces) {
        if (piece == u"..") {
            if (!kept.isEmpty())
                kept.removeLast();
        } else if (piece != u".") {
            kept.append(piece);
        }
    }
    return u'/' + kept.join(u'/');
}

namespace {

QString joinLocal(const QString& folder, const QString& name) {
    if (folder.endsWith(u'/') || folder.endsWith(QDir::separator()))
        return folder + name;
    return folder + QDir::separator() + name;
}

QString joinShown(const QString& folder, const QString& name) {
    return folder.isEmpty() ? name : folder + u'/' + name;
}

QString keyOf(const QString& unique, const QString& real) {
    return unique.isEmpty() ? QStringLiteral("path:") + real : QStringLiteral("unique:") + unique;
}

} // namespace

RemoteWalk::RemoteWalk(FolderLister lister, CauseOf causeOf, QDateTime nowUtc)
    : lister_(std::move(lister)), causeOf_(std::move(causeOf)), now_(std::move(nowUtc)) {}

void RemoteWalk::addFolder(const QString& remote, const QString& localParent) {
    if (stopped_)
        return;
    const QString path = tidyRemotePath(remote);
    const QString name = lastRemoteSegment(path);
    if (!transferrules::isSafeLocalName(name)) {
        jobs_.append(failedJob(Action::LocalFolder, name, unsafeNameCause()));
        return;
    }
    Folder top{path, normalizedRemotePath(path), joinLocal(localParent, name), name, 1, {}};
    if (!listInto(top, true, false))
        return;
    if (!top.listing.realPath.isEmpty())
        top.real = normalizedRemotePath(top.listing.realPath);
    visited_.insert(keyOf(top.listing.self, top.real));
    pending_.enqueue(std::move(top));
    while (!pending_.isEmpty())
        walk(pending_.dequeue());
}

void RemoteWalk::addFiles(const QStringList& remotes, const QString& localParent) {
    QStringList folders; // in the order first met
    QHash<QString, QStringList> names;
    for (const QString& remote : remotes) {
        const QString path = tidyRemotePath(remote);
        const qsizetype slash = path.lastIndexOf(u'/');
        const QString folder = slash <= 0 ? QStringLiteral("/") : path.left(slash);
        if (!names.contains(folder))
            folders.append(folder);
        names[folder].append(path.mid(slash + 1));
    }
    for (const QString& folder : std::as_const(folders))
        addFilesOf(folder, names.value(folder), localParent);
}

void RemoteWalk::addFilesOf(const QString& folder, const QStringList& names, const QString& localParent) {
    Folder parent{folder, normalizedRemotePath(folder), localParent, QString(), 0, {}};
    QHash<QString, ListEntry> listed;
    // Without a listing the files still go: their downloads ask what they need.
    if (!stopped_ && listInto(parent, false, true)) {
        for (const ListEntry& entry : std::as_const(parent.listing.entries))
            listed.insert(entry.name, entry);
    }
    if (stopped_)
        return;
    for (const QString& name : names) {
        const ListEntry entry = listed.value(name, ListEntry(name, EntryKind::File));
        if (!transferrules::isSafeLocalName(name))
            jobs_.append(failedJob(Action::Download, name, unsafeNameCause()));
        else if (entry.kind == EntryKind::Folder)
            addFolder(joinRemotePath(folder, name), localParent);
        else
            addDownload(parent, entry, parent.listing.machineTimes);
    }
}

bool RemoteWalk::listInto(Folder& folder, bool identify, bool quietly) {
    try {
        folder.listing = lister_(folder.remote, identify);
        // By name, as the user finds them in the window's lists.
        std::sort(folder.listing.entries.begin(), folder.listing.entries.end(),
                  [](const ListEntry& a, const ListEntry& b) { return a.name < b.name; });
        return true;
    } catch (const FtpError& e) {
        // The user stopped: nothing more is walked, and nothing of it is a failure.
        if (e.detail().kind == FailureKind::Cancelled) {
            pending_.clear();
            stopped_ = true;
        } else if (!quietly) {
            jobs_.append(failedJob(Action::LocalFolder, folder.shown + u'/', causeOf_(e)));
        }
        return false;
    } catch (const std::exception& e) {
        if (!quietly)
            jobs_.append(failedJob(Action::LocalFolder, folder.shown + u'/', causeOf_(e)));
        return false;
    }
}

void RemoteWalk::walk(const Folder& folder) {
    TransferJob make;
    make.action = Action::LocalFolder;
    make.target = folder.local;
    make.shown = folder.shown + u'/';
    jobs_.append(make);
    // Files and plain folders first, so that a folder is walked under its own name rather
    // than through a link met before it.
    for (const ListEntry& entry : folder.listing.entries) {
        if (entry.kind != EntryKind::Link)
            addEntry(folder, entry);
    }
    for (const ListEntry& entry : folder.listing.entries) {
        if (entry.kind == EntryKind::Link)
            addEntry(folder, entry);
    }
}

void RemoteWalk::addEntry(const Folder& parent, const ListEntry& entry) {
    if (!transferrules::isSafeLocalName(entry.name)) {
        jobs_.append(failedJob(Action::Download, joinShown(parent.shown, entry.name), unsafeNameCause()));
        return;
    }
    switch (entry.kind) {
    case EntryKind::File:
        addDownload(parent, entry, parent.listing.machineTimes);
        break;
    case EntryKind::Folder:
        descend(parent, entry, joinRemotePath(parent.real, entry.name), false);
        break;
    case EntryKind::Link: {
        // Where the link points, against the real path of its folder.
        const QString target = entry.target.trimmed();
        const QString real = target.isEmpty()          ? joinRemotePath(parent.real, entry.name)
                             : target.startsWith(u'/') ? normalizedRemotePath(target)
                                                       : normalizedRemotePath(parent.real + u'/' + target);
        descend(parent, entry, real, true);
        break;
    }
    case EntryKind::Self:
        break;
    }
}

void RemoteWalk::descend(const Folder& parent, const ListEntry& entry, const QString& real, bool link) {
    const QString key = keyOf(entry.unique, real);
    if (visited_.contains(key))
        return; // walked already: a loop, or a second way to the same folder
    Folder child{joinRemotePath(parent.remote, entry.name),
                 real,
                 joinLocal(parent.local, entry.name),
                 joinShown(parent.shown, entry.name),
                 parent.depth + 1,
                 {}};
    if (child.depth > kMaxDepth) {
        jobs_.append(failedJob(Action::LocalFolder, child.shown + u'/', tooDeepCause()));
        return;
    }
    // A link that the server will not enter leads to a file (or nowhere: its download says).
    if (!listInto(child, false, link)) {
        if (link && !stopped_)
            addDownload(parent, entry, false);
        return;
    }
    visited_.insert(key);
    pending_.enqueue(std::move(child));
}

void RemoteWalk::addDownload(const Folder& parent, const ListEntry& entry, bool machineTimes) {
    TransferJob job;
    job.action = Action::Download;
    job.source = joinRemotePath(parent.remote, entry.name);
    job.target = joinLocal(parent.local, entry.name);
    job.shown = joinShown(parent.shown, entry.name);
    job.size = entry.size.value_or(0);
    job.time = machineTimes ? machineTime(entry.modified) : listedTime(entry.listedTime, now_);
    jobs_.append(job);
}

// --- The local side ----------------------------------------------------------------------

TransferJob localFileJob(const QString& local, const QString& remoteParent) {
    const QFileInfo info(local);
    TransferJob job;
    job.action = Action::Upload;
    job.source = info.absoluteFilePath();
    job.target = tidyRemotePath(remoteParent);
    job.shown = info.fileName();
    job.size = info.size();
    job.time = localTime(info.lastModified());
    if (holdsLineBreakOrNul(job.shown)) {
        job.state = TransferJob::State::Failed;
        job.cause = QStringLiteral("このファイル名では送信できません。");
    }
    return job;
}

JobList localFolderJobs(const QString& local, const QString& remoteParent) {
    struct Pending {
        QString local, remote, shown;
        int depth;
    };
    const QFileInfo top(local);
    QQueue<Pending> pending;
    pending.enqueue({top.absoluteFilePath(), joinRemotePath(tidyRemotePath(remoteParent), top.fileName()),
                     top.fileName(), 1});
    JobList jobs;
    while (!pending.isEmpty()) {
        const Pending folder = pending.dequeue();
        TransferJob make;
        make.action = Action::RemoteFolder;
        make.target = folder.remote;
        make.shown = folder.shown + u'/';
        jobs.append(make);
        const QFileInfoList entries =
            QDir(folder.local)
                .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                               QDir::Name | QDir::DirsLast);
        for (const QFileInfo& entry : entries) {
            const QString shown = folder.shown + u'/' + entry.fileName();
            if (entry.isSymLink())
                continue; // not followed: what it points to is not part of the folder
            if (!entry.isDir()) {
                TransferJob job = localFileJob(entry.absoluteFilePath(), folder.remote);
                job.shown = shown;
                jobs.append(job);
            } else if (holdsLineBreakOrNul(entry.fileName())) {
                jobs.append(failedJob(Action::RemoteFolder, shown + u'/',
                                      QStringLiteral("このファイル名では送信できません。")));
            } else if (folder.depth >= kMaxDepth) {
                jobs.append(failedJob(Action::RemoteFolder, shown + u'/', tooDeepCause()));
            } else {
                pending.enqueue({entry.absoluteFilePath(), joinRemotePath(folder.remote, entry.fileName()),
                                 shown, folder.depth + 1});
            }
        }
    }
    return jobs;
}

} // namespace ftp::folders
