// Connect, disconnect, remote navigation, the log pane and "Save"/"CLS", driven through
// the main window with the component double.
#include "support/MainWindow.h"
#include "ftp/rules/SessionLog.h"
#include "platform/AppPaths.h"
#include "support/FakeFtpComponent.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"
#include "support/WidgetText.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using testing::entries;

using testing::FakeFtpInstall;

namespace {

void clickEntry(QListWidget* list, const QString& text) {
    QListWidgetItem* item = list->findItems(text, Qt::MatchExactly).value(0);
    QVERIFY(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

} // namespace

class SessionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::TestEnvironment> env;
    std::unique_ptr<FakeFtpInstall> fake;
    std::unique_ptr<testing::ScriptedMessageBoxes> boxes;
    std::unique_ptr<testing::MainWindow> w;

    void connectWith(const QStringList& folders, const QStringList& files) {
        fake->script().folders.insert(QString(), folders.isEmpty() ? ftp::DirList() : ftp::DirList(folders));
        fake->script().files.insert(QString(), files.isEmpty() ? ftp::DirList() : ftp::DirList(files));
        w->mnuConect->trigger();
    }

private slots:
    void init() {
        env = std::make_unique<testing::TestEnvironment>();
        fake = std::make_unique<FakeFtpInstall>();
        boxes = std::make_unique<testing::ScriptedMessageBoxes>();
        w = std::make_unique<testing::MainWindow>();
        w->show();
    }
    void cleanup() {
        w.reset();
        boxes.reset();
        fake.reset();
        env.reset();
    }

    void connectSuccess() {
        w->Combo1->setEditText(QStringLiteral("ftp.example.jp"));
        w->Combo2->setEditText(QStringLiteral("anonymous"));
        w->Combo5->setEditText(QStringLiteral("me@example"));
        w->List1->addItem(QStringLiteral("left over")); // lists are not cleared before filling
        connectWith({QStringLiteral("pub"), QStringLiteral("incoming")},
                    {QStringLiteral("a.txt"), QStringLiteral("b.bin")});
        QCOMPARE(fake->record().calls.mid(0, 4),
                 (QStringList{QStringLiteral("OpenLog(%1,0)").arg(env->logPath()),
                              QStringLiteral("Connect(ftp.example.jp,anonymous,me@example)"),
                              QStringLiteral("GetDir(,1)"), QStringLiteral("GetDir()")}));
        QCOMPARE(w->Label2->text(), QStringLiteral("接続成功。"));
        QCOMPARE(entries(w->List1), (QStringList{QStringLiteral("left over"), QStringLiteral("pub"),
                                                 QStringLiteral("incoming")}));
        QCOMPARE(entries(w->List2), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.bin")}));
        QCOMPARE(entries(w->Combo4), QStringList{QStringLiteral("/")});
        QCOMPARE(w->Combo4->currentText(), QString()); // the box's text is not changed
        QVERIFY(w->remoteDir().isEmpty());
        QVERIFY(w->Text4->toPlainText().contains(QStringLiteral("230 logged in")));
        QVERIFY(!w->mnuConect->isEnabled() && w->mnuClose->isEnabled() && w->mnuCommand->isEnabled());
        QVERIFY(boxes->shown.isEmpty());
    }

    void connectWithNothingToList() {
        connectWith({}, {});
        QCOMPARE(w->Label2->text(), QStringLiteral("接続成功。"));
        QCOMPARE(w->List1->count(), 0);
        QCOMPARE(w->List2->count(), 0);
        QVERIFY(w->mnuClose->isEnabled());
    }

    void connectRefusedThenRetried() {
        fake->script().connectResult = 5;
        fake->script().connectLogLines = {QStringLiteral("530 Login incorrect.")};
        w->Text4->setPlainText(QStringLiteral("old text"));
        w->mnuConect->trigger();
        QCOMPARE(w->Label2->text(), QStringLiteral("接続できませんでした。"));
        QCOMPARE(w->Text4->toPlainText(), QStringLiteral("530 Login incorrect.\n"));
        QVERIFY(w->mnuConect->isEnabled() && !w->mnuClose->isEnabled() && !w->mnuCommand->isEnabled());
        QCOMPARE(fake->record().liveInstances, 1); // the failed instance is kept
        QVERIFY(boxes->shown.isEmpty());

        // A second attempt replaces the instance and shows the new log.
        fake->script().connectResult = 0;
        fake->script().connectLogLines = {QStringLiteral("230 welcome")};
        w->mnuConect->trigger();
        QCOMPARE(fake->record().instances, 2);
        QCOMPARE(fake->record().liveInstances, 1);
        QCOMPARE(w->Text4->toPlainText(), QStringLiteral("230 welcome\n"));
        QCOMPARE(w->Label2->text(), QStringLiteral("接続成功。"));
    }

    void connectErrorShowsBoxAndKeepsMenus() {
        fake->script().failing = {QStringLiteral("Connect")};
        w->mnuConect->trigger();
        QCOMPARE(boxes->texts(), QStringList{QStringLiteral("ERROR !!")});
        QCOMPARE(boxes->shown[0].title, QStringLiteral("TesselFTP"));
        QCOMPARE(boxes->shown[0].buttons, platform::MsgButtons::OkOnly);
        QCOMPARE(boxes->shown[0].icon, platform::MsgIcon::None);
        QVERIFY(w->mnuConect->isEnabled() && !w->mnuClose->isEnabled());
        QCOMPARE(w->Label2->text(), QStringLiteral("+++"));
    }

    void unreadableLogAfterConnectKeepsTheSessionClosable() {
        // The log cannot be read: the lists are filled, the status says so and the error
        // is reported; the session is open, so the menus let the user end it.
        env.reset();
        env = std::make_unique<testing::TestEnvironment>();
        apppaths::overrideSessionLogPath(env->appFolder() + QStringLiteral("no/such/folder/log.txt"));
        fake->script().failing = {};
        fake->script().connectLogLines = {};
        // The double creates the log's folder; make the path a folder so it cannot be read.
        QDir().mkpath(env->appFolder() + QStringLiteral("no/such/folder/log.txt"));
        connectWith({QStringLiteral("pub")}, {});
        QCOMPARE(w->Label2->text(), QStringLiteral("接続成功。"));
        QCOMPARE(entries(w->List1), QStringList{QStringLiteral("pub")});
        QCOMPARE(boxes->texts(), QStringList{QStringLiteral("ERROR !!")});
        QVERIFY(!w->mnuConect->isEnabled() && w->mnuClose->isEnabled() && w->mnuCommand->isEnabled());
        w->mnuClose->trigger();
        QVERIFY(w->mnuConect->isEnabled());
    }

    void eachConnectAddsAnotherRoot() {
        connectWith({}, {});
        w->mnuClose->trigger();
        connectWith({}, {});
        QCOMPARE(entries(w->Combo4), (QStringList{QStringLiteral("/"), QStringLiteral("/")}));
    }

    void disconnectResetsPanesKeepsHistory() {
        connectWith({QStringLiteral("pub")}, {QStringLiteral("a.txt")});
        w->Combo4->setEditText(QStringLiteral("/pub"));
        w->Command1->click();
        const QString log = w->Text4->toPlainText();
        w->mnuClose->trigger();
        QCOMPARE(fake->record().calls.mid(fake->record().calls.size() - 2),
                 (QStringList{QStringLiteral("CloseLog()"), QStringLiteral("Close()")}));
        QCOMPARE(fake->record().liveInstances, 0);
        QCOMPARE(w->Label2->text(), QStringLiteral("切断しました"));
        QCOMPARE(w->List1->count(), 0);
        QCOMPARE(w->List2->count(), 0);
        QCOMPARE(w->Combo4->currentText(), QString());
        QCOMPARE(entries(w->Combo4), (QStringList{QStringLiteral("/"), QStringLiteral("/pub")}));
        QCOMPARE(w->remoteDir(), QStringLiteral("/pub"));
        QCOMPARE(w->Text4->toPlainText(), log);
        QVERIFY(w->mnuConect->isEnabled() && !w->mnuClose->isEnabled() && !w->mnuCommand->isEnabled());
    }

    void disconnectWhenClosingFailsStillDropsTheSession() {
        connectWith({QStringLiteral("pub")}, {});
        fake->script().failing = {QStringLiteral("Close")};
        w->mnuClose->trigger();
        QCOMPARE(fake->record().liveInstances, 0);
        QCOMPARE(w->List1->count(), 0);
        QVERIFY(w->mnuConect->isEnabled() && !w->mnuClose->isEnabled());
        QCOMPARE(w->Label2->text(), QStringLiteral("切断しました"));
    }

    void listingFillsListsAndHistory() {
        connectWith({}, {});
        fake->script().folders.insert(QStringLiteral("/pub"),
                                      QStringList{QStringLiteral("x"), QStringLiteral("y")});
        fake->script().files.insert(QStringLiteral("/pub"), QStringList{QStringLiteral("r.txt")});
        w->Combo4->setEditText(QStringLiteral("/pub"));
        w->Command1->click();
        QCOMPARE(entries(w->List1), (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
        QCOMPARE(entries(w->List2), QStringList{QStringLiteral("r.txt")});
        QCOMPARE(w->remoteDir(), QStringLiteral("/pub"));
        w->mnuDirChenge->trigger(); // the same path twice: twice in the history
        QCOMPARE(entries(w->Combo4),
                 (QStringList{QStringLiteral("/"), QStringLiteral("/pub"), QStringLiteral("/pub")}));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub"));
        QVERIFY(boxes->shown.isEmpty());

        // Nothing to list is not an error: both lists empty, the path still becomes current.
        w->Combo4->setEditText(QStringLiteral("/empty"));
        w->Command1->click();
        QCOMPARE(w->List1->count() + w->List2->count(), 0);
        QCOMPARE(w->remoteDir(), QStringLiteral("/empty"));
        QVERIFY(boxes->shown.isEmpty());
    }

    void failingListingKeepsRemoteDir() {
        connectWith({}, {});
        fake->script().folders.insert(QStringLiteral("/a"), QStringList{QStringLiteral("x")});
        fake->script().failing = {QStringLiteral("GetDir:4")}; // the file listing of /a
        w->Combo4->setEditText(QStringLiteral("/a"));
        w->Command1->click();
        QCOMPARE(boxes->texts(), QStringList{QStringLiteral("Error!!")});
        QCOMPARE(entries(w->List1), QStringList{QStringLiteral("x")}); // as far as it was filled
        QVERIFY(w->remoteDir().isEmpty());
        QCOMPARE(entries(w->Combo4), QStringList{QStringLiteral("/")});
    }

    void listingWhileNotConnected() {
        w->List1->addItem(QStringLiteral("stale"));
        w->Combo4->setEditText(QStringLiteral("/pub"));
        w->Command1->click();
        QCOMPARE(boxes->texts(), QStringList{QStringLiteral("Error!!")});
        QCOMPARE(w->List1->count(), 0);
        QVERIFY(w->remoteDir().isEmpty());
    }

    void clicksComposeUnnormalisedPaths() {
        connectWith({QStringLiteral("pub")}, {QStringLiteral("a.txt")});
        clickEntry(w->List1, QStringLiteral("pub"));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub")); // RemoteDir is still empty

        fake->script().folders.insert(QStringLiteral("/"), QStringList{QStringLiteral("pub")});
        w->Combo4->setEditText(QStringLiteral("/"));
        w->Command1->click();
        clickEntry(w->List1, QStringLiteral("pub"));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("//pub"));

        fake->script().folders.insert(QStringLiteral("/pub/"), QStringList{QStringLiteral("x")});
        fake->script().files.insert(QStringLiteral("/pub/"), QStringList{QStringLiteral("f.txt")});
        w->Combo4->setEditText(QStringLiteral("/pub/"));
        w->Command1->click();
        clickEntry(w->List1, QStringLiteral("x"));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub//x"));

        w->Text2->setText(QStringLiteral(" 1234"));
        clickEntry(w->List2, QStringLiteral("f.txt"));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub//f.txt"));
        QCOMPARE(w->Text2->text(), QString());
    }

    void remoteDirSurvivesReconnect() {
        connectWith({QStringLiteral("pub")}, {});
        fake->script().folders.insert(QStringLiteral("/srv"), QStringList{QStringLiteral("pub")});
        w->Combo4->setEditText(QStringLiteral("/srv"));
        w->Command1->click();
        w->mnuClose->trigger();
        connectWith({QStringLiteral("pub")}, {});
        clickEntry(w->List1, QStringLiteral("pub"));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/srv/pub"));
    }

    void saveWritesEveryEntryWithCrLf() {
        w.reset();
        env->writeFile(QStringLiteral("ftpsvr.dat"), QByteArray("ftp.a\r\nftp.b"));
        w = std::make_unique<testing::MainWindow>();
        w->Combo1->setEditText(QStringLiteral("ftp.日本.jp"));
        w->Command2->click();
        w->Command2->click(); // twice: stored twice
        QCOMPARE(env->readFile(QStringLiteral("ftpsvr.dat")),
                 QByteArray("ftp.a\r\nftp.b\r\nftp.\x93\xfa\x96\x7b.jp\r\nftp.\x93\xfa\x96\x7b.jp\r\n"));
        w->Combo1->setEditText(QString());
        w->Command2->click();
        QCOMPARE(env->readFile(QStringLiteral("ftpsvr.dat")).count("\r\n"), 5);
        QVERIFY(env->readFile(QStringLiteral("ftpsvr.dat")).endsWith("\r\n\r\n"));
    }

    void clsRemovesOnlyThePickedEntry() {
        w.reset();
        env->writeFile(QStringLiteral("ftpsvr.dat"), QByteArray("ftp.a\r\nftp.b\r\n"));
        w = std::make_unique<testing::MainWindow>();
        w->Combo1->setCurrentIndex(0);
        w->Command3->click();
        QCOMPARE(entries(w->Combo1), QStringList{QStringLiteral("ftp.b")});
        QCOMPARE(env->readFile(QStringLiteral("ftpsvr.dat")),
                 QByteArray("ftp.a\r\nftp.b\r\n")); // file untouched
        // Typed text, nothing picked: nothing happens.
        w->Combo1->setEditText(QStringLiteral("typed"));
        w->Command3->click();
        QCOMPARE(entries(w->Combo1), QStringList{QStringLiteral("ftp.b")});
    }

    void clsAfterSaveOrAtStartRemovesNothingUnpicked() {
        // The first "Save" into an empty list leaves nothing picked: "CLS" then does nothing.
        w->Combo1->setEditText(QStringLiteral("ftp.x"));
        w->Command2->click();
        w->Command3->click();
        QCOMPARE(entries(w->Combo1), QStringList{QStringLiteral("ftp.x")});
        QCOMPARE(w->Combo1->currentText(), QStringLiteral("ftp.x"));

        // At start the box shows "ftp." with nothing picked, even when the file's first
        // entry reads "ftp." too.
        w.reset();
        env->writeFile(QStringLiteral("ftpsvr.dat"), QByteArray("ftp.\r\nftp.b\r\n"));
        w = std::make_unique<testing::MainWindow>();
        QCOMPARE(w->Combo1->currentText(), QStringLiteral("ftp."));
        w->Command3->click();
        QCOMPARE(entries(w->Combo1), (QStringList{QStringLiteral("ftp."), QStringLiteral("ftp.b")}));
    }

    void focusAloneComposesNoPath() {
        // Moving the focus into a remote list (Tab, or the window becoming active again)
        // picks no entry, so the remote path box keeps what the user put there.
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        connectWith({QStringLiteral("pub")}, {QStringLiteral("a.txt"), QStringLiteral("b.txt")});
        w->Combo4->setEditText(QStringLiteral("/typed"));
        w->Combo4->setFocus(Qt::OtherFocusReason);
        w->List1->setFocus(Qt::TabFocusReason);
        w->List2->setFocus(Qt::TabFocusReason);
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/typed"));
        // Arrow keys still pick entries as clicks do.
        QTest::keyClick(w->List2, Qt::Key_Down);
        QVERIFY(w->List2->currentItem() && w->List2->currentItem()->isSelected());
        QCOMPARE(w->Combo4->currentText(), u'/' + w->List2->currentItem()->text());
    }

    void saveFailureIsReportedAndListKept() {
        QVERIFY(QDir().mkpath(env->path(QStringLiteral("ftpsvr.dat")))); // a folder in the way
        w->Combo1->setEditText(QStringLiteral("ftp.x"));
        w->Command2->click();
        QCOMPARE(boxes->shown.size(), 1);
        QVERIFY(boxes->shown[0].text.startsWith(QStringLiteral("サーバーリストを保存できませんでした。")));
        QCOMPARE(boxes->shown[0].title, QStringLiteral("TesselFTP"));
        QCOMPARE(entries(w->Combo1), QStringList{QStringLiteral("ftp.x")});
    }

    void longLogShowsItsEnd() {
        connectWith({}, {});
        // A log far beyond what the pane shows: the pane holds its last whole lines.
        QByteArray line = "200 ";
        line += QByteArray(90, 'x');
        line += "\r\n";
        QByteArray log;
        for (int i = 0; i < 40000; ++i)
            log += QByteArray::number(i) + ' ' + line;
        log += "226 the last line\r\n";
        QFile file(env->logPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(log);
        file.close();
        testing::MainWindowAccess::showLog(*w);
        const QString pane = w->Text4->toPlainText();
        QVERIFY(pane.size() <= sessionlog::kPaneLimitChars);
        QVERIFY(pane.size() > sessionlog::kPaneLimitChars / 2);
        QVERIFY(pane.endsWith(QStringLiteral("\n226 the last line\n")));
        const QString first = pane.section(u'\n', 0, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+ 200 x{90}$")).match(first).hasMatch(),
                 qPrintable(first)); // a whole first line
    }

    void logPaneFields() {
        fake->script().connectLogLines = {QStringLiteral("227 Entering Passive Mode (127,0,0,1,4,1)"),
                                          QStringLiteral("  \"quoted, text\" tail"), QString()};
        connectWith({}, {});
        QCOMPARE(w->Text4->toPlainText(),
                 QStringLiteral("227 Entering Passive Mode (127\n0\n0\n1\n4\n1)\nquoted, text\n\n"));
    }
};

QTEST_MAIN(SessionTest)
#include "tst_session.moc"
