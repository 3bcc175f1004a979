#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>
#include <QUrl>

#include <chrono>
#include <functional>

class QTcpSocket;

// An HTTP/1.1 server on 127.0.0.1 for tests. It reads each request's head, records it, and hands
// it to the test's handler, which answers on the socket as the case needs: a whole answer, part
// of one, bytes at a slow pace, a dropped connection, or nothing at all.
class HttpTestServer final : public QTcpServer {
    Q_OBJECT

public:
    struct Request {
        QByteArray target; // path and query, e.g. "/s.py?v=1.4.0"
        QByteArray head;   // the whole head, lower-cased
    };
    // Runs once per request; the socket stays usable after it returns, for late answers.
    using Handler = std::function<void(const Request& request, QTcpSocket& socket)>;

    // Listens at once, on `port` or else on a free one; until a handler is set, every request
    // gets a 404.
    explicit HttpTestServer(quint16 port = 0);

    void setHandler(Handler handler);
    QUrl url(const QString& pathAndQuery) const;

    // A complete answer: status line, Content-Length (except for 204), the extra header lines
    // as given (each ending in "\r\n"), then the body.
    static QByteArray answer(int statusCode, const QByteArray& body = {},
                             const QByteArray& extraHeaders = {});
    // Writes `bytes` a chunk per interval; stops early when the client goes away.
    static void drip(QTcpSocket& socket, const QByteArray& bytes, qsizetype chunkSize,
                     std::chrono::milliseconds interval);

    QList<Request> requests;

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    Handler handler;
};
