#pragma once
// Runs a queue's jobs one after the other on the session: folders made once, files moved
// with the session's own transfers (part files, checks), each file's time carried over
// where known. A failed job is noted with its cause and the queue goes on; a cancelled
// call ends the queue after what it kept is given up; a lost session fails what is left.

#include "ftp/component/FtpComponent.h"
#include "ftp/folders/FolderWalk.h"
#include "ftp/folders/TransferJob.h"

#include <functional>

namespace ftp::folders {

class QueueRunner {
public:
    struct Hooks {
        std::function<void(int)> started;  // job at that index begins
        std::function<void(int)> finished; // job at that index is done or failed
    };

    QueueRunner(FtpComponent& session, int mode, CauseOf causeOf);

    // Runs every waiting job of `jobs` in order, until the end or a stop.
    void run(JobList& jobs, const Hooks& hooks);
    // Ends the queue once the running job has ended; what is left stays waiting.
    void stop() { stopping_ = true; }
    bool stopped() const { return stopping_; }

    // The cause a cancelled job is listed with.
    static QString cancelledCause();

private:
    FtpComponent& session_;
    int mode_;
    CauseOf causeOf_;
    bool stopping_ = false;
    QString lostCause_; // the session is gone: why

    void runJob(TransferJob& job);
    void download(const TransferJob& job);
    void upload(const TransferJob& job);
    void failed(TransferJob& job, const std::exception& e);
};

} // namespace ftp::folders
