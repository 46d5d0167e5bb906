// Remote file and folder operations: "ファイル削除" and the make-directory panel.
#include "mainwindow/frmTesselFTP.h"

#include "ftp/rules/FailureCauses.h"
#include "ftp/rules/RemoteCommands.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

// The folder-name box's two looks: closed (disabled, grey) and open for input
// (enabled, light blue).
void setMakeDirLook(QLineEdit* box, bool open) {
    box->setEnabled(open);
    const QString colour = open ? QStringLiteral("rgb(192, 192, 255)") : QStringLiteral("rgb(192, 192, 192)");
    box->setStyleSheet(QStringLiteral("#%1 { background-color: %2; }").arg(box->objectName(), colour));
}

} // namespace

// Deletes the remote file named in Combo4, without a question: a path with no "." is
// taken for a folder and refused before anything is sent.
void frmTesselFTP::cmdDelfile_Click() {
    try {
        if (!remotecmd::namesAFile(Combo4->currentText())) {
            platform::MsgBox(this, QStringLiteral("ファイル名が選択されていません。"));
            return;
        }
        RetCode = session().DeleteFile(Combo4->currentText());
        if (RetCode == 0) {
            setStatus(QStringLiteral("Error!!"), refusalCause());
            return;
        }
        setStatus(QStringLiteral("削除しました。"));
        Combo4->setEditText(RemoteDir);
        mnuDirChenge_Click(); // the deleted file leaves List2
        WavSing();
    } catch (const std::exception& e) {
        platform::FailureBox(this, QStringLiteral("ERROR !!"), causes::ofException(e));
    }
}

void frmTesselFTP::cmdMkDir_Click() {
    setMakeDirLook(MakeDirTxt, true);
}

void frmTesselFTP::cmdMkDirNext_Click() {
    MakeDirTxt->clear();
    setMakeDirLook(MakeDirTxt, false);
}

// Sends "MKD <Combo4>/<name>" and lists Combo4's folder again. The reply is not examined:
// the new folder shows in List1 when the server made it. The panel stays open.
void frmTesselFTP::cmdMkDirOk_Click() {
    try {
        const QString line = remotecmd::mkdLine(Combo4->currentText(), MakeDirTxt->text());
        RetCode = session().Command(line);
        setStatus(QStringLiteral("MKDコマンドの送信をしました。"));
        MakeDirTxt->clear();
        Command1_Click();
    } catch (const std::exception& e) {
        platform::FailureBox(this, QStringLiteral("MKD Error !!"), causes::ofException(e));
        MakeDirTxt->clear();
    }
}
