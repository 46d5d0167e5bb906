// The real engine behind the main window on loopback: a port nobody listens on, a server
// that never greets, and a folder the server refuses to open each say why, in the status
// line's tooltip, in the log pane's last line or in the box.
#include "ftp/component/FtpEngine.h"
#include "support/MainWindow.h"
#include "support/PyFtpServer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using testing::PyFtpServer;

namespace {

// Puts an engine with short waits in place of the registered one while alive.
struct ShortTimeouts {
    explicit ShortTimeouts(int replyMs) {
        ftp::registerComponent(ftp::kFtpComponentId, [replyMs] {
            auto engine = std::make_unique<ftp::FtpEngine>();
            engine->setTimeouts({5'000, replyMs, replyMs});
            return std::unique_ptr<ftp::FtpComponent>(std::move(engine));
        });
    }
    ~ShortTimeouts() { ftp::registerComponent(ftp::kFtpComponentId, &ftp::createFtpEngine); }
};

QString lastPaneLine(const testing::MainWindow& w) {
    const QStringList lines = w.Text4->toPlainText().split(u'\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.constLast();
}

void connectTo(testing::MainWindow& w, const QString& server) {
    w.Combo1->setEditText(server);
    w.Combo2->setEditText(PyFtpServer::kUser);
    w.Combo5->setEditText(PyFtpServer::kPassword);
    w.mnuConect->trigger();
}

} // namespace

class ConnectCausesTest : public QObject {
    Q_OBJECT

private slots:
    void refusedPortSaysSo() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        quint16 port = 0;
        {
            QTcpServer probe; // a free port, closed again: nobody listens there
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }
        testing::MainWindow w;
        connectTo(w, QStringLiteral("127.0.0.1:%1").arg(port));
        QCOMPARE(w.Label2->text(), QStringLiteral("接続できませんでした。"));
        QVERIFY2(w.Label2->toolTip().contains(QStringLiteral("拒否")), qPrintable(w.Label2->toolTip()));
        QCOMPARE(boxes.texts(), QStringList());
        QCOMPARE(lastPaneLine(w), QStringLiteral("# ") + w.Label2->toolTip());
    }

    void silentServerTimesOut() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        const ShortTimeouts shortWaits(500);
        QTcpServer silent; // accepts the connection and never says a word
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        testing::MainWindow w;
        connectTo(w, QStringLiteral("127.0.0.1:%1").arg(silent.serverPort()));
        QCOMPARE(w.Label2->text(), QStringLiteral("接続できませんでした。"));
        QCOMPARE(w.Label2->toolTip(), QStringLiteral("接続がタイムアウトしました（0.5 秒）"));
        QCOMPARE(w.Label2->accessibleDescription(), w.Label2->toolTip());
        QCOMPARE(lastPaneLine(w), QStringLiteral("# 接続がタイムアウトしました（0.5 秒）"));
    }

    void refusedFolderShowsTheServersReply() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        QTemporaryDir root;
        PyFtpServer server;
        QVERIFY2(server.start(root.path()) != 0, qPrintable(server.errorString()));
        testing::MainWindow w;
        connectTo(w, server.serverName());
        QCOMPARE(w.Label2->text(), QStringLiteral("接続成功。"));
        QVERIFY(w.Label2->toolTip().isEmpty());
        QVERIFY(!w.Text4->toPlainText().contains(QStringLiteral("\n# "))); // no note after a success
        w.Combo4->setEditText(QStringLiteral("/missing"));
        w.Command1->click();
        QCOMPARE(boxes.shown.size(), 1);
        QCOMPARE(boxes.shown[0].text, QStringLiteral("Error!!"));
        QCOMPARE(boxes.shown[0].buttons, platform::MsgButtons::OkOnly);
        const QString cause = boxes.shown[0].informative;
        QVERIFY2(cause.startsWith(QStringLiteral("サーバーの応答: 550 ")), qPrintable(cause));
    }
};

QTEST_MAIN(ConnectCausesTest)
#include "tst_connect_causes.moc"
