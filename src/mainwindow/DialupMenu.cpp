// The main window's dial-up menu item.
#include "mainwindow/frmTesselFTP.h"

#include "dialup/frmRAS.h"

// "ダイアルアップ接続 and 切断": shows the dial-up window modally, loading it first when it is
// not loaded (a window hidden after a successful dial is shown again as it was).
void frmTesselFTP::mnuFileLine_Click() {
    frmRAS* window = frmRAS::ShowModal(this);
    connect(window, &frmRAS::mainStatus, this, &frmTesselFTP::showDialStatus, Qt::UniqueConnection);
}
