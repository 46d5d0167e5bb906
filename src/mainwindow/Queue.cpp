// Batches: whole folders, several files, drops and the mirror upload, run as a queue in the
// transfer window.
#include "mainwindow/frmTesselFTP.h"

#include "ftp/rules/FailureCauses.h"
#include "platform/LocalLists.h"
#include "platform/MessageBox.h"
#include "queue/QueueRun.h"

#include <QComboBox>

namespace {

QString completedText(ftp::QueueRequest::Kind kind) {
    switch (kind) {
    case ftp::QueueRequest::Kind::Download:
        return QStringLiteral("フォルダの受信完了です");
    case ftp::QueueRequest::Kind::Upload:
        return QStringLiteral("フォルダの送信完了です");
    case ftp::QueueRequest::Kind::MirrorUpload:
        break;
    }
    return QStringLiteral("ミラーリングアップロード完了です");
}

} // namespace

void frmTesselFTP::runQueue(const ftp::QueueRequest& request) {
    queuewindow::QueueOutcome outcome;
    try {
        outcome = queuewindow::runQueue(this, session(), request);
    } catch (const ftp::FtpError& e) {
        // No session, or the mirror's comparison could not be made (unless the user
        // cancelled it).
        if (e.detail().kind != ftp::FailureKind::Cancelled)
            platform::FailureBox(this, QStringLiteral("ERROR !!"), causes::ofError(e));
        return;
    }
    if (!outcome.ran)
        return;
    if (request.kind == ftp::QueueRequest::Kind::Download) {
        File1->Refresh();
    } else if (!outcome.stopped) { // a stop may have come with the end of the session
        // The folders sent show in the remote lists.
        Combo4->setEditText(RemoteDir.isEmpty() ? QStringLiteral("/") : RemoteDir);
        mnuDirChenge_Click();
    }
    if (outcome.failed.isEmpty()) {
        setStatus(outcome.stopped ? QStringLiteral("転送を中止しました") : completedText(request.kind));
    } else {
        platform::FailureBox(this, QStringLiteral("転送できなかったファイルがあります。"),
                             queuewindow::failureList(outcome.failed));
    }
    WavSing();
}
