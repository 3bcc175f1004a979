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

// The system's resolver, which tells a name that does not exist from a name server that did not
// answer; Qt (6.4.2) reports both as "Host … not found".
void lookUp(Route& route) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* addresses = nullptr;
    const int status =
        ::getaddrinfo(QUrl::toAce(route.host).constData(), nullptr, &hints, &addresses);
    switch (status) {
    case 0:
        ::freeaddrinfo(addresses);
        // Qt (6.4.2) looks the name up again, first for the connection and then for its socket,
        // and a lookup of a name it is already looking up waits behind that one, however long it
        // hangs. Both first ask Qt's cache, which this fills for a minute.
        QHostInfo::fromName(route.host);
        return;
    case EAI_NONAME:
    case EAI_FAIL:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
        route.outcome = Route::Outcome::NoSuchHost;
        return;
    case EAI_AGAIN:
        route.outcome = Route::Outcome::NameServerSilent;
        return;
    default:
        route.outcome = Route::Outcome::LookupFailed;
        route.errorDescription = QString::fromLocal8Bit(::gai_strerror(status));
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
