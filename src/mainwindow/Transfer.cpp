// The two transfer buttons: upload (Command5) and download (Command6).
#include "mainwindow/frmTesselFTP.h"

#include "ftp/rules/FailureCauses.h"
#include "ftp/rules/TransferRules.h"
#include "platform/LocalLists.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

namespace {

// Runs one step of a transfer. An error shows "Error!" with Retry, which runs the step
// again, and Cancel, which gives up. Returns whether the step got done.
template <typename Step> bool runStep(QWidget* parent, Step&& step) {
    for (;;) {
        try {
            step();
            return true;
        } catch (const std::exception& e) {
            if (platform::FailureBox(parent, QStringLiteral("Error!"), causes::ofException(e),
                                     platform::MsgButtons::RetryCancel) != platform::MsgResult::Retry)
                return false;
        }
    }
}

// The hourglass while a transfer blocks the window.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// After Cancel in the "Error!" box: the component need keep nothing for a retry. It
// never raises; should one still do, nothing more is to be done about it here.
void giveUpTransfer(const std::unique_ptr<ftp::FtpComponent>& component) {
    try {
        if (component)
            component->GiveUpTransfer();
    } catch (const std::exception&) {
    }
}

QString selectedEntry(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

} // namespace

void frmTesselFTP::Command5_Click() {
    if (File1->selectedItems().size() > 1) {
        uploadSelected();
        return;
    }
    if (!transferrules::hasDot(Text3->text())) {
        platform::MsgBox(this, QStringLiteral("「選択」ボタンが押されていないようです｡ "));
        return;
    }
    TransferMode = Option1[0]->isChecked() ? ftp::TextMode : ftp::BinaryMode;
    setStatus(QStringLiteral("ファイルの送信中です"));
    Label2->repaint(); // shown before the window blocks in the transfer
    const bool sent = runStep(this, [this] {
        const BusyCursor busy;
        RetCode = session().PutFile(Text3->text(), Combo4->currentText() + u'/', TransferMode);
    });
    if (!sent) {
        giveUpTransfer(FtpObj);
        return; // the status keeps saying the transfer is under way: it did not complete
    }
    setStatus(QStringLiteral("ファイルの送信完了です"));
    mnuDirChenge_Click(); // reports its own errors
    WavSing();            // never fails: a sound that cannot play is silent
    Text3->clear();
}

void frmTesselFTP::Command6_Click() {
    if (List2->selectedItems().size() > 1) {
        downloadSelected();
        return;
    }
    if (!transferrules::hasDot(Combo4->currentText()) || Text3->text().isEmpty()) {
        platform::MsgBox(this,
                         QStringLiteral("ファイル名が選択されていないか、保存場所を指定されていません。"));
        return;
    }
    // The local name comes from the server's side: a name that would leave the chosen
    // folder (or is no name at all) is refused before anything is sent.
    if (!transferrules::isSafeLocalName(
            transferrules::downloadName(selectedEntry(List2), Combo4->currentText()))) {
        platform::MsgBox(this, QStringLiteral("このファイル名では保存できません。"));
        return;
    }
    TransferMode = Option1[0]->isChecked() ? ftp::TextMode : ftp::BinaryMode;
    setStatus(QStringLiteral("ファイルの受信中です"));
    Label2->repaint();
    const bool received = runStep(this, [this] {
        const QString remote = Combo4->currentText();
        const QString name = transferrules::downloadName(selectedEntry(List2), remote);
        if (!transferrules::isSafeLocalName(name))
            throw ftp::FtpError(QStringLiteral("Refused local file name: %1").arg(name));
        const QString saveTo = Text3->text();
        const QFileInfo onDisk(saveTo);
        const auto kind = onDisk.isDir()    ? transferrules::SaveTo::Folder
                          : onDisk.exists() ? transferrules::SaveTo::File
                                            : transferrules::SaveTo::Other;
        const QString target = transferrules::downloadTarget(saveTo, name, kind);
        const BusyCursor busy;
        RetCode = session().GetFile(remote, target, TransferMode);
    });
    if (!received) {
        giveUpTransfer(FtpObj);
        return;
    }
    setStatus(QStringLiteral("ファイルの受信完了です"));
    File1->Refresh();
    Combo4->setEditText(RemoteDir);
    WavSing();
}
