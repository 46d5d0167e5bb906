#include "mainwindow/frmTesselFTP.h"

#include "platform/Accessibility.h"
#include "platform/AppPaths.h"
#include "platform/CallOwner.h"
#include "platform/CallProgress.h"
#include "platform/Controls.h"
#include "platform/DragAndDrop.h"
#include "platform/Fonts.h"
#include "platform/LocalLists.h"
#include "platform/LockIcon.h"
#include "platform/Resources.h"
#include "platform/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <cstring>

namespace {

using platform::place;

// The window's controls as laid out, in twips: object name, caption (UTF-8), left, top,
// width, height.
struct ControlRow {
    const char* name;
    const char* caption;
    int left, top, width, height;
};
constexpr ControlRow kControls[] = {
    {"Label11", "Local Path", 480, 0, 1095, 255},
    {"Drive1", "", 120, 240, 2655, 300},
    {"Dir1", "", 120, 600, 2655, 2190},
    {"File1", "", 120, 2880, 2295, 2772},
    {"Label6", "File Name Path", 240, 5760, 1575, 255},
    {"Text3", "", 120, 6000, 5055, 270},
    {"Text4", "", 120, 6360, 7935, 1095},
    {"Label12", "File Up or DownLoad", 2520, 2880, 855, 495},
    {"Command6", "", 2880, 4080, 495, 495},
    {"Command5", "", 2520, 4680, 495, 495},
    {"Command4", "選択", 2520, 5400, 615, 495},
    {"Label8", "Remote Path", 4560, 0, 1335, 255},
    {"Combo4", "", 3480, 240, 5775, 300},
    {"Command1", "変更", 9360, 120, 375, 495},
    {"Label9", "Directry Name", 3600, 600, 1335, 255},
    {"List1", "", 3480, 840, 2652, 1848},
    {"Label10", "File Name", 3600, 2760, 1695, 255},
    {"List2", "", 3480, 3000, 2535, 2748},
    {"Frame1", "", 6360, 720, 3375, 2415},
    {"Label1", "Server", 240, 240, 975, 255},
    {"Combo1", "", 240, 480, 3015, 300},
    {"LockMark", "", 3000, 200, 255, 255},
    {"Label3", "UserID", 240, 960, 1095, 255},
    {"Combo2", "", 240, 1200, 3015, 300},
    {"Label4", "PassWord", 240, 1680, 975, 255},
    {"Combo5", "", 240, 1920, 2292, 276},
    // In the free space beside "PassWord", clear of its caption and of "Save".
    {"Check1", "パスワードを保存", 1080, 1680, 1545, 240},
    {"Command2", "Save", 2640, 1680, 615, 255},
    {"Command3", "CLS", 2640, 2040, 615, 255},
    {"Frame2", "", 6360, 3240, 3015, 1215},
    {"MakeDirTxt", "", 240, 240, 2055, 375},
    {"cmdMkDir", "MakeDir", 120, 720, 855, 375},
    {"cmdMkDirOk", "OK", 1080, 720, 735, 375},
    {"cmdMkDirNext", "Cancel", 2160, 720, 735, 375},
    {"cmdDelfile", "ファイル削除", 6360, 4680, 1695, 375},
    {"Label5", "Command", 6840, 5160, 1212, 252},
    {"Combo3", "", 6360, 5400, 2775, 276},
    {"Label7", "状況", 5760, 6000, 495, 255},
    {"Label2", "+++", 6360, 5880, 3420, 420},
    {"Label13", "LocalFileSize", 8280, 6360, 1335, 255},
    {"Text1", "", 8280, 6600, 1575, 270},
    {"Label14", "RemoteFileSize", 8280, 6960, 1452, 252},
    {"Text2", "", 8280, 7200, 1575, 270},
};

const ControlRow& rowOf(const char* name) {
    for (const ControlRow& row : kControls) {
        if (std::strcmp(row.name, name) == 0)
            return row;
    }
    qFatal("No layout for the control %s", name);
}

template <typename T> T* placed(QWidget* parent, const char* name) {
    const ControlRow& s = rowOf(name);
    return place<T>(parent, name, s.left, s.top, s.width, s.height);
}

QLabel* label(QWidget* parent, const char* name) {
    auto* widget = placed<QLabel>(parent, name);
    widget->setText(QString::fromUtf8(rowOf(name).caption));
    return widget;
}

QPushButton* button(QWidget* parent, const char* name) {
    auto* widget = placed<QPushButton>(parent, name);
    widget->setText(QString::fromUtf8(rowOf(name).caption));
    return widget;
}

QComboBox* combo(QWidget* parent, const char* name) {
    auto* widget = placed<QComboBox>(parent, name);
    widget->setEditable(true);
    widget->setInsertPolicy(QComboBox::NoInsert); // Enter must not add an entry
    widget->setCompleter(nullptr);                // what is typed is sent as typed, never completed
    return widget;
}

void setBackground(QWidget* widget, int red, int green, int blue) {
    const QString colour = QStringLiteral("rgb(%1, %2, %3)").arg(red).arg(green).arg(blue);
    widget->setStyleSheet(QStringLiteral("#%1 { background-color: %2; }").arg(widget->objectName(), colour));
}

// Buttons with a colour or a picture are flat-styled so the colour actually shows
// (native styles ignore a push button's background).
void setButtonBackground(QPushButton* widget, int red, int green, int blue) {
    widget->setStyleSheet(QStringLiteral("#%1 { background-color: rgb(%2, %3, %4); border: 2px outset "
                                         "rgb(%2, %3, %4); } #%1:pressed { border-style: inset; }")
                              .arg(widget->objectName())
                              .arg(red)
                              .arg(green)
                              .arg(blue));
}

// What a screen reader says for each control that takes the focus. The captions stay as
// they are; a control with a label beside it has that label as its buddy.
void nameControlsForScreenReaders(QWidget* window) {
    using platform::describeChild;
    using platform::nameChild;
    nameChild(window, "Drive1", QStringLiteral("ローカルのドライブ"), "Label11");
    nameChild(window, "Dir1", QStringLiteral("ローカルのフォルダ一覧"));
    nameChild(window, "File1", QStringLiteral("ローカルのファイル一覧"));
    nameChild(window, "Text3", QStringLiteral("ローカルのファイルパス"), "Label6");
    nameChild(window, "Text4", QStringLiteral("ログ"));
    nameChild(window, "Command6", QStringLiteral("ダウンロード"));
    nameChild(window, "Command5", QStringLiteral("アップロード"));
    nameChild(window, "Command4", QStringLiteral("選択"));
    nameChild(window, "Combo4", QStringLiteral("リモートパス"), "Label8");
    nameChild(window, "Command1", QStringLiteral("変更"));
    nameChild(window, "List1", QStringLiteral("リモートのフォルダ一覧"), "Label9");
    nameChild(window, "List2", QStringLiteral("リモートのファイル一覧"), "Label10");
    nameChild(window, "Combo1", QStringLiteral("サーバー"), "Label1");
    nameChild(window, "Combo2", QStringLiteral("ユーザーID"), "Label3");
    nameChild(window, "Combo5", QStringLiteral("パスワード"), "Label4");
    describeChild(window, "Check1", QString()); // the description says what the box does now
    // Buttons with a caption are named by it, so that a user who says what they see
    // reaches them; what the caption means goes to the description.
    describeChild(window, "Command2", QStringLiteral("サーバー名を保存"));
    describeChild(window, "Command3", QStringLiteral("サーバー名を一覧から削除"));
    nameChild(window, "MakeDirTxt", QStringLiteral("作成するフォルダ名"));
    describeChild(window, "cmdMkDir", QStringLiteral("フォルダ作成"));
    describeChild(window, "cmdMkDirOk", QStringLiteral("フォルダを作成"));
    describeChild(window, "cmdMkDirNext", QStringLiteral("フォルダ作成をキャンセル"));
    nameChild(window, "cmdDelfile", QStringLiteral("ファイル削除"));
    nameChild(window, "Combo3", QStringLiteral("コマンド"), "Label5");
    nameChild(window, "Text1", QStringLiteral("ローカルのファイルサイズ"), "Label13");
    nameChild(window, "Text2", QStringLiteral("リモートのファイルサイズ"), "Label14");
    // The two option buttons are named by their Japanese captions. The status line
    // Label2 has no name of its own: its text is its name, so each new text is announced
    // as a name change.
}

} // namespace

frmTesselFTP::frmTesselFTP(QWidget* parent) : QMainWindow(parent) {
    platform::initResources();
    platform::installCallProgress();
    setObjectName(QStringLiteral("frmTesselFTP"));
    setWindowTitle(QStringLiteral("TesselFTP"));
    setWindowIcon(QIcon(QStringLiteral(":/images/tesselftp.png")));
    // The window's face: a Japanese proportional Gothic at 9 points; fontconfig maps the
    // name to the installed Japanese font where the original one is missing.
    setFont(platform::japaneseUiFont(9));
    createControls();
    createMenus();
    applyColours();
    setTabOrder();
    connectHandlers();
    createBatchEntries();
    Form_Load();
    adjustSize();
    setFixedSize(size());
    List1->setFocus();
}

frmTesselFTP::~frmTesselFTP() = default;

// Closing the main window by its frame ends the program, and with it every other
// window (a hidden dial-up window, an open help window). Nothing is sent to the server.
// While a handler runs, the window stays until its call is cancelled and it has ended.
void frmTesselFTP::closeEvent(QCloseEvent* event) {
    if (callOwner->busy()) {
        event->ignore();
        callOwner->cancelling([] { QCoreApplication::quit(); })();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

QString frmTesselFTP::MyPath() {
    return apppaths::MyPath();
}

void frmTesselFTP::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips::size(9876, 7476));
    setCentralWidget(client);

    createLocalPane(client);
    createRemotePane(client);
    createConnectFrame(client);
    createMakeDirFrame(client);
    createCommandArea(client);
    createSoundPlayer(); // MMControl1, not visible
    nameControlsForScreenReaders(this);
}

// The local folder and file lists, and the transfer buttons beside them.
void frmTesselFTP::createLocalPane(QWidget* client) {
    Label11 = label(client, "Label11");
    Drive1 = placed<platform::DriveListBox>(client, "Drive1");
    Dir1 = placed<platform::DirListBox>(client, "Dir1");
    File1 = placed<platform::FileListBox>(client, "File1");
    File1->setPath(Dir1->Path());
    Label6 = label(client, "Label6");
    Text3 = placed<QLineEdit>(client, "Text3");
    Text4 = placed<QPlainTextEdit>(client, "Text4");
    Text4->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text4->setTabChangesFocus(true);
    Label12 = label(client, "Label12");
    Label12->setWordWrap(true);
    Label12->setFont(platform::japaneseUiFont(8)); // 9 points cut "DownLoad" off at the box edge
    Option1[0] = place<QRadioButton>(client, "Option1", 2400, 3480, 975, 180);
    Option1[0]->setText(QStringLiteral("テキスト"));
    Option1[0]->setProperty("Index", 0);
    Option1[0]->setChecked(true);
    Option1[1] = place<QRadioButton>(client, "Option1", 2400, 3720, 1095, 180);
    Option1[1]->setText(QStringLiteral("バイナリ"));
    Option1[1]->setProperty("Index", 1);
    Command6 = placed<QPushButton>(client, "Command6");
    Command6->setIcon(QIcon(QStringLiteral(":/images/download.png")));
    Command6->setIconSize(twips::size(495, 495) - QSize(10, 10));
    Command6->setToolTip(QStringLiteral("ダウンロード"));
    Command5 = placed<QPushButton>(client, "Command5");
    Command5->setIcon(QIcon(QStringLiteral(":/images/upload.png")));
    Command5->setIconSize(twips::size(495, 495) - QSize(10, 10));
    Command5->setToolTip(QStringLiteral("アップロード"));
    Command4 = button(client, "Command4");
}

// The remote path and the remote folder and file lists.
void frmTesselFTP::createRemotePane(QWidget* client) {
    Label8 = label(client, "Label8");
    Combo4 = combo(client, "Combo4");
    Command1 = button(client, "Command1");
    Label9 = label(client, "Label9");
    List1 = placed<platform::DragListBox>(client, "List1");
    Label10 = label(client, "Label10");
    List2 = placed<platform::DragListBox>(client, "List2");
}

// "FTP Server Connect": server, user and password.
void frmTesselFTP::createConnectFrame(QWidget* client) {
    Frame1 = placed<QGroupBox>(client, "Frame1");
    Frame1->setTitle(QStringLiteral("FTP Server Connect"));
    Label1 = label(Frame1, "Label1");
    Combo1 = combo(Frame1, "Combo1");
    LockMark = label(Frame1, "LockMark");
    LockMark->setPixmap(
        platform::lockIcon(LockMark->height(), devicePixelRatio(), palette().color(QPalette::WindowText)));
    LockMark->setAccessibleName(QStringLiteral("暗号化"));
    LockMark->hide();
    Combo1->setEditText(QStringLiteral("ftp."));
    Label3 = label(Frame1, "Label3");
    Combo2 = combo(Frame1, "Combo2");
    Combo2->addItem(QStringLiteral("anonymous"));
    Combo2->setEditText(QString());
    Label4 = label(Frame1, "Label4");
    Combo5 = combo(Frame1, "Combo5");
    Combo5->addItems({QString(), QStringLiteral("guest@example")});
    Combo5->setEditText(QString());
    Combo5->lineEdit()->setEchoMode(QLineEdit::Password); // neither onlookers nor screenshots see it
    Check1 = placed<QCheckBox>(Frame1, "Check1");
    Check1->setText(QString::fromUtf8(rowOf("Check1").caption));
    Check1->setFont(platform::japaneseUiFont(8)); // 9 points would not fit beside "PassWord"
    // Greyed, its caption stays readable: the style's own grey is the window's grey.
    QPalette greyed = Check1->palette();
    greyed.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 128, 128));
    Check1->setPalette(greyed);
    Command2 = button(Frame1, "Command2");
    Command3 = button(Frame1, "Command3");
}

// "MakeDir": the new folder's name and its buttons.
void frmTesselFTP::createMakeDirFrame(QWidget* client) {
    Frame2 = placed<QGroupBox>(client, "Frame2");
    Frame2->setTitle(QStringLiteral("MakeDir"));
    MakeDirTxt = placed<QLineEdit>(Frame2, "MakeDirTxt");
    cmdMkDir = button(Frame2, "cmdMkDir");
    cmdMkDirOk = button(Frame2, "cmdMkDirOk");
    cmdMkDirNext = button(Frame2, "cmdMkDirNext");
}

// Delete, the command console, the status line and the two file sizes.
void frmTesselFTP::createCommandArea(QWidget* client) {
    cmdDelfile = button(client, "cmdDelfile");
    Label5 = label(client, "Label5");
    Combo3 = combo(client, "Combo3");
    Combo3->addItems({QStringLiteral("HELP"), QStringLiteral("RMD"), QStringLiteral("SIZE")});
    Combo3->setEditText(QString());
    Label7 = label(client, "Label7");
    Label2 = label(client, "Label2");
    Label2->setFont(platform::japaneseUiFont(9));
    Label2->setAutoFillBackground(true);
    Label2->setWordWrap(true);
    Label13 = label(client, "Label13");
    Text1 = placed<QLineEdit>(client, "Text1");
    Label14 = label(client, "Label14");
    Text2 = placed<QLineEdit>(client, "Text2");
}

void frmTesselFTP::createMenus() {
    QMenuBar* bar = menuBar();
    auto action = [this](const char* name, const QString& caption) {
        auto* item = new QAction(caption, this);
        item->setObjectName(QLatin1String(name));
        return item;
    };
    mnuFile = bar->addMenu(QStringLiteral("ファイル"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFileLine = action("mnuFileLine", QStringLiteral("ダイアルアップ接続 and 切断"));
    mnuSep = action("mnuSep", QStringLiteral("-"));
    mnuSep->setSeparator(true);
    mnuEnd2 = action("mnuEnd2", QStringLiteral("終了"));
    mnuFile->addActions({mnuFileLine, mnuSep, mnuEnd2});

    mnuConect = action("mnuConect", QStringLiteral("サーバーへ接続"));
    mnuClose = action("mnuClose", QStringLiteral("サーバーから切断"));
    mnuDirChenge = action("mnuDirChenge", QStringLiteral("ディレクトリの変更"));
    bar->addActions({mnuConect, mnuClose, mnuDirChenge});

    mnuHelp = bar->addMenu(QStringLiteral("ヘルプ"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpPrint = action("mnuHelpPrint", QStringLiteral("ヘルプを表示"));
    mnuVersion = action("mnuVersion", QStringLiteral("Version情報"));
    mnuHelp->addActions({mnuHelpPrint, mnuVersion});

    mnuCommand = action("mnuCommand", QStringLiteral("コマンド送信"));
    bar->addAction(mnuCommand);
}

void frmTesselFTP::applyColours() {
    QPalette window = palette();
    window.setColor(QPalette::Window, QColor(192, 192, 192));
    centralWidget()->setPalette(window);
    centralWidget()->setAutoFillBackground(true);
    for (QWidget* w :
         {static_cast<QWidget*>(Combo1), static_cast<QWidget*>(Combo2), static_cast<QWidget*>(Combo5)})
        setBackground(w, 192, 255, 192);
    setBackground(Combo4, 255, 224, 192);
    setButtonBackground(Command1, 255, 224, 192);
    setBackground(List1, 255, 255, 192);
    setBackground(List2, 255, 255, 192);
    setButtonBackground(cmdDelfile, 255, 255, 192);
    setBackground(Text3, 192, 255, 255);
    setButtonBackground(Command4, 192, 255, 255);
    setBackground(Combo3, 192, 192, 255);
    for (QPushButton* b : {cmdMkDir, cmdMkDirOk, cmdMkDirNext})
        setButtonBackground(b, 192, 192, 255);
    setBackground(Text1, 224, 224, 224);
    setBackground(Text2, 224, 224, 224);
    setBackground(Text4, 192, 192, 192);
    setBackground(MakeDirTxt, 192, 192, 192);
    setBackground(Label2, 255, 255, 255);
    setButtonBackground(Command6, 0, 0, 192);
    setButtonBackground(Command5, 0, 0, 64);
}

void frmTesselFTP::setTabOrder() {
    const QList<QWidget*> order = {
        List1,      List2,      Dir1,     File1,        Text3,      Command4, Command5, Command6, Text4,
        Option1[0], Option1[1], Combo3,   Combo4,       Drive1,     Combo1,   Combo2,   Combo5,   Command1,
        cmdDelfile, MakeDirTxt, cmdMkDir, cmdMkDirNext, cmdMkDirOk, Text1,    Text2,    Command2, Command3};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    QWidget::setTabOrder(Combo5, Check1); // the saved-login box right after the password
}

void frmTesselFTP::setConnectedMenus(bool connected) {
    mnuConect->setEnabled(!connected);
    mnuClose->setEnabled(connected);
    mnuCommand->setEnabled(connected);
}

void frmTesselFTP::connectHandlers() {
    // The handlers that talk to the server, or change what a running one reads, run one
    // at a time (see CallOwner); "終了" and "サーバーから切断" cancel a running call first.
    callOwner = new platform::CallOwner(this);
    const auto waiting = [this](void (frmTesselFTP::*handler)()) {
        return callOwner->waiting([this, handler] {
            (this->*handler)();
            endLostSession();
        });
    };
    connect(mnuEnd2, &QAction::triggered, this, callOwner->cancelling([this] { mnuEnd2_Click(); }));

    connect(Command2, &QPushButton::clicked, this, waiting(&frmTesselFTP::Command2_Click));
    connect(Command3, &QPushButton::clicked, this, waiting(&frmTesselFTP::Command3_Click));

    connect(mnuConect, &QAction::triggered, this, waiting(&frmTesselFTP::mnuConect_Click));
    connect(mnuClose, &QAction::triggered, this, callOwner->cancelling([this] { mnuClose_Click(); }));
    connectSavedLogins();

    connect(Command1, &QPushButton::clicked, this, waiting(&frmTesselFTP::Command1_Click));
    connect(mnuDirChenge, &QAction::triggered, this, waiting(&frmTesselFTP::mnuDirChenge_Click));
    // A click selects an entry (or re-clicks the selected one); arrow keys move the selection.
    // The focus alone moves only the current row, not the selection, and composes nothing.
    connect(List1, &QListWidget::itemClicked, this, waiting(&frmTesselFTP::List1_Click));
    connect(List2, &QListWidget::itemClicked, this, waiting(&frmTesselFTP::List2_Click));
    connect(List1, &QListWidget::itemSelectionChanged, this, callOwner->waiting([this] {
        if (List1->currentItem() && List1->currentItem()->isSelected())
            List1_Click();
    }));
    connect(List2, &QListWidget::itemSelectionChanged, this, callOwner->waiting([this] {
        if (List2->currentItem() && List2->currentItem()->isSelected())
            List2_Click();
    }));

    // ---- Local pane, transfers, sound ----
    connect(Drive1, &platform::DriveListBox::Change, this, &frmTesselFTP::Drive1_Change);
    connect(Dir1, &platform::DirListBox::Change, this, &frmTesselFTP::Dir1_Change);
    connect(File1, &platform::FileListBox::Click, this, &frmTesselFTP::File1_Click);
    connect(Command4, &QPushButton::clicked, this, waiting(&frmTesselFTP::Command4_Click));
    connect(Command5, &QPushButton::clicked, this, waiting(&frmTesselFTP::Command5_Click));
    connect(Command6, &QPushButton::clicked, this, waiting(&frmTesselFTP::Command6_Click));

    // ---- Remote operations and console ----
    connect(cmdDelfile, &QPushButton::clicked, this, waiting(&frmTesselFTP::cmdDelfile_Click));
    connect(cmdMkDir, &QPushButton::clicked, this, &frmTesselFTP::cmdMkDir_Click);
    connect(cmdMkDirOk, &QPushButton::clicked, this, waiting(&frmTesselFTP::cmdMkDirOk_Click));
    connect(cmdMkDirNext, &QPushButton::clicked, this, waiting(&frmTesselFTP::cmdMkDirNext_Click));
    connect(mnuCommand, &QAction::triggered, this, waiting(&frmTesselFTP::mnuCommand_Click));
    connectConsoleKeys();

    // ---- Dial-up ----
    connect(mnuFileLine, &QAction::triggered, this, &frmTesselFTP::mnuFileLine_Click);

    // ---- Help and version ----
    connect(mnuHelpPrint, &QAction::triggered, this, &frmTesselFTP::mnuHelpPrint_Click);
    connect(mnuVersion, &QAction::triggered, this, &frmTesselFTP::mnuVersion_Click);
}
