#include "RouteFinder.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QObject>

#include <algorithm>
#include <mutex>
#include <netdb.h>
#include <thread>

using Route = RouteFinder::Route;

// What Qt does is noted with the version it was seen on: Qt 6.4.2, as Debian 12 ships it.

namespace {

// One search, shared by the thread that runs it and the thread that waits for it.
struct Search {
    std::atomic<bool> proxyFound = false;
    std::mutex mutex;
    // Set to null, under the mutex, when the context goes: nothing is posted to it after.
    QObject* context = nullptr;
    std::function<void(const Route&)> found;
};

// The first proxy Qt could use for any address, as Qt takes the first usable one of the list.
QNetworkProxy firstUsable(const QList<QNetworkProxy>& proxies) {
    const auto usable = std::find_if(proxies.begin(), proxies.end(), [](const QNetworkProxy& p) {
        return p.type() == QNetworkProxy::NoProxy || p.type() == QNetworkProxy::HttpProxy ||
               p.type() == QNetworkProxy::Socks5Proxy;
    });
    return usable != proxies.end() ? *usable : QNetworkProxy(QNetworkProxy::NoProxy);
}

// Qt's own lookup, so that Qt's later ones for the request, first for the connection and then for
// its socket, are answered from its cache (for a minute): Qt (6.4.2) makes a lookup of a name it
// is still looking up wait behind that one, however long it hangs, and this one runs where nothing
// waits for it.
void lookUp(Route& route) {
    const QHostInfo found = QHostInfo::fromName(route.host);
    if (found.error() == QHostInfo::HostNotFound) {
        route.outcome = Route::Outcome::NoSuchHost;
    } else if (found.error() != QHostInfo::NoError) {
        // Qt reports every other failure of the system's resolver in the resolver's own words,
        // and those for EAI_AGAIN are how a name server that did not answer shows.
        const bool silent =
            found.errorString() == QString::fromLocal8Bit(::gai_strerror(EAI_AGAIN));
        route.outcome = silent ? Route::Outcome::NameServerSilent : Route::Outcome::LookupFailed;
        route.errorDescription = found.errorString();
    }
}

void run(const QUrl& url, const std::shared_ptr<Search>& search) {
    Route route;
    // Qt's own answer, with its rules: never a proxy for this machine, the system's settings
    // otherwise (Debian's Qt asks libproxy, which fetches a PAC file itself; a Mac's asks the
    // system, which may run one).
    route.proxy = firstUsable(QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url)));
    search->proxyFound = true;
    route.host = route.proxy.type() == QNetworkProxy::NoProxy ? url.host() : route.proxy.hostName();
    if (QHostAddress address; !address.setAddress(route.host)) {
        lookUp(route);
    }
    const std::lock_guard lock(search->mutex);
    if (search->context) {
        QMetaObject::invokeMethod(
            search->context, [search, route] { search->found(route); }, Qt::QueuedConnection);
    }
}

} // namespace

std::shared_ptr<const std::atomic<bool>>
RouteFinder::find(const QUrl& url, QObject* context, std::function<void(const Route&)> found) {
    auto search = std::make_shared<Search>();
    search->context = context;
    search->found = std::move(found);
    QObject::connect(context, &QObject::destroyed, [search] {
        const std::lock_guard lock(search->mutex);
        search->context = nullptr;
    });
    // Detached: a lookup that never returns must hold up neither the window nor the end.
    std::thread(run, url, search).detach();
    return {search, &search->proxyFound};
}

void RouteFinder::use(const QNetworkProxy& proxy) {
    next = proxy;
}

QList<QNetworkProxy> RouteFinder::queryProxy(const QNetworkProxyQuery&) {
    return {next};
}
