#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QUrl>

#include <memory>

class HttpTestServer;
class QThread;

// The tests' loopback HTTP server, run on a thread of its own so that writing a large answer is
// not charged to the main thread being measured. A path registered with setFile() gets its body;
// every other path, such as the one the manifest request is sent to, gets the manifest.
class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // For LoopbackRedirect, which only reads the port.
    const HttpTestServer& httpServer() const;
    QUrl url(const QString& path) const;

    void setManifest(const QByteArray& body);
    void setFile(const QByteArray& path, const QByteArray& body);

private:
    QByteArray answerFor(const QByteArray& target);

    std::unique_ptr<QThread> thread;
    HttpTestServer* server = nullptr;
    QMutex mutex;
    // Whole answers, built once: a 32 MiB body is not copied again for every request.
    QHash<QByteArray, QByteArray> files;
    QByteArray manifest;
};
