#include "LoopbackRedirect.h"

#include "HttpTestServer.h"

using namespace Qt::StringLiterals;

LoopbackRedirect::LoopbackRedirect(PlatformServices& real, const HttpTestServer& server)
    : real(real)
    , server(server) {}

void LoopbackRedirect::get(const HttpRequest& request, QObject* receiver,
                           HttpCompletion completion) {
    HttpRequest redirected = request;
    if (redirected.url.host() != "127.0.0.1"_L1) {
        redirected.url.setScheme(u"http"_s);
        redirected.url.setHost(u"127.0.0.1"_s);
        redirected.url.setPort(server.serverPort());
    }
    real.get(redirected, receiver, std::move(completion));
}

ProcessResult LoopbackRedirect::run(const ProcessRequest& request) {
    return real.run(request);
}

QString LoopbackRedirect::homeDirectory() const {
    return real.homeDirectory();
}

bool LoopbackRedirect::exists(const QString& path) const {
    return real.exists(path);
}

std::optional<QByteArray> LoopbackRedirect::readFile(const QString& path) const {
    return real.readFile(path);
}

FileStatus LoopbackRedirect::createFolder(const QString& path, FileAccess access) {
    return real.createFolder(path, access);
}

FileStatus LoopbackRedirect::writeFileAtomically(const QString& path, const QByteArray& bytes,
                                                 FileAccess access) {
    return real.writeFileAtomically(path, bytes, access);
}

void LoopbackRedirect::openInDefaultApplication(const QUrl& url) {
    real.openInDefaultApplication(url);
}

void LoopbackRedirect::quit() {
    real.quit();
}
