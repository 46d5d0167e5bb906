#include "support/LocalHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace testing {

LocalHttpServer::LocalHttpServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                QByteArray request = socket->property("request").toByteArray() + socket->readAll();
                socket->setProperty("request", request);
                if (request.contains("\r\n\r\n"))
                    answer(socket, request);
            });
        }
    });
}

void LocalHttpServer::serve(const QString& path, const Response& response) {
    responses_.insert(path, response);
}

void LocalHttpServer::serveHtml(const QString& path, const QString& html) {
    Response response;
    response.body = html.toUtf8();
    serve(path, response);
}

QUrl LocalHttpServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

void LocalHttpServer::answer(QTcpSocket* socket, const QByteArray& request) {
    // "GET /path HTTP/1.1"
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    const QString path = words.size() >= 2 ? QString::fromLatin1(words.at(1)) : QString();
    requested_.append(path);
    Response response;
    if (const auto found = responses_.constFind(path); found != responses_.cend()) {
        response = *found;
    } else {
        response.status = 404;
        response.contentType = "text/plain";
        response.body = "not found";
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " X\r\n";
    if (!response.contentType.isEmpty())
        head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += response.extraHeaders;
    head += "Connection: close\r\n\r\n";
    socket->write(head + response.body);
    socket->disconnectFromHost();
}

} // namespace testing
