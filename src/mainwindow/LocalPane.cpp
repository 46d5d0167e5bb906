// The local pane: drive, folder and file lists, the size of the clicked file and "選択".
#include "mainwindow/frmTesselFTP.h"

#include "ftp/rules/FailureCauses.h"
#include "ftp/rules/LocalFiles.h"
#include "platform/LocalLists.h"
#include "platform/MessageBox.h"

#include <QFileInfo>
#include <QLineEdit>

// Moves the folder list to the chosen drive. A drive that is not ready asks for a medium
// and tries again until it is there or the user gives up; giving up, like any other
// failure, puts the drive list back on the drive the folder list still shows.
void frmTesselFTP::Drive1_Change() {
    for (;;) {
        try {
            Dir1->setPath(Drive1->Drive());
            return;
        } catch (const platform::VolumeError& error) {
            if (error.kind() == platform::VolumeError::NotReady) {
                const auto answer =
                    platform::FailureBox(this, QStringLiteral("フロッピーディスクがセットしてください。"),
                                         causes::ofLocalFolder(error.message()), platform::MsgButtons::RetryCancel);
                if (answer == platform::MsgResult::Retry)
                    continue;
            } else {
                platform::FailureBox(this, QStringLiteral("予期しないエラーです。元に戻ります。"),
                                     causes::ofLocalFolder(error.message()));
            }
            Drive1->setDriveOf(Dir1->Path());
            return;
        }
    }
}

// The folder list can climb out of a mounted volume into the one holding it: the drive
// list follows, so it always shows the folder's drive and that drive can be chosen again.
void frmTesselFTP::Dir1_Change() {
    File1->setPath(Dir1->Path());
    Drive1->setDriveOf(Dir1->Path());
}

// Shows the clicked file's size. A file that went away meanwhile leaves the box empty and
// the list is read again, so it no longer offers the file.
void frmTesselFTP::File1_Click() {
    const QFileInfo file(localfiles::composePath(Dir1->Path(), File1->FileName()));
    if (File1->FileName().isEmpty() || !file.exists() || file.isDir()) {
        Text1->clear();
        File1->Refresh();
        return;
    }
    Text1->setText(localfiles::formatSize(file.size()));
}

void frmTesselFTP::Command4_Click() {
    Text3->setText(localfiles::composePath(Dir1->Path(), File1->FileName()));
}
