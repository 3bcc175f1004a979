#include "InstallBench.h"

#include "ContentView.h"
#include "LoopbackServer.h"
#include "MonotonicClock.h"
#include "TickMonitor.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int waitLimitMs = 60'000;
// Time left on each side of an action, so that a stall at its very start or end is seen whole.
constexpr int quietMs = 20;

void spin(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QByteArray scriptOfSize(qsizetype bytes) {
    const QByteArray line = "print(\"ZEPH export gallery stills\")  # padding to size\n"_ba;
    QByteArray script;
    script.reserve(bytes);
    while (script.size() < bytes) {
        script += line.left(bytes - script.size());
    }
    return script;
}

} // namespace

InstallBench::InstallBench(LoopbackServer& server, ContentView& view)
    : server(server)
    , view(view)
    , scriptPath(view.scriptFileURL()) {}

bool InstallBench::serveScript(qsizetype bytes) {
    scriptBytes = bytes;
    const QByteArray path = "/script-" + QByteArray::number(bytes) + ".py";
    server.setFile(path, scriptOfSize(bytes));
    server.setManifest(R"({"version":"1.4.0","script_url":")" +
                       server.url(QString::fromLatin1(path)).toEncoded() + R"("})");
    view.fetchManifest();
    waitForView([this] { return view.state().manifestStatus != u"Loading…"_s; });
    // Once without the clock: the first request of a size warms the connection and the caches.
    return view.state().manifestScriptURL.has_value() && installMs() >= 0 && floorMs() >= 0;
}

double InstallBench::installMs() {
    removeScript();
    return clickToInstalledMs();
}

double InstallBench::floorMs() {
    removeScript();
    return fetchAndSaveMs();
}

double InstallBench::longestGapInstalling() {
    removeScript();
    return longestGapAround([this] { clickToInstalledMs(); });
}

double InstallBench::longestGapInFloor() {
    removeScript();
    return longestGapAround([this] { fetchAndSaveMs(); });
}

double InstallBench::clickToInstalledMs() {
    const qint64 clickedAt = monotonicNanoseconds();
    view.installScript();
    const qint64 installedAt =
        waitForView([this] { return view.state().installedScript || !view.state().isWorking; });
    if (!view.state().installedScript || QFileInfo(scriptPath).size() != scriptBytes) {
        return -1;
    }
    return millisecondsBetween(clickedAt, installedAt);
}

double InstallBench::fetchAndSaveMs() {
    QEventLoop loop;
    qint64 writtenAt = 0;
    const qint64 startedAt = monotonicNanoseconds();
    QNetworkReply* reply =
        floorNetwork.get(QNetworkRequest(view.state().manifestScriptURL.value()));
    QObject::connect(reply, &QNetworkReply::finished, &loop, [&] {
        QSaveFile file(scriptPath);
        if (file.open(QIODevice::WriteOnly) && file.write(reply->readAll()) == scriptBytes &&
            file.commit()) {
            writtenAt = monotonicNanoseconds();
        }
        reply->deleteLater();
        loop.quit();
    });
    QTimer::singleShot(waitLimitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return writtenAt == 0 ? -1 : millisecondsBetween(startedAt, writtenAt);
}

double InstallBench::longestGapRefreshing() {
    return longestGapAround([this] {
        view.fetchManifest();
        waitForView([this] { return view.state().manifestStatus != u"Loading…"_s; });
    });
}

double InstallBench::longestGapAround(const std::function<void()>& action) {
    TickMonitor monitor;
    monitor.start();
    spin(quietMs);
    action();
    spin(quietMs);
    return monitor.stop();
}

qint64 InstallBench::waitForView(const std::function<bool()>& done) {
    qint64 doneAt = 0;
    QEventLoop loop;
    QObject::connect(&view, &ContentView::changed, &loop, [&] {
        if (doneAt == 0 && done()) {
            doneAt = monotonicNanoseconds();
            loop.quit();
        }
    });
    QTimer::singleShot(waitLimitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return doneAt;
}

// Outside the clock: deleting a large file takes the file system a few milliseconds.
void InstallBench::removeScript() {
    QFile::remove(scriptPath);
    view.checkInstalledScript();
}
