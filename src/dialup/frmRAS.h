#pragma once
// The dial-up window "ダイアルアップ接続": lists the phonebook entries, dials one with a user
// name and password through its dialler RasSample, hangs up, and can remember the entry,
// user name and password (Pswd.dat, Pword.dat). It writes its progress into its own
// status line Text3 and reports the texts meant for the main window's status line through
// mainStatus, which the window that opened it shows.
//
// The window is loaded by the main menu's mnuFileLine and shown application-modal. A
// successful dial hides it; it stays loaded, with its dialler and the link, until an
// unload (hang-up, cancel, frame close, failed dial). Ending the program destroys it
// without running any of its handlers, so a link that is up stays up.

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class VBRas32;

class frmRAS : public QWidget {
    Q_OBJECT
public:
    // Loads the window (Form_Load runs); it is not shown yet.
    explicit frmRAS(QWidget* owner);
    ~frmRAS() override;

    // Shows the dial-up window modally, loading it first when it is not loaded; returns
    // at once. Returns the window shown.
    static frmRAS* ShowModal(QWidget* owner);
    // The loaded window, or nullptr.
    static frmRAS* loaded();

    // The application folder, ending in one separator.
    static QString MyPath();

    // ---- Controls (objectName = member name) ----
    QLabel* Label1[3] = {nullptr, nullptr, nullptr};
    QComboBox* Combo1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QCheckBox* Check1 = nullptr;
    QPushButton* Command5 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLineEdit* Text3 = nullptr;
    QPushButton* Command4 = nullptr;

    // ---- State ----
    // The dialler; a caller keeps its own reference while a dial runs, so the handlers
    // may unload the window from inside Dialup.
    std::shared_ptr<VBRas32> RasSample;
    QString SaveFlag;
    QString SavedEntry;
    QString SavedUser;
    QString PasswordWork;
    QString SavedPassword;

    // ---- Load, dial, hang-up ----
    void Form_Load();
    void Form_Unload();
    void Command1_Click();
    void Command2_Click();
    void Command4_Click();
    void RasSample_ConnectComplete();
    void RasSample_ConnectError(qint32& RasErrCode);

    // ---- Saved credentials ----
    void loadCredentials();
    void Check1_Click();
    void Command5_Click();

    // Unloads the window: Form_Unload runs, the window closes and is destroyed later.
    void Unload();
    bool isUnloaded() const { return unloaded_; }

signals:
    // A text for the main window's status line: dialling, idle, connected, hung up.
    void mainStatus(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void setHourglass(bool on);
    void setMainStatus(const QString& text);
    // One step of the credential loading; on failure asks Retry or Cancel and runs the
    // step again on Retry. False when Cancel ended the loading.
    bool loadStep(const std::function<std::optional<QString>()>& step);
    // Writes a credential file whole; reports a failure in a box. False when it failed.
    bool saveFile(const QString& name, const QByteArray& bytes);

    bool unloaded_ = false;
    bool hourglass_ = false;
};
