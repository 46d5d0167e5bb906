#include "ftp/folders/QueueRunner.h"

#include "ftp/component/RemotePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

namespace ftp::folders {

using Action = TransferJob::Action;
using State = TransferJob::State;

QueueRunner::QueueRunner(FtpComponent& session, int mode, CauseOf causeOf)
    : session_(session), mode_(mode), causeOf_(std::move(causeOf)) {}

QString QueueRunner::cancelledCause() {
    return QStringLiteral("中止しました。");
}

void QueueRunner::run(JobList& jobs, const Hooks& hooks) {
    // Only the number of commands depends on it: a session that will not take it still runs
    // the queue.
    const auto batch = [this](bool on) {
        try {
            session_.SetBatch(on);
        } catch (const std::exception&) {
        }
    };
    batch(true);
    const auto unbatched = qScopeGuard([&batch] { batch(false); });
    for (qsizetype i = 0; i < jobs.size() && !stopping_; ++i) {
        TransferJob& job = jobs[i];
        if (job.state != State::Waiting)
            continue;
        job.state = State::Running;
        if (hooks.started)
            hooks.started(int(i));
        if (!lostCause_.isEmpty()) {
            job.state = State::Failed;
            job.cause = lostCause_;
        } else {
            runJob(job);
        }
        if (hooks.finished)
            hooks.finished(int(i));
    }
}

void QueueRunner::runJob(TransferJob& job) {
    try {
        switch (job.action) {
        case Action::LocalFolder:
            if (!QDir().mkpath(job.target))
                throw FtpError(QStringLiteral("Cannot make the folder \"%1\".").arg(job.target),
                               FailureDetail(FailureKind::Local));
            break;
        case Action::RemoteFolder:
            // A refusal most often means the folder is there already; should it not be,
            // the files sent into it say so.
            session_.MakeFolder(job.target);
            break;
        case Action::Download:
            download(job);
            break;
        case Action::Upload:
            upload(job);
            break;
        case Action::RemoteDelete:
            if (session_.DeleteFile(job.source) == 0)
                throw FtpError(QStringLiteral("The server refused to delete \"%1\": %2")
                                   .arg(job.source, session_.GetReply().trimmed()),
                               FailureDetail(FailureKind::Refused));
            break;
        }
        job.state = State::Done;
    } catch (const FtpError& e) {
        failed(job, e);
        const FailureKind kind = e.detail().kind;
        if (kind == FailureKind::Cancelled) {
            // What the cancelled transfer kept for a retry (its part file) goes now.
            session_.GiveUpTransfer();
            job.cause = cancelledCause();
            stopping_ = true;
        } else if (kind == FailureKind::Closed || kind == FailureKind::NotConnected) {
            lostCause_ = job.cause;
        }
    } catch (const std::exception& e) {
        failed(job, e);
    }
}

void QueueRunner::failed(TransferJob& job, const std::exception& e) {
    job.state = State::Failed;
    job.cause = causeOf_(e);
}

void QueueRunner::download(const TransferJob& job) {
    int mode = mode_;
    session_.GetFile(job.source, job.target, mode);
    if (!job.time.known() || job.time.precision == TimePrecision::Day)
        return;
    // The server's time on the local copy, as a mirror keeps it; a disk that will not take
    // it keeps the file as it arrived.
    QFile file(job.target);
    if (file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        file.setFileTime(job.time.utc, QFileDevice::FileModificationTime);
}

void QueueRunner::upload(const TransferJob& job) {
    int mode = mode_;
    // The local time on the server's copy (where it lets us), so that the next comparison
    // of the two folders sees the file unchanged.
    session_.PutFileTimed(job.source, job.target + u'/', mode, job.time.known() ? job.time.utc : QDateTime());
}

} // namespace ftp::folders
