// The command console: "コマンド送信", Enter in Combo3 and in Text2, over the component
// double, with the replies read back from the session log.
#include "platform/Codepage.h"
#include "support/FakeSession.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using testing::FakeSession;

namespace {

const QString kConsoleError = QStringLiteral("SIZE コマンド　エラー !!");

// Connected, "/pub" listed (RemoteDir), and a file of it clicked into Combo4.
void prepare(FakeSession& s) {
    s.script().files[QStringLiteral("/pub")] = QStringList{QStringLiteral("a.txt")};
    s.script().folders[QStringLiteral("/pub")] = QStringList{QStringLiteral("old")};
    s.connect();
    s.listAt(QStringLiteral("/pub"));
    FakeSession::clickEntry(s.w.List2, QStringLiteral("a.txt"));
}

void send(FakeSession& s, const QString& typed) {
    s.w.Combo3->setEditText(typed);
    s.w.mnuCommand->trigger();
}

// The log pane's lines (the pane shows them LF-separated).
QStringList paneLines(const testing::MainWindow& w) {
    return w.Text4->toPlainText().split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class ConsoleTest : public QObject {
    Q_OBJECT

private slots:
    void menuWorksOnlyWhileConnected() {
        FakeSession s;
        send(s, QStringLiteral("NOOP"));
        QVERIFY(s.calls().isEmpty());
        QVERIFY(s.boxes.shown.isEmpty());
        s.connect();
        send(s, QStringLiteral("NOOP"));
        QCOMPARE(s.calls().last(), QStringLiteral("Command(NOOP)"));
    }

    void sizeShowsTheNumber() {
        FakeSession s;
        prepare(s);
        s.script().commandLogLines[QStringLiteral("SIZE /pub/a.txt")] =
            QStringList{QStringLiteral("SIZE /pub/a.txt"), QStringLiteral("213 1048576")};
        const QString paneBefore = s.w.Text4->toPlainText();
        QVERIFY(!paneBefore.isEmpty());
        s.w.Text2->setText(QStringLiteral("old"));
        const qsizetype mark = s.calls().size();
        send(s, QStringLiteral("SIZE"));
        QCOMPARE(s.callsSince(mark),
                 (QStringList{QStringLiteral("Command(SIZE /pub/a.txt)"), QStringLiteral("GetReply()")}));
        QCOMPARE(s.w.retCode(), 2);
        QCOMPARE(s.w.Label2->text(), QStringLiteral("SIZEコマンドの送信完了です"));
        QCOMPARE(s.w.Text2->text(), QStringLiteral("1048576"));
        QCOMPARE(s.w.logLine(), QStringLiteral("1048576"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub"));
        QCOMPARE(s.w.Text4->toPlainText(), paneBefore); // SIZE leaves the log pane alone
        QVERIFY(s.boxes.shown.isEmpty());
    }

    void sizeAndPwdAfterALongSession() {
        // Megabytes of earlier transcript: the last reply is still what is shown.
        FakeSession s;
        prepare(s);
        QByteArray earlier;
        for (int i = 0; i < 40000; ++i)
            earlier += "227 Entering Passive Mode (127,0,0,1,4,1)\r\n";
        s.writeLog(earlier);
        s.script().commandLogLines[QStringLiteral("SIZE /pub/a.txt")] =
            QStringList{QStringLiteral("SIZE /pub/a.txt"), QStringLiteral("213 987654321")};
        send(s, QStringLiteral("SIZE"));
        QCOMPARE(s.w.Text2->text(), QStringLiteral("987654321"));
        s.script().commandLogLines[QStringLiteral("PWD")] =
            QStringList{QStringLiteral("PWD"), QStringLiteral("257 \"/pub\" is the current directory.")};
        send(s, QStringLiteral("PWD"));
        QCOMPARE(s.w.Text4->toPlainText(), QStringLiteral("/pub"));
    }

    void refusedSizeStillPutsTheFolderBack() {
        FakeSession s;
        prepare(s);
        s.script().commandResults = {5};
        s.script().reply = QStringLiteral("550 /pub/a.txt: No such file or directory");
        s.w.Text2->setText(QStringLiteral("old"));
        const qsizetype mark = s.calls().size();
        send(s, QStringLiteral("SIZE"));
        // The refusal's reply is asked for, to say why.
        QCOMPARE(s.callsSince(mark),
                 (QStringList{QStringLiteral("Command(SIZE /pub/a.txt)"), QStringLiteral("GetReply()")}));
        QCOMPARE(s.w.Label2->text(), QStringLiteral("SIZEコマンドの返信エラーです"));
        const QString cause = QStringLiteral("サーバーの応答: 550 /pub/a.txt: No such file or directory");
        QCOMPARE(s.w.Label2->toolTip(), cause);
        QCOMPARE(s.w.Label2->accessibleDescription(), cause);
        QCOMPARE(s.w.Text2->text(), QString());
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub"));
    }

    void emptyLogKeepsThePreviousReading() {
        FakeSession s;
        prepare(s);
        // Nothing read since start-up: an empty log gives an empty box.
        s.writeLog(QByteArray());
        send(s, QStringLiteral("SIZE"));
        QCOMPARE(s.w.Label2->text(), QStringLiteral("SIZEコマンドの送信完了です"));
        QCOMPARE(s.w.Text2->text(), QString());
        // A reading, then an empty log: the field of that reading shows again.
        s.script().commandLogLines[QStringLiteral("SIZE /pub/a.txt")] = QStringList{QStringLiteral("213 42")};
        s.w.Combo4->setEditText(QStringLiteral("/pub/a.txt"));
        send(s, QStringLiteral("SIZE"));
        QCOMPARE(s.w.Text2->text(), QStringLiteral("42"));
        s.script().commandLogLines.clear();
        s.writeLog(QByteArray());
        send(s, QStringLiteral("SIZE"));
        QCOMPARE(s.w.Text2->text(), QStringLiteral("42"));
    }

    void helpShowsTheWholeLogLineByLine() {
        FakeSession s;
        prepare(s);
        s.script().commandLogLines[QStringLiteral("HELP")] =
            QStringList{QStringLiteral("HELP"), QStringLiteral("214-The following commands are recognized:"),
                        QStringLiteral(" CWD, DELE, HELP, LIST"), QStringLiteral("214 Help OK.")};
        const qsizetype mark = s.calls().size();
        send(s, QStringLiteral("HELP"));
        QCOMPARE(s.callsSince(mark),
                 (QStringList{QStringLiteral("Command(HELP)"), QStringLiteral("GetReply()")}));
        QCOMPARE(s.w.Label2->text(), QStringLiteral("HELPコマンドの送信完了です"));
        // Every line of the log, the connect's lines included, commas kept.
        const QStringList expected{QStringLiteral("220 fake server ready"),
                                   QStringLiteral("USER user"),
                                   QStringLiteral("PASS ****"),
                                   QStringLiteral("230 logged in"),
                                   QStringLiteral("HELP"),
                                   QStringLiteral("214-The following commands are recognized:"),
                                   QStringLiteral(" CWD, DELE, HELP, LIST"),
                                   QStringLiteral("214 Help OK.")};
        QCOMPARE(paneLines(s.w), expected);
        QCOMPARE(s.w.logBuf(), expected.join(QLatin1String("\r\n")) + QLatin1String("\r\n"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub/a.txt")); // HELP leaves Combo4

        s.script().commandResults = {5};
        send(s, QStringLiteral("HELP"));
        QCOMPARE(s.w.Label2->text(), QStringLiteral("HELPコマンドの送信エラーです"));
        QCOMPARE(s.w.Text4->toPlainText(), QString());
        QCOMPARE(s.w.logBuf(), QString()); // emptied at the start of every command
    }

    void pwdShowsTheFolder() {
        FakeSession s;
        prepare(s);
        s.script().commandLogLines[QStringLiteral("PWD")] =
            QStringList{QStringLiteral("PWD"), QStringLiteral("257 \"/pub\" is the current directory.")};
        send(s, QStringLiteral("PWD"));
        QCOMPARE(s.w.Label2->text(), QStringLiteral("PWDコマンドの送信完了です"));
        QCOMPARE(s.w.Text4->toPlainText(), QStringLiteral("/pub"));
        QCOMPARE(s.calls().last(), QStringLiteral("GetReply()"));

        s.script().commandResults = {5};
        send(s, QStringLiteral("PWD"));
        QCOMPARE(s.w.Label2->text(), QStringLiteral("ＰＷＤコマンドの送信エラーです"));
        QCOMPARE(s.w.Text4->toPlainText(), QString());
    }

    void mkdUsesTheFolderNameBox() {
        FakeSession s;
        s.connect();
        s.w.Combo4->setEditText(QStringLiteral("/pub"));
        s.w.MakeDirTxt->setText(QStringLiteral("new"));
        s.script().commandLogLines[QStringLiteral("MKD /pub/new")] =
            QStringList{QStringLiteral("MKD /pub/new"), QStringLiteral("257 \"/pub/new\" created.")};
        const qsizetype mark = s.calls().size();
        send(s, QStringLiteral("MKD"));
        QCOMPARE(s.callsSince(mark), QStringList{QStringLiteral("Command(MKD /pub/new)")});
        QCOMPARE(s.w.Label2->text(), QStringLiteral("MKDコマンドの送信をしました。"));
        QCOMPARE(paneLines(s.w).last(), QStringLiteral("257 \"/pub/new\" created.")); // the log view
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub"));

        // An empty name gives a line ending in "/"; a refusal shows nothing.
        s.w.MakeDirTxt->clear();
        s.script().commandResults = {5};
        send(s, QStringLiteral("MKD"));
        QCOMPARE(s.calls().last(), QStringLiteral("Command(MKD /pub/)"));
        QCOMPARE(s.w.Label2->text(), QStringLiteral("MKDコマンドの送信をしました。"));
        QCOMPARE(s.w.Text4->toPlainText(), QString());
        QVERIFY(s.boxes.shown.isEmpty());
    }

    void rmdAsksFirst() {
        FakeSession s;
        prepare(s);
        FakeSession::clickEntry(s.w.List1, QStringLiteral("old"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub/old"));
        const QString paneBefore = s.w.Text4->toPlainText();

        // No: nothing sent, Combo4 back to the folder.
        s.boxes.answers = {platform::MsgResult::No};
        qsizetype mark = s.calls().size();
        send(s, QStringLiteral("RMD"));
        QCOMPARE(s.callsSince(mark), QStringList());
        QCOMPARE(s.boxes.texts(), QStringList{QStringLiteral("デイレクトリを削除しますか？")});
        QCOMPARE(s.boxes.shown.last().buttons, platform::MsgButtons::YesNo);
        QCOMPARE(s.boxes.shown.last().icon, platform::MsgIcon::None);
        QCOMPARE(s.boxes.shown.last().title, QStringLiteral("TesselFTP"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub"));
        QCOMPARE(s.w.Text4->toPlainText(), paneBefore);

        // Yes: sent, the folder listed again.
        s.w.Combo4->setEditText(QStringLiteral("/pub/old"));
        s.script().folders[QStringLiteral("/pub")] = QStringList();
        s.boxes.answers = {platform::MsgResult::Yes};
        mark = s.calls().size();
        send(s, QStringLiteral("RMD"));
        QCOMPARE(s.callsSince(mark),
                 (QStringList{QStringLiteral("Command(RMD /pub/old)"), QStringLiteral("GetDir(/pub,1)"),
                              QStringLiteral("GetDir(/pub)")}));
        QCOMPARE(s.w.Label2->text(), QStringLiteral("デイレクトリを削除しました。"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub"));
        QCOMPARE(s.w.List1->count(), 0);
        QCOMPARE(s.w.Text4->toPlainText(), QString());

        // Yes, refused by the server: nothing changes but the emptied log pane.
        s.w.Combo4->setEditText(QStringLiteral("/pub/busy"));
        s.boxes.answers = {platform::MsgResult::Yes};
        s.script().commandResults = {5};
        mark = s.calls().size();
        send(s, QStringLiteral("RMD"));
        QCOMPARE(s.callsSince(mark), QStringList{QStringLiteral("Command(RMD /pub/busy)")});
        QCOMPARE(s.w.Label2->text(), QStringLiteral("デイレクトリを削除しました。"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub/busy"));
    }

    void cdupOnlyMovesTheServer() {
        FakeSession s;
        prepare(s);
        s.script().commandLogLines[QStringLiteral("CDUP")] =
            QStringList{QStringLiteral("CDUP"), QStringLiteral("250 \"/\" is the current directory.")};
        const qsizetype mark = s.calls().size();
        send(s, QStringLiteral("CDUP"));
        QCOMPARE(s.callsSince(mark), QStringList{QStringLiteral("Command(CDUP)")});
        QCOMPARE(s.w.Label2->text(), QStringLiteral("CDUPコマンドの送信をしました。"));
        QCOMPARE(paneLines(s.w).last(), QStringLiteral("250 \"/\" is the current directory."));
        QCOMPARE(s.w.remoteDir(), QStringLiteral("/pub"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub/a.txt"));
        QCOMPARE(s.w.List2->count(), 1);
    }

    void anyOtherLineIsSentAsTyped() {
        FakeSession s;
        s.connect();
        s.script().commandLogLines[QStringLiteral("NOOP")] =
            QStringList{QStringLiteral("NOOP"), QStringLiteral("200 I successfully done nothin'.")};
        s.w.Combo3->setEditText(QStringLiteral("NOOP"));
        s.w.Combo3->setFocus();
        QTest::keyClick(s.w.Combo3, Qt::Key_Return);
        QCOMPARE(s.calls().last(), QStringLiteral("Command(NOOP)"));
        QCOMPARE(s.fake.record().callCount(QStringLiteral("Command")), 1);
        QCOMPARE(s.w.Label2->text(), QStringLiteral("Send Command!!"));
        QCOMPARE(paneLines(s.w).last(), QStringLiteral("200 I successfully done nothin'."));

        s.script().commandResults = {5};
        QTest::keyClick(s.w.Combo3->lineEdit(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(s.fake.record().callCount(QStringLiteral("Command")), 2);
        QCOMPARE(s.w.Label2->text(), QStringLiteral("コマンドエラー"));
        QCOMPARE(paneLines(s.w).last(), QStringLiteral("200 I successfully done nothin'."));

        // Keywords in another case, with blanks, and the empty text go out as typed.
        for (const QString& typed : {QStringLiteral("size"), QStringLiteral(" PWD"), QString()}) {
            send(s, typed);
            QCOMPARE(s.calls().last(), QStringLiteral("Command(%1)").arg(typed));
            QCOMPARE(s.w.Label2->text(), QStringLiteral("Send Command!!"));
        }
    }

    void otherKeysAreLeftToTheBoxes() {
        FakeSession s;
        s.connect();
        s.w.Combo3->setEditText(QString());
        s.w.Combo3->setFocus();
        QTest::keyClicks(s.w.Combo3, QStringLiteral("NOOP"));
        QCOMPARE(s.w.Combo3->currentText(), QStringLiteral("NOOP"));
        QTest::keyClicks(s.w.Text2, QStringLiteral("12"));
        QCOMPARE(s.w.Text2->text(), QStringLiteral("12"));
        QCOMPARE(s.fake.record().callCount(QStringLiteral("Command")), 0);
        QCOMPARE(s.w.Combo3->count(), 3); // Enter never adds the typed text to the list
        QTest::keyClick(s.w.Combo3, Qt::Key_Return);
        QCOMPARE(s.w.Combo3->count(), 3);
    }

    void errorsShowTheOneBox() {
        FakeSession s;
        // Enter in Combo3 before connecting: the same box for HELP as for SIZE.
        s.w.Combo3->setEditText(QStringLiteral("HELP"));
        s.w.Text4->setPlainText(QStringLiteral("earlier"));
        QTest::keyClick(s.w.Combo3, Qt::Key_Return);
        QCOMPARE(s.boxes.texts(), QStringList{kConsoleError});
        QCOMPARE(s.boxes.shown.last().buttons, platform::MsgButtons::OkOnly);
        QCOMPARE(s.boxes.shown.last().icon, platform::MsgIcon::None);
        QCOMPARE(s.boxes.shown.last().title, QStringLiteral("TesselFTP"));
        QCOMPARE(s.w.Text4->toPlainText(), QString()); // emptied before the send failed
        QCOMPARE(s.w.Label2->text(), QStringLiteral("+++"));

        // The log cannot be read after a successful PWD: the status already says so.
        s.boxes.shown.clear();
        s.connect();
        QVERIFY(QFile::remove(s.env.logPath()));
        send(s, QStringLiteral("PWD"));
        QCOMPARE(s.boxes.texts(), QStringList{kConsoleError});
        QCOMPARE(s.w.Label2->text(), QStringLiteral("PWDコマンドの送信完了です"));

        // The component fails.
        s.boxes.shown.clear();
        s.script().failing = QStringList{QStringLiteral("Command")};
        send(s, QStringLiteral("CDUP"));
        QCOMPARE(s.boxes.texts(), QStringList{kConsoleError});
    }

    void logIsReadInCp932() {
        FakeSession s;
        s.connect();
        s.writeLog(codepage::toCp932(QStringLiteral("PWD\r\n257 \"/データ\" is the current directory.\r\n")));
        send(s, QStringLiteral("PWD"));
        QCOMPARE(s.w.Text4->toPlainText(), QStringLiteral("/データ"));
    }

    void enterInTheSizeBoxSendsItsText() {
        FakeSession s;
        prepare(s);
        s.script().commandLogLines[QStringLiteral("SIZE /pub/a.txt")] =
            QStringList{QStringLiteral("213 1048576")};
        send(s, QStringLiteral("SIZE"));
        const QString status = s.w.Label2->text();
        const QString pane = s.w.Text4->toPlainText();
        s.script().commandResults = {5};
        QTest::keyClick(s.w.Text2, Qt::Key_Return);
        QCOMPARE(s.calls().last(), QStringLiteral("Command(1048576)"));
        QCOMPARE(s.w.retCode(), 5);
        // Nothing is shown, whatever the result.
        QCOMPARE(s.w.Label2->text(), status);
        QCOMPARE(s.w.Text4->toPlainText(), pane);
        QCOMPARE(s.w.Text2->text(), QStringLiteral("1048576"));
        QVERIFY(s.boxes.shown.isEmpty());
    }

    void enterInTheSizeBoxWithoutSession() {
        FakeSession s;
        s.w.Text2->setText(QStringLiteral("NOOP"));
        s.w.retCode() = 7;
        QTest::keyClick(s.w.Text2, Qt::Key_Return);
        QCOMPARE(s.boxes.texts(), QStringList{QStringLiteral("ERROR !!")});
        QCOMPARE(s.w.retCode(), 7);
        QCOMPARE(s.w.Label2->text(), QStringLiteral("+++"));
        QVERIFY(s.w.isVisible());
    }
};

QTEST_MAIN(ConsoleTest)
#include "tst_console.moc"
