// Cancelling the engine's calls: against pyftpdlib on 127.0.0.1 for transfers (its ABOR
// handling is a real server's), and against a small scripted server for what pyftpdlib
// will not do on demand (a listing that never ends, a server that never greets).
#include "ftp/component/CallControl.h"
#include "ftp/component/FtpEngine.h"
#include "platform/Codepage.h"
#include "support/Files.h"
#include "support/PyFtpServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using platform::CallControl;
using ftp::FtpEngine;
using ftp::FtpError;
using testing::PyFtpServer;

namespace {

// Cancels `control` from another thread once `ready` holds, and remembers when.
class Canceller {
public:
    Canceller(CallControl& control, std::function<bool()> ready) {
        timer_.start();
        thread_ = std::thread([this, &control, ready = std::move(ready)] {
            while (!ready() && timer_.elapsed() < 20'000)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            cancelledAt_ = timer_.elapsed();
            control.cancel();
        });
    }
    ~Canceller() { join(); }
    void join() {
        if (thread_.joinable())
            thread_.join();
    }
    // Milliseconds from the cancel to now.
    qint64 sinceCancel() {
        const qint64 now = timer_.elapsed();
        join();
        return now - cancelledAt_;
    }

private:
    QElapsedTimer timer_;
    std::atomic<qint64> cancelledAt_{0};
    std::thread thread_;
};

// A server that logs anyone in and then answers LIST with an endless, slow listing; or,
// with `greet` false, never says a word. Serves one client on a thread of its own.
class EndlessServer {
public:
    explicit EndlessServer(bool greet) {
        std::promise<quint16> port;
        auto portFuture = port.get_future();
        thread_ = std::thread([this, greet, port = std::move(port)]() mutable { serve(greet, port); });
        port_ = portFuture.get();
    }
    ~EndlessServer() {
        stop_ = true;
        thread_.join();
    }
    QString serverName() const { return QStringLiteral("ftp://127.0.0.1:%1").arg(port_); }
    QStringList commands() {
        const std::lock_guard lock(mutex_);
        return commands_;
    }

private:
    std::thread thread_;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    QStringList commands_;

    void serve(bool greet, std::promise<quint16>& port) {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        port.set_value(server.serverPort());
        if (!server.waitForNewConnection(10'000))
            return;
        QTcpSocket* control = server.nextPendingConnection();
        QTcpServer dataServer;
        QTcpSocket* data = nullptr;
        const auto say = [control](const QByteArray& line) {
            control->write(line + "\r\n");
            control->waitForBytesWritten(1'000);
        };
        if (greet)
            say("220 endless");
        while (!stop_ && control->state() == QAbstractSocket::ConnectedState) {
            if (data && data->state() == QAbstractSocket::ConnectedState) {
                data->write("-rw-r--r-- 1 0 0 12 Dec  7 20:13 slow.txt\r\n");
                data->waitForBytesWritten(100);
            }
            if (!control->canReadLine() && !control->waitForReadyRead(20))
                continue;
            if (!control->canReadLine())
                continue;
            const QByteArray line = control->readLine().trimmed();
            {
                const std::lock_guard lock(mutex_);
                commands_.append(QString::fromLatin1(line));
            }
            const QByteArray verb = line.split(' ').value(0).toUpper();
            if (verb == "USER")
                say("331 password");
            else if (verb == "PASS")
                say("230 in");
            else if (verb == "PWD")
                say("257 \"/\"");
            else if (verb == "EPSV") {
                dataServer.listen(QHostAddress::LocalHost, 0);
                say("229 Entering Extended Passive Mode (|||" + QByteArray::number(dataServer.serverPort()) +
                    "|)");
            } else if (verb == "LIST") {
                dataServer.waitForNewConnection(5'000);
                data = dataServer.nextPendingConnection();
                say("150 here it comes, slowly");
            } else if (verb == "ABOR") {
                if (data)
                    data->abort();
                data = nullptr;
                say("426 aborted");
                say("226 ABOR done");
            } else if (verb == "FEAT")
                say("500 no features");
            else
                say("200 ok");
        }
    }
};

} // namespace

class CancelNetTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    QTemporaryDir local_;
    PyFtpServer server_;
    CallControl control_;

    QString localPath(const QString& name) const { return local_.filePath(name); }
    QString logPath() const { return local_.filePath(QStringLiteral("log.txt")); }
    QStringList transcript() const {
        return codepage::splitLines(codepage::fromCp932(testing::readAll(logPath())));
    }

    std::unique_ptr<FtpEngine> engine() {
        control_.reset();
        auto e = std::make_unique<FtpEngine>();
        e->setTimeouts({5'000, 10'000, 10'000});
        e->setCallControl(&control_);
        e->OpenLog(logPath(), 0);
        return e;
    }
    std::unique_ptr<FtpEngine> login() {
        auto e = engine();
        const int result = e->Connect(server_.serverName(), PyFtpServer::kUser, PyFtpServer::kPassword);
        return result == ftp::ConnectOk ? std::move(e) : nullptr;
    }
    // What the session can still do after a cancel: list, and fetch a file whole.
    void checkSessionGoesOn(FtpEngine& e) {
        control_.reset();
        const ftp::DirList files = e.GetDir(QString());
        QVERIFY(files && files->contains(QStringLiteral("small.txt")));
        int mode = ftp::BinaryMode;
        QCOMPARE(e.GetFile(QStringLiteral("/small.txt"), localPath(QStringLiteral("small.txt")), mode), 1);
        QCOMPARE(testing::readAll(localPath(QStringLiteral("small.txt"))), QByteArray("small file\n"));
    }

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid() && local_.isValid());
        // Far larger than a transfer gets before its cancel: sparse, so it costs no disk.
        QFile big(root_.filePath(QStringLiteral("big.bin")));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(8) << 30));
        big.close();
        testing::writeAll(root_.filePath(QStringLiteral("small.txt")), "small file\n");
        QVERIFY2(server_.start(root_.path()) != 0, qPrintable(server_.errorString()));
    }

    void cancelledDownloadEndsAtOnceAndLeavesTheTargetAlone() {
        auto e = login();
        QVERIFY(e);
        const QString target = localPath(QStringLiteral("big.bin"));
        testing::writeAll(target, "the user's own file");
        Canceller canceller(control_, [this] { return control_.done() > (1 << 20); });
        int mode = ftp::BinaryMode;
        QVERIFY_THROWS_EXCEPTION(FtpError, e->GetFile(QStringLiteral("/big.bin"), target, mode));
        QVERIFY2(canceller.sinceCancel() < 1'000, "the cancel took a second or more");
        QCOMPARE(testing::readAll(target), QByteArray("the user's own file"));
        QVERIFY(transcript().contains(QStringLiteral("ABOR")));
        checkSessionGoesOn(*e);
    }

    void cancelledDownloadLeavesNoFileUnderTheTargetName() {
        auto e = login();
        QVERIFY(e);
        const QString target = localPath(QStringLiteral("fresh.bin"));
        Canceller canceller(control_, [this] { return control_.done() > (1 << 20); });
        int mode = ftp::TextMode;
        QVERIFY_THROWS_EXCEPTION(FtpError, e->GetFile(QStringLiteral("/big.bin"), target, mode));
        QVERIFY(canceller.sinceCancel() < 1'000);
        QVERIFY(!QFileInfo::exists(target));
        checkSessionGoesOn(*e);
        QVERIFY(transcript().contains(QStringLiteral("TYPE I"))); // back to binary after the text transfer
    }

    void cancelledUploadLeavesNothingOnTheServer() {
        auto e = login();
        QVERIFY(e);
        const QString source = localPath(QStringLiteral("upload.bin"));
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(8) << 30));
        file.close();
        Canceller canceller(control_, [this] { return control_.done() > (4 << 20); });
        int mode = ftp::BinaryMode;
        QVERIFY_THROWS_EXCEPTION(FtpError, e->PutFile(source, QStringLiteral("/"), mode));
        QVERIFY(canceller.sinceCancel() < 1'000);
        QFile::remove(source);
        QCOMPARE(control_.total(), qint64(8) << 30);
        QVERIFY(transcript().contains(QStringLiteral("DELE /upload.bin")));
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(root_.filePath(QStringLiteral("upload.bin"))), 2'000);
        checkSessionGoesOn(*e);
    }

    void cancelledListingEndsAtOnce() {
        EndlessServer server(true);
        auto e = engine();
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")),
                 int(ftp::ConnectOk));
        Canceller canceller(control_, [this] { return control_.done() > 0; });
        QVERIFY_THROWS_EXCEPTION(FtpError, e->GetDir(QStringLiteral("/"), ftp::kFolderFlag));
        QVERIFY(canceller.sinceCancel() < 1'000);
        QVERIFY(server.commands().contains(QStringLiteral("ABOR")));
        // The session is in step: the next command gets its own reply.
        control_.reset();
        QCOMPARE(e->Command(QStringLiteral("NOOP")), 2);
    }

    void cancelledSilentConnectEndsAtOnce() {
        EndlessServer server(false);
        auto e = engine();
        QElapsedTimer started;
        started.start();
        Canceller canceller(control_, [&started] { return started.elapsed() > 300; });
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")),
                 int(ftp::ConnectCancelled));
        QVERIFY(canceller.sinceCancel() < 1'000);
        QVERIFY(!server.commands().contains(QStringLiteral("PASS p")));
    }
};

QTEST_GUILESS_MAIN(CancelNetTest)
#include "tst_cancel.moc"
