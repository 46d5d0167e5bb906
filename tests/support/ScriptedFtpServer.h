#pragma once
// A scripted FTP server on 127.0.0.1 for net tests that need a server to misbehave in
// ways real servers will not on demand: each test writes the exchange as a script run on
// the server's own thread with blocking calls.
//
//     testing::ScriptedServer server([](testing::Peer& peer) {
//         peer.login();
//         peer.expect("NOOP");
//         peer.send("200 ok");
//     });
//     engine.Connect(server.serverName(), ...);
//     QCOMPARE(server.finish(), QString());   // what went wrong in the script, if anything

#include <QByteArray>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <future>
#include <memory>
#include <thread>

namespace testing {

// One scripted control connection, driven from the server's own thread with blocking
// calls. A step that goes wrong throws ScriptError, which ends the script.
struct ScriptError {
    QString what;
};

class Peer {
public:
    explicit Peer(QTcpSocket& control) : control_(control) {}

    void send(const QByteArray& line) { sendRaw(line + "\r\n"); }
    void sendRaw(const QByteArray& bytes) {
        control_.write(bytes);
        control_.waitForBytesWritten(5'000);
    }
    // The next command line from the client, without its CR LF.
    QByteArray receive() {
        while (!control_.canReadLine()) {
            if (!control_.waitForReadyRead(10'000))
                throw ScriptError{QStringLiteral("no command from the client")};
        }
        return control_.readLine().chopped(2);
    }
    // Receives a command and checks it starts with `prefix`.
    QByteArray expect(const QByteArray& prefix) {
        const QByteArray line = receive();
        if (!line.startsWith(prefix))
            throw ScriptError{QStringLiteral("expected %1, got %2")
                                  .arg(QString::fromUtf8(prefix), QString::fromUtf8(line))};
        return line;
    }
    // Greeting, login and the engine's login steps, answered as a plain server that
    // announces no features (so CP932 and LIST).
    void login(const QByteArray& greeting = "220 fake ready",
               const QByteArray& featReply = "500 FEAT not understood") {
        send(greeting);
        expect("USER");
        send("331 password please");
        expect("PASS");
        send("230 logged in");
        expect("FEAT");
        send(featReply);
        expect("PWD");
        send("257 \"/\" is current");
    }
    // Opens a data listener on 127.0.0.1; its port.
    quint16 listenData() {
        data_ = std::make_unique<QTcpServer>();
        if (!data_->listen(QHostAddress::LocalHost, 0))
            throw ScriptError{QStringLiteral("cannot listen for data")};
        return data_->serverPort();
    }
    // EPSV refused (unless it was not asked), then a PASV reply that names `address` with
    // the listener's port.
    void passiveNaming(const QByteArray& address, bool epsvFirst = true) {
        if (epsvFirst) {
            expect("EPSV");
            send("500 EPSV not understood");
        }
        expect("PASV");
        const quint16 port = listenData();
        send("227 Entering Passive Mode (" + address + "," + QByteArray::number(port / 256) + "," +
             QByteArray::number(port % 256) + ")");
    }
    void epsv() {
        expect("EPSV");
        send("229 Entering Extended Passive Mode (|||" + QByteArray::number(listenData()) + "|)");
    }
    // EPSV, then `command` (RETR, STOR, LIST...) on the data connection it opens, answered
    // with `opening`: the data connection.
    QTcpSocket* openTransfer(const QByteArray& command, const QByteArray& opening) {
        epsv();
        expect(command);
        QTcpSocket* data = acceptData();
        send(opening);
        return data;
    }
    QTcpSocket* acceptData() {
        if (!data_ || !data_->waitForNewConnection(10'000))
            throw ScriptError{QStringLiteral("the client did not open the data connection")};
        return data_->nextPendingConnection();
    }
    void sendData(QTcpSocket* socket, const QByteArray& bytes) {
        socket->write(bytes);
        while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(5'000)) {
        }
    }
    // What the client sends on `socket` until it closes it (or `max` bytes arrived).
    QByteArray receiveData(QTcpSocket* socket, qint64 max = -1) {
        QByteArray bytes;
        while (max < 0 || bytes.size() < max) {
            if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(5'000))
                break;
            bytes += socket->read(max < 0 ? socket->bytesAvailable() : max - bytes.size());
        }
        return bytes;
    }
    void closeData(QTcpSocket* socket) {
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState)
            socket->waitForDisconnected(5'000);
    }
    // Waits until the client closes the control connection (or the time is up).
    void waitForClose(int ms) {
        QElapsedTimer timer;
        timer.start();
        while (control_.state() == QAbstractSocket::ConnectedState && timer.elapsed() < ms) {
            control_.waitForReadyRead(50);
            control_.readAll();
        }
    }
    // Sends `line` again and again until the client closes the connection (or the time is up).
    void keepSending(const QByteArray& line, int ms) {
        QElapsedTimer timer;
        timer.start();
        while (control_.state() == QAbstractSocket::ConnectedState && timer.elapsed() < ms) {
            send(line);
            control_.waitForReadyRead(100);
            control_.readAll();
        }
    }
    QTcpSocket& control() { return control_; }

private:
    QTcpSocket& control_;
    std::unique_ptr<QTcpServer> data_;
};

// Serves one connection with `script` on a thread of its own.
class ScriptedServer {
public:
    using Script = std::function<void(Peer&)>;

    explicit ScriptedServer(Script script) {
        std::promise<quint16> portPromise;
        auto portFuture = portPromise.get_future();
        thread_ =
            std::thread([this, script = std::move(script), portPromise = std::move(portPromise)]() mutable {
                QTcpServer server;
                if (!server.listen(QHostAddress::LocalHost, 0)) {
                    portPromise.set_value(0);
                    return;
                }
                portPromise.set_value(server.serverPort());
                if (!server.waitForNewConnection(15'000)) {
                    error_ = QStringLiteral("no client came");
                    return;
                }
                QTcpSocket* control = server.nextPendingConnection();
                Peer peer(*control);
                try {
                    script(peer);
                } catch (const ScriptError& e) {
                    error_ = e.what;
                }
                control->abort();
            });
        port_ = portFuture.get();
    }
    ~ScriptedServer() {
        if (thread_.joinable())
            thread_.join();
    }

    QString serverName() const { return QStringLiteral("ftp://127.0.0.1:%1").arg(port_); }
    // Call after the client is done: waits for the script to end, then tells what went wrong.
    QString finish() {
        if (thread_.joinable())
            thread_.join();
        return error_;
    }

private:
    std::thread thread_;
    quint16 port_ = 0;
    QString error_;
};

} // namespace testing
