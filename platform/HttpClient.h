#pragma once

#include "PlatformServices.h"

#include <memory>

class QNetworkAccessManager;

// Plain GETs over one network session shared by all windows, each held to the limits its request
// sets: idle time on the wire, body size, a deadline and a rule for redirect hops.
class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void get(const HttpRequest& request, QObject* receiver,
             PlatformServices::HttpCompletion completion);

private:
    std::unique_ptr<QNetworkAccessManager> network;
};
