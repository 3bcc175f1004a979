#pragma once

#include "PlatformServices.h"

#include <QDeadlineTimer>
#include <QPointer>

#include <memory>

class QNetworkAccessManager;
class RouteFinder;

// Plain GETs over one network session shared by all windows, each held to the limits its request
// sets: idle time from the request to its answer's end, body size, a deadline and a rule for
// redirect hops.
class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void get(const HttpRequest& request, QObject* receiver,
             PlatformServices::HttpCompletion completion);

private:
    // One request across its redirect hops.
    struct Transfer {
        HttpRequest request;
        QPointer<QObject> receiver;
        PlatformServices::HttpCompletion completion;
        QDeadlineTimer deadline;
    };
    void fetch(const std::shared_ptr<Transfer>& transfer, const QUrl& url, int hopsLeft);
    void send(const std::shared_ptr<Transfer>& transfer, const QUrl& url, int hopsLeft);

    std::unique_ptr<QNetworkAccessManager> network;
    // Owned by the manager, whose proxy factory it is.
    RouteFinder* routes = nullptr;
};
