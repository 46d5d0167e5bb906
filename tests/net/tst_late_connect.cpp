// Connections whose SYN-ACK comes late, as from a server far away or after a lost SYN:
// the engine waits for them as long as its connect timeout allows, control and data alike,
// and a cancel still ends the wait at once.
#include "ftp/component/CallControl.h"
#include "ftp/component/FtpEngine.h"
#include "support/Files.h"
#include "support/LateListener.h"
#include "support/ScriptedFtpServer.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <future>
#include <thread>
#include <utility>

using testing::LateListener;
using testing::Peer;

namespace {

// How long each listener keeps the client's SYN unanswered.
constexpr int kLateMs = 1'500;
const QByteArray kContent = "a file from far away\n";

// A server whose control and/or data connections answer late, serving a login, listings
// and downloads until QUIT.
class FarServer {
public:
    FarServer(bool controlLate, bool dataLate) : dataLate_(dataLate) {
        std::promise<quint16> port;
        auto portFuture = port.get_future();
        thread_ = std::thread([this, controlLate, port = std::move(port)]() mutable {
            LateListener control;
            port.set_value(control.listen(controlLate) ? control.port() : 0);
            if (QTcpSocket* socket = control.acceptAfter(kLateMs)) {
                Peer peer(*socket);
                try {
                    serve(peer);
                } catch (const testing::ScriptError& e) {
                    error_ = e.what;
                }
            }
        });
        port_ = portFuture.get();
    }
    ~FarServer() {
        thread_.join();
        if (!error_.isEmpty())
            qWarning("server: %s", qPrintable(error_));
    }
    QString serverName() const { return QStringLiteral("ftp://127.0.0.1:%1").arg(port_); }

private:
    std::thread thread_;
    quint16 port_ = 0;
    bool dataLate_;
    QString error_;

    void serve(Peer& peer) {
        peer.send("220 far away");
        std::unique_ptr<LateListener> data;
        QTcpSocket* socket = nullptr;
        for (;;) {
            const QByteArray verb = peer.receive().split(' ').value(0);
            if (verb == "QUIT" || verb.isEmpty())
                return peer.send("221 bye");
            if (verb == "EPSV") {
                data = std::make_unique<LateListener>();
                if (!data->listen(dataLate_))
                    throw testing::ScriptError{QStringLiteral("cannot listen for data")};
                peer.send("229 Entering Extended Passive Mode (|||" + QByteArray::number(data->port()) +
                          "|)");
                // Taken before the command that uses it, which a client may send first.
                socket = data->acceptAfter(kLateMs);
            } else if (verb == "LIST" || verb == "RETR") {
                if (!socket)
                    throw testing::ScriptError{QStringLiteral("no data connection")};
                peer.send("150 here it comes");
                peer.sendData(socket,
                              verb == "LIST" ? "-rw-r--r-- 1 0 0 21 Dec  7 20:13 far.txt\r\n" : kContent);
                peer.closeData(std::exchange(socket, nullptr));
                peer.send("226 done");
            } else {
                static const QHash<QByteArray, QByteArray> answers{
                    {"USER", "331 password"}, {"PASS", "230 in"}, {"PWD", "257 \"/\""},
                    {"TYPE", "200 ok"},       {"CWD", "250 ok"},  {"NOOP", "200 ok"}};
                peer.send(answers.value(verb, "502 not here"));
            }
        }
    }
};

} // namespace

class LateConnectTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    platform::CallControl control_;

    std::unique_ptr<ftp::FtpEngine> engine(int connectMs) {
        control_.reset();
        auto e = std::make_unique<ftp::FtpEngine>();
        e->setTimeouts({connectMs, 10'000, 10'000});
        e->setCallControl(&control_);
        return e;
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void lateConnectionsAreWaitedFor_data() {
        QTest::addColumn<bool>("controlLate");
        QTest::addColumn<bool>("dataLate");
        QTest::newRow("control connection") << true << false;
        QTest::newRow("data connections") << false << true;
    }
    void lateConnectionsAreWaitedFor() {
        QFETCH(bool, controlLate);
        QFETCH(bool, dataLate);
        FarServer server(controlLate, dataLate);
        auto e = engine(30'000);
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")),
                 int(ftp::ConnectOk));
        QCOMPARE(*e->GetDir(QString()), QStringList{QStringLiteral("far.txt")});
        const QString target = dir_.filePath(QStringLiteral("far.txt"));
        int mode = ftp::BinaryMode;
        QCOMPARE(e->GetFile(QStringLiteral("/far.txt"), target, mode), 1);
        QCOMPARE(testing::readAll(target), kContent);
        e->Close();
    }

    // The command goes out while the data connection opens, so the server's first reply
    // may come before the connection: a 150, then the data once it has opened, or a refusal,
    // which ends the wait at once and leaves the session in step. Where the port cannot be
    // reached, ABOR ends a command the server did not refuse, and PASV's port is tried.
    void commandGoesOutWhileDataConnectionOpens_data() {
        QTest::addColumn<bool>("portClosed"); // else its SYN-ACK comes late
        QTest::addColumn<QByteArray>("first");
        QTest::newRow("150 first") << false << QByteArray("150 here it comes");
        QTest::newRow("refused first") << false << QByteArray("550 no such file");
        QTest::newRow("port closed, PASV tried") << true << QByteArray();
        QTest::newRow("port closed, refused") << true << QByteArray("425 Cannot open data connection.");
    }
    void commandGoesOutWhileDataConnectionOpens() {
        QFETCH(bool, portClosed);
        QFETCH(QByteArray, first);
        const bool refused = first.startsWith('5') || first.startsWith('4');
        qint64 commandAfterMs = -1;
        testing::ScriptedServer server([&](Peer& peer) {
            peer.login();
            peer.expect("TYPE I");
            peer.send("200 binary");
            peer.expect("EPSV");
            LateListener data;
            if (!data.listen(true))
                throw testing::ScriptError{QStringLiteral("cannot listen for data")};
            QTcpServer gone; // a port where nothing listens any more
            const quint16 port = !portClosed                            ? data.port()
                                 : gone.listen(QHostAddress::LocalHost) ? gone.serverPort()
                                                                        : 0;
            gone.close();
            peer.send("229 Entering Extended Passive Mode (|||" + QByteArray::number(port) + "|)");
            QElapsedTimer timer;
            timer.start();
            peer.expect("RETR /far.txt");
            commandAfterMs = timer.elapsed();
            if (refused) {
                peer.send(first);
                peer.expect("NOOP");
                return peer.send("200 ok");
            }
            QTcpSocket* socket = nullptr;
            if (portClosed) {
                peer.expect("ABOR");
                peer.send("225 No transfer to ABOR.");
                peer.passiveNaming("127,0,0,1", false);
                peer.expect("RETR /far.txt");
                socket = peer.acceptData();
            } else {
                socket = data.acceptAfter(0);
            }
            peer.send("150 here it comes");
            peer.sendData(socket, kContent);
            peer.closeData(socket);
            peer.send("226 done");
        });
        auto e = engine(30'000);
        QCOMPARE(e->Connect(server.serverName(), QStringLiteral("u"), QStringLiteral("p")),
                 int(ftp::ConnectOk));
        const QString target = dir_.filePath(QStringLiteral("first.txt"));
        int mode = ftp::BinaryMode;
        QElapsedTimer timer;
        timer.start();
        if (refused) {
            QVERIFY_THROWS_EXCEPTION(ftp::FtpError, e->GetFile(QStringLiteral("/far.txt"), target, mode));
            QVERIFY2(timer.elapsed() < 2'000, qPrintable(QString::number(timer.elapsed())));
            QCOMPARE(e->Command(QStringLiteral("NOOP")), 2);
        } else {
            QCOMPARE(e->GetFile(QStringLiteral("/far.txt"), target, mode), 1);
            QCOMPARE(testing::readAll(target), kContent);
        }
        QCOMPARE(server.finish(), QString());
        // Sent before the SYN was answered, which takes our TCP a second at least.
        QVERIFY2(commandAfterMs >= 0 && commandAfterMs < 900, qPrintable(QString::number(commandAfterMs)));
    }

    // A connect that gets no SYN-ACK ends by the user's cancel or by the connect timeout,
    // each after the time it says, not after one slice of the wait.
    void unansweredConnectEnds_data() {
        QTest::addColumn<int>("cancelAfterMs");
        QTest::addColumn<int>("expected");
        QTest::newRow("cancelled") << 700 << int(ftp::ConnectCancelled);
        QTest::newRow("timed out") << -1 << int(ftp::ConnectTimedOut);
    }
    void unansweredConnectEnds() {
        QFETCH(int, cancelAfterMs);
        QFETCH(int, expected);
        LateListener silent;
        QVERIFY(silent.listen(true));
        const int connectMs = 1'200;
        auto e = engine(connectMs);
        QElapsedTimer timer;
        timer.start();
        std::thread canceller([&] {
            if (cancelAfterMs < 0)
                return;
            QThread::msleep(cancelAfterMs);
            control_.cancel();
        });
        const int result = e->Connect(QStringLiteral("ftp://127.0.0.1:%1").arg(silent.port()),
                                      QStringLiteral("u"), QStringLiteral("p"));
        const qint64 took = timer.elapsed();
        canceller.join();
        QCOMPARE(result, expected);
        const qint64 endsBy = cancelAfterMs < 0 ? connectMs : cancelAfterMs;
        QVERIFY2(took >= endsBy - 50 && took < endsBy + 2'000, qPrintable(QString::number(took)));
        if (cancelAfterMs < 0)
            QVERIFY2(e->lastError().message().contains(QStringLiteral("1.2 s")),
                     qPrintable(e->lastError().message()));
    }
};

QTEST_GUILESS_MAIN(LateConnectTest)
#include "tst_late_connect.moc"
