// Remote navigation: "変更", "ディレクトリの変更" and the clicks in the two remote lists.
#include "app/frmTesselFTP.h"

#include "ftp/RemotePaths.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

void appendHistory(QComboBox* box, const QString& entry) {
    const QString text = box->currentText();
    const QSignalBlocker blocker(box);
    box->addItem(entry);
    box->setEditText(text);
}

void frmTesselFTP::Command1_Click() {
    List1->clear();
    List2->clear();
    try {
        if (!FtpObj)
            throw ftp::FtpError(QStringLiteral("Not connected."));
        const QString path = Combo4->currentText();
        DirList = FtpObj->GetDir(path, ftp::kFolderFlag);
        if (ftp::isArray(DirList))
            List1->addItems(*DirList);
        DirList = FtpObj->GetDir(path);
        if (ftp::isArray(DirList))
            List2->addItems(*DirList);
        RemoteDir = path;
        appendHistory(Combo4, path);
    } catch (const std::exception&) {
        platform::MsgBox(this, QStringLiteral("Error!!"));
    }
}

void frmTesselFTP::mnuDirChenge_Click() {
    Command1_Click();
}

void frmTesselFTP::List1_Click() {
    const QListWidgetItem* item = List1->currentItem();
    if (!item)
        return;
    Combo4->setEditText(remotepaths::compose(RemoteDir, item->text()));
}

void frmTesselFTP::List2_Click() {
    const QListWidgetItem* item = List2->currentItem();
    if (!item)
        return;
    Combo4->setEditText(remotepaths::compose(RemoteDir, item->text()));
    Text2->clear();
}
