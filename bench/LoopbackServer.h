#pragma once

#include "HttpTestServer.h"

#include <QEventLoop>
#include <QHash>
#include <QMutex>
#include <QSemaphore>
#include <QTcpSocket>
#include <QThread>

#include <memory>

// The tests' HttpTestServer on a thread of its own, so that sending a large answer is not charged
// to the main thread being measured. The server is created and destroyed on that thread.
class LoopbackServer {
public:
    LoopbackServer() {
        QSemaphore listening;
        thread.reset(QThread::create([this, &listening] {
            HttpTestServer onThread;
            onThread.setHandler([this](const HttpTestServer::Request& request, QTcpSocket& socket) {
                socket.write(answerFor(request.target));
            });
            server = &onThread;
            listening.release();
            QEventLoop().exec();
        }));
        thread->start();
        listening.acquire();
    }

    ~LoopbackServer() {
        thread->quit();
        thread->wait();
    }

    const HttpTestServer& http() const {
        return *server;
    }

    // `body` for `path`, whatever the query; an empty path gives the answer for every other path,
    // such as the manifest's. Whole answers are built once, not for every request.
    void serve(const QByteArray& path, const QByteArray& body) {
        const QMutexLocker lock(&mutex);
        answers.insert(path, HttpTestServer::answer(200, body));
    }

private:
    QByteArray answerFor(const QByteArray& target) {
        const QMutexLocker lock(&mutex);
        const qsizetype query = target.indexOf('?');
        return answers.value(query < 0 ? target : target.left(query), answers.value({}));
    }

    std::unique_ptr<QThread> thread;
    HttpTestServer* server = nullptr;
    QMutex mutex;
    QHash<QByteArray, QByteArray> answers;
};
