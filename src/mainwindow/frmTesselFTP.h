#pragma once
// The main window: every control of the FTP client, the session state and the event
// handlers, all private to the window. Handlers are defined across several files, one
// per feature (src/mainwindow/). Tests find the controls by objectName.

#include "ftp/component/FtpComponent.h"
#include "ftp/folders/QueueRequest.h"

#include <QMainWindow>

#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace platform {
class CallOwner;
class DriveListBox;
class DirListBox;
class FileListBox;
class SecretStore;
class SoundPlayer;
struct StoredLogin;
} // namespace platform

class HelpWindows;

namespace remotecmd {
enum class ConsoleRow;
} // namespace remotecmd

namespace testing {
struct MainWindowAccess; // lets tests read the session state and replace the sound player
}

class frmTesselFTP : public QMainWindow {
    Q_OBJECT
public:
    explicit frmTesselFTP(QWidget* parent = nullptr);
    ~frmTesselFTP() override;

    // The application folder, ending in one separator.
    static QString MyPath();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend struct testing::MainWindowAccess;

    // ---- Controls (objectName = member name) ----
    QLabel* Label11 = nullptr;
    platform::DriveListBox* Drive1 = nullptr;
    platform::DirListBox* Dir1 = nullptr;
    platform::FileListBox* File1 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* Text3 = nullptr;
    QPlainTextEdit* Text4 = nullptr;
    QLabel* Label12 = nullptr;
    QRadioButton* Option1[2] = {nullptr, nullptr};
    QPushButton* Command6 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command4 = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* Combo4 = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label9 = nullptr;
    QListWidget* List1 = nullptr;
    QLabel* Label10 = nullptr;
    QListWidget* List2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LockMark = nullptr; // shown while the session is encrypted
    QComboBox* Combo1 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* Combo2 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* Combo5 = nullptr;
    QCheckBox* Check1 = nullptr; // "パスワードを保存"
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLineEdit* MakeDirTxt = nullptr;
    QPushButton* cmdMkDir = nullptr;
    QPushButton* cmdMkDirOk = nullptr;
    QPushButton* cmdMkDirNext = nullptr;
    QPushButton* cmdDelfile = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* Combo3 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label13 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label14 = nullptr;
    QLineEdit* Text2 = nullptr;

    // ---- Menus ----
    QMenu* mnuFile = nullptr;
    QAction* mnuFileLine = nullptr;
    QAction* mnuSep = nullptr;
    QAction* mnuEnd2 = nullptr;
    QAction* mnuConect = nullptr;
    QAction* mnuClose = nullptr;
    QAction* mnuDirChenge = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpPrint = nullptr;
    QAction* mnuVersion = nullptr;
    QAction* mnuCommand = nullptr;

    // ---- Session state ----
    std::unique_ptr<ftp::FtpComponent> FtpObj;
    qint32 RetCode = 0;
    ftp::DirList DirList;
    QString DirItem;
    QString RemoteDir;

    // ---- Start-up and exit ----
    void Form_Load();
    void mnuEnd2_Click();

    // ---- Server list ----
    void Command2_Click();
    void Command3_Click();

    // ---- Connect and disconnect ----
    void mnuConect_Click();
    void mnuClose_Click();
    // After a handler: when its call found the connection gone and logging in again failed,
    // the window ends as after "サーバーから切断", the status line saying why.
    void endLostSession();

    // ---- Saved logins ----
    platform::SecretStore* secretStore = nullptr;
    QTimer* loginLookup = nullptr;  // waits for the typing in Combo1 to pause
    bool passwordFromStore = false; // Combo5 holds a stored password, unchanged by the user
    void connectSavedLogins();
    void showSecretStoreState(bool answered, const QString& error);
    void findStoredLogin();
    void fillStoredLogin(const platform::StoredLogin& login);
    void forgetFilledLogin();
    // At a successful login: keeps the login for the server when Check1 is ticked,
    // removes the one kept for it otherwise.
    void rememberLogin();

    // ---- Remote navigation ----
    void Command1_Click();
    void mnuDirChenge_Click();
    void List1_Click();
    void List2_Click();

    // ---- Batches: folders, several files, drops, mirror upload ----
    // Runs `request` as a queue in the transfer window, one file at a time on the session.
    void runQueue(const ftp::QueueRequest& request);

    // ---- Session log ----
    void LogTxt();

    // ---- Local pane, transfers, sound ----
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void WavSing();
    int TransferMode = ftp::TextMode;            // mode of the last transfer, passed by reference
    platform::SoundPlayer* MMControl1 = nullptr; // hidden player of the completion sound

    // ---- Remote operations and console ----
    void cmdDelfile_Click();
    void cmdMkDir_Click();
    void cmdMkDirOk_Click();
    void cmdMkDirNext_Click();
    void mnuCommand_Click();
    void showConsoleReply(remotecmd::ConsoleRow row, bool ok);
    QString consoleReplyField();
    void Combo3_KeyPress(int& KeyAscii);
    void Text2_KeyPress(int& KeyAscii);
    QString LogBuf;  // the log read back line by line by the console
    QString LogLine; // the last field or line the console read from the log

    // ---- Dial-up ----
    void mnuFileLine_Click();

    // ---- Help and version ----
    void mnuHelpPrint_Click();
    void mnuVersion_Click();
    HelpWindows* helpWindows = nullptr; // the help and version windows opened from here

    // ---- Batches: context menus, several selected files, drag and drop ----
    QMenu* mnuList1Popup = nullptr; // right-click on a remote folder
    QAction* mnuFolderDownload = nullptr;
    QMenu* mnuDir1Popup = nullptr; // right-click on a local sub-folder
    QAction* mnuFolderUpload = nullptr;
    QAction* mnuMirrorUpload = nullptr;
    void createBatchEntries();
    void createBatchMenus();
    void connectDrags();
    void List1_ContextMenu(const QPoint& pos);
    void Dir1_ContextMenu(const QPoint& pos);
    void mnuFolderDownload_Click();
    void mnuFolderUpload_Click();
    void mnuMirrorUpload_Click();
    void downloadSelected(); // the download button with several files selected in List2
    void uploadSelected();   // the upload button with several files selected in File1
    bool isConnected() const;
    // What drags out of this window's remote lists carry, so that no other window takes them.
    QString dragOwner() const;
    void startBatch(ftp::QueueRequest request);
    void showNewLocalFolders();
    void startBatchLater(ftp::QueueRequest::Kind kind, const QStringList& files, const QStringList& folders,
                         const QString& target);

    // ---- Window helpers ----
    platform::CallOwner* callOwner = nullptr; // runs the handlers that talk to the server one at a time
    // Writes an outcome into the status line Label2. `cause` says why a failure happened:
    // it becomes the line's tooltip and accessible description; any later status without
    // one clears them.
    void setStatus(const QString& text, const QString& cause = QString());
    // Why the server refused the last call that returned a failure: its reply.
    QString refusalCause();
    // The dial-up window's progress, shown in the status line.
    void showDialStatus(const QString& text);
    // The one session; throws FtpError when there is none (not connected).
    ftp::FtpComponent& session();
    // Appends a listed path to Combo4's history without changing the text in its box.
    void appendRemoteHistory(const QString& path);
    // Adds the names of a listing to `list` (nothing for "nothing to list").
    void addNames(QListWidget* list, const ftp::DirList& names);
    // Shows CR LF-ended lines in the log pane, scrolled to the end.
    void showInLogPane(QString lines);
    void createControls();
    void createLocalPane(QWidget* client);
    void createRemotePane(QWidget* client);
    void createConnectFrame(QWidget* client);
    void createMakeDirFrame(QWidget* client);
    void createCommandArea(QWidget* client);
    void createMenus();
    void setTabOrder();
    void connectHandlers();
    void applyColours();
    void setConnectedMenus(bool connected);
    // Shows or hides LockMark after the session's TLS (none when not connected).
    void showSessionProtection();
    void createSoundPlayer();  // creates MMControl1
    void connectConsoleKeys(); // routes the key presses of Combo3 and Text2 to their handlers
};
