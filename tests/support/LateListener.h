#pragma once
// A listening socket on 127.0.0.1 whose SYN-ACK comes late, without kernel modules: its
// accept queue holds one connection and is kept full by one of our own, so the system
// drops every SYN meanwhile and the client's TCP sends it again (after 1 s, then 3 s...),
// exactly as when a SYN is lost on the way or the server is far away.

#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <memory>

namespace testing {

class LateListener {
public:
    // Listens on a port of its own; with `late` false it is an ordinary listener.
    bool listen(bool late) {
        server_.setListenBacklogSize(0);
        if (!server_.listen(QHostAddress::LocalHost, 0))
            return false;
        if (!late)
            return true;
        filler_ = std::make_unique<QTcpSocket>();
        filler_->connectToHost(QHostAddress::LocalHost, server_.serverPort());
        return filler_->waitForConnected(5'000);
    }
    quint16 port() const { return server_.serverPort(); }

    // Keeps the queue full for `lateMs` more, then frees it and takes the client's
    // connection (nullptr when none came within `timeoutMs`). Owned by the listener.
    QTcpSocket* acceptAfter(int lateMs, int timeoutMs = 10'000) {
        if (filler_) {
            QThread::msleep(lateMs);
            if (!server_.waitForNewConnection(timeoutMs))
                return nullptr;
            delete server_.nextPendingConnection(); // our own, which held the queue
            filler_.reset();
        }
        if (!server_.hasPendingConnections() && !server_.waitForNewConnection(timeoutMs))
            return nullptr;
        return server_.nextPendingConnection();
    }

private:
    QTcpServer server_;
    std::unique_ptr<QTcpSocket> filler_;
};

} // namespace testing
