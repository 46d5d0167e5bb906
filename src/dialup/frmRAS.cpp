// The dial-up window: its controls, load and unload, dial and hang-up.
#include "dialup/frmRAS.h"

#include "dialup/VBRas32.h"
#include "platform/Accessibility.h"
#include "platform/AppPaths.h"
#include "platform/Controls.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {

QPointer<frmRAS>& loadedWindow() {
    static QPointer<frmRAS> window;
    return window;
}

using platform::place;

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int l, int t, int w, int h) {
    auto* widget = place<QPushButton>(parent, name, l, t, w, h);
    widget->setText(caption);
    // Enter presses the button that has the focus; there is no default button.
    widget->setAutoDefault(true);
    return widget;
}

// A check box the user toggles between unchecked and checked; the window's code alone
// sets the third (grayed) state, which marks saved credentials.
class SavedStateCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {
        setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
};

const QString kIdleStatus = QStringLiteral("+++ +++");
const QString kDisconnected = QStringLiteral("ダイアル切断されまた。");

} // namespace

frmRAS::frmRAS(QWidget* owner) : QWidget(owner, Qt::Dialog) {
    setObjectName(QStringLiteral("frmRAS"));
    setWindowTitle(QStringLiteral("ダイアルアップ接続"));
    setFont(platform::japaneseUiFont(9));
    setWindowModality(Qt::ApplicationModal);
    createControls();
    setFixedSize(twips::size(6024, 3240));
    loadedWindow() = this;
    Form_Load();
}

frmRAS::~frmRAS() {
    // Destroyed with the program or after an unload: nothing here touches the line.
    setHourglass(false);
    if (loadedWindow() == this)
        loadedWindow() = nullptr;
}

frmRAS* frmRAS::loaded() {
    return loadedWindow().data();
}

frmRAS* frmRAS::ShowModal(QWidget* owner) {
    frmRAS* window = loaded();
    if (!window)
        window = new frmRAS(owner);
    window->show();
    window->activateWindow();
    return window;
}

QString frmRAS::MyPath() {
    return apppaths::MyPath();
}

void frmRAS::createControls() {
    const QStringList captions{QStringLiteral("エントリー名"), QStringLiteral("ユーザー名"),
                               QStringLiteral("パスワード")};
    for (int i = 0; i < 3; ++i) {
        Label1[i] = place<QLabel>(this, "Label1", 240, 240 + 480 * i, 1215, 255);
        Label1[i]->setText(captions.at(i));
        Label1[i]->setProperty("Index", i);
    }
    Combo1 = place<QComboBox>(this, "Combo1", 1440, 240, 2055, 300);
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert); // Enter must not add an entry
    Combo1->setCompleter(nullptr);                // an entry name is dialled as typed, never completed
    Text1 = place<QLineEdit>(this, "Text1", 1440, 720, 2775, 270);
    Text2 = place<QLineEdit>(this, "Text2", 1440, 1200, 2055, 270);
    Text2->setEchoMode(QLineEdit::Password);
    Text2->setStyleSheet(QStringLiteral("#Text2 { lineedit-password-character: 42; }")); // "*"
    Command1 = button(this, "Command1", QStringLiteral("接続(&D)"), 4680, 360, 1050, 495);
    Command2 = button(this, "Command2", QStringLiteral("切断(&H)"), 4680, 1080, 1050, 495);
    Check1 = place<SavedStateCheckBox>(this, "Check1", 240, 1680, 2415, 420);
    Check1->setText(QStringLiteral("パスワードその他を保存"));
    Command5 = button(this, "Command5", QStringLiteral("パスワードをクリア"), 2640, 1680, 1815, 375);
    Frame1 = place<QGroupBox>(this, "Frame1", 240, 2160, 4215, 852);
    Frame1->setTitle(QStringLiteral("状態 . . ."));
    Text3 = place<QLineEdit>(Frame1, "Text3", 360, 360, 3612, 252);
    Text3->setText(QStringLiteral("+++ +++ +++"));
    Text3->setFrame(false);
    Text3->setReadOnly(true);
    Text3->setFont(platform::japaneseUiFont(9));
    QPalette silver = Text3->palette();
    silver.setColor(QPalette::Base, QColor(192, 192, 192));
    Text3->setPalette(silver);
    Command4 = button(this, "Command4", QStringLiteral("キャンセル"), 4680, 2400, 1095, 495);

    // What a screen reader says; the three boxes are described by the labels beside them.
    platform::setAccessibleName(Combo1, captions.at(0), Label1[0]);
    platform::setAccessibleName(Text1, captions.at(1), Label1[1]);
    platform::setAccessibleName(Text2, captions.at(2), Label1[2]);
    platform::setAccessibleName(Text3, QStringLiteral("ダイアルアップの状態"));

    const QList<QWidget*> order{Combo1, Text1, Text2, Command1, Command2, Command4, Command5, Check1, Text3};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    connect(Command1, &QPushButton::clicked, this, &frmRAS::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmRAS::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &frmRAS::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &frmRAS::Command5_Click);
    // Every change of state, by the user or by the window's code.
    connect(Check1, &QCheckBox::stateChanged, this, &frmRAS::Check1_Click);
}

void frmRAS::setHourglass(bool on) {
    if (on == hourglass_)
        return;
    hourglass_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void frmRAS::setMainStatus(const QString& text) {
    emit mainStatus(text);
}

void frmRAS::Form_Load() {
    RasSample = std::make_shared<VBRas32>();
    connect(RasSample.get(), &VBRas32::ConnectComplete, this, &frmRAS::RasSample_ConnectComplete);
    connect(RasSample.get(), &VBRas32::ConnectError, this, &frmRAS::RasSample_ConnectError);

    Combo1->setEditText(QString());
    Combo1->clear();
    QStringList entries;
    for (qint16 i = 0; i < RasSample->EntryCount(); ++i)
        entries.append(RasSample->EnumEntries(i));
    Combo1->addItems(entries);
    Combo1->setCurrentIndex(-1); // the list fills, the text stays empty
    Combo1->setEditText(QString());

    loadCredentials();
}

void frmRAS::Command1_Click() {
    setMainStatus(QStringLiteral("ダイアルしています....."));
    Text3->setText(QStringLiteral("ダイアルしています....."));
    if (Combo1->currentText().isEmpty() || Text1->text().isEmpty() || Text2->text().isEmpty()) {
        platform::MsgBox(this, QStringLiteral("接続データが正しく入力されていないため接続出来ません。"));
        Text3->setText(kIdleStatus);
        setMainStatus(kIdleStatus);
        return;
    }
    if (!RasSample)
        return;
    Text3->setText(QStringLiteral("ダイアル接続中です"));
    setHourglass(true);
    RasSample->setEntry(Combo1->currentText());
    RasSample->setUserID(Text1->text());
    RasSample->setPassword(Text2->text());
    // The outcome arrives through RasSample_ConnectComplete or RasSample_ConnectError
    // before Dialup returns; either may unload this window meanwhile.
    const std::shared_ptr<VBRas32> dialler = RasSample;
    dialler->Dialup();
}

void frmRAS::RasSample_ConnectComplete() {
    setHourglass(false);
    Command1->setEnabled(false);
    Command2->setEnabled(true);
    setMainStatus(QStringLiteral("現在ダイアル接続中です。"));
    // Stays loaded with its dialler and the link; the main window takes input again.
    hide();
}

void frmRAS::RasSample_ConnectError(qint32& /*RasErrCode*/) {
    setHourglass(false);
    platform::MsgBox(this, QStringLiteral("接続エラーです。設定を確認してください。終了します。\r\n"
                                          "又は、接続先が混雑しているかも知れません。"));
    Text3->setText(kIdleStatus);
    setMainStatus(kIdleStatus);
    Unload();
}

void frmRAS::Command2_Click() {
    Text3->setText(QStringLiteral("切断しています..."));
    // Draw the text; user input waits, so the window cannot be closed under this handler.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (unloaded_ || !RasSample)
        return;
    RasSample->HangUp();
    setMainStatus(kDisconnected);
    Unload();
}

void frmRAS::Command4_Click() {
    Unload();
}

void frmRAS::closeEvent(QCloseEvent* event) {
    Unload();
    event->accept();
}

void frmRAS::Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    Form_Unload();
    if (loadedWindow() == this)
        loadedWindow() = nullptr;
    hide();
    deleteLater();
}

void frmRAS::Form_Unload() {
    if (RasSample && RasSample->Connection() != 0) {
        const platform::MsgResult answer =
            platform::MsgBox(this, RasSample->Entry() + QStringLiteral("から切断しますか？"),
                             platform::MsgButtons::YesNo, platform::MsgIcon::Question);
        if (answer == platform::MsgResult::Yes) {
            RasSample->HangUp();
            setMainStatus(kDisconnected);
        }
    }
    RasSample.reset();
}
