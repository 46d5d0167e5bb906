// The main window with the real engine when the server drops the session: the next listing
// logs in again without a box, and a server that is gone leaves the window disconnected.
#include "support/MainWindow.h"
#include "support/PyFtpServer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"
#include "support/WidgetText.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using testing::entries;
using testing::PyFtpServer;

class LostSessionWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_;

private slots:
    void initTestCase() { QVERIFY(QDir(root_.path()).mkpath(QStringLiteral("pub/deeper"))); }

    void droppedSession_data() {
        QTest::addColumn<bool>("serverStopped");
        QTest::newRow("idle timeout: listed again without a box") << false;
        QTest::newRow("server stopped: disconnected") << true;
    }
    void droppedSession() {
        QFETCH(bool, serverStopped);
        PyFtpServer server;
        server.closeIdleSessionsAfter(1);
        QVERIFY2(server.start(root_.path()) != 0, qPrintable(server.errorString()));
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        testing::MainWindow w;
        w.show();
        w.Combo1->setEditText(server.serverName());
        w.Combo2->setEditText(PyFtpServer::kUser);
        w.Combo5->setEditText(PyFtpServer::kPassword);
        w.mnuConect->trigger();
        QCOMPARE(w.Label2->text(), QStringLiteral("接続成功。"));
        w.Combo4->setEditText(QStringLiteral("/pub"));
        w.Command1->click();
        const int history = w.Combo4->count();
        if (serverStopped)
            server.stop();
        QTest::qWait(1'800);
        w.Command1->click();
        const bool connected = !serverStopped;
        QCOMPARE(w.mnuConect->isEnabled(), !connected);
        QCOMPARE(w.mnuClose->isEnabled(), connected);
        QCOMPARE(w.mnuCommand->isEnabled(), connected);
        QCOMPARE(w.Combo4->count(), history + (connected ? 1 : 0));
        if (connected) {
            QCOMPARE(boxes.texts(), QStringList());
            QCOMPARE(entries(w.List1), QStringList{QStringLiteral("deeper")});
            QCOMPARE(w.Combo4->currentText(), QStringLiteral("/pub"));
            return;
        }
        // The listing's own box, then the state "サーバーから切断" leaves, saying why.
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("Error!!")});
        QCOMPARE(boxes.shown.constFirst().informative, QStringLiteral("サーバーとの接続が切れました。"));
        QCOMPARE(w.List1->count() + w.List2->count(), 0);
        QCOMPARE(w.Combo4->currentText(), QString());
        QCOMPARE(w.Label2->text(), QStringLiteral("接続が切れ、再接続できませんでした。"));
        QVERIFY2(w.Label2->toolTip().contains(QStringLiteral("拒否")), qPrintable(w.Label2->toolTip()));
    }
};

QTEST_MAIN(LostSessionWindowTest)
#include "tst_lost_session_window.moc"
