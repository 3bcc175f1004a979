#pragma once

#include <QUrl>

#include <atomic>
#include <thread>

// Answers one request on 127.0.0.1 with a body that never ends, written from a thread of its own
// as fast as the socket takes it, the way a hostile server on another machine would. It stops
// when the client hangs up; `sent` counts the body bytes the socket took.
class FloodServer {
public:
    FloodServer();
    ~FloodServer();
    Q_DISABLE_COPY_MOVE(FloodServer)

    QUrl url() const;

    std::atomic<qint64> sent = 0;

private:
    int listener = -1;
    quint16 port = 0;
    std::thread writer;
};
