// Sessions that last, against real pyftpdlib servers: dropped, kept alive, or gone for good.
#include "ftp/component/FtpEngine.h"
#include "ftp/component/ThreadedComponent.h"
#include "platform/Codepage.h"
#include "support/Files.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestCertificate.h"
#include "support/TestEnvironment.h"
#include "support/WindowLogin.h"

#include <QDir>
#include <QScopeGuard>
#include <QTest>

using testing::PyFtpServer;
using Tls = PyFtpServer::Tls;

class ReconnectTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_, local_;
    QString pem_ = local_.filePath(QStringLiteral("server.pem"));
    QByteArray payload_ = testing::randomBytes(300'000, 25);
    const ftp::DirList pub_ = QStringList{QStringLiteral("deeper")};

    QString logPath() const { return local_.filePath(QStringLiteral("log.txt")); }
    qsizetype notes(const QString& text) const {
        return codepage::fromCp932(testing::readAll(logPath())).count(QStringLiteral("# ") + text);
    }
    void connect(ftp::FtpComponent& c, const QString& server) {
        c.OpenLog(logPath(), 0);
        QCOMPARE(c.Connect(server, PyFtpServer::kUser, PyFtpServer::kPassword), 0);
        QCOMPARE(c.GetDir(QStringLiteral("/pub"), ftp::kFolderFlag), pub_);
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir(root_.path()).mkpath(QStringLiteral("pub/deeper")));
        testing::writeAll(root_.filePath(QStringLiteral("pub/data.bin")), payload_);
        QVERIFY2(testing::makeSelfSignedCertificate(pem_), "openssl cannot make a certificate");
    }

    void lost_data() {
        QTest::addColumn<Tls>("tls");
        QTest::addColumn<int>("how"); // 0: idle timeout, 1: server restarted, 2: died mid-download
        QTest::newRow("idle timeout") << Tls::None << 0;
        QTest::newRow("server restarted") << Tls::None << 1;
        QTest::newRow("ftps, server restarted") << Tls::Explicit << 1;
        QTest::newRow("died mid-download") << Tls::None << 2;
    }
    // The call that finds the session gone logs in again (TLS again, the certificate accepted
    // for the session not asked about again), back into the user's folder, and does its step.
    void lost() {
        QFETCH(Tls, tls);
        QFETCH(int, how);
        PyFtpServer server;
        server.closeIdleSessionsAfter(how == 0 ? 1 : 0);
        server.dropFirstDownloadAfter(how == 2 ? 100'000 : 0, true);
        QVERIFY2(server.start(root_.path(), tls, pem_) != 0, qPrintable(server.errorString()));
        ftp::FtpEngine e;
        e.setTimeouts({5'000, 5'000, 5'000});
        e.setTrustStore(ftp::TrustStore(local_.filePath(QStringLiteral("trust"))));
        int asked = 0;
        e.setCertificatePrompt([&asked](const ftp::CertificateQuestion&) {
            ++asked;
            return ftp::CertificateAnswer{true, false}; // for this session only
        });
        connect(e,
                tls == Tls::None ? server.serverName() : QStringLiteral("ftpes://") + server.hostAndPort());
        if (how == 1)
            QCOMPARE(server.start(root_.path(), tls, pem_, server.port()), server.port());
        QTest::qWait(how == 0 ? 1'800 : 0);
        QCOMPARE(e.Command(QStringLiteral("PWD")), 2);
        QVERIFY2(e.GetReply().contains(QStringLiteral("\"/pub\"")), qPrintable(e.GetReply()));
        const QString target = local_.filePath(QStringLiteral("d.bin"));
        int mode = ftp::BinaryMode;
        QCOMPARE(e.GetFile(QStringLiteral("/pub/data.bin"), target, mode), 1);
        QVERIFY(testing::readAll(target) == payload_);
        QCOMPARE(notes(QStringLiteral("再接続しました")), 1);
        QCOMPARE(testing::readAll(logPath()).contains("\nREST "), how == 2);
        QCOMPARE(asked, tls == Tls::None ? 0 : 1);
        QCOMPARE(e.tlsStatus().dataEncrypted, tls != Tls::None);
    }

    void keepAlive_data() {
        QTest::addColumn<bool>("noopCounts");
        QTest::addColumn<int>("idleLimitMs");
        QTest::addColumn<int>("reconnects"); // over two idle spells, each longer than the server waits
        QTest::newRow("NOOP keeps the session") << true << 60'000 << 0;
        QTest::newRow("a server blind to NOOP gets PWD") << false << 60'000 << 1;
        QTest::newRow("none after the idle limit") << true << 600 << 2;
    }
    void keepAlive() {
        QFETCH(bool, noopCounts);
        QFETCH(int, idleLimitMs);
        PyFtpServer server;
        server.closeIdleSessionsAfter(2, noopCounts);
        QVERIFY2(server.start(root_.path()) != 0, qPrintable(server.errorString()));
        ftp::setKeepAliveTiming({300, idleLimitMs});
        const auto restore = qScopeGuard([] { ftp::setKeepAliveTiming({}); });
        const auto c = ftp::createThreadedFtpEngine();
        connect(*c, server.serverName());
        for (int spell = 0; spell < 2; ++spell) {
            QCOMPARE(c->Command(QStringLiteral("SYST")), 2);
            const QString reply = c->GetReply();
            QTest::qWait(3'200);
            // Neither the reply the console reads nor the transcript shows a keep-alive.
            QCOMPARE(c->GetReply(), reply);
            QVERIFY(!testing::readAll(logPath()).contains("NOOP"));
            QCOMPARE(c->GetDir(QStringLiteral("/pub"), ftp::kFolderFlag), pub_);
        }
        QTEST(int(notes(QStringLiteral("再接続しました"))), "reconnects");
    }

    // The server is gone: the listing's box, then the window as after "サーバーから切断", saying why.
    void serverGone() {
        PyFtpServer server;
        QVERIFY2(server.start(root_.path()) != 0, qPrintable(server.errorString()));
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        testing::MainWindow w;
        testing::loginAndList(w, server, QStringLiteral("/pub"));
        const int history = w.Combo4->count();
        server.stop();
        w.Command1->click();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("Error!!")});
        QCOMPARE(boxes.shown.constFirst().informative, QStringLiteral("サーバーとの接続が切れました。"));
        QVERIFY(w.mnuConect->isEnabled() && !w.mnuClose->isEnabled() && !w.mnuCommand->isEnabled());
        QVERIFY(w.List1->count() + w.List2->count() == 0 && w.Combo4->count() == history);
        QCOMPARE(w.Label2->text(), QStringLiteral("接続が切れ、再接続できませんでした。"));
        QVERIFY2(w.Label2->toolTip().contains(QStringLiteral("拒否")), qPrintable(w.Label2->toolTip()));
    }
};

QTEST_MAIN(ReconnectTest)
#include "tst_reconnect.moc"
