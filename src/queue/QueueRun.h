#pragma once
// A batch from the main window run as a queue: the folders walked into jobs (a mirror upload
// compared and shown in its preview first), then the jobs run one at a time on the session
// in the transfer window, which shows their progress and offers "中止".

#include "ftp/folders/QueueRequest.h"
#include "ftp/folders/TransferJob.h"

class QWidget;

namespace queuewindow {

struct QueueOutcome {
    bool ran = false;             // false: the mirror's preview was cancelled
    bool stopped = false;         // the user stopped the queue with "中止"
    ftp::folders::JobList failed; // the jobs that failed, with their causes (not the one stopped)
};

// Runs `request` on `session` in a transfer window that is a child of `parent` and stays
// open when the queue has ended.
QueueOutcome runQueue(QWidget* parent, ftp::FtpComponent& session, const ftp::QueueRequest& request);

// The lines listing failed jobs for the box that reports them: "path: cause", at most
// `limit` of them and a line for the rest.
QString failureList(const ftp::folders::JobList& failed, int limit = 20);

} // namespace queuewindow
