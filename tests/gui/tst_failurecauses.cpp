// The cause beside each failure, over the component double: the boxes keep their text,
// title and buttons and add the cause the component or the file system gave; the status
// line's tooltip says why a connect was refused and is cleared by the next success.
#include "ftp/component/FtpEngine.h"
#include "support/FakeSession.h"

#include <QDir>
#include <QTest>

#include <cerrno>
#include <cstring>

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

ftp::FtpError refusal(const QString& message, const QString& reply) {
    ftp::FailureDetail detail(ftp::FailureKind::Refused);
    detail.serverReply = reply;
    return ftp::FtpError(message, detail);
}

// One box, shown as the window has always shown it, with `cause` under its text.
void checkBox(const testing::ScriptedMessageBoxes& boxes, const QString& text, MsgButtons buttons,
              const QString& cause) {
    QCOMPARE(boxes.shown.size(), 1);
    const testing::ShownBox& box = boxes.shown.first();
    QCOMPARE(box.text, text);
    QCOMPARE(box.title, QStringLiteral("TesselFTP"));
    QCOMPARE(box.buttons, buttons);
    QCOMPARE(box.icon, MsgIcon::None);
    QCOMPARE(box.informative, cause);
}

} // namespace

class FailureCausesWindowTest : public QObject {
    Q_OBJECT

private slots:
    void refusedListingNamesTheServersReply() {
        testing::FakeSession s;
        s.connect();
        s.script().failing = {QStringLiteral("GetDir")};
        s.script().failure = refusal(QStringLiteral("Cannot open the folder \"/pub/x\""),
                                     QStringLiteral("550 /pub/x: No such file or directory"));
        s.listAt(QStringLiteral("/pub/x"));
        checkBox(s.boxes, QStringLiteral("Error!!"), MsgButtons::OkOnly,
                 QStringLiteral("サーバーの応答: 550 /pub/x: No such file or directory"));
    }

    void failedDownloadSaysTheDiskIsFull() {
        testing::FakeSession s;
        s.script().files[QStringLiteral("/pub")] = QStringList{QStringLiteral("a.txt")};
        s.connect();
        s.listAt(QStringLiteral("/pub"));
        testing::FakeSession::clickEntry(s.w.List2, QStringLiteral("a.txt"));
        s.w.Text3->setText(QDir::tempPath() + u'/');
        s.script().failing = {QStringLiteral("GetFile")};
        s.script().failure = ftp::FtpError(QStringLiteral("Cannot write \"/tmp/a.txt\": ") +
                                               QString::fromLocal8Bit(std::strerror(ENOSPC)),
                                           ftp::FailureDetail(ftp::FailureKind::Local));
        s.w.Command6->click();
        checkBox(s.boxes, QStringLiteral("Error!"), MsgButtons::RetryCancel,
                 QStringLiteral("ローカルのファイルに書き込めません: ディスクがいっぱいです"));
        QCOMPARE(s.w.Label2->text(), QStringLiteral("ファイルの受信中です"));
    }

    void failedSaveOfTheServerListSaysWhy() {
        testing::FakeSession s;
        QVERIFY(QDir().mkpath(s.env.path(QStringLiteral("ftpsvr.dat")))); // a folder in the way
        s.w.Combo1->setEditText(QStringLiteral("ftp.x"));
        s.w.Command2->click();
        QCOMPARE(s.boxes.shown.size(), 1);
        QVERIFY(s.boxes.shown[0].text.startsWith(QStringLiteral("サーバーリストを保存できませんでした。")));
        QCOMPARE(s.boxes.shown[0].buttons, MsgButtons::OkOnly);
        QVERIFY2(s.boxes.shown[0].informative.startsWith(QStringLiteral("ローカルのファイルに書き込めません")),
                 qPrintable(s.boxes.shown[0].informative));
    }

    void consoleBoxNamesTheFailedCommand() {
        testing::FakeSession s; // not connected: Enter in the command box still sends
        s.w.Combo3->setEditText(QStringLiteral("HELP"));
        QTest::keyClick(s.w.Combo3->lineEdit(), Qt::Key_Return);
        checkBox(s.boxes, QStringLiteral("SIZE コマンド　エラー !!"), MsgButtons::OkOnly,
                 QStringLiteral("失敗したコマンド: HELP\nサーバーに接続していません。"));
    }

    void refusedConnectTellsWhyUntilTheNextSuccess() {
        testing::FakeSession s;
        s.script().connectResult = ftp::ConnectRefused;
        s.script().connectLogLines = {};
        ftp::FailureDetail detail(ftp::FailureKind::Network);
        detail.connectResult = ftp::ConnectRefused;
        s.script().connectError = ftp::FtpError(QStringLiteral("refused"), detail);
        s.connect();
        QCOMPARE(s.w.Label2->text(), QStringLiteral("接続できませんでした。"));
        const QString cause = s.w.Label2->toolTip();
        QVERIFY2(cause.contains(QStringLiteral("拒否")), qPrintable(cause));
        QCOMPARE(s.w.Label2->accessibleDescription(), cause);
        QVERIFY(s.boxes.shown.isEmpty());
        // The transcript ends with the cause as a note, and the log pane shows it.
        QCOMPARE(s.w.Text4->toPlainText(), QStringLiteral("# ") + cause + u'\n');

        s.script().connectResult = ftp::ConnectOk;
        s.connect();
        QCOMPARE(s.w.Label2->text(), QStringLiteral("接続成功。"));
        QVERIFY(s.w.Label2->toolTip().isEmpty());
        QVERIFY(s.w.Label2->accessibleDescription().isEmpty());
        QCOMPARE(s.calls().filter(QStringLiteral("LogNote")).size(), 1);
    }
};

QTEST_MAIN(FailureCausesWindowTest)
#include "tst_failurecauses.moc"
