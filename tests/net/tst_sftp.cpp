// The SFTP engine against OpenSSH's sshd on 127.0.0.1: logins, host keys, listings,
// transfers, resume and the console, with HOME pointing at a folder of the test's own.
#include "ftp/component/CallControl.h"
#include "ftp/component/FtpEngine.h"
#include "ftp/component/sftp/SftpEngine.h"
#include "platform/Codepage.h"
#include "support/Files.h"
#include "support/ScriptedFtpServer.h"
#include "support/SshServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;
using ftp::HostKeyAnswer;
using ftp::HostKeyQuestion;
using ftp::sftp::SftpEngine;
using testing::readAll;
using testing::SshServer;
using testing::writeAll;

class SftpTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    QTemporaryDir root_;
    SshServer server_;
    QString log_;
    QList<HostKeyQuestion> asked_;

    QString sshDir() const { return home_.filePath(QStringLiteral(".ssh")); }
    QString knownHosts() const { return sshDir() + QStringLiteral("/known_hosts"); }
    void trustServer() {
        QDir().mkpath(sshDir());
        QFile::remove(knownHosts());
        writeAll(knownHosts(), server_.knownHostsLine());
    }
    std::unique_ptr<SftpEngine> engine(HostKeyAnswer answer = {}) {
        auto engine = std::make_unique<SftpEngine>();
        engine->OpenLog(log_, 0);
        engine->setHostKeyPrompt([this, answer](const HostKeyQuestion& question) {
            asked_.append(question);
            return answer;
        });
        return engine;
    }
    // Logged in by the key made in initTestCase.
    std::unique_ptr<SftpEngine> session() {
        trustServer();
        auto session = engine();
        const int result = session->Connect(server_.serverName(), SshServer::keyUser(), QString());
        if (result != 0)
            qWarning() << "connect:" << result << session->lastError().message();
        return result == 0 ? std::move(session) : nullptr;
    }
    QString transcript() const { return QString::fromLatin1(readAll(log_)); }
    // Starts ssh-agent in the foreground on a socket of the test's, holding a new key that
    // the server lets in; SSH_AUTH_SOCK names it.
    bool startAgentWithKey(QProcess& agent, const QString& key) {
        const QString socket = home_.filePath(QStringLiteral("agent.sock"));
        QFile::remove(socket);
        agent.start(QStringLiteral("ssh-agent"), {u"-D"_s, u"-a"_s, socket});
        for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i)
            QThread::msleep(20);
        qputenv("SSH_AUTH_SOCK", socket.toUtf8());
        if (!SshServer::makeKey(key))
            return false;
        server_.authorize(key + QStringLiteral(".pub"));
        return QProcess::execute(QStringLiteral("ssh-add"), {u"-q"_s, key}) == 0;
    }

private slots:
    void initTestCase() {
        qputenv("HOME", home_.path().toUtf8());
        qunsetenv("SSH_AUTH_SOCK");
        log_ = home_.filePath(QStringLiteral("log.txt"));
        QFile(root_.path()).setPermissions(QFileDevice::Permissions(0x7777));
        QVERIFY2(server_.start(root_.path()), qPrintable(server_.errorString()));
        QDir().mkpath(sshDir());
        QVERIFY(SshServer::makeKey(sshDir() + QStringLiteral("/id_ed25519")));
        server_.authorize(sshDir() + QStringLiteral("/id_ed25519.pub"));
    }

    void logins_data() {
        // "-": no key file at all; "agent": none, the key in an agent started for the test
        QTest::addColumn<QString>("keyPassphrase");
        QTest::addColumn<bool>("passwordUser");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("method");
        QTest::newRow("default key") << QString() << false << QString() << 0 << u"publickey id_ed25519"_s;
        QTest::newRow("encrypted key, password unlocks")
            << u"pass phrase"_s << false << u"pass phrase"_s << 0 << u"publickey id_ed25519"_s;
        QTest::newRow("encrypted key, wrong password")
            << u"pass phrase"_s << false << u"other"_s << 5 << u""_s;
        QTest::newRow("password") << u"-"_s << true << SshServer::kPassword << 0 << u"password"_s;
        QTest::newRow("wrong password") << u"-"_s << true << u"wrong"_s << 5 << u""_s;
        QTest::newRow("agent") << u"agent"_s << false << QString() << 0 << u"agent"_s;
        QTest::newRow("keyboard-interactive")
            << u"-"_s << true << SshServer::kPassword << 0 << u"keyboard-interactive"_s;
    }
    void logins() {
        QFETCH(QString, keyPassphrase);
        QFETCH(bool, passwordUser);
        QFETCH(QString, password);
        QFETCH(int, result);
        QFETCH(QString, method);
        if (passwordUser && !SshServer::passwordAccount())
            QSKIP("password logins need the test account, which only root can create");
        const QString key = sshDir() + QStringLiteral("/id_ed25519");
        const auto restoreKey = qScopeGuard([&] {
            SshServer::makeKey(key);
            server_.authorize(key + QStringLiteral(".pub"));
        });
        if (keyPassphrase == u"-" || keyPassphrase == u"agent") {
            QFile::remove(key);
            QFile::remove(key + QStringLiteral(".pub"));
        } else if (!keyPassphrase.isEmpty()) {
            QVERIFY(SshServer::makeKey(key, keyPassphrase));
            QFile::remove(key + QStringLiteral(".pub")); // the public half comes from the unlocked key
            QProcess keygen;
            keygen.start(QStringLiteral("ssh-keygen"), {u"-y"_s, u"-P"_s, keyPassphrase, u"-f"_s, key});
            QVERIFY(keygen.waitForFinished());
            writeAll(home_.filePath(QStringLiteral("extra.pub")), keygen.readAllStandardOutput());
            server_.authorize(home_.filePath(QStringLiteral("extra.pub")));
        }
        QProcess agent;
        const auto stopAgent = qScopeGuard([&] {
            qunsetenv("SSH_AUTH_SOCK");
            agent.kill();
            agent.waitForFinished();
        });
        if (keyPassphrase == u"agent")
            QVERIFY(startAgentWithKey(agent, home_.filePath(QStringLiteral("agent-key"))));
        // Keyboard-interactive alone, through PAM's one password prompt.
        const bool keyboard = method == u"keyboard-interactive";
        const auto restoreServer = qScopeGuard([&] {
            if (keyboard)
                server_.restartWith(QString());
        });
        if (keyboard)
            QVERIFY(server_.restartWith(
                QStringLiteral("UsePAM yes\nKbdInteractiveAuthentication yes\nPasswordAuthentication no\n")));
        trustServer();
        auto session = engine();
        const QString user = passwordUser ? SshServer::kPasswordUser : SshServer::keyUser();
        QCOMPARE(session->Connect(server_.serverName(), user, password), result);
        session->Close();
        const QString log = transcript();
        QVERIFY2(!password.isEmpty() ? !log.contains(password) : true, "the password reached the transcript");
        if (result == 0) {
            QVERIFY2(log.contains(QStringLiteral("230 Logged in (%1).").arg(method)), qPrintable(log));
            QVERIFY(log.contains(QStringLiteral("257 \"%1\" is the current directory").arg(root_.path())));
        } else {
            QVERIFY2(log.contains(QLatin1String("530 Permission denied")), qPrintable(log));
            QCOMPARE(session->lastError().detail().kind, ftp::FailureKind::Refused);
        }
    }

    // What is not an SSH server fails readably, each as the FTP engine's failure of its kind,
    // and within the connect timeout.
    void notAnSshServer_data() {
        QTest::addColumn<QByteArray>("greeting"); // "-": nothing listens; empty: silent
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("closed port") << QByteArray("-") << int(ftp::ConnectRefused)
                                     << int(ftp::FailureKind::Network) << u"refused the connection"_s;
        QTest::newRow("an FTP server")
            << QByteArray("220 an FTP server ready") << int(ftp::ConnectProtocolError)
            << int(ftp::FailureKind::Garbage) << u"does not speak SSH"_s;
        QTest::newRow("silent") << QByteArray() << int(ftp::ConnectTimedOut) << int(ftp::FailureKind::Timeout)
                                << u"1.5 s"_s;
    }
    void notAnSshServer() {
        QFETCH(QByteArray, greeting);
        QFETCH(int, result);
        QFETCH(int, kind);
        QFETCH(QString, message);
        quint16 port = 0;
        std::unique_ptr<testing::ScriptedServer> other;
        if (greeting == "-") {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            port = closed.serverPort();
        } else {
            other = std::make_unique<testing::ScriptedServer>([&](testing::Peer& peer) {
                if (!greeting.isEmpty())
                    peer.send(greeting);
                peer.waitForClose(5'000);
            });
            port = quint16(other->serverName().section(u':', -1).toUInt());
        }
        auto session = engine();
        session->setTimeouts({1'500, 1'500, 1'500});
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(session->Connect(u"sftp://127.0.0.1:%1"_s.arg(port), SshServer::keyUser(), QString()),
                 result);
        QVERIFY2(timer.elapsed() < 3'000, qPrintable(QString::number(timer.elapsed())));
        const ftp::FtpError error = session->lastError();
        QCOMPARE(int(error.detail().kind), kind);
        QVERIFY2(error.message().contains(message), qPrintable(error.message()));
        QVERIFY(asked_.isEmpty());
    }

    void hostKeys_data() {
        QTest::addColumn<QByteArray>("listed"); // "server", "hashed", "other" or empty
        QTest::addColumn<bool>("connect");
        QTest::addColumn<bool>("trust");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("changed");
        // Without ~/.ssh (so without the key: the login fails after the key was added).
        QTest::newRow("unknown, trusted, no folder") << QByteArray() << true << true << 5 << false;
        QTest::newRow("unknown, refused")
            << QByteArray() << false << false << ftp::ConnectHostKeyRefused << false;
        QTest::newRow("unknown, accepted once") << QByteArray() << true << false << 0 << false;
        QTest::newRow("known, hashed") << QByteArray("hashed") << false << false << 0 << false;
        QTest::newRow("changed, user says connect")
            << QByteArray("other") << true << true << ftp::ConnectHostKeyRefused << true;
    }
    void hostKeys() {
        QFETCH(QByteArray, listed);
        QFETCH(bool, connect);
        QFETCH(bool, trust);
        QFETCH(int, result);
        QFETCH(bool, changed);
        const bool wipe = QTest::currentDataTag() == QByteArray("unknown, trusted, no folder");
        if (wipe)
            QDir(sshDir()).removeRecursively();
        QFile::remove(knownHosts());
        const QByteArray line = server_.knownHostsLine();
        if (!listed.isEmpty()) {
            QDir().mkpath(sshDir());
            // Another key for the same host and port: what a server whose key changed looks like.
            writeAll(
                knownHosts(),
                listed == "other"
                    ? line.left(line.indexOf(' ') + 1) +
                          "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIBx1U1GqJ2z5sWpFQxh8Yy4qC9q0p0NQ3m0t0p0p0p0p\n"
                    : line);
            if (listed == "hashed")
                QVERIFY(QProcess::execute(QStringLiteral("ssh-keygen"),
                                          {u"-q"_s, u"-H"_s, u"-f"_s, knownHosts()}) == 0);
        }
        asked_.clear();
        auto session = engine({connect, trust});
        QCOMPARE(session->Connect(server_.serverName(), SshServer::keyUser(), QStringLiteral("pw")), result);
        session->Close();
        QCOMPARE(asked_.size(), listed == "hashed" ? 0 : 1);
        if (!asked_.isEmpty()) {
            QCOMPARE(asked_.first().changed, changed);
            QCOMPARE(asked_.first().sha256, server_.fingerprint());
            QCOMPARE(asked_.first().keyType, QStringLiteral("ssh-ed25519"));
            QCOMPARE(asked_.first().port, server_.port());
        }
        const QString log = transcript();
        if (result == ftp::ConnectHostKeyRefused)
            QVERIFY2(!log.contains(QLatin1String("USER")) && !log.contains(QLatin1String("PASS")),
                     qPrintable(log));
        if (listed.isEmpty()) {
            QCOMPARE(QFileInfo::exists(knownHosts()), trust);
            if (trust) {
                QCOMPARE(int(QFileInfo(knownHosts()).permissions() & 0x0777), 0x0600);
                QCOMPARE(int(QFileInfo(sshDir()).permissions() & 0x0777), 0x0700);
                SshServer::makeKey(sshDir() + QStringLiteral("/id_ed25519"));
                server_.authorize(sshDir() + QStringLiteral("/id_ed25519.pub"));
                asked_.clear();
                auto again = engine();
                QCOMPARE(again->Connect(server_.serverName(), SshServer::keyUser(), QString()), 0);
                QVERIFY(asked_.isEmpty());
            }
        }
    }

    void listingWithLinks() {
        const QDir root(root_.path());
        root.mkpath(QStringLiteral("list/sub"));
        writeAll(root.filePath(QStringLiteral("list/file.txt")), "x");
        writeAll(root.filePath(QStringLiteral("list/日本語.txt")), "y");
        QFile::link(QStringLiteral("sub"), root.filePath(QStringLiteral("list/to-sub")));
        QFile::link(QStringLiteral("file.txt"), root.filePath(QStringLiteral("list/to-file")));
        QFile::link(QStringLiteral("missing"), root.filePath(QStringLiteral("list/dangling")));
        auto session = this->session();
        QVERIFY(session);
        const ftp::DirList folders = session->GetDir(QStringLiteral("list"), ftp::kFolderFlag);
        const ftp::DirList files = session->GetDir(QStringLiteral("list"));
        QVERIFY(folders && files);
        QStringList sortedFolders = *folders, sortedFiles = *files;
        sortedFolders.sort();
        sortedFiles.sort();
        QCOMPARE(sortedFolders, QStringList({u"sub"_s, u"to-sub"_s}));
        QCOMPARE(sortedFiles, QStringList({u"dangling"_s, u"file.txt"_s, u"to-file"_s, u"日本語.txt"_s}));
        QVERIFY(!session->GetDir(QStringLiteral("list/sub")).has_value());
        QVERIFY_THROWS_EXCEPTION(ftp::FtpError, session->GetDir(QStringLiteral("nowhere"), ftp::kFolderFlag));
    }

    void transfers_data() {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<int>("mode");
        QTest::newRow("empty") << qsizetype(0) << int(ftp::BinaryMode);
        QTest::newRow("one chunk and a byte") << qsizetype(SftpEngine::kChunk + 1) << int(ftp::BinaryMode);
        QTest::newRow("beyond the window") << qsizetype(9 * 1024 * 1024 + 7) << int(ftp::BinaryMode);
        // Many times the channel's window, which must be widened as it is used up.
        QTest::newRow("64 MiB") << qsizetype(64 * 1024 * 1024) << int(ftp::BinaryMode);
        QTest::newRow("text: bytes unchanged") << qsizetype(200'000) << int(ftp::TextMode);
    }
    void transfers() {
        QFETCH(qsizetype, size);
        QFETCH(int, mode);
        const QByteArray bytes = testing::randomBytes(size, quint32(size));
        const QString local = home_.filePath(QStringLiteral("up.bin"));
        writeAll(local, bytes);
        auto session = this->session();
        QVERIFY(session);
        QCOMPARE(session->PutFile(local, QStringLiteral("/") + root_.path() + QStringLiteral("/"), mode), 1);
        QCOMPARE(readAll(root_.filePath(QStringLiteral("up.bin"))), bytes);
        const QString back = home_.filePath(QStringLiteral("back.bin"));
        QCOMPARE(session->GetFile(QStringLiteral("up.bin"), back, mode), 1);
        QCOMPARE(readAll(back), bytes);
        QVERIFY(transcript().contains(QStringLiteral("226 Transfer complete (%1 bytes).").arg(size)));
        const QStringList leftovers =
            QDir(home_.path()).entryList({QStringLiteral("*.part")}, QDir::Hidden | QDir::Files);
        QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(u' ')));
        QVERIFY_THROWS_EXCEPTION(ftp::FtpError, session->GetFile(QStringLiteral("missing"), back, mode));
        QCOMPARE(readAll(back), bytes);
        QVERIFY(transcript().contains(QLatin1String("550 No such file")));
    }

    void resume_data() {
        QTest::addColumn<bool>("drop"); // the connection drops (else the user cancels)
        QTest::newRow("cancelled, then retried") << false;
        QTest::newRow("connection dropped: logged in again") << true;
    }
    void resume() {
        QFETCH(bool, drop);
        const QByteArray bytes = testing::randomBytes(48 * 1024 * 1024, 7);
        writeAll(root_.filePath(QStringLiteral("big.bin")), bytes);
        auto session = this->session();
        QVERIFY(session);
        ftp::CallControl control;
        session->setCallControl(&control);
        std::atomic<bool> stop{false};
        std::thread breaker([&] {
            while (!stop && control.done() < 4 * 1024 * 1024)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (stop)
                return;
            if (drop)
                server_.dropSessions();
            else
                control.cancel();
        });
        const QString target = home_.filePath(QStringLiteral("big.bin"));
        QFile::remove(target);
        int mode = ftp::BinaryMode;
        // A dropped connection: the call logs in again (the host key checked again) and goes on.
        if (drop)
            QCOMPARE(session->GetFile(QStringLiteral("big.bin"), target, mode), 1);
        else
            QVERIFY_THROWS_EXCEPTION(ftp::FtpError,
                                     session->GetFile(QStringLiteral("big.bin"), target, mode));
        stop = true;
        breaker.join();
        QCOMPARE(QFileInfo::exists(target), drop);
        QCOMPARE(codepage::fromCp932(readAll(log_)).contains(QStringLiteral("# 再接続しました")), drop);
        control.reset();
        QCOMPARE(session->GetFile(QStringLiteral("big.bin"), target, mode), 1);
        QVERIFY(readAll(target) == bytes);
        QVERIFY2(transcript().contains(QLatin1String("Resuming at byte")),
                 qPrintable(transcript().right(600)));
    }

    void console_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("reply");
        const QString root = root_.path();
        QTest::newRow("PWD") << u"PWD"_s << 2
                             << QStringLiteral("257 \"%1\" is the current directory").arg(root);
        QTest::newRow("MKD") << u"MKD made"_s << 2 << QStringLiteral("257 \"%1/made\" created").arg(root);
        QTest::newRow("MKD again") << u"MKD made"_s << 5 << QStringLiteral("550 ");
        QTest::newRow("SIZE") << u"SIZE sized.txt"_s << 2 << u"213 12"_s;
        QTest::newRow("SIZE missing") << u"SIZE nothing"_s << 5 << u"550 No such file"_s;
        QTest::newRow("DELE") << u"DELE sized.txt"_s << 2 << u"250 DELE command successful."_s;
        QTest::newRow("RMD") << u"RMD made"_s << 2 << u"250 RMD command successful."_s;
        QTest::newRow("NOOP") << u"NOOP"_s << 2 << u"200 NOOP ok."_s;
        QTest::newRow("HELP") << u"HELP"_s << 2 << u"CDUP DELE HELP MKD NOOP PWD RMD SIZE"_s;
        QTest::newRow("CDUP") << u"CDUP"_s << 2 << u"250 CDUP command successful."_s;
        QTest::newRow("PWD after CDUP")
            << u"PWD"_s << 2
            << QStringLiteral("257 \"%1\" is the current directory").arg(QFileInfo(root).path());
        QTest::newRow("other") << u"SITE CHMOD 600 x"_s << 5 << u"502 Command not implemented over SFTP."_s;
    }
    void console() {
        QFETCH(QString, line);
        QFETCH(int, result);
        QFETCH(QString, reply);
        static std::unique_ptr<SftpEngine> session;
        if (!session || QTest::currentDataTag() == QByteArray("PWD"))
            session = this->session();
        QVERIFY(session);
        writeAll(root_.filePath(QStringLiteral("sized.txt")), "twelve bytes");
        QCOMPARE(session->Command(line), result);
        QVERIFY2(transcript().contains(reply), qPrintable(transcript().right(400)));
        if (QTest::currentDataTag() == QByteArray("other"))
            session.reset();
    }

    void throughTheComponent() {
        // The factory's component routes an sftp:// address to the SFTP engine, on its
        // worker thread, and forwards the host-key question.
        QFile::remove(knownHosts());
        auto component = ftp::CreateObject(ftp::kFtpComponentId);
        int asked = 0;
        component->setHostKeyPrompt([&](const HostKeyQuestion&) {
            ++asked;
            return HostKeyAnswer{true, false};
        });
        component->OpenLog(log_, 0);
        QCOMPARE(component->Connect(server_.serverName(), SshServer::keyUser(), QString()), 0);
        QCOMPARE(asked, 1);
        QCOMPARE(component->Command(QStringLiteral("PWD")), 2);
        component->Close();
        QVERIFY(transcript().contains(QLatin1String("257 \"")));
    }
};

QTEST_GUILESS_MAIN(SftpTest)
#include "tst_sftp.moc"
