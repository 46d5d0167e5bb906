#pragma once
// One step of a queue: a folder to make or a file to move or delete, with its state as the
// transfer window shows it.

#include "ftp/folders/FileTimes.h"

#include <QList>
#include <QString>

namespace ftp::folders {

struct TransferJob {
    enum class Action {
        LocalFolder,  // make the local folder `target`
        RemoteFolder, // make the remote folder `target`
        Download,     // remote file `source` into the local file `target`
        Upload,       // local file `source` into the remote folder `target`
        RemoteDelete, // delete the remote file `source`
    };
    enum class State { Waiting, Running, Done, Failed };

    Action action = Action::Download;
    QString source;
    QString target;
    QString shown;   // the path below the folder moved, as the window lists it
    qint64 size = 0; // bytes a transfer moves, where known
    FileTime time;   // the source's time, given to the target after the transfer where known
    State state = State::Waiting;
    QString cause;  // why it failed
    QString reason; // why a mirror does it ("新規", "更新", ...); empty elsewhere

    bool isTransfer() const { return action == Action::Download || action == Action::Upload; }
    bool isFolder() const { return action == Action::LocalFolder || action == Action::RemoteFolder; }
};

using JobList = QList<TransferJob>;

// A job that cannot be done, listed as failed with `cause` so that the user hears of it.
inline TransferJob failedJob(TransferJob::Action action, const QString& shown, const QString& cause) {
    TransferJob job;
    job.action = action;
    job.shown = shown;
    job.state = TransferJob::State::Failed;
    job.cause = cause;
    return job;
}

} // namespace ftp::folders
