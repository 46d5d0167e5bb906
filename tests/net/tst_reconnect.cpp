// Sessions that last, against real pyftpdlib servers: a session the server drops (its idle
// timeout, a restart) is taken up again by the next call, one it cannot take up ends for
// good, and the keep-alive holds an idle session open.
#include "ftp/component/FtpEngine.h"
#include "ftp/component/ThreadedComponent.h"
#include "platform/Codepage.h"
#include "support/Files.h"
#include "support/PyFtpServer.h"
#include "support/TestCertificate.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using ftp::FtpError;
using testing::PyFtpServer;

class ReconnectTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    QTemporaryDir local_;
    QString certificate_;
    QByteArray payload_ = testing::randomBytes(300'000, 25);

    QString logPath() const { return local_.filePath(QStringLiteral("log.txt")); }
    qsizetype notes(const QString& text) const {
        return codepage::fromCp932(testing::readAll(logPath())).count(QStringLiteral("# ") + text);
    }
    void connect(ftp::FtpComponent& c, const QString& server) {
        c.OpenLog(logPath(), 0);
        QCOMPARE(c.Connect(server, PyFtpServer::kUser, PyFtpServer::kPassword), 0);
        QCOMPARE(c.GetDir(QStringLiteral("/pub"), ftp::kFolderFlag),
                 ftp::DirList(QStringList{QStringLiteral("deeper")}));
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir(root_.path()).mkpath(QStringLiteral("pub/deeper")));
        testing::writeAll(root_.filePath(QStringLiteral("pub/data.bin")), payload_);
        certificate_ = local_.filePath(QStringLiteral("server.pem"));
        QVERIFY2(testing::makeSelfSignedCertificate(certificate_), "openssl cannot make a certificate");
    }

    void lostBetweenCalls_data() {
        QTest::addColumn<PyFtpServer::Tls>("tls");
        QTest::addColumn<bool>("restart"); // the server restarts; else its idle timeout ends the session
        QTest::newRow("idle timeout") << PyFtpServer::Tls::None << false;
        QTest::newRow("server restarted") << PyFtpServer::Tls::None << true;
        QTest::newRow("ftps, idle timeout") << PyFtpServer::Tls::Explicit << false;
        QTest::newRow("ftps, server restarted") << PyFtpServer::Tls::Explicit << true;
    }
    // The next call logs in again (TLS again, the certificate the user accepted for the
    // session not asked about again), goes back into the user's folder and does its step.
    void lostBetweenCalls() {
        QFETCH(PyFtpServer::Tls, tls);
        QFETCH(bool, restart);
        PyFtpServer server;
        if (!restart)
            server.closeIdleSessionsAfter(1);
        QVERIFY2(server.start(root_.path(), tls, certificate_) != 0, qPrintable(server.errorString()));
        ftp::FtpEngine e;
        e.setTimeouts({5'000, 5'000, 5'000});
        e.setTrustStore(ftp::TrustStore(local_.filePath(QStringLiteral("trust"))));
        int asked = 0;
        e.setCertificatePrompt([&asked](const ftp::CertificateQuestion&) {
            ++asked;
            return ftp::CertificateAnswer{true, false};
        });
        const bool secure = tls != PyFtpServer::Tls::None;
        connect(e, secure ? QStringLiteral("ftpes://") + server.hostAndPort() : server.serverName());
        if (restart) {
            const quint16 port = server.port();
            server.stop();
            QCOMPARE(server.start(root_.path(), tls, certificate_, port), port);
        } else {
            QTest::qWait(1'800);
        }
        QCOMPARE(e.Command(QStringLiteral("PWD")), 2);
        QVERIFY2(e.GetReply().contains(QStringLiteral("\"/pub\"")), qPrintable(e.GetReply()));
        QCOMPARE(notes(QStringLiteral("再接続しました")), 1);
        const QString target = local_.filePath(QStringLiteral("data.bin"));
        int mode = ftp::BinaryMode;
        QCOMPARE(e.GetFile(QStringLiteral("/pub/data.bin"), target, mode), 1);
        QVERIFY(testing::readAll(target) == payload_);
        QCOMPARE(asked, secure ? 1 : 0);
        QCOMPARE(e.tlsStatus().dataEncrypted, secure);
        e.Close();
    }

    // The session dies mid-download: the call logs in again and goes on behind the bytes it
    // kept.
    void lostMidDownload() {
        PyFtpServer server;
        server.dropFirstDownloadAfter(100'000, true);
        QVERIFY2(server.start(root_.path()) != 0, qPrintable(server.errorString()));
        ftp::FtpEngine e;
        e.setTimeouts({5'000, 5'000, 5'000});
        connect(e, server.serverName());
        const QString target = local_.filePath(QStringLiteral("broken.bin"));
        int mode = ftp::BinaryMode;
        QCOMPARE(e.GetFile(QStringLiteral("/pub/data.bin"), target, mode), 1);
        QVERIFY(testing::readAll(target) == payload_);
        QCOMPARE(notes(QStringLiteral("再接続しました")), 1);
        QVERIFY(testing::readAll(logPath()).contains("\nREST "));
    }

    // The server is gone: the call fails with the lost connection, the session ends for
    // good and nothing more is tried.
    void serverGone() {
        PyFtpServer server;
        QVERIFY2(server.start(root_.path()) != 0, qPrintable(server.errorString()));
        const auto c = ftp::createThreadedFtpEngine();
        connect(*c, server.serverName());
        server.stop();
        try {
            c->GetDir(QStringLiteral("/pub"), ftp::kFolderFlag);
            QFAIL("a listing without a server");
        } catch (const FtpError& error) {
            QCOMPARE(error.detail().kind, ftp::FailureKind::Closed);
            QCOMPARE(error.detail().connectResult, int(ftp::ConnectRefused));
        }
        QVERIFY(c->lostSession() && c->lostSession()->detail().sessionEnded);
        QCOMPARE(notes(QStringLiteral("再接続できませんでした")), 1);
        QVERIFY_THROWS_EXCEPTION(FtpError, c->GetDir(QStringLiteral("/pub")));
        QCOMPARE(notes(QStringLiteral("再接続できませんでした")), 1);
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
        QFETCH(int, reconnects);
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
            QCOMPARE(c->GetDir(QStringLiteral("/pub"), ftp::kFolderFlag),
                     ftp::DirList(QStringList{QStringLiteral("deeper")}));
        }
        QCOMPARE(notes(QStringLiteral("再接続しました")), reconnects);
    }
};

QTEST_GUILESS_MAIN(ReconnectTest)
#include "tst_reconnect.moc"
