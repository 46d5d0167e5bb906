#pragma once
// A mirror upload's plan: the local folder against its remote namesake, file by file by
// path below the two, by size and modification time (compared at the coarser precision of
// the two, in UTC; a time neither side can tell leaves the size alone to decide). New
// folders, new and changed files are sent; files only the server holds are deleted only
// when asked.

#include "ftp/folders/TransferJob.h"

#include <QHash>
#include <QSet>
#include <QStringList>

namespace ftp::folders {

class MirrorPlan {
public:
    // `localJobs`: localFolderJobs() of the local folder; `remoteJobs`: a RemoteWalk of the
    // remote folder of the same name (empty, or a failed first job, when it is not there).
    MirrorPlan(const JobList& localJobs, const JobList& remoteJobs);

    // Remote files whose size equals the local one but whose time the listing tells only to
    // the minute or the day: worth asking the server for to the second (MDTM).
    QStringList filesWantingTime() const;
    // The server's time of the remote file `remotePath` to the second.
    void setRemoteTime(const QString& remotePath, const FileTime& time);

    // What the mirror does, in order: new folders, new and changed files, then (with
    // `deleteRemoteOnly`) the deletion of files only the server holds.
    JobList jobs(bool deleteRemoteOnly) const;

    static QString newReason();
    static QString changedReason();
    static QString newFolderReason();
    static QString deleteReason();

private:
    struct RemoteFile {
        QString path;
        qint64 size = 0;
        FileTime time;
    };
    JobList local_;
    QHash<QString, RemoteFile> remoteFiles_; // by the path shown
    QSet<QString> remoteFolders_;            // by the path shown, ending in "/"
    QStringList remoteOrder_;                // the remote files as walked

    bool unchanged(const TransferJob& upload, const RemoteFile& remote) const;
};

} // namespace ftp::folders
