// The main window with the real engine against a real FTP server on loopback:
// connect, browse, read the log, disconnect, and a refused login.
#include "support/MainWindow.h"
#include "support/PyFtpServer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"
#include "support/WidgetText.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using testing::entries;

using testing::PyFtpServer;

class SessionWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    PyFtpServer server;

private slots:
    void initTestCase() {
        QDir dir(root.path());
        QVERIFY(dir.mkpath(QStringLiteral("pub/deeper")));
        QVERIFY(dir.mkpath(QStringLiteral("incoming")));
        QVERIFY(dir.mkpath(QStringLiteral("フォルダ")));
        for (const QString& name :
             {QStringLiteral("readme.txt"), QStringLiteral("pub/inside.txt"), QStringLiteral("テスト.txt")}) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("hello\n");
        }
        QVERIFY2(server.start(root.path()) != 0, qPrintable(server.errorString()));
    }

    void connectBrowseDisconnect() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        testing::MainWindow w;
        w.show();
        w.Combo1->setEditText(server.serverName());
        w.Combo2->setEditText(PyFtpServer::kUser);
        w.Combo5->setEditText(PyFtpServer::kPassword);
        w.mnuConect->trigger();
        QCOMPARE(w.Label2->text(), QStringLiteral("接続成功。"));
        QCOMPARE(boxes.texts(), QStringList());
        QStringList folders = entries(w.List1);
        folders.sort();
        QCOMPARE(folders, (QStringList{QStringLiteral("incoming"), QStringLiteral("pub"),
                                       QStringLiteral("フォルダ")}));
        QStringList files = entries(w.List2);
        files.sort();
        QCOMPARE(files, (QStringList{QStringLiteral("readme.txt"), QStringLiteral("テスト.txt")}));
        QVERIFY(w.mnuClose->isEnabled() && w.mnuCommand->isEnabled() && !w.mnuConect->isEnabled());

        // The log pane shows the transcript, never the password.
        const QString log = w.Text4->toPlainText();
        QVERIFY2(log.contains(QStringLiteral("USER user")), qPrintable(log));
        QVERIFY(log.contains(QStringLiteral("PASS ****")));
        QVERIFY(!log.contains(PyFtpServer::kPassword));
        QFile transcript(env.logPath());
        QVERIFY(transcript.open(QIODevice::ReadOnly));
        QVERIFY(!transcript.readAll().contains(PyFtpServer::kPassword.toLatin1()));

        // Click a folder, list it.
        QListWidgetItem* pub = w.List1->findItems(QStringLiteral("pub"), Qt::MatchExactly).value(0);
        QVERIFY(pub);
        w.List1->setCurrentItem(pub);
        QCOMPARE(w.Combo4->currentText(), QStringLiteral("/pub"));
        w.Command1->click();
        QCOMPARE(boxes.texts(), QStringList());
        QCOMPARE(entries(w.List1), QStringList{QStringLiteral("deeper")});
        QCOMPARE(entries(w.List2), QStringList{QStringLiteral("inside.txt")});
        QCOMPARE(w.remoteDir(), QStringLiteral("/pub"));

        // A folder that is not there: "Error!!", RemoteDir kept.
        w.Combo4->setEditText(QStringLiteral("/nowhere"));
        w.Command1->click();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("Error!!")});
        QCOMPARE(w.remoteDir(), QStringLiteral("/pub"));

        w.mnuClose->trigger();
        QCOMPARE(w.Label2->text(), QStringLiteral("切断しました"));
        QCOMPARE(w.List1->count(), 0);
        QVERIFY(w.mnuConect->isEnabled() && !w.mnuClose->isEnabled());
    }

    void refusedLogin() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        testing::MainWindow w;
        w.Combo1->setEditText(server.serverName());
        w.Combo2->setEditText(PyFtpServer::kUser);
        w.Combo5->setEditText(QStringLiteral("wrong"));
        w.mnuConect->trigger();
        QCOMPARE(w.Label2->text(), QStringLiteral("接続できませんでした。"));
        QCOMPARE(boxes.texts(), QStringList());
        QVERIFY(w.Text4->toPlainText().contains(QStringLiteral("530")));
        QVERIFY(w.mnuConect->isEnabled() && !w.mnuClose->isEnabled());
    }
};

QTEST_MAIN(SessionWindowTest)
#include "tst_session_window.moc"
