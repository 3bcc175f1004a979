#include "HttpTestServer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

QByteArray reasonPhrase(int statusCode) {
    switch (statusCode) {
    case 200:
        return "OK"_ba;
    case 204:
        return "No Content"_ba;
    case 304:
        return "Not Modified"_ba;
    case 404:
        return "Not Found"_ba;
    case 500:
        return "Internal Server Error"_ba;
    default:
        // Clients read the code, not the phrase.
        return "Status"_ba;
    }
}

HttpTestServer::Request parseHead(const QByteArray& head) {
    HttpTestServer::Request request;
    const QList<QByteArray> lines = head.split('\n');
    request.requestLine = lines.value(0).trimmed();
    const QList<QByteArray> parts = request.requestLine.split(' ');
    request.method = parts.value(0);
    request.target = parts.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0) {
            request.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
        }
    }
    return request;
}

} // namespace

QByteArray HttpTestServer::Request::header(QByteArrayView name) const {
    for (const auto& [headerName, value] : headers) {
        if (headerName.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

HttpTestServer::HttpTestServer(QObject* parent)
    : QTcpServer(parent)
    , handler([](const Request&, QTcpSocket& socket) { socket.write(answer(404)); }) {
    if (!listen(QHostAddress::LocalHost)) {
        qFatal("HttpTestServer: cannot listen on 127.0.0.1: %s", qPrintable(errorString()));
    }
}

void HttpTestServer::setHandler(Handler newHandler) {
    handler = std::move(newHandler);
}

QUrl HttpTestServer::url(const QString& pathAndQuery) const {
    return QUrl(u"http://127.0.0.1:%1%2"_s.arg(serverPort()).arg(pathAndQuery), QUrl::StrictMode);
}

const QList<HttpTestServer::Request>& HttpTestServer::requests() const {
    return received;
}

QByteArray HttpTestServer::answer(int statusCode, const QByteArray& body,
                                  const QByteArray& extraHeaders) {
    QByteArray bytes =
        "HTTP/1.1 " + QByteArray::number(statusCode) + ' ' + reasonPhrase(statusCode) + "\r\n";
    if (statusCode != 204 && statusCode != 304) {
        bytes += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    }
    return bytes + extraHeaders + "\r\n" + body;
}

void HttpTestServer::drip(QTcpSocket& socket, const QByteArray& bytes, qsizetype chunkSize,
                          std::chrono::milliseconds interval) {
    // Owned by the socket, so a client that hangs up ends the drip with its connection.
    auto* timer = new QTimer(&socket);
    QObject::connect(timer, &QTimer::timeout, &socket,
                     [&socket, timer, bytes, chunkSize, offset = qsizetype(0)]() mutable {
                         socket.write(bytes.mid(offset, chunkSize));
                         offset += chunkSize;
                         if (offset >= bytes.size()) {
                             timer->stop();
                             timer->deleteLater();
                         }
                     });
    timer->start(interval);
}

void HttpTestServer::incomingConnection(qintptr socketDescriptor) {
    auto* socket = new QTcpSocket(this);
    socket->setSocketDescriptor(socketDescriptor);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, pending = QByteArray()]() mutable {
        pending += socket->readAll();
        readRequests(*socket, pending);
    });
}

void HttpTestServer::readRequests(QTcpSocket& socket, QByteArray& pending) {
    // A kept-alive connection may carry several requests; GETs have no body to skip.
    for (qsizetype end = pending.indexOf("\r\n\r\n");
         end >= 0 && socket.state() == QAbstractSocket::ConnectedState;
         end = pending.indexOf("\r\n\r\n")) {
        const Request request = parseHead(pending.left(end));
        pending.remove(0, end + 4);
        received.append(request);
        handler(request, socket);
    }
}
