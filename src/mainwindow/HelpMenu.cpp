// The Help menu of the main window: "ヘルプを表示" and "Version情報".
#include "mainwindow/frmTesselFTP.h"

#include "help/HelpWindows.h"
#include "help/frmBrowser22.h"
#include "help/frmTesselTitle.h"
#include "platform/AppPaths.h"

#include <QComboBox>

HelpWindows::HelpWindows(QObject* mainWindow) : QObject(mainWindow) {
    setObjectName(QStringLiteral("helpWindows"));
}

HelpWindows::~HelpWindows() {
    delete browser.data();
    delete title.data();
}

namespace {
void bringToFront(QWidget* window) {
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

// Opens the help window modelessly, with no owner, on the help page's address. A window
// loaded here first goes to its (still empty) address box; the help page itself shows
// when the user presses Enter, "ヘルプ表示" or clicks the window. A window already open
// only gets the address back in its box; the page on display stays.
void frmTesselFTP::mnuHelpPrint_Click() {
    if (!helpWindows)
        helpWindows = new HelpWindows(this);
    if (!helpWindows->browser)
        helpWindows->browser = new frmBrowser22();
    frmBrowser22* browser = helpWindows->browser;
    browser->Combo1->setEditText(apppaths::programFile(QStringLiteral("FtpHelp.htm")));
    bringToFront(browser);
}

// Shows the version window application-modal: until it is closed, no other window of
// the program takes input. The handler does not wait in a loop of its own; nothing
// follows the showing, so the main window simply carries on once the window closes.
void frmTesselFTP::mnuVersion_Click() {
    if (!helpWindows)
        helpWindows = new HelpWindows(this);
    if (!helpWindows->title)
        helpWindows->title = new frmTesselTitle();
    bringToFront(helpWindows->title);
}
