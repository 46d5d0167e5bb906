// Remote navigation: "変更", "ディレクトリの変更" and the clicks in the two remote lists.
#include "mainwindow/frmTesselFTP.h"

#include "ftp/rules/FailureCauses.h"
#include "ftp/rules/TypedRemotePath.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

void frmTesselFTP::appendRemoteHistory(const QString& path) {
    const QString text = Combo4->currentText();
    const QSignalBlocker blocker(Combo4);
    Combo4->addItem(path);
    Combo4->setEditText(text);
}

void frmTesselFTP::addNames(QListWidget* list, const ftp::DirList& names) {
    if (ftp::isArray(names))
        list->addItems(*names);
}

void frmTesselFTP::Command1_Click() {
    List1->clear();
    List2->clear();
    try {
        const QString path = Combo4->currentText();
        DirList = session().GetDir(path, ftp::kFolderFlag);
        addNames(List1, DirList);
        DirList = session().GetDir(path);
        addNames(List2, DirList);
        RemoteDir = path;
        appendRemoteHistory(path);
    } catch (const std::exception& e) {
        platform::FailureBox(this, QStringLiteral("Error!!"), causes::ofException(e));
    }
}

void frmTesselFTP::mnuDirChenge_Click() {
    Command1_Click();
}

void frmTesselFTP::List1_Click() {
    const QListWidgetItem* item = List1->currentItem();
    if (!item)
        return;
    Combo4->setEditText(typedpath::compose(RemoteDir, item->text()));
}

void frmTesselFTP::List2_Click() {
    const QListWidgetItem* item = List2->currentItem();
    if (!item)
        return;
    Combo4->setEditText(typedpath::compose(RemoteDir, item->text()));
    Text2->clear();
}
