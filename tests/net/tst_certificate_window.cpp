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

// Answers the certificate box when it opens: presses `button`, ticking the check box first
// when `trust`. Records each box seen.
class BoxAnswerer : public QObject {
public:
    BoxAnswerer(const QString& button, bool trust) : button_(button), trust_(trust) {
        connect(&poll_, &QTimer::timeout, this, [this] { answer(); });
        poll_.start(20);
    }
    QList<SeenBox> seen;

private:
    QString button_;
    bool trust_;
    QTimer poll_;

    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->objectName().endsWith(u"Box")) // the certificate's or the clear-text one
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

    // AUTH TLS refused: asked before the login ("接続しない" the default). PROT P refused: no lock.
    void noLoginOrLockWithoutTls_data() {
        QTest::addColumn<int>("tls");
        QTest::addColumn<bool>("connected");
        QTest::newRow("AUTH TLS refused") << int(PyFtpServer::Tls::None) << false;
        QTest::newRow("PROT P refused") << int(PyFtpServer::Tls::ClearOnly) << true;
    }
    void noLoginOrLockWithoutTls() {
        QFETCH(int, tls);
        QFETCH(bool, connected);
        PyFtpServer server;
        QVERIFY(server.start(dir_.filePath(QStringLiteral("root")), PyFtpServer::Tls(tls), certificate_));
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        testing::MainWindow w;
        w.show();
        BoxAnswerer answerer(connected ? QStringLiteral("接続する") : QStringLiteral("接続しない"), false);
        connectWindow(w, server.hostAndPort());
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.constFirst().defaultButton, QStringLiteral("接続しない"));
        QCOMPARE(testing::readAll(env.logPath()).contains("USER "), connected);
        QCOMPARE(w.Label2->text(),
                 connected ? QStringLiteral("接続成功。") : QStringLiteral("接続できませんでした。"));
        QVERIFY(!lockMark(w)->isVisible());
    }
};

QTEST_MAIN(CertificateWindowTest)
#include "tst_certificate_window.moc"
