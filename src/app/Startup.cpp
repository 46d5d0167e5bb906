// Start-up and exit of the main window.
#include "mainwindow/frmTesselFTP.h"

#include "ftp/rules/ServerList.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>

void frmTesselFTP::Form_Load() {
    MakeDirTxt->setEnabled(false);
    mnuClose->setEnabled(false);
    mnuCommand->setEnabled(false);
    // A missing or unreadable server list opens the window with an empty list, no message.
    const QStringList servers = serverlist::read(MyPath() + serverlist::kFileName).value_or(QStringList());
    Combo1->addItems(servers);
    Combo1->setCurrentIndex(-1); // "ftp." is typed text: no entry is picked
    Combo1->setEditText(QStringLiteral("ftp."));
}

// Ends the program at once: no handler of any window runs and nothing is sent to the
// server; the event loop stops and the windows are destroyed with the program.
void frmTesselFTP::mnuEnd2_Click() {
    QCoreApplication::exit(0);
}
