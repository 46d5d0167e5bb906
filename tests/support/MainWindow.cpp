#include "support/MainWindow.h"

#include "platform/SoundPlayer.h"

namespace testing {

void MainWindowAccess::replaceSoundPlayer(frmTesselFTP& w, platform::SoundPlayer* player) {
    delete w.MMControl1;
    w.MMControl1 = player;
}

namespace {

template <typename T> T* named(QObject& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    Q_ASSERT_X(found, "MainWindow", name);
    return found;
}

} // namespace

MainWindow::MainWindow() {
    Label2 = named<QLabel>(*this, "Label2");
    Text4 = named<QPlainTextEdit>(*this, "Text4");
    Text1 = named<QLineEdit>(*this, "Text1");
    Text2 = named<QLineEdit>(*this, "Text2");
    Text3 = named<QLineEdit>(*this, "Text3");
    MakeDirTxt = named<QLineEdit>(*this, "MakeDirTxt");
    Combo1 = named<QComboBox>(*this, "Combo1");
    Combo2 = named<QComboBox>(*this, "Combo2");
    Combo3 = named<QComboBox>(*this, "Combo3");
    Combo4 = named<QComboBox>(*this, "Combo4");
    Combo5 = named<QComboBox>(*this, "Combo5");
    List1 = named<QListWidget>(*this, "List1");
    List2 = named<QListWidget>(*this, "List2");
    Command1 = named<QPushButton>(*this, "Command1");
    Command2 = named<QPushButton>(*this, "Command2");
    Command3 = named<QPushButton>(*this, "Command3");
    Command4 = named<QPushButton>(*this, "Command4");
    Command5 = named<QPushButton>(*this, "Command5");
    Command6 = named<QPushButton>(*this, "Command6");
    cmdDelfile = named<QPushButton>(*this, "cmdDelfile");
    cmdMkDir = named<QPushButton>(*this, "cmdMkDir");
    cmdMkDirOk = named<QPushButton>(*this, "cmdMkDirOk");
    cmdMkDirNext = named<QPushButton>(*this, "cmdMkDirNext");
    // The two option buttons share their name; their "Index" tells them apart.
    const QList<QRadioButton*> options = findChildren<QRadioButton*>(QStringLiteral("Option1"));
    for (QRadioButton* option : options)
        Option1[option->property("Index").toInt()] = option;
    Frame1 = named<QGroupBox>(*this, "Frame1");
    Frame2 = named<QGroupBox>(*this, "Frame2");
    Drive1 = named<platform::DriveListBox>(*this, "Drive1");
    Dir1 = named<platform::DirListBox>(*this, "Dir1");
    File1 = named<platform::FileListBox>(*this, "File1");
    mnuFile = named<QMenu>(*this, "mnuFile");
    mnuHelp = named<QMenu>(*this, "mnuHelp");
    mnuFileLine = named<QAction>(*this, "mnuFileLine");
    mnuEnd2 = named<QAction>(*this, "mnuEnd2");
    mnuConect = named<QAction>(*this, "mnuConect");
    mnuClose = named<QAction>(*this, "mnuClose");
    mnuDirChenge = named<QAction>(*this, "mnuDirChenge");
    mnuHelpPrint = named<QAction>(*this, "mnuHelpPrint");
    mnuVersion = named<QAction>(*this, "mnuVersion");
    mnuCommand = named<QAction>(*this, "mnuCommand");
}

} // namespace testing
