#pragma once
// A small HTTP/1.1 server on 127.0.0.1 (port chosen by the system) for the browser
// view's tests: it serves fixed responses by path and records what was asked for. It
// runs in the test's own event loop.

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

namespace testing {

class LocalHttpServer : public QObject {
    Q_OBJECT
public:
    struct Response {
        int status = 200;
        QByteArray contentType = "text/html; charset=utf-8";
        QByteArray body;
        QByteArray extraHeaders; // whole header lines, each ending in CR LF
    };

    LocalHttpServer();
    bool isListening() const { return server_.isListening(); }

    void serve(const QString& path, const Response& response);
    void serveHtml(const QString& path, const QString& html);
    QUrl url(const QString& path) const;
    QStringList requested() const { return requested_; } // paths, in arrival order

private:
    void answer(class QTcpSocket* socket, const QByteArray& request);

    QTcpServer server_;
    QHash<QString, Response> responses_;
    QStringList requested_;
};

} // namespace testing
