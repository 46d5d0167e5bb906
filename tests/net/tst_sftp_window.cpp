// The main window over SFTP against OpenSSH's sshd: the host-key box for an unknown key
// (its texts, buttons and the known_hosts line it adds), the listing after the connect,
// and the refusal of a changed key.
#include "support/Files.h"
#include "support/MainWindow.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/SshServer.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using testing::SshServer;

namespace {

// Answers each host-key box by `button` (ticking the check box first), keeping what it showed.
struct SeenBox {
    QString title, text, checkText, defaultButton;
    QStringList buttons;
};
class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(const QString& button) : button_(button) {
        connect(&poll_, &QTimer::timeout, this, [this] { answer(); });
        poll_.start(20);
    }
    QList<SeenBox> seen;

private:
    QString button_;
    QTimer poll_;
    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->objectName() != u"HostKeyBox")
            return;
        SeenBox s{box->windowTitle(),
                  box->text(),
                  box->checkBox() ? box->checkBox()->text() : QString(),
                  box->defaultButton() ? box->defaultButton()->text() : QString(),
                  {}};
        QAbstractButton* press = nullptr;
        for (QAbstractButton* b : box->buttons()) {
            s.buttons.append(b->text());
            press = b->text() == button_ ? b : press;
        }
        seen.append(s);
        if (box->checkBox())
            box->checkBox()->setChecked(true);
        press ? press->click() : box->reject();
    }
};

} // namespace

class SftpWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_, root_;
    SshServer server_;

    void connectWindow(testing::MainWindow& w) {
        w.Combo1->setEditText(server_.serverName());
        w.Combo2->setEditText(SshServer::keyUser());
        w.Combo5->setEditText(QString());
        w.mnuConect->trigger();
    }

private slots:
    void initTestCase() {
        qputenv("HOME", home_.path().toUtf8());
        qunsetenv("SSH_AUTH_SOCK");
        testing::writeAll(root_.filePath(QStringLiteral("readme.txt")), "hello\n");
        QDir(root_.path()).mkdir(QStringLiteral("folder"));
        QVERIFY2(server_.start(root_.path()), qPrintable(server_.errorString()));
        const QString key = home_.filePath(QStringLiteral(".ssh/id_ed25519"));
        QVERIFY(QDir(home_.path()).mkpath(QStringLiteral(".ssh")) && SshServer::makeKey(key));
        server_.authorize(key + QStringLiteral(".pub"));
    }

    void unknownKeyTrustedThenChanged() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        testing::MainWindow w;
        w.show();
        {
            BoxAnswerer answerer(QStringLiteral("接続する"));
            connectWindow(w);
            QCOMPARE(answerer.seen.size(), 1);
            const SeenBox& box = answerer.seen.constFirst();
            QCOMPARE(box.title, QStringLiteral("TesselFTP"));
            QCOMPARE(box.buttons, (QStringList{QStringLiteral("接続する"), QStringLiteral("接続しない")}));
            QCOMPARE(box.defaultButton, QStringLiteral("接続しない"));
            QCOMPARE(box.checkText, QStringLiteral("この鍵を今後も信頼する"));
            QVERIFY2(box.text.contains(QStringLiteral("127.0.0.1:%1").arg(server_.port())) &&
                         box.text.contains(QStringLiteral("ssh-ed25519")) &&
                         box.text.contains(server_.fingerprint()),
                     qPrintable(box.text));
        }
        QCOMPARE(w.Label2->text(), QStringLiteral("接続成功。"));
        QCOMPARE(w.List1->item(0)->text(), QStringLiteral("folder"));
        QCOMPARE(w.List2->item(0)->text(), QStringLiteral("readme.txt"));
        QCOMPARE(testing::readAll(home_.filePath(QStringLiteral(".ssh/known_hosts"))),
                 server_.knownHostsLine());
        w.mnuClose->trigger();

        QVERIFY(server_.changeHostKey());
        BoxAnswerer answerer(QStringLiteral("接続する"));
        connectWindow(w);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.constFirst().buttons, QStringList{QStringLiteral("接続しない")});
        QVERIFY(answerer.seen.constFirst().text.contains(QStringLiteral("攻撃")));
        QCOMPARE(w.Label2->text(), QStringLiteral("接続できませんでした。"));
        QVERIFY(!testing::readAll(env.logPath()).contains("USER "));
    }
};

QTEST_MAIN(SftpWindowTest)
#include "tst_sftp_window.moc"
