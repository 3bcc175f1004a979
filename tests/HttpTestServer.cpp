#include "HttpTestServer.h"

#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

HttpTestServer::HttpTestServer(quint16 port)
    : handler([](const Request&, QTcpSocket& socket) { socket.write(answer(404)); }) {
    if (!listen(QHostAddress::LocalHost, port)) {
        qFatal("HttpTestServer: cannot listen on 127.0.0.1: %s", qPrintable(errorString()));
    }
}

void HttpTestServer::setHandler(Handler newHandler) {
    handler = std::move(newHandler);
}

QUrl HttpTestServer::url(const QString& pathAndQuery) const {
    return QUrl(u"http://127.0.0.1:%1%2"_s.arg(serverPort()).arg(pathAndQuery), QUrl::StrictMode);
}

QByteArray HttpTestServer::answer(int statusCode, const QByteArray& body,
                                  const QByteArray& extraHeaders) {
    // Clients read the code, not the reason phrase.
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(statusCode) + " Status\r\n";
    if (statusCode != 204) {
        bytes += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    }
    return bytes + extraHeaders + "\r\n" + body;
}

void HttpTestServer::drip(QTcpSocket& socket, const QByteArray& bytes, qsizetype chunkSize,
                          std::chrono::milliseconds interval) {
    // Owned by the socket, so a client that hangs up ends the drip with its connection.
    auto* timer = new QTimer(&socket);
    QObject::connect(timer, &QTimer::timeout, &socket, [&socket, timer, bytes, chunkSize] {
        const qsizetype offset = timer->property("offset").toLongLong();
        socket.write(bytes.mid(offset, chunkSize));
        timer->setProperty("offset", offset + chunkSize);
        if (offset + chunkSize >= bytes.size()) {
            timer->deleteLater();
        }
    });
    timer->start(interval);
}

void HttpTestServer::incomingConnection(qintptr socketDescriptor) {
    auto* socket = new QTcpSocket(this);
    socket->setSocketDescriptor(socketDescriptor);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    // A kept-alive connection may carry several requests; GETs have no body to skip.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        QByteArray pending = socket->property("pending").toByteArray() + socket->readAll();
        for (qsizetype end = pending.indexOf("\r\n\r\n"); end >= 0;
             end = pending.indexOf("\r\n\r\n")) {
            const QByteArray head = pending.left(end);
            pending.remove(0, end + 4);
            requests.append({head.split(' ').value(1), head.toLower()});
            handler(requests.last(), *socket);
        }
        socket->setProperty("pending", pending);
    });
}
