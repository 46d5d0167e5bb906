#include "queue/QueueRun.h"

#include "ftp/component/RemotePath.h"
#include "ftp/folders/FolderWalk.h"
#include "ftp/folders/MirrorPlan.h"
#include "ftp/folders/QueueRunner.h"
#include "ftp/rules/FailureCauses.h"
#include "platform/CallProgress.h"
#include "queue/frmMirror.h"
#include "queue/frmQueue.h"

#include <QFileInfo>

namespace queuewindow {

using ftp::QueueRequest;
using namespace ftp::folders;

namespace {

QString causeOf(const std::exception& e) {
    return causes::ofException(e);
}

// The session's detailed listing, given up at once once the user has stopped the queue.
FolderLister listerFor(ftp::FtpComponent& session, const QueueRunner& runner, frmQueue* window) {
    return [&session, &runner, window](const QString& path, bool identify) {
        if (runner.stopped())
            throw ftp::FtpError(QueueRunner::cancelledCause(),
                                ftp::FailureDetail(ftp::FailureKind::Cancelled));
        window->setPhase(QStringLiteral("一覧を取得しています: %1").arg(path));
        return session.ListFolder(path, identify);
    };
}

JobList transferJobs(ftp::FtpComponent& session, const QueueRequest& request, const QueueRunner& runner,
                     frmQueue* window) {
    if (request.kind == QueueRequest::Kind::Download) {
        RemoteWalk walk(listerFor(session, runner, window), causeOf);
        for (const QString& folder : request.folders)
            walk.addFolder(folder, request.target);
        walk.addFiles(request.files, request.target);
        return walk.jobs();
    }
    JobList jobs;
    for (const QString& folder : request.folders)
        jobs += localFolderJobs(folder, request.target);
    for (const QString& file : request.files)
        jobs.append(localFileJob(file, request.target));
    return jobs;
}

// The mirror's jobs as the user confirmed them in the preview; false when cancelled.
bool mirrorJobs(QWidget* parent, ftp::FtpComponent& session, const QueueRequest& request, JobList& jobs) {
    const QString local = request.folders.value(0);
    const JobList localJobs = localFolderJobs(local, request.target);
    // A folder the server does not have (it refuses the listing) is all new; any other
    // failure to list it leaves nothing to compare with.
    std::optional<ftp::FtpError> broken;
    const FolderLister lister = [&](const QString& path, bool identify) {
        try {
            return session.ListFolder(path, identify);
        } catch (const ftp::FtpError& e) {
            if (e.detail().kind != ftp::FailureKind::Refused &&
                e.detail().kind != ftp::FailureKind::Cancelled)
                broken = e;
            throw;
        }
    };
    RemoteWalk walk(lister, causeOf);
    walk.addFolder(ftp::joinRemotePath(ftp::tidyRemotePath(request.target), QFileInfo(local).fileName()),
                   QString());
    if (broken)
        throw *broken;
    if (walk.stopped())
        return false;
    MirrorPlan plan(localJobs, walk.jobs());
    // Where the listing told the time only to the minute or the day: MDTM, where offered.
    const QStringList wanting = plan.filesWantingTime();
    for (const QString& path : wanting)
        plan.setRemoteTime(path, machineTime(session.FileTime(path)));
    frmMirror preview(parent, plan);
    if (preview.exec() != QDialog::Accepted)
        return false;
    jobs = preview.jobs();
    return true;
}

QString outcomeText(const JobList& jobs, bool stopped) {
    const auto failed = std::count_if(jobs.cbegin(), jobs.cend(), [](const TransferJob& job) {
        return job.state == TransferJob::State::Failed;
    });
    if (stopped)
        return QStringLiteral("中止しました。");
    return failed == 0 ? QStringLiteral("完了しました。")
                       : QStringLiteral("%1 件が失敗しました。").arg(failed);
}

} // namespace

QueueOutcome runQueue(QWidget* parent, ftp::FtpComponent& session, const QueueRequest& request) {
    JobList jobs;
    if (request.kind == QueueRequest::Kind::MirrorUpload && !mirrorJobs(parent, session, request, jobs))
        return {};
    // One transfer window: the last queue's goes (no queue runs while another does).
    qDeleteAll(parent->findChildren<frmQueue*>(Qt::FindDirectChildrenOnly));
    auto* window = new frmQueue(parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    QueueRunner runner(session, request.mode, causeOf);
    window->setStopHandler([&runner] { runner.stop(); });
    {
        const platform::OwnProgress own(window,
                                        [window](platform::CallControl* call) { window->setCall(call); });
        if (request.kind != QueueRequest::Kind::MirrorUpload) {
            window->setPhase(QStringLiteral("一覧を取得しています…"));
            jobs = transferJobs(session, request, runner, window);
        }
        window->setJobs(jobs);
        const auto show = [&](int index) { window->showJob(index, jobs.at(index)); };
        runner.run(jobs, {show, show});
    }
    window->setStopHandler({});
    window->finish(outcomeText(jobs, runner.stopped()));
    QueueOutcome outcome{true, runner.stopped(), {}};
    std::copy_if(jobs.cbegin(), jobs.cend(), std::back_inserter(outcome.failed), [](const TransferJob& job) {
        return job.state == TransferJob::State::Failed && job.cause != QueueRunner::cancelledCause();
    });
    return outcome;
}

QString failureList(const JobList& failed, int limit) {
    QStringList lines;
    for (const TransferJob& job : failed) {
        if (lines.size() == limit) {
            lines.append(QStringLiteral("ほか %1 件").arg(failed.size() - limit));
            break;
        }
        lines.append(job.shown + QStringLiteral(": ") + job.cause);
    }
    return lines.join(u'\n');
}

} // namespace queuewindow
