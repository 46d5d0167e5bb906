// The main window against pyftpdlib over TLS with a self-signed certificate: the box that
// asks about it, both answers, the trust file it writes, the changed-certificate warning
// and the lock mark beside the server box.
#include "support/Files.h"
#include "support/MainWindow.h"
#include "support/PyFtpServer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestCertificate.h"
#include "support/TestEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using testing::PyFtpServer;

namespace {

// What the box showed, and how the test answered it.
struct SeenBox {
    QString title, text, checkText;
    QStringList buttons;
    QString defaultButton;
};

// Answers the certificate box (or the box named `name`) when it opens: presses `button`,
// ticking the check box first when `trust`. Records each box seen.
class BoxAnswerer : public QObject {
public:
    BoxAnswerer(const QString& button, bool trust, const QString& name = QStringLiteral("CertificateBox"))
        : button_(button), trust_(trust), name_(name) {
        connect(&poll_, &QTimer::timeout, this, [this] { answer(); });
        poll_.start(20);
    }
    QList<SeenBox> seen;

private:
    QString button_;
    bool trust_;
    QString name_;
    QTimer poll_;

    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->objectName() != name_)
            return;
        SeenBox s{
            box->windowTitle(), box->text(), box->checkBox() ? box->checkBox()->text() : QString(), {}, {}};
        QAbstractButton* press = nullptr;
        for (QAbstractButton* b : box->buttons()) {
            s.buttons.append(b->text());
            if (b->text() == button_)
                press = b;
        }
        if (box->defaultButton())
            s.defaultButton = box->defaultButton()->text();
        seen.append(s);
        if (trust_ && box->checkBox())
            box->checkBox()->setChecked(true);
        if (press)
            press->click();
        else
            box->reject();
    }
};

QString fingerprintOf(const QString& pemPath) {
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(pemPath);
    return certificates.isEmpty()
               ? QString()
               : QString::fromLatin1(
                     certificates.constFirst().digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

} // namespace

class CertificateWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString certificate_;
    PyFtpServer server_;

    QString trustFile() const { return dir_.filePath(QStringLiteral("data/TesselFTP/trusted-certificates")); }

    static void connectWindow(testing::MainWindow& w, const QString& server) {
        w.Combo1->setEditText(server);
        w.Combo2->setEditText(PyFtpServer::kUser);
        w.Combo5->setEditText(PyFtpServer::kPassword);
        w.mnuConect->trigger();
    }
    static QWidget* lockMark(testing::MainWindow& w) {
        return w.findChild<QWidget*>(QStringLiteral("LockMark"));
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        qputenv("XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toLocal8Bit());
        certificate_ = dir_.filePath(QStringLiteral("server.pem"));
        QVERIFY2(testing::makeSelfSignedCertificate(certificate_), "openssl cannot make a certificate");
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("root")) &&
                QDir(dir_.path()).mkpath(QStringLiteral("data/TesselFTP")));
        testing::writeAll(dir_.filePath(QStringLiteral("root/readme.txt")), "hello\n");
        QVERIFY2(
            server_.start(dir_.filePath(QStringLiteral("root")), PyFtpServer::Tls::Explicit, certificate_),
            qPrintable(server_.errorString()));
    }

    void refusedCertificateSendsNoPassword() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        testing::MainWindow w;
        w.show();
        BoxAnswerer answerer(QStringLiteral("接続しない"), true);
        connectWindow(w, server_.hostAndPort());
        QCOMPARE(answerer.seen.size(), 1);
        const SeenBox& box = answerer.seen.constFirst();
        QCOMPARE(box.title, QStringLiteral("TesselFTP"));
        QCOMPARE(box.buttons, (QStringList{QStringLiteral("接続する"), QStringLiteral("接続しない")}));
        QCOMPARE(box.defaultButton, QStringLiteral("接続しない"));
        QCOMPARE(box.checkText, QStringLiteral("この証明書を今後も信頼する"));
        QVERIFY2(box.text.contains(QStringLiteral("127.0.0.1:%1").arg(server_.port())), qPrintable(box.text));
        QVERIFY(box.text.contains(QStringLiteral("自己署名")) || box.text.contains(QStringLiteral("発行者")));
        QVERIFY(box.text.contains(QStringLiteral("発行先: ")) &&
                box.text.contains(QStringLiteral("有効期間: ")));
        QVERIFY(box.text.contains(QStringLiteral("SHA-256: ") + fingerprintOf(certificate_)));
        QVERIFY(!box.text.contains(QStringLiteral("変わっています")));

        QCOMPARE(w.Label2->text(), QStringLiteral("接続できませんでした。"));
        const QByteArray log = testing::readAll(env.logPath());
        QVERIFY2(log.contains("AUTH TLS") && !log.contains("USER ") && !log.contains("PASS "),
                 log.constData());
        QVERIFY(!QFile::exists(trustFile())); // the tick counts only with "接続する"
        QVERIFY(lockMark(w) && !lockMark(w)->isVisible());
        QVERIFY(w.mnuConect->isEnabled());
    }

    void trustedCertificateIsRememberedAndShownAsLocked() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        testing::MainWindow w;
        w.show();
        {
            BoxAnswerer answerer(QStringLiteral("接続する"), true);
            connectWindow(w, server_.hostAndPort());
            QCOMPARE(answerer.seen.size(), 1);
        }
        QCOMPARE(w.Label2->text(), QStringLiteral("接続成功。"));
        QCOMPARE(boxes.texts(), QStringList());
        QWidget* lock = lockMark(w);
        QVERIFY(lock && lock->isVisible());
        QVERIFY2(lock->toolTip().startsWith(QStringLiteral("暗号化された接続（TLS 1.")),
                 qPrintable(lock->toolTip()));
        QCOMPARE(lock->accessibleDescription(), lock->toolTip());
        QCOMPARE(w.Combo1->accessibleDescription(), lock->toolTip());

        QCOMPARE(QString::fromLatin1(testing::readAll(trustFile())),
                 QStringLiteral("127.0.0.1 %1 %2\n").arg(server_.port()).arg(fingerprintOf(certificate_)));
        QCOMPARE(QFile::permissions(trustFile()) & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());

        // Disconnected: no mark. The next connect asks nothing.
        w.mnuClose->trigger();
        QVERIFY(!lock->isVisible() && w.Combo1->accessibleDescription().isEmpty());
        BoxAnswerer none(QStringLiteral("接続しない"), false);
        connectWindow(w, server_.hostAndPort());
        QCOMPARE(none.seen.size(), 0);
        QCOMPARE(w.Label2->text(), QStringLiteral("接続成功。"));
        QVERIFY(lock->isVisible());
        w.mnuClose->trigger();
    }

    void init() { QFile::remove(trustFile()); }

    void changedCertificateAsksAgain() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        const QString other = QStringLiteral("127.0.0.1 %1 %2\n")
                                  .arg(server_.port())
                                  .arg(QStringLiteral("AB:").repeated(31) + QStringLiteral("AB"));
        testing::writeAll(trustFile(), other.toLatin1());
        testing::MainWindow w;
        w.show();
        BoxAnswerer answerer(QStringLiteral("接続しない"), false);
        connectWindow(w, server_.hostAndPort());
        QCOMPARE(answerer.seen.size(), 1);
        QVERIFY2(answerer.seen.constFirst().text.contains(QStringLiteral("変わっています")),
                 qPrintable(answerer.seen.constFirst().text));
        QCOMPARE(w.Label2->text(), QStringLiteral("接続できませんでした。"));
        QCOMPARE(QString::fromLatin1(testing::readAll(trustFile())), other); // refused: left as it was
    }

    // A server named without a scheme that refuses AUTH TLS: the user is asked before
    // anything of the login is sent, unless it spoke TLS before, which refuses at once.
    void clearTextLoginIsAskedFirst_data() {
        QTest::addColumn<bool>("spokeTls");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("asked");
        QTest::addColumn<bool>("connected");
        QTest::newRow("refused") << false << QStringLiteral("接続しない") << 1 << false;
        QTest::newRow("accepted") << false << QStringLiteral("接続する") << 1 << true;
        QTest::newRow("spoke TLS before") << true << QStringLiteral("接続する") << 0 << false;
    }
    void clearTextLoginIsAskedFirst() {
        QFETCH(bool, spokeTls);
        QFETCH(QString, button);
        QFETCH(int, asked);
        QFETCH(bool, connected);
        PyFtpServer plain;
        QVERIFY(plain.start(dir_.filePath(QStringLiteral("root"))));
        if (spokeTls)
            testing::writeAll(trustFile(), QStringLiteral("127.0.0.1 %1 %2\n")
                                               .arg(plain.port())
                                               .arg(fingerprintOf(certificate_))
                                               .toLatin1());
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        testing::MainWindow w;
        w.show();
        BoxAnswerer answerer(button, false, QStringLiteral("ClearTextBox"));
        connectWindow(w, plain.hostAndPort());
        QCOMPARE(answerer.seen.size(), asked);
        if (asked > 0) {
            const SeenBox& box = answerer.seen.constFirst();
            QCOMPARE(box.buttons, (QStringList{QStringLiteral("接続する"), QStringLiteral("接続しない")}));
            QCOMPARE(box.defaultButton, QStringLiteral("接続しない"));
            QVERIFY2(box.text.contains(QStringLiteral("127.0.0.1:%1").arg(plain.port())) &&
                         box.text.contains(QStringLiteral("暗号化されずに")),
                     qPrintable(box.text));
        }
        QCOMPARE(w.Label2->text(),
                 connected ? QStringLiteral("接続成功。") : QStringLiteral("接続できませんでした。"));
        QCOMPARE(testing::readAll(env.logPath()).contains("USER "), connected);
        QVERIFY(!lockMark(w)->isVisible());
        if (connected)
            w.mnuClose->trigger();
    }

    // PROT P refused: the files move in clear, so no lock however the login went.
    void noLockWhenFilesMoveInClear() {
        PyFtpServer clearData;
        QVERIFY(clearData.start(dir_.filePath(QStringLiteral("root")), PyFtpServer::Tls::ClearOnly,
                                certificate_));
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        testing::MainWindow w;
        w.show();
        BoxAnswerer answerer(QStringLiteral("接続する"), false);
        connectWindow(w, clearData.hostAndPort());
        QCOMPARE(w.Label2->text(), QStringLiteral("接続成功。"));
        QVERIFY(testing::readAll(env.logPath()).contains("PROT C"));
        QVERIFY(!lockMark(w)->isVisible());
        w.mnuClose->trigger();
    }
};

QTEST_MAIN(CertificateWindowTest)
#include "tst_certificate_window.moc"
