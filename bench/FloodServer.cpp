#include "FloodServer.h"

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

FloodServer::FloodServer() {
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        qFatal("FloodServer: cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    writer = std::thread([this] {
        const int client = ::accept(listener, nullptr, nullptr);
        char head[4096];
        const QByteArray answer =
            "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";
        if (client < 0 || ::recv(client, head, sizeof head, 0) <= 0 ||
            ::send(client, answer.constData(), answer.size(), MSG_NOSIGNAL) < 0) {
            return;
        }
        const QByteArray chunk(256 * 1024, 'x');
        for (ssize_t n = 0; n >= 0;
             n = ::send(client, chunk.constData(), chunk.size(), MSG_NOSIGNAL)) {
            sent += n;
        }
        ::close(client);
    });
}

// The client has hung up by then, or never came: shutting the listener down ends a waiting
// accept().
FloodServer::~FloodServer() {
    ::shutdown(listener, SHUT_RDWR);
    writer.join();
    ::close(listener);
}

QUrl FloodServer::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1/flood").arg(port));
}
