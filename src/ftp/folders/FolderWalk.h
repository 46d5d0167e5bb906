#pragma once
// Turning folder trees into queue jobs. The remote walk lists each folder once with the
// session's detailed listing; a link to a folder is followed at most once (a set of the
// folders walked, by their unique fact or their path with links resolved, breaks loops);
// at most kMaxDepth levels; every name must pass the rules of a single download. The local
// walk does not follow links.

#include "ftp/component/FtpComponent.h"
#include "ftp/folders/TransferJob.h"

#include <QDateTime>
#include <QQueue>
#include <QSet>

#include <functional>

namespace ftp::folders {

inline constexpr int kMaxDepth = 64;

// The texts a walk gives failed jobs.
QString unsafeNameCause();
QString tooDeepCause();

// Lists a remote folder (FtpComponent::ListFolder); throws FtpError.
using FolderLister = std::function<FolderListing(const QString& path, bool identify)>;
// Why a call failed, as the window shows it.
using CauseOf = std::function<QString(const std::exception&)>;

class RemoteWalk {
public:
    RemoteWalk(FolderLister lister, CauseOf causeOf, QDateTime nowUtc = QDateTime::currentDateTimeUtc());

    // Jobs bringing the remote folder `remote` and all below it into `localParent`, under
    // its own name.
    void addFolder(const QString& remote, const QString& localParent);
    // Jobs bringing the remote files `remotes` into `localParent`: each folder holding some
    // is listed once for their sizes and times (a name it lists as a folder comes whole).
    void addFiles(const QStringList& remotes, const QString& localParent);
    const JobList& jobs() const { return jobs_; }
    // Whether a listing was cancelled: the jobs are then not all there are.
    bool stopped() const { return stopped_; }

private:
    struct Folder {
        QString remote; // the path the session lists it under
        QString real;   // the same with links resolved, as far as known
        QString local;
        QString shown;
        int depth = 1;
        FolderListing listing;
    };
    FolderLister lister_;
    CauseOf causeOf_;
    QDateTime now_;
    bool stopped_ = false; // a listing was cancelled
    QSet<QString> visited_;
    QQueue<Folder> pending_;
    JobList jobs_;

    void walk(const Folder& folder);
    void addEntry(const Folder& parent, const ListEntry& entry);
    // A sub-folder (or a link that may lead to one) queued for walking unless walked already.
    void descend(const Folder& parent, const ListEntry& entry, const QString& real, bool link);
    bool listInto(Folder& folder, bool identify, bool quietly);
    void addDownload(const Folder& parent, const ListEntry& entry, bool machineTimes);
    // The files `names` of the remote folder `folder`, as its listing tells them.
    void addFilesOf(const QString& folder, const QStringList& names, const QString& localParent);
};

// Jobs sending the local folder `local` and all below it into the remote folder
// `remoteParent`, under its own name; links are left out.
JobList localFolderJobs(const QString& local, const QString& remoteParent);
// A job sending the local file `local` into the remote folder `remoteParent`.
TransferJob localFileJob(const QString& local, const QString& remoteParent);

// `path` with "." and ".." pieces resolved ("/a/b/../c" is "/a/c").
QString normalizedRemotePath(const QString& path);

} // namespace ftp::folders
