#pragma once

#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>

class QObject;

// What Qt needs before it connects for a request: the proxy that serves the address and, for a host
// name, the name looked up. Asking the system for either can block for as long as the system
// lets it (a PAC file that never comes, a name server that never answers), so both are asked in a
// thread of their own that nothing ever waits for; the caller keeps its own clock. Installed as
// its manager's proxy factory, it hands Qt the proxy found, so that Qt never asks the system
// itself, on the window's thread.
class RouteFinder final : public QNetworkProxyFactory {
public:
    struct Route {
        enum class Outcome {
            Found,            // the host to connect to, the proxy's or the address's, is known
            NoSuchHost,       // the name server says that the name does not exist
            NameServerSilent, // the name server did not answer, or not in time for the system
            LookupFailed,     // any other failure of the lookup, which errorDescription names
        };
        Outcome outcome = Outcome::Found;
        QNetworkProxy proxy{QNetworkProxy::NoProxy};
        // The name looked up: the proxy's when a proxy serves the address.
        QString host;
        QString errorDescription;
    };

    // Starts the search and returns at once. `found` runs later on `context`'s thread, unless
    // `context` is gone by then. The flag tells, while the search runs, whether the proxy is known.
    std::shared_ptr<const std::atomic<bool>> find(const QUrl& url, QObject* context,
                                                  std::function<void(const Route&)> found);
    // The proxy that the next request Qt makes goes through: Qt asks for it as the request is made.
    void use(const QNetworkProxy& proxy);

    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override;

private:
    QNetworkProxy next{QNetworkProxy::NoProxy};
};
