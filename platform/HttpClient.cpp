#include "HttpClient.h"

#include "RouteFinder.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

// What Qt does is noted with the version it was seen on: Qt 6.4.2, as Debian 12 ships it.

namespace {

// How much of an answer Qt holds for the reader at most, past what the reader has taken.
constexpr qint64 readBufferBytes = 1024 * 1024;
// As many hops as a browser follows.
constexpr int maxHops = 20;
// A request held too long, in whichever phase: finding its route, connecting or on the wire.
const QString timedOut = u"The request timed out."_s;

HttpReply failedWith(QString description) {
    return {HttpReply::Outcome::Failed, std::move(description), 0, std::nullopt, false};
}

HttpReply endedBy(HttpReply::Outcome limit) {
    return {limit, {}, 0, std::nullopt, false};
}

// The rule for a request that sets none: nothing less than https after https.
bool staysSecure(const QUrl& from, const QUrl& to) {
    return from.scheme() != "https"_L1 || to.scheme() == "https"_L1;
}

// Qt (6.4.2) reports an HTTP error status (404, 500…) as an error too; such an answer did arrive
// and the caller judges it by its status. Every other error, a content error among them, is a
// failure.
bool reportsOnlyTheStatus(QNetworkReply::NetworkError error, int statusCode) {
    using Reply = QNetworkReply;
    const bool statusError =
        (error >= Reply::ContentAccessDenied && error <= Reply::UnknownContentError &&
         error != Reply::ContentReSendError) ||
        error == Reply::ProtocolInvalidOperationError ||
        (error >= Reply::InternalServerError && error <= Reply::UnknownServerError);
    return error == Reply::NoError || (statusCode >= 400 && statusError);
}

// `abandoned` is set when the reply was aborted here, for a limit of the request.
HttpReply finishedReply(QNetworkReply& reply, QByteArray body,
                        const std::optional<HttpReply>& abandoned) {
    if (abandoned) {
        return *abandoned;
    }
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || !reportsOnlyTheStatus(reply.error(), status.toInt())) {
        return failedWith(reply.errorString());
    }
    // Only plain bodies are asked for; an encoded one would be stored as it came, undecoded. Qt
    // (6.4.2) takes a chunked body apart itself, and no other transfer coding.
    for (const char* header : {"Content-Encoding", "Transfer-Encoding"}) {
        for (const QByteArray& coding : reply.rawHeader(header).split(',')) {
            const QByteArray name = coding.trimmed().toLower();
            if (!name.isEmpty() && name != "identity" && name != "chunked") {
                return failedWith(
                    u"the server sent the answer encoded as “%1”, which was not asked for."_s.arg(
                        QString::fromLatin1(coding.trimmed())));
            }
        }
    }
    // Qt (6.4.2) takes the first of two announced lengths, and reads a chunked body whatever
    // length was announced: an answer is whole only at exactly its one announced length.
    const QByteArray announced = reply.rawHeader("Content-Length");
    if (!announced.isEmpty()) {
        QList<QByteArray> lengths = announced.split(',');
        for (QByteArray& length : lengths) {
            length = length.trimmed();
        }
        if (lengths.count(lengths.first()) != lengths.size()) {
            return failedWith(u"the answer announced different lengths: %1."_s.arg(
                QString::fromLatin1(announced)));
        }
        if (QByteArray::number(body.size()) != lengths.first()) {
            return failedWith(
                u"the answer's %1 bytes are not the %2 it announced."_s.arg(body.size())
                    .arg(QString::fromLatin1(lengths.first())));
        }
    }
    // Qt (6.4.2) reports a chunked body cut off before its last chunk as an error; any other
    // body without a length ends wherever the connection closed.
    const bool lengthKnown =
        !announced.isEmpty() || reply.rawHeader("Transfer-Encoding").toLower().contains("chunked");
    const int statusCode = status.toInt();
    if (statusCode == 204 || statusCode == 304) {
        return {HttpReply::Outcome::Answered, {}, statusCode, std::nullopt, true};
    }
    return {HttpReply::Outcome::Answered, {}, statusCode, std::move(body), lengthKnown};
}

} // namespace

HttpClient::HttpClient()
    : network(std::make_unique<QNetworkAccessManager>())
    , routes(new RouteFinder) {
    network->setProxyFactory(routes);
}

HttpClient::~HttpClient() = default;

void HttpClient::get(const HttpRequest& request, QObject* receiver,
                     PlatformServices::HttpCompletion completion) {
    auto transfer = std::make_shared<Transfer>();
    transfer->request = request;
    transfer->receiver = receiver;
    transfer->completion = std::move(completion);
    transfer->deadline = request.deadline ? QDeadlineTimer(*request.deadline)
                                          : QDeadlineTimer(QDeadlineTimer::Forever);
    fetch(transfer, request.url, maxHops);
}

// One hop of a transfer, from its start: the proxy and the name, found off this thread on a clock
// of the hop's own, since Qt (6.4.2) asks the system for both on threads it waits for (the proxy
// on the caller's, as the request is made) and its idle time starts only once they are known.
void HttpClient::fetch(const std::shared_ptr<Transfer>& transfer, const QUrl& url, int hopsLeft) {
    const auto idleTimeout = transfer->request.idleTimeout;
    const auto untilDeadline =
        std::chrono::ceil<std::chrono::milliseconds>(transfer->deadline.remainingTimeAsDuration());
    const bool deadlineFirst = !transfer->deadline.isForever() && untilDeadline < idleTimeout;
    auto* waiting = new QObject(network.get());
    auto* clock = new QTimer(waiting);
    clock->setSingleShot(true);
    const auto complete = [transfer, waiting](const HttpReply& reply) {
        waiting->deleteLater();
        if (transfer->receiver) {
            transfer->completion(reply);
        }
    };
    const auto proxyFound = routes->find(url, waiting, [=, this](const RouteFinder::Route& route) {
        // Whichever comes first, the route or the clock, ends the wait.
        if (!clock->isActive()) {
            return;
        }
        clock->stop();
        using Outcome = RouteFinder::Route::Outcome;
        switch (route.outcome) {
        case Outcome::Found:
            waiting->deleteLater();
            routes->use(route.proxy);
            return send(transfer, url, hopsLeft);
        case Outcome::NoSuchHost:
            return complete(failedWith(u"Host %1 not found"_s.arg(route.host)));
        case Outcome::NameServerSilent:
            return complete(failedWith(timedOut));
        case Outcome::LookupFailed:
            return complete(failedWith(route.errorDescription));
        }
    });
    QObject::connect(clock, &QTimer::timeout, waiting, [=] {
        complete(deadlineFirst ? endedBy(HttpReply::Outcome::DeadlineExceeded)
                 : *proxyFound ? failedWith(timedOut)
                               : failedWith(u"the proxy configuration did not answer in time."_s));
    });
    clock->start(deadlineFirst ? untilDeadline : idleTimeout);
}

// The hop once Qt may connect: its own reply, idle timer and body; the transfer's deadline.
void HttpClient::send(const std::shared_ptr<Transfer>& transfer, const QUrl& url, int hopsLeft) {
    QNetworkRequest networkRequest(url);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Asked for in plain: Qt would otherwise inflate a gzip answer, and a broken or cut stream
    // could still pass as a complete body.
    networkRequest.setRawHeader("Accept-Encoding", "identity");
    // Over HTTP/1.1 Qt (6.4.2) tells when each request leaves for the server, which the idle timer
    // below waits for. Its HTTP/2 handler, as its source reads, sends a request on a connection
    // already open without telling: such a request would never be timed.
    networkRequest.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    // Each hop is followed here, once the rule has taken it. Qt (6.4.2) follows a redirect on its
    // network thread and only then tells of it: a hop the rule refuses could already be asked.
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                QNetworkRequest::ManualRedirectPolicy);

    QNetworkReply* reply = network->get(networkRequest);
    // Without a bound, Qt reads the socket as fast as the server writes, far ahead of this
    // reader, and holds all of it.
    reply->setReadBufferSize(readBufferBytes);
    auto body = std::make_shared<QByteArray>();
    auto abandoned = std::make_shared<std::optional<HttpReply>>();
    const auto abandon = [reply, abandoned](HttpReply why) {
        *abandoned = std::move(why);
        reply->abort();
    };
    const qint64 maxBodyBytes = transfer->request.maxBodyBytes;

    // The idle timer runs only while the request is on the wire. Qt (6.4.2) sends six requests to
    // one host at a time and queues the rest, silently: a timer started with the request would
    // call a queued one timed out while the server was still answering the ones before it. It
    // starts when Qt connects or writes the request, and every head and every byte restarts it.
    auto* idle = new QTimer(reply);
    idle->setSingleShot(true);
    idle->setInterval(transfer->request.idleTimeout);
    QObject::connect(idle, &QTimer::timeout, reply, [abandon] { abandon(failedWith(timedOut)); });
    const auto stillAlive = [idle] {
        idle->start();
    };
    QObject::connect(reply, &QNetworkReply::socketStartedConnecting, idle, stillAlive);
    QObject::connect(reply, &QNetworkReply::requestSent, idle, stillAlive);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, idle, stillAlive);
    QObject::connect(reply, &QNetworkReply::readyRead, idle, stillAlive);

    // Read as data arrives so that an endless body is cut off at the limit, not held whole.
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, body, maxBodyBytes, abandon] {
        // Room for the whole body at once, as declared or else as much as the limit allows:
        // grown by appending, it is copied whole at every doubling, with both copies resident
        // meanwhile, and the last copy of a large script can fall in the completion and freeze
        // the window for tens of milliseconds. Pages no byte reaches are never touched, so
        // unused room costs address space, not memory.
        if (body->capacity() == 0) {
            const qint64 declared =
                reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
            body->reserve(declared > 0 ? std::min(declared, maxBodyBytes + 1) : maxBodyBytes + 1);
        }
        // Only what has arrived: read(n) allocates n bytes before reading, so asking for up to
        // the limit would map a fresh buffer of the limit's size for every chunk.
        body->append(
            reply->read(std::min(reply->bytesAvailable(), maxBodyBytes + 1 - body->size())));
        if (body->size() > maxBodyBytes) {
            abandon(endedBy(HttpReply::Outcome::TooLarge));
        }
    });
    if (!transfer->deadline.isForever()) {
        QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(
                               transfer->deadline.remainingTimeAsDuration()),
                           reply,
                           [abandon] { abandon(endedBy(HttpReply::Outcome::DeadlineExceeded)); });
    }
    QObject::connect(reply, &QNetworkReply::finished, reply, [=, this] {
        reply->deleteLater();
        // When the receiver is gone by then, the answer is dropped unread.
        if (!transfer->receiver) {
            return;
        }
        const QVariant target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
        if (const QUrl next = url.resolved(target.toUrl()); !*abandoned && target.isValid()) {
            const auto& accepts = transfer->request.acceptsRedirect;
            if (accepts ? !accepts(url, next) : !staysSecure(url, next)) {
                return transfer->completion(endedBy(HttpReply::Outcome::RedirectRefused));
            }
            if (hopsLeft == 0) {
                return transfer->completion(failedWith(u"the server redirected too often."_s));
            }
            return fetch(transfer, next, hopsLeft - 1);
        }
        // An aborted reply is closed: nothing is left to read.
        if (!*abandoned && reply->isOpen()) {
            body->append(reply->readAll());
        }
        transfer->completion(finishedReply(*reply, std::move(*body), *abandoned));
    });
}
