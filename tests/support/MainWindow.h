#pragma once
// The main window as tests drive it: its controls found by objectName, as a user's tools
// find them, and the few values of its session state that tests check, read through the
// window's one test-access friend.

#include "mainwindow/frmTesselFTP.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "platform/LocalLists.h"

namespace platform {
class SoundPlayer;
}

namespace testing {

// Reads and replaces what the main window keeps to itself.
struct MainWindowAccess {
    static const QString& remoteDir(const frmTesselFTP& w) { return w.RemoteDir; }
    static qint32& retCode(frmTesselFTP& w) { return w.RetCode; }
    static int transferMode(const frmTesselFTP& w) { return w.TransferMode; }
    static const QString& logBuf(const frmTesselFTP& w) { return w.LogBuf; }
    static const QString& logLine(const frmTesselFTP& w) { return w.LogLine; }
    static HelpWindows* helpWindows(const frmTesselFTP& w) { return w.helpWindows; }
    static platform::SoundPlayer* soundPlayer(const frmTesselFTP& w) { return w.MMControl1; }
    // Puts `player` (a child of the window) in place of the window's sound player.
    static void replaceSoundPlayer(frmTesselFTP& w, platform::SoundPlayer* player);
    static void showLog(frmTesselFTP& w) { w.LogTxt(); }
    static void playSound(frmTesselFTP& w) { w.WavSing(); }
    static void runQueue(frmTesselFTP& w, const ftp::QueueRequest& request) { w.runQueue(request); }
};

// The window with its controls at hand under their own names.
class MainWindow : public frmTesselFTP {
public:
    MainWindow();

    QString remoteDir() const { return MainWindowAccess::remoteDir(*this); }
    qint32& retCode() { return MainWindowAccess::retCode(*this); }
    int transferMode() const { return MainWindowAccess::transferMode(*this); }
    QString logBuf() const { return MainWindowAccess::logBuf(*this); }
    QString logLine() const { return MainWindowAccess::logLine(*this); }

    QLabel* Label2;
    QPlainTextEdit* Text4;
    QLineEdit *Text1, *Text2, *Text3, *MakeDirTxt;
    QComboBox *Combo1, *Combo2, *Combo3, *Combo4, *Combo5;
    QListWidget *List1, *List2;
    QPushButton *Command1, *Command2, *Command3, *Command4, *Command5, *Command6;
    QPushButton *cmdDelfile, *cmdMkDir, *cmdMkDirOk, *cmdMkDirNext;
    QRadioButton* Option1[2];
    QGroupBox *Frame1, *Frame2;
    platform::DriveListBox* Drive1;
    platform::DirListBox* Dir1;
    platform::FileListBox* File1;
    QMenu *mnuFile, *mnuHelp;
    QAction *mnuFileLine, *mnuEnd2, *mnuConect, *mnuClose, *mnuDirChenge, *mnuHelpPrint, *mnuVersion,
        *mnuCommand;
};

} // namespace testing
