#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <utility>

class QTcpSocket;

// An HTTP/1.1 server on 127.0.0.1 for tests. It reads each request's head, records it, and hands
// it to the test's handler, which answers on the socket as the case needs: a whole answer, part
// of one, bytes at a slow pace, a dropped connection, or nothing at all.
class HttpTestServer final : public QTcpServer {
    Q_OBJECT

public:
    struct Request {
        QByteArray requestLine; // e.g. "GET /s.py?v=1.4.0 HTTP/1.1"
        QByteArray method;
        QByteArray target;
        // In the order received, names as the client spelled them.
        QList<std::pair<QByteArray, QByteArray>> headers;

        // Empty when absent; names compare without regard to case, as HTTP has it.
        QByteArray header(QByteArrayView name) const;
    };
    // Runs once per request; the socket stays usable after it returns, for late answers.
    using Handler = std::function<void(const Request& request, QTcpSocket& socket)>;

    // Listens on a free port at once; until a handler is set, every request gets a 404.
    explicit HttpTestServer(QObject* parent = nullptr);

    void setHandler(Handler handler);
    // This server's address with the given path and query, e.g. url("/s.py?id=7").
    QUrl url(const QString& pathAndQuery) const;
    const QList<Request>& requests() const;

    // A complete answer: status line, Content-Length (except for 204 and 304), the extra header
    // lines as given (each ending in "\r\n"), then the body.
    static QByteArray answer(int statusCode, const QByteArray& body = {},
                             const QByteArray& extraHeaders = {});
    // Writes `bytes` a chunk per interval; stops early when the client goes away.
    static void drip(QTcpSocket& socket, const QByteArray& bytes, qsizetype chunkSize,
                     std::chrono::milliseconds interval);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    void readRequests(QTcpSocket& socket, QByteArray& pending);

    Handler handler;
    QList<Request> received;
};
