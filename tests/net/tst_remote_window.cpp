// The main window's remote operations and command console with the real engine against
// a real FTP server on loopback: delete a file, make and remove folders, SIZE, PWD,
// HELP, NOOP and the size box's Enter, checked on the server's disk and in the window.
#include "support/MainWindow.h"
#include "platform/Codepage.h"
#include "support/PyFtpServer.h"
#include "support/RecordingSoundPlayer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"
#include "support/WidgetText.h"
#include "support/WindowLogin.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using testing::entries;

using testing::PyFtpServer;

namespace {

bool select(QListWidget* list, const QString& name) {
    QListWidgetItem* item = list->findItems(name, Qt::MatchExactly).value(0);
    if (!item)
        return false;
    list->setCurrentItem(item);
    return true;
}

void writeBytes(const QString& path, qint64 size) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(QByteArray(size, 'x')) == size);
}

// The session log's lines, as the component wrote them.
QStringList logLines(const testing::TestEnvironment& env) {
    QFile file(env.logPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return codepage::splitLines(codepage::fromCp932(file.readAll()));
}

} // namespace

class RemoteWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir root;
    PyFtpServer server;
    std::unique_ptr<testing::TestEnvironment> env;
    std::unique_ptr<testing::ScriptedMessageBoxes> boxes;
    std::unique_ptr<testing::MainWindow> w;

    QString onDisk(const QString& relative) const { return QDir(root.path()).filePath(relative); }

    void send(const QString& typed) {
        w->Combo3->setEditText(typed);
        w->mnuCommand->trigger();
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("pub/old")));
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("pub/full/inner")));
        writeBytes(onDisk(QStringLiteral("pub/a.txt")), 12345);
        writeBytes(onDisk(QStringLiteral("pub/b.bin")), 3 * 1024 * 1024 + 7);
        writeBytes(onDisk(QStringLiteral("pub/gone.txt")), 10);
        QVERIFY2(server.start(root.path()) != 0, qPrintable(server.errorString()));
    }

    // A fresh window, connected, with /pub listed.
    void init() {
        env = std::make_unique<testing::TestEnvironment>();
        boxes = std::make_unique<testing::ScriptedMessageBoxes>();
        w = std::make_unique<testing::MainWindow>();
        w->show();
        testing::loginAndList(*w, server, QStringLiteral("/pub"));
        QCOMPARE(boxes->texts(), QStringList());
    }

    void cleanup() {
        if (w && w->mnuClose->isEnabled())
            w->mnuClose->trigger();
        w.reset();
        boxes.reset();
        env.reset();
    }

    void deleteFile() {
        auto* sound = testing::RecordingSoundPlayer::install(*w);
        QVERIFY(select(w->List2, QStringLiteral("gone.txt")));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub/gone.txt"));
        w->cmdDelfile->click();
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("削除しました。"));
        QVERIFY(!QFileInfo::exists(onDisk(QStringLiteral("pub/gone.txt"))));
        QVERIFY(!entries(w->List2).contains(QStringLiteral("gone.txt")));
        QVERIFY(entries(w->List2).contains(QStringLiteral("a.txt")));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub"));
        QCOMPARE(sound->plays(), 1);

        // A file the server does not have: the status says so, nothing else moves.
        w->Combo4->setEditText(QStringLiteral("/pub/none.txt"));
        w->cmdDelfile->click();
        QCOMPARE(w->retCode(), 0);
        QCOMPARE(w->Label2->text(), QStringLiteral("Error!!"));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub/none.txt"));
        QCOMPARE(sound->plays(), 1);
        QCOMPARE(boxes->texts(), QStringList());
    }

    void makeAndRemoveFolders() {
        // The panel: MakeDir, a name, OK.
        w->cmdMkDir->click();
        QVERIFY(w->MakeDirTxt->isEnabled());
        w->MakeDirTxt->setText(QStringLiteral("新しいフォルダ"));
        w->cmdMkDirOk->click();
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("MKDコマンドの送信をしました。"));
        QVERIFY(QFileInfo(onDisk(QStringLiteral("pub/新しいフォルダ"))).isDir());
        QVERIFY(entries(w->List1).contains(QStringLiteral("新しいフォルダ")));
        QCOMPARE(w->MakeDirTxt->text(), QString());

        // A folder that is already there: not noticed, the status reads the same.
        w->MakeDirTxt->setText(QStringLiteral("old"));
        w->cmdMkDirOk->click();
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("MKDコマンドの送信をしました。"));
        QVERIFY(logLines(*env).filter(QStringLiteral("MKD /pub/old")).size() == 1);

        // The console's MKD takes the same box.
        w->MakeDirTxt->setText(QStringLiteral("console"));
        send(QStringLiteral("MKD"));
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("MKDコマンドの送信をしました。"));
        QVERIFY(QFileInfo(onDisk(QStringLiteral("pub/console"))).isDir());
        QVERIFY2(w->Text4->toPlainText().contains(QStringLiteral("MKD /pub/console")),
                 qPrintable(w->Text4->toPlainText()));

        // RMD of a clicked folder, after the question.
        w->Command1->click();
        QVERIFY(select(w->List1, QStringLiteral("新しいフォルダ")));
        boxes->answers = {platform::MsgResult::Yes};
        send(QStringLiteral("RMD"));
        QCOMPARE(boxes->texts(), QStringList{QStringLiteral("デイレクトリを削除しますか？")});
        QCOMPARE(w->Label2->text(), QStringLiteral("デイレクトリを削除しました。"));
        QVERIFY(!QFileInfo::exists(onDisk(QStringLiteral("pub/新しいフォルダ"))));
        QVERIFY(!entries(w->List1).contains(QStringLiteral("新しいフォルダ")));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub"));

        // Answered No: the folder stays.
        boxes->shown.clear();
        QVERIFY(select(w->List1, QStringLiteral("console")));
        boxes->answers = {platform::MsgResult::No};
        send(QStringLiteral("RMD"));
        QVERIFY(QFileInfo(onDisk(QStringLiteral("pub/console"))).isDir());
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub"));

        // A folder that is not empty: the server refuses, nothing is shown or listed.
        QVERIFY(select(w->List1, QStringLiteral("full")));
        const QString status = w->Label2->text();
        boxes->answers = {platform::MsgResult::Yes};
        send(QStringLiteral("RMD"));
        QCOMPARE(w->retCode(), 5);
        QCOMPARE(w->Label2->text(), status);
        QVERIFY(QFileInfo(onDisk(QStringLiteral("pub/full/inner"))).isDir());
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub/full"));
        QVERIFY(QDir(onDisk(QStringLiteral("pub/console"))).removeRecursively());
    }

    void sizeOfAClickedFile() {
        QVERIFY(select(w->List2, QStringLiteral("b.bin")));
        send(QStringLiteral("SIZE"));
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("SIZEコマンドの送信完了です"));
        QCOMPARE(w->Text2->text(), QString::number(3 * 1024 * 1024 + 7));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub"));

        // A folder has no size: the reply is an error, the box stays empty.
        QVERIFY(select(w->List1, QStringLiteral("old")));
        send(QStringLiteral("SIZE"));
        QCOMPARE(w->Label2->text(), QStringLiteral("SIZEコマンドの返信エラーです"));
        QCOMPARE(w->Text2->text(), QString());
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub"));

        // Enter in the size box sends its text; nothing is shown.
        QVERIFY(select(w->List2, QStringLiteral("a.txt")));
        send(QStringLiteral("SIZE"));
        QCOMPARE(w->Text2->text(), QStringLiteral("12345"));
        w->Text2->setText(QStringLiteral("NOOP"));
        const QString status = w->Label2->text();
        QTest::keyClick(w->Text2, Qt::Key_Return);
        QCOMPARE(w->retCode(), 2);
        QCOMPARE(logLines(*env).value(logLines(*env).size() - 2), QStringLiteral("NOOP"));
        QCOMPARE(w->Label2->text(), status);
        QCOMPARE(boxes->texts(), QStringList());
    }

    void pwdAndCdup() {
        send(QStringLiteral("CWD /pub/old"));
        QCOMPARE(w->Label2->text(), QStringLiteral("Send Command!!"));
        send(QStringLiteral("PWD"));
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("PWDコマンドの送信完了です"));
        QCOMPARE(w->Text4->toPlainText(), QStringLiteral("/pub/old"));

        send(QStringLiteral("CDUP"));
        QCOMPARE(w->Label2->text(), QStringLiteral("CDUPコマンドの送信をしました。"));
        QVERIFY(w->Text4->toPlainText().contains(QStringLiteral("CDUP")));
        QCOMPARE(w->remoteDir(), QStringLiteral("/pub")); // the window's side does not move
        send(QStringLiteral("PWD"));
        QCOMPARE(w->Text4->toPlainText(), QStringLiteral("/pub"));
    }

    void helpShowsTheWholeLog() {
        send(QStringLiteral("HELP"));
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("HELPコマンドの送信完了です"));
        const QStringList pane = w->Text4->toPlainText().split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(pane, logLines(*env));
        QVERIFY(pane.contains(QStringLiteral("USER user")));
        QVERIFY(pane.contains(QStringLiteral("HELP")));
        QVERIFY(pane.last().startsWith(QStringLiteral("214")));
        QVERIFY(w->logBuf().endsWith(QLatin1String("\r\n")));
    }

    void anyOtherLine() {
        w->Combo3->setEditText(QStringLiteral("NOOP"));
        QTest::keyClick(w->Combo3, Qt::Key_Return);
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("Send Command!!"));
        QVERIFY(w->Text4->toPlainText()
                    .split(u'\n', Qt::SkipEmptyParts)
                    .last()
                    .startsWith(QStringLiteral("200")));

        send(QStringLiteral("XYZZY"));
        QCOMPARE(w->Label2->text(), QStringLiteral("コマンドエラー"));
        QVERIFY(w->Text4->toPlainText()
                    .split(u'\n', Qt::SkipEmptyParts)
                    .last()
                    .startsWith(QStringLiteral("500")));
        QCOMPARE(boxes->texts(), QStringList());
    }
};

QTEST_MAIN(RemoteWindowTest)
#include "tst_remote_window.moc"
