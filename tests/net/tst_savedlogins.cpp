// Saved logins against a real Secret Service (GNOME Keyring on a private session bus) and
// a real FTP server: kept at a ticked login, filled in when the server is chosen or typed,
// taken away for another server, removed at an unticked login, never in a file in clear.
#include "platform/SecretStore.h"
#include "support/MainWindow.h"
#include "support/PyFtpServer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/SecretService.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QTest>

namespace {

const QString kPassword = QStringLiteral("Kept-in-the-keyring-7f3a"); // anonymous takes any

// "user password" as kept for `server`, read back through a store of the test's own.
QString kept(const QString& server) {
    platform::SecretStore store;
    std::optional<platform::SecretStore::Answer> answer;
    store.find(server, [&](const platform::SecretStore::Answer& a) { answer = a; });
    if (!QTest::qWaitFor([&] { return answer.has_value(); }) || !answer->ok)
        return QStringLiteral("(no answer)");
    return answer->login ? answer->login->user + u' ' + answer->login->password : QString();
}

bool inAnyFile(const QString& folder, const QString& text) {
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text.toUtf8()))
            return true;
    }
    return false;
}

} // namespace

class SavedLoginsTest : public QObject {
    Q_OBJECT
    testing::SecretService keyring;
    QTemporaryDir root;
    testing::PyFtpServer server;

    void login(testing::MainWindow& w, bool keep) {
        auto* box = w.findChild<QCheckBox*>(QStringLiteral("Check1"));
        QTRY_VERIFY(box->isEnabled());
        box->setChecked(keep);
        w.mnuConect->trigger();
        QCOMPARE(w.Label2->text(), QStringLiteral("接続成功。"));
        w.mnuClose->trigger();
    }

private slots:
    void initTestCase() {
        const QString failure = keyring.start();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY2(server.start(root.path()) != 0, qPrintable(server.errorString()));
    }

    void keptFilledAndRemoved() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        const QString name = server.serverName();
        env.writeFile(QStringLiteral("ftpsvr.dat"), name.toUtf8() + "\r\nftp.other.example\r\n");
        {
            testing::MainWindow w;
            w.Combo1->setEditText(name);
            w.Combo2->setEditText(QStringLiteral("anonymous"));
            w.Combo5->setEditText(kPassword);
            login(w, true);
            QTRY_COMPARE(kept(name), QStringLiteral("anonymous ") + kPassword);
            for (const QString& folder :
                 {env.path(QStringLiteral("..")), keyring.home(), qEnvironmentVariable("HOME")})
                QVERIFY2(!inAnyFile(folder, kPassword), qPrintable(folder));
        }
        testing::MainWindow w;
        auto* box = w.findChild<QCheckBox*>(QStringLiteral("Check1"));
        w.Combo1->setCurrentIndex(0); // chosen from the list
        QTRY_COMPARE(w.Combo5->currentText(), kPassword);
        QCOMPARE(w.Combo2->currentText(), QStringLiteral("anonymous"));
        QVERIFY(box->isChecked());
        QVERIFY(!w.Combo5->lineEdit()->displayText().contains(u'K'));
        w.Combo1->setCurrentIndex(1); // nothing kept for this one
        QTRY_COMPARE(w.Combo5->currentText(), QString());
        QVERIFY(!box->isChecked());
        w.Combo1->setEditText(name); // typed
        QTRY_COMPARE(w.Combo5->currentText(), kPassword);
        login(w, false);
        QTRY_COMPARE(kept(name), QString());
        QCOMPARE(boxes.texts(), QStringList());
    }
};

QTEST_MAIN(SavedLoginsTest)
#include "tst_savedlogins.moc"
