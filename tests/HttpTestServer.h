#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>

// An HTTP/1.1 server on 127.0.0.1 for tests, all in this header. It reads each request's head,
// records it, and hands it to the test's handler, which answers on the socket as the case
// needs: a whole answer, part of one, bytes at a slow pace, or nothing at all.
class HttpTestServer final : public QTcpServer {
public:
    static void ignore(const QByteArray&, QTcpSocket&) {}
    // Runs once per request with its path and query ("/s.py?v=1.4.0"); the socket stays usable
    // after it returns, for late answers. By default no request is answered.
    std::function<void(const QByteArray& target, QTcpSocket& socket)> handler = ignore;
    // The head of each request, lower-cased.
    QList<QByteArray> requests;

    HttpTestServer() {
        listen(QHostAddress::LocalHost);
    }
    QUrl url(const QString& pathAndQuery) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(pathAndQuery));
    }
    // A complete answer: status line, Content-Length (except for 204), the extra header lines
    // as given (each ending in "\r\n"), then the body. Clients read the code, not the reason.
    static QByteArray answer(int status, const QByteArray& body = {},
                             const QByteArray& extra = {}) {
        const QByteArray length = "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        return "HTTP/1.1 " + QByteArray::number(status) + " Status\r\n" +
               (status == 204 ? QByteArray() : length) + extra + "\r\n" + body;
    }
    // Writes `bytes` a chunk per interval; stops early when the client goes away.
    static void drip(QTcpSocket& socket, const QByteArray& bytes, qsizetype chunkSize,
                     std::chrono::milliseconds interval) {
        auto* timer = new QTimer(&socket);
        QObject::connect(timer, &QTimer::timeout, &socket,
                         [=, &socket, offset = qsizetype(0)]() mutable {
                             socket.write(bytes.mid(offset, chunkSize));
                             if ((offset += chunkSize) >= bytes.size()) {
                                 timer->deleteLater();
                             }
                         });
        timer->start(interval);
    }

protected:
    // A kept-alive connection may carry several requests; GETs have no body to skip.
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket, pending = QByteArray()]() mutable {
                    pending += socket->readAll();
                    for (qsizetype end; (end = pending.indexOf("\r\n\r\n")) >= 0;
                         pending.remove(0, end + 4)) {
                        requests.append(pending.left(end).toLower());
                        handler(pending.left(end).split(' ').value(1), *socket);
                    }
                });
    }
};
