#include "LoopbackServer.h"

#include "HttpTestServer.h"

#include <QEventLoop>
#include <QMutexLocker>
#include <QSemaphore>
#include <QTcpSocket>
#include <QThread>

LoopbackServer::LoopbackServer() {
    QSemaphore listening;
    // The server lives and dies on the thread's stack; quitting the loop ends both.
    thread.reset(QThread::create([this, &listening] {
        HttpTestServer onThread;
        onThread.setHandler([this](const HttpTestServer::Request& request, QTcpSocket& socket) {
            socket.write(answerFor(request.target));
        });
        server = &onThread;
        listening.release();
        QEventLoop loop;
        loop.exec();
    }));
    thread->start();
    listening.acquire();
}

LoopbackServer::~LoopbackServer() {
    thread->quit();
    thread->wait();
}

const HttpTestServer& LoopbackServer::httpServer() const {
    return *server;
}

QUrl LoopbackServer::url(const QString& path) const {
    return server->url(path);
}

void LoopbackServer::setManifest(const QByteArray& body) {
    const QMutexLocker lock(&mutex);
    manifest = HttpTestServer::answer(200, body);
}

void LoopbackServer::setFile(const QByteArray& path, const QByteArray& body) {
    const QMutexLocker lock(&mutex);
    files.insert(path, HttpTestServer::answer(200, body));
}

QByteArray LoopbackServer::answerFor(const QByteArray& target) {
    const QMutexLocker lock(&mutex);
    // The installer adds "?v=<version>" to the script's address.
    const qsizetype query = target.indexOf('?');
    return files.value(query < 0 ? target : target.left(query), manifest);
}
