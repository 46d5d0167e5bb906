// The dial-up window driven from the main menu, with faked dial-up services and scripted
// message boxes: its controls, the input check, a dial that succeeds (hidden, link kept,
// shown again as it was) or fails, hang-up, the question at unload, the end of the
// program, and the saved credentials as the user meets them.
#include "support/MainWindow.h"
#include "dialup/VBRas32.h"
#include "dialup/frmRAS.h"
#include "platform/Twips.h"
#include "platform/ras/AnsiText.h"
#include "support/FakeRasApi.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"
#include "support/WidgetText.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <memory>

using testing::entries;

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

const QString kLoadFailed = QStringLiteral("\r\nPswd.datファイル の読み込みに失敗しました");
const QString kNotFound = QStringLiteral("ファイルが見つかりません。");
const QString kNoPassword = QStringLiteral("パスワードが記入されていません (Ras_Check1)");
const QString kDialFailed = QStringLiteral("接続エラーです。設定を確認してください。終了します。\r\n"
                                           "又は、接続先が混雑しているかも知れません。");

// Scripted boxes that can also act when a box appears (e.g. mend a file before Retry).
class ActingBoxes : public testing::ScriptedMessageBoxes {
public:
    std::function<void(const QString&)> onShow;
    platform::MsgResult show(QWidget* parent, const QString& text, platform::MsgButtons buttons,
                             platform::MsgIcon icon, const QString& title, const QString& informative) override {
        if (onShow)
            onShow(text);
        return ScriptedMessageBoxes::show(parent, text, buttons, icon, title, informative);
    }
};

// Records the pointer shape while the dial runs.
class CursorWatchingFake : public testing::FakeRasApi {
public:
    int cursorDuringDial = -1;
    ras::DWORD RasDialA(const void* extensions, const char* phoneBook, void* params, ras::DWORD notifierType,
                        void* notifier, ras::HRASCONN* handle) override {
        const QCursor* cursor = QApplication::overrideCursor();
        cursorDuringDial = cursor ? int(cursor->shape()) : -1;
        return FakeRasApi::RasDialA(extensions, phoneBook, params, notifierType, notifier, handle);
    }
};

// One run of the program: folder, services, boxes and the main window.
struct Session {
    testing::TestEnvironment env;
    CursorWatchingFake ras;
    ActingBoxes boxes;
    std::unique_ptr<testing::MainWindow> main;

    Session() {
        ras.entries = {"office", "home"};
        ras.dialHandle = 77;
        main = std::make_unique<testing::MainWindow>();
    }
    ~Session() {
        main.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Chooses "ダイアルアップ接続 and 切断".
    frmRAS* open() {
        main->mnuFileLine->trigger();
        return frmRAS::loaded();
    }
    void saveCredentials(const QByteArray& settings, const std::optional<QByteArray>& password) {
        env.writeFile(QStringLiteral("Pswd.dat"), settings);
        if (password)
            env.writeFile(QStringLiteral("Pword.dat"), *password);
    }
    // Fills the fields and dials.
    void dial(frmRAS* w, const QString& entry = QStringLiteral("office")) {
        w->Combo1->setEditText(entry);
        w->Text1->setText(QStringLiteral("taro"));
        w->Text2->setText(QStringLiteral("pw"));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
    }
    QString status() const { return main->Label2->text(); }
    int enumerations() const { return ras.callCount(QStringLiteral("RasEnumEntriesA")); }
};

bool isGone(const QPointer<frmRAS>& window) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return window.isNull();
}

} // namespace

class FrmRasTest : public QObject {
    Q_OBJECT

private slots:
    void opensModalWithItsControls() {
        Session s;
        QVERIFY(!frmRAS::loaded());
        frmRAS* w = s.open();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowModality(), Qt::ApplicationModal);
        QCOMPARE(w->windowTitle(), QStringLiteral("ダイアルアップ接続"));
        QCOMPARE(w->objectName(), QStringLiteral("frmRAS"));
        QCOMPARE(w->size(), twips::size(6024, 3240));
        const struct {
            const char* name;
            int l, t, wd, h;
        } places[] = {{"Combo1", 1440, 240, 2055, 300},    {"Text1", 1440, 720, 2775, 270},
                      {"Text2", 1440, 1200, 2055, 270},    {"Command1", 4680, 360, 1050, 495},
                      {"Command2", 4680, 1080, 1050, 495}, {"Check1", 240, 1680, 2415, 420},
                      {"Command5", 2640, 1680, 1815, 375}, {"Frame1", 240, 2160, 4215, 852},
                      {"Text3", 360, 360, 3612, 252},      {"Command4", 4680, 2400, 1095, 495}};
        for (const auto& p : places) {
            auto* widget = w->findChild<QWidget*>(QLatin1String(p.name));
            QVERIFY2(widget, p.name);
            QCOMPARE(widget->geometry(), twips::rect(p.l, p.t, p.wd, p.h));
        }
        QCOMPARE(w->Text3->parentWidget(), w->Frame1);
        const QList<QLabel*> labels = w->findChildren<QLabel*>(QStringLiteral("Label1"));
        QCOMPARE(labels.size(), 3);
        QCOMPARE(w->Label1[0]->text(), QStringLiteral("エントリー名"));
        QCOMPARE(w->Label1[1]->text(), QStringLiteral("ユーザー名"));
        QCOMPARE(w->Label1[2]->text(), QStringLiteral("パスワード"));
        QCOMPARE(w->Label1[2]->geometry(), twips::rect(240, 1200, 1215, 255));
        QCOMPARE(w->Command1->text(), QStringLiteral("接続(&D)"));
        QCOMPARE(w->Command2->text(), QStringLiteral("切断(&H)"));
        QCOMPARE(w->Command4->text(), QStringLiteral("キャンセル"));
        QCOMPARE(w->Command5->text(), QStringLiteral("パスワードをクリア"));
        QCOMPARE(w->Check1->text(), QStringLiteral("パスワードその他を保存"));
        QCOMPARE(w->Frame1->title(), QStringLiteral("状態 . . ."));
        QCOMPARE(w->Text3->text(), QStringLiteral("+++ +++ +++"));
        QCOMPARE(w->Text3->palette().color(QPalette::Base), QColor(192, 192, 192));
        QCOMPARE(w->Text2->echoMode(), QLineEdit::Password);
        QVERIFY(w->Combo1->isEditable());
        QCOMPARE(w->Combo1->insertPolicy(), QComboBox::NoInsert);
        QVERIFY(w->Command1->isEnabled() && w->Command2->isEnabled());
        // Tab order.
        const QList<QWidget*> order{w->Combo1,   w->Text1,    w->Text2,  w->Command1, w->Command2,
                                    w->Command4, w->Command5, w->Check1, w->Text3};
        QList<QWidget*> chain{w->Combo1};
        for (QWidget* next = w->Combo1->nextInFocusChain(); next != w->Combo1;
             next = next->nextInFocusChain()) {
            if ((next->focusPolicy() & Qt::TabFocus) && next->parentWidget() != w->Combo1)
                chain.append(next);
        }
        QCOMPARE(chain, order);

        // The phonebook fills the list; the text stays empty.
        QCOMPARE(entries(w->Combo1), QStringList({QStringLiteral("office"), QStringLiteral("home")}));
        QCOMPARE(w->Combo1->currentText(), QString());
        // Before any save: the retry message for the missing "Pswd.dat"; Cancel leaves the
        // window usable.
        QCOMPARE(s.boxes.shown.size(), 1);
        QCOMPARE(s.boxes.shown[0].text, kNotFound + kLoadFailed);
        QCOMPARE(s.boxes.shown[0].buttons, MsgButtons::RetryCancel);
        QCOMPARE(s.boxes.shown[0].icon, MsgIcon::Stop);
        QCOMPARE(s.boxes.shown[0].title, QStringLiteral("passの表示"));
        QCOMPARE(w->Text1->text(), QString());
        QCOMPARE(w->Text2->text(), QString());
        QCOMPARE(w->Check1->checkState(), Qt::Unchecked);
        QVERIFY(w->Command5->isEnabled());
    }

    void emptyInputDialsNothing_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("no entry") << QString() << QStringLiteral("u") << QStringLiteral("p");
        QTest::newRow("no user") << QStringLiteral("office") << QString() << QStringLiteral("p");
        QTest::newRow("no password") << QStringLiteral("office") << QStringLiteral("u") << QString();
    }
    void emptyInputDialsNothing() {
        QFETCH(QString, entry);
        QFETCH(QString, user);
        QFETCH(QString, password);
        Session s;
        frmRAS* w = s.open();
        s.boxes.shown.clear();
        w->Combo1->setEditText(entry);
        w->Text1->setText(user);
        w->Text2->setText(password);
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(s.boxes.texts(),
                 QStringList{QStringLiteral("接続データが正しく入力されていないため接続出来ません。")});
        QCOMPARE(s.boxes.shown[0].buttons, MsgButtons::OkOnly);
        QCOMPARE(s.boxes.shown[0].icon, MsgIcon::None);
        QCOMPARE(s.boxes.shown[0].title, QStringLiteral("TesselFTP"));
        QCOMPARE(w->Text3->text(), QStringLiteral("+++ +++"));
        QCOMPARE(s.status(), QStringLiteral("+++ +++"));
        QCOMPARE(s.ras.callCount(QStringLiteral("RasDialA")), 0);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(w->isVisible());
    }

    void successHidesAndTheMenuShowsTheWindowAgain() {
        Session s;
        frmRAS* w = s.open();
        s.boxes.shown.clear();
        s.dial(w);
        // Dialled with the fields, under the hourglass, which is gone afterwards.
        QCOMPARE(s.ras.dials.size(), 1);
        QCOMPARE(s.ras.dials[0].entry, QByteArray("office"));
        QCOMPARE(s.ras.dials[0].user, QByteArray("taro"));
        QCOMPARE(s.ras.dials[0].password, QByteArray("pw"));
        QCOMPARE(s.ras.cursorDuringDial, int(Qt::WaitCursor));
        QVERIFY(!QApplication::overrideCursor());
        // On the NT family the monitor is asked for at every dial.
        QCOMPARE(s.ras.shellRequests, QStringList{QStringLiteral("Rasmon.exe,2")});
        QVERIFY(!w->isVisible());
        QCOMPARE(frmRAS::loaded(), w);
        QCOMPARE(s.status(), QStringLiteral("現在ダイアル接続中です。"));
        QVERIFY(s.boxes.shown.isEmpty());
        QCOMPARE(w->RasSample->Connection(), 77);

        // Shown again as it was, without reading the phonebook again.
        const int enumerations = s.enumerations();
        QCOMPARE(s.open(), w);
        QVERIFY(w->isVisible());
        QCOMPARE(s.enumerations(), enumerations);
        QVERIFY(!w->Command1->isEnabled());
        QVERIFY(w->Command2->isEnabled());
        QCOMPARE(w->Text3->text(), QStringLiteral("ダイアル接続中です"));
        QCOMPARE(w->Combo1->currentText(), QStringLiteral("office"));

        // Hang-up: the link goes, the window unloads without a question.
        QPointer<frmRAS> window(w);
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(s.ras.hangUps, QList<ras::HRASCONN>{77});
        QCOMPARE(s.status(), QStringLiteral("ダイアル切断されまた。"));
        QVERIFY(s.boxes.shown.isEmpty());
        QVERIFY(!frmRAS::loaded());
        QVERIFY(isGone(window));
    }

    void aTypedEntryIsDialledAsTyped() {
        Session s;
        frmRAS* w = s.open();
        s.dial(w, QStringLiteral("新しい接続先"));
        QCOMPARE(s.ras.dials[0].entry, ras::toAnsi(QStringLiteral("新しい接続先")));
    }

    // Typing over a listed name keeps what was typed, and Enter adds nothing to the list.
    void theEntryBoxCompletesNothing() {
        Session s;
        s.ras.entries = {"tacc-fail-07260", "office"};
        frmRAS* w = s.open();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->activateWindow();
        w->Combo1->setFocus();
        QTest::keyClicks(w->Combo1, QStringLiteral("tacc"));
        QCOMPARE(w->Combo1->currentText(), QStringLiteral("tacc"));
        QTest::keyClick(w->Combo1, Qt::Key_Return);
        QCOMPARE(w->Combo1->currentText(), QStringLiteral("tacc"));
        QCOMPARE(testing::entries(w->Combo1),
                 (QStringList{QStringLiteral("tacc-fail-07260"), QStringLiteral("office")}));
        QVERIFY(s.ras.dials.isEmpty());
        s.dial(w, w->Combo1->currentText());
        QCOMPARE(s.ras.dials[0].entry, QByteArray("tacc"));
    }

    void failureUnloadsAndTheNextOpenLoadsAfresh() {
        Session s;
        s.ras.dialResult = 691;
        frmRAS* w = s.open();
        QPointer<frmRAS> window(w);
        s.boxes.shown.clear();
        s.dial(w);
        QCOMPARE(s.boxes.texts(), QStringList{kDialFailed});
        QCOMPARE(s.boxes.shown[0].buttons, MsgButtons::OkOnly);
        QCOMPARE(w->Text3->text(), QStringLiteral("+++ +++"));
        QCOMPARE(s.status(), QStringLiteral("+++ +++"));
        QVERIFY(!QApplication::overrideCursor());
        // The dialler already hung up; no question at unload.
        QCOMPARE(s.ras.hangUps, QList<ras::HRASCONN>{77});
        QVERIFY(!frmRAS::loaded());
        QVERIFY(!w->isVisible());
        QVERIFY(isGone(window));

        const int enumerations = s.enumerations();
        frmRAS* again = s.open();
        QVERIFY(again);
        QCOMPARE(s.enumerations(), enumerations + 1);
        QVERIFY(again->Command1->isEnabled());
        QCOMPARE(again->RasSample->Connection(), 0);
    }

    void unloadQuestionWhileConnected_data() {
        QTest::addColumn<MsgResult>("answer");
        QTest::addColumn<bool>("byFrame");
        QTest::newRow("cancel, No") << MsgResult::No << false;
        QTest::newRow("cancel, Yes") << MsgResult::Yes << false;
        QTest::newRow("frame, No") << MsgResult::No << true;
        QTest::newRow("frame, Yes") << MsgResult::Yes << true;
    }
    void unloadQuestionWhileConnected() {
        QFETCH(MsgResult, answer);
        QFETCH(bool, byFrame);
        Session s;
        frmRAS* w = s.open();
        s.dial(w);
        QCOMPARE(s.open(), w);
        s.boxes.shown.clear();
        s.boxes.answers = {answer};
        QPointer<frmRAS> window(w);
        if (byFrame)
            w->close();
        else
            QTest::mouseClick(w->Command4, Qt::LeftButton);
        QCOMPARE(s.boxes.shown.size(), 1);
        QCOMPARE(s.boxes.shown[0].text, QStringLiteral("officeから切断しますか？"));
        QCOMPARE(s.boxes.shown[0].buttons, MsgButtons::YesNo);
        QCOMPARE(s.boxes.shown[0].icon, MsgIcon::Question);
        if (answer == MsgResult::Yes) {
            QCOMPARE(s.ras.hangUps, QList<ras::HRASCONN>{77});
            QCOMPARE(s.status(), QStringLiteral("ダイアル切断されまた。"));
        } else {
            QVERIFY(s.ras.hangUps.isEmpty());
            QCOMPARE(s.status(), QStringLiteral("現在ダイアル接続中です。"));
        }
        QVERIFY(!frmRAS::loaded());
        QVERIFY(isGone(window));
        // A later load knows no connection.
        QCOMPARE(s.open()->RasSample->Connection(), 0);
    }

    void cancelWithoutAConnectionAsksNothing() {
        Session s;
        frmRAS* w = s.open();
        s.boxes.shown.clear();
        QTest::mouseClick(w->Command4, Qt::LeftButton);
        QVERIFY(s.boxes.shown.isEmpty());
        QVERIFY(!frmRAS::loaded());
        QVERIFY(s.ras.hangUps.isEmpty());
        QCOMPARE(s.status(), QStringLiteral("+++"));
    }

    void hangUpOnAFreshWindow() {
        Session s;
        frmRAS* w = s.open();
        s.boxes.shown.clear();
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(s.ras.hangUps, QList<ras::HRASCONN>{0});
        QCOMPARE(s.status(), QStringLiteral("ダイアル切断されまた。"));
        QCOMPARE(w->Text3->text(), QStringLiteral("切断しています..."));
        QVERIFY(s.boxes.shown.isEmpty());
        QVERIFY(!frmRAS::loaded());
    }

    void endingTheProgramLeavesTheLinkUp() {
        Session s;
        frmRAS* w = s.open();
        s.dial(w);
        s.boxes.shown.clear();
        QPointer<frmRAS> window(w);
        // "終了" ends the event loop; the windows go with the main window, no handler runs.
        s.main->mnuEnd2->trigger();
        s.main.reset();
        QVERIFY(window.isNull());
        QVERIFY(s.ras.hangUps.isEmpty());
        QVERIFY(s.boxes.shown.isEmpty());
    }

    void saveThenReopen() {
        Session s;
        frmRAS* w = s.open();
        s.boxes.shown.clear();
        w->Combo1->setEditText(QStringLiteral("office"));
        w->Text1->setText(QStringLiteral("taro"));
        w->Text2->setText(QStringLiteral("abc"));
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        QCOMPARE(w->Check1->checkState(), Qt::Checked);
        QVERIFY(s.boxes.shown.isEmpty());
        QCOMPARE(s.env.readFile(QStringLiteral("Pswd.dat")), QByteArray("office\r\ntaro\r\nON\r\n"));
        QCOMPARE(s.env.readFile(QStringLiteral("Pword.dat")), QByteArray(" 690 \r\n 696 \r\n 702 \r\n"));
        for (const char* name : {"Pswd.dat", "Pword.dat"})
            QCOMPARE(QFile(s.env.path(QLatin1String(name))).permissions() &
                         ~(QFile::ReadUser | QFile::WriteUser),
                     QFile::ReadOwner | QFile::WriteOwner);
        QTest::mouseClick(w->Command4, Qt::LeftButton);

        for (int round = 0; round < 2; ++round) {
            w = s.open();
            QVERIFY(s.boxes.shown.isEmpty());
            QCOMPARE(w->Combo1->currentText(), QStringLiteral("office"));
            QCOMPARE(w->Text1->text(), QStringLiteral("taro"));
            QCOMPARE(w->Text2->text(), QStringLiteral("abc"));
            QCOMPARE(w->Check1->checkState(), Qt::PartiallyChecked);
            QVERIFY(w->Command5->isEnabled());
            QTest::mouseClick(w->Command4, Qt::LeftButton);
        }
    }

    void theUserTogglesOnlyCheckedAndUnchecked() {
        Session s;
        s.saveCredentials("office\r\ntaro\r\nON\r\n", " 690 \r\n");
        frmRAS* w = s.open();
        QCOMPARE(w->Check1->checkState(), Qt::PartiallyChecked);
        w->Text2->setText(QStringLiteral("xyz"));
        // From the grayed state a click checks the box, which saves the fields as they are.
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        QCOMPARE(w->Check1->checkState(), Qt::Checked);
        QCOMPARE(s.env.readFile(QStringLiteral("Pword.dat")), QByteArray(" 828 \r\n 834 \r\n 840 \r\n"));
        // Unchecking never removes saved data; the grayed state does not come back.
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        QCOMPARE(w->Check1->checkState(), Qt::Unchecked);
        QCOMPARE(s.env.readFile(QStringLiteral("Pswd.dat")), QByteArray("office\r\ntaro\r\nON\r\n"));
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        QCOMPARE(w->Check1->checkState(), Qt::Checked);
    }

    void saveWithoutAPasswordWritesNothing() {
        Session s;
        frmRAS* w = s.open();
        s.boxes.shown.clear();
        w->Text1->setText(QStringLiteral("taro"));
        for (const QString& password : {QString(), QStringLiteral("**"), QStringLiteral("Null")}) {
            w->Text2->setText(password);
            w->Check1->setCheckState(Qt::Unchecked);
            s.boxes.shown.clear();
            QTest::mouseClick(w->Check1, Qt::LeftButton);
            QCOMPARE(s.boxes.texts(), QStringList{kNoPassword});
            QCOMPARE(s.boxes.shown[0].buttons, MsgButtons::OkOnly);
        }
        QVERIFY(!QFile::exists(s.env.path(QStringLiteral("Pswd.dat"))));
        QVERIFY(!QFile::exists(s.env.path(QStringLiteral("Pword.dat"))));
    }

    void clearThenReopen() {
        Session s;
        s.saveCredentials("office\r\ntaro\r\nON\r\n", " 690 \r\n");
        frmRAS* w = s.open();
        s.boxes.shown.clear();
        QTest::mouseClick(w->Command5, Qt::LeftButton);
        QVERIFY(s.boxes.shown.isEmpty()); // the password "a" was still in the box when unchecked
        QCOMPARE(s.env.readFile(QStringLiteral("Pswd.dat")), QByteArray("Null\r\nNull\r\nOFF\r\n"));
        QCOMPARE(s.env.readFile(QStringLiteral("Pword.dat")), QByteArray(" 360 \r\n 360 \r\n"));
        QVERIFY(!w->Command5->isEnabled());
        QCOMPARE(w->Check1->checkState(), Qt::Unchecked);
        QCOMPARE(w->Combo1->currentText(), QString());
        QCOMPARE(w->Text1->text(), QString());
        QCOMPARE(w->Text2->text(), QString());
        QTest::mouseClick(w->Command4, Qt::LeftButton);

        w = s.open();
        QVERIFY(s.boxes.shown.isEmpty());
        QCOMPARE(w->Combo1->currentText(), QStringLiteral("Null"));
        QCOMPARE(w->Text1->text(), QStringLiteral("Null"));
        QCOMPARE(w->Text2->text(), QString());
        QCOMPARE(w->Check1->checkState(), Qt::Unchecked);
        QVERIFY(!w->Command5->isEnabled());
    }

    void onlyUpperCaseOnMeansSaved() {
        Session s;
        s.saveCredentials("isp\r\nuser\r\non\r\n", " 690 \r\n");
        frmRAS* w = s.open();
        QVERIFY(s.boxes.shown.isEmpty());
        QCOMPARE(w->Combo1->currentText(), QStringLiteral("isp"));
        QCOMPARE(w->Text1->text(), QStringLiteral("user"));
        QCOMPARE(w->Text2->text(), QString());
        QVERIFY(!w->Command5->isEnabled());
        QCOMPARE(w->Check1->checkState(), Qt::Unchecked);
    }

    void savedWithAnEmptyPasswordFile() {
        Session s;
        s.saveCredentials("isp\r\nuser\r\nON\r\n", QByteArray());
        frmRAS* w = s.open();
        QCOMPARE(s.boxes.texts(), QStringList{kNoPassword});
        QCOMPARE(w->Text2->text(), QString());
        QCOMPARE(w->Check1->checkState(), Qt::PartiallyChecked);
        QVERIFY(w->Command5->isEnabled());
    }

    void aMissingPasswordFileIsReportedUnderPswdDat() {
        Session s;
        s.saveCredentials("isp\r\nuser\r\nON\r\n", std::nullopt);
        frmRAS* w = s.open();
        QCOMPARE(s.boxes.texts(), QStringList{kNotFound + kLoadFailed});
        // Cancel: what the steps before set stays, the rest is as loaded.
        QCOMPARE(w->Combo1->currentText(), QStringLiteral("isp"));
        QCOMPARE(w->Text1->text(), QStringLiteral("user"));
        QCOMPARE(w->Text2->text(), QString());
        QCOMPARE(w->Check1->checkState(), Qt::Unchecked);
        QVERIFY(w->Command5->isEnabled());
    }

    void retryRunsTheFailedStepAgain() {
        Session s;
        s.saveCredentials("isp\r\nuser\r\nON\r\n", std::nullopt);
        s.boxes.answers = {MsgResult::Retry};
        // The file appears while the message is up.
        s.boxes.onShow = [&s](const QString&) {
            s.env.writeFile(QStringLiteral("Pword.dat"), " 690 \r\n 696 \r\n");
        };
        frmRAS* w = s.open();
        QCOMPARE(s.boxes.shown.size(), 1);
        QCOMPARE(w->Text2->text(), QStringLiteral("ab"));
        QCOMPARE(w->Check1->checkState(), Qt::PartiallyChecked);
    }

    void aShortOrBrokenFileIsReported() {
        {
            Session s;
            s.saveCredentials("isp\r\nuser\r\n", std::nullopt);
            frmRAS* w = s.open();
            QCOMPARE(
                s.boxes.texts(),
                QStringList{QStringLiteral("ファイルの終わりを越えて読み込もうとしました。") + kLoadFailed});
            QCOMPARE(w->Combo1->currentText(), QString());
            QVERIFY(w->Command5->isEnabled());
        }
        {
            Session s;
            s.saveCredentials("isp\r\nuser\r\nON\r\n", " 690 \r\n 882 \r\n");
            s.boxes.answers = {MsgResult::Retry}; // the same line fails again
            frmRAS* w = s.open();
            QCOMPARE(s.boxes.shown.size(), 2);
            QCOMPARE(s.boxes.shown[0].text,
                     QStringLiteral("Pword.dat の 2 行目は文字を表していません。") + kLoadFailed);
            QCOMPARE(w->Text2->text(), QString());
            QCOMPARE(w->Check1->checkState(), Qt::Unchecked);
        }
    }

    void japanesePasswordThroughTheWindow() {
        Session s;
        frmRAS* w = s.open();
        w->Combo1->setEditText(QStringLiteral("会社"));
        w->Text1->setText(QStringLiteral("山田"));
        w->Text2->setText(QStringLiteral("パス漢字ｶﾅ"));
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        QCOMPARE(s.env.readFile(QStringLiteral("Pswd.dat")),
                 ras::toAnsi(QStringLiteral("会社\r\n山田\r\nON\r\n")));
        QTest::mouseClick(w->Command4, Qt::LeftButton);
        s.boxes.shown.clear();
        w = s.open();
        QVERIFY(s.boxes.shown.isEmpty());
        QCOMPARE(w->Combo1->currentText(), QStringLiteral("会社"));
        QCOMPARE(w->Text2->text(), QStringLiteral("パス漢字ｶﾅ"));
    }

    void aFailedOrLossySaveIsReportedAndNotClaimed() {
        Session s;
        frmRAS* w = s.open();
        w->Text1->setText(QStringLiteral("taro"));
        // A character the files cannot hold.
        w->Text2->setText(QStringLiteral("pa€s"));
        s.boxes.shown.clear();
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        QCOMPARE(s.boxes.shown.size(), 1);
        QCOMPARE(w->Check1->checkState(), Qt::Unchecked);
        QVERIFY(!QFile::exists(s.env.path(QStringLiteral("Pword.dat"))));
        // A file that cannot be written: a folder stands in its place.
        w->Text2->setText(QStringLiteral("pass"));
        QVERIFY(QDir(s.env.appFolder()).mkdir(QStringLiteral("Pswd.dat")));
        s.boxes.shown.clear();
        QTest::mouseClick(w->Check1, Qt::LeftButton);
        QCOMPARE(s.boxes.shown.size(), 1);
        QVERIFY(s.boxes.shown[0].text.endsWith(QStringLiteral("\r\nPswd.datファイル の保存に失敗しました")));
        QCOMPARE(w->Check1->checkState(), Qt::Unchecked);
        QVERIFY(!QFile::exists(s.env.path(QStringLiteral("Pword.dat"))));
        QVERIFY(w->isVisible());
    }
};

QTEST_MAIN(FrmRasTest)
#include "tst_frmras.moc"
