// Saved logins against a real Secret Service (GNOME Keyring on a private session bus) and
// a real FTP server: kept at a login with "パスワードを保存" ticked, filled in when the
// server is chosen or typed, taken away for another server, removed at a login with the
// box clear; the password is never shown and never lands in a file in clear.
#include "platform/SecretStore.h"
#include "support/MainWindow.h"
#include "support/PyFtpServer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/SecretService.h"
#include "support/TestEnvironment.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QTest>

using testing::PyFtpServer;

namespace {

// The anonymous account takes any password: this one is found nowhere else.
const QString kUser = QStringLiteral("anonymous");
const QString kPassword = QStringLiteral("Kept-in-the-keyring-7f3a");

// What the store holds for `server`, read back through a store of the test's own.
std::optional<platform::StoredLogin> storedFor(const QString& server) {
    platform::SecretStore store;
    std::optional<platform::SecretStore::Answer> answer;
    store.find(server, [&](const platform::SecretStore::Answer& a) { answer = a; });
    if (!QTest::qWaitFor([&] { return answer.has_value(); }, 15000) || !answer->ok)
        qFatal("the secret store did not answer");
    return answer->login;
}

// The files under `folder` that hold `text` as it was typed.
QStringList filesHolding(const QString& folder, const QString& text) {
    QStringList holding;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text.toUtf8()))
            holding << file.fileName();
    }
    return holding;
}

void login(testing::MainWindow& w) {
    w.mnuConect->trigger();
    QCOMPARE(w.Label2->text(), QStringLiteral("接続成功。"));
    w.mnuClose->trigger();
}

} // namespace

class SavedLoginsTest : public QObject {
    Q_OBJECT
    testing::SecretService keyring;
    QTemporaryDir root;
    PyFtpServer server;

private slots:
    void initTestCase() {
        QVERIFY2(keyring.start(), qPrintable(keyring.errorString()));
        QVERIFY2(server.start(root.path()) != 0, qPrintable(server.errorString()));
    }

    void keptFilledAndRemoved() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        const QString name = server.serverName();
        {
            testing::MainWindow w;
            auto* keep = w.findChild<QCheckBox*>(QStringLiteral("Check1"));
            QTRY_VERIFY(keep->isEnabled());
            QVERIFY(!keep->isChecked());
            w.Combo1->setEditText(name);
            w.Combo2->setEditText(kUser);
            w.Combo5->setEditText(kPassword);
            keep->setChecked(true);
            login(w);
            QTRY_VERIFY(storedFor(name).has_value());
            QCOMPARE(storedFor(name)->user, kUser);
            QCOMPARE(storedFor(name)->password, kPassword);
            for (const QString& folder :
                 QStringList{env.appFolder() + u"..", keyring.home(), qEnvironmentVariable("HOME")})
                QCOMPARE(filesHolding(folder, kPassword), QStringList());
        }
        env.writeFile(QStringLiteral("ftpsvr.dat"), name.toUtf8() + "\r\nftp.other.example\r\n");
        testing::MainWindow w;
        auto* keep = w.findChild<QCheckBox*>(QStringLiteral("Check1"));
        QTRY_VERIFY(keep->isEnabled());
        QCOMPARE(w.Combo5->currentText(), QString());
        // Chosen from the list: both boxes filled, the password shown only as bullets.
        w.Combo1->setCurrentIndex(0);
        QTRY_COMPARE(w.Combo5->currentText(), kPassword);
        QCOMPARE(w.Combo2->currentText(), kUser);
        QVERIFY(keep->isChecked());
        QVERIFY(!w.Combo5->lineEdit()->displayText().contains(QStringLiteral("Kept")));
        // Another server has no login kept: the password filled for the first one goes.
        w.Combo1->setCurrentIndex(1);
        QTRY_COMPARE(w.Combo5->currentText(), QString());
        QVERIFY(!keep->isChecked());
        // Typed back: filled again. Unticked at the next login: removed.
        w.Combo1->setEditText(name);
        QTRY_COMPARE(w.Combo5->currentText(), kPassword);
        keep->setChecked(false);
        login(w);
        QTRY_VERIFY(!storedFor(name).has_value());
        QCOMPARE(boxes.texts(), QStringList());
    }
};

QTEST_MAIN(SavedLoginsTest)
#include "tst_savedlogins.moc"
