#include "ftp/folders/MirrorPlan.h"

#include <QSet>

namespace ftp::folders {

using Action = TransferJob::Action;
using State = TransferJob::State;

QString MirrorPlan::newReason() {
    return QStringLiteral("新規");
}
QString MirrorPlan::changedReason() {
    return QStringLiteral("更新");
}
QString MirrorPlan::newFolderReason() {
    return QStringLiteral("新規フォルダ");
}
QString MirrorPlan::deleteReason() {
    return QStringLiteral("削除");
}

MirrorPlan::MirrorPlan(const JobList& localJobs, const JobList& remoteJobs) : local_(localJobs) {
    for (const TransferJob& job : remoteJobs) {
        if (job.state == State::Failed)
            continue;
        if (job.action == Action::LocalFolder) {
            remoteFolders_.insert(job.shown);
        } else if (job.action == Action::Download) {
            remoteFiles_.insert(job.shown, {job.source, job.size, job.time});
            remoteOrder_.append(job.shown);
        }
    }
}

QStringList MirrorPlan::filesWantingTime() const {
    QStringList paths;
    for (const TransferJob& job : local_) {
        const auto remote = remoteFiles_.constFind(job.shown);
        if (job.action == Action::Upload && remote != remoteFiles_.cend() && remote->size == job.size &&
            remote->time.precision != TimePrecision::Second)
            paths.append(remote->path);
    }
    return paths;
}

void MirrorPlan::setRemoteTime(const QString& remotePath, const FileTime& time) {
    for (RemoteFile& file : remoteFiles_) {
        if (file.path == remotePath && time.known())
            file.time = time;
    }
}

bool MirrorPlan::unchanged(const TransferJob& upload, const RemoteFile& remote) const {
    if (remote.size != upload.size)
        return false;
    return sameTime(upload.time, remote.time).value_or(true);
}

JobList MirrorPlan::jobs(bool deleteRemoteOnly) const {
    JobList jobs;
    QSet<QString> localFiles;
    for (TransferJob job : local_) {
        if (job.action == Action::RemoteFolder) {
            if (remoteFolders_.contains(job.shown))
                continue;
            job.reason = newFolderReason();
        } else if (job.action == Action::Upload) {
            localFiles.insert(job.shown);
            const auto remote = remoteFiles_.constFind(job.shown);
            if (remote != remoteFiles_.cend() && unchanged(job, *remote))
                continue;
            job.reason = remote == remoteFiles_.cend() ? newReason() : changedReason();
        }
        jobs.append(job);
    }
    if (!deleteRemoteOnly)
        return jobs;
    for (const QString& shown : remoteOrder_) {
        if (localFiles.contains(shown))
            continue;
        TransferJob job;
        job.action = Action::RemoteDelete;
        job.source = remoteFiles_.value(shown).path;
        job.shown = shown;
        job.reason = deleteReason();
        jobs.append(job);
    }
    return jobs;
}

} // namespace ftp::folders
