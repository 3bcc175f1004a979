// Prints one table: what a download costs in memory against a server that writes without
// waiting, and how fast a script installs from a server on this machine. Each figure is the
// median of several runs, each in a fresh process, so that one run's peak does not hide the next.
// Run it through scripts/bench.sh, on a quiet machine.

#include "ContentView.h"
#include "FloodServer.h"
#include "HttpTestServer.h"
#include "QtPlatformServices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

constexpr qint64 mebibyte = 1024 * 1024;
constexpr qint64 scriptCap = 64 * mebibyte;
constexpr int runs = 5;

// A figure from /proc/self/status ("VmRSS", "VmHWM"), in MiB.
double statusMiB(const QByteArray& key) {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key + ':')) {
            return line.mid(key.size() + 1).trimmed().split(' ').first().toDouble() / 1024;
        }
    }
    return 0;
}

// One script-sized download from a flooding server; prints "<growth MiB> <MiB the server sent>".
int floodRun() {
    FloodServer flood;
    QtPlatformServices platform;
    const double baseline = statusMiB("VmRSS");
    bool done = false;
    QObject receiver;
    platform.get({flood.url(), 30s, scriptCap, std::nullopt, {}}, &receiver,
                 [&done](const HttpReply&) { done = true; });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QTextStream(stdout) << statusMiB("VmHWM") - baseline << ' ' << double(flood.sent) / mebibyte
                        << '\n';
    return 0;
}

// Installs a script of `mebibytes` from a loopback server; prints the MiB/s from click to
// "Installed script v…".
int installRun(int mebibytes) {
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    HttpTestServer server;
    const QByteArray script(mebibytes * mebibyte, '#');
    server.setHandler([&](const HttpTestServer::Request& request, QTcpSocket& socket) {
        socket.write(request.target.startsWith("/latest.json")
                         ? HttpTestServer::answer(200, R"({"version":"1.0","script_url":")" +
                                                           server.url(u"/s.py"_s).toEncoded() +
                                                           R"("})")
                         : HttpTestServer::answer(200, script));
    });
    QtPlatformServices platform;
    ContentView view(platform, server.url(u"/latest.json"_s), QUrl(u"https://python.invalid/"_s));
    view.fetchManifest();
    while (!view.state().manifestScriptURL) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QElapsedTimer clock;
    clock.start();
    view.installScript();
    while (view.state().isWorking) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (!view.state().installedScript) {
        QTextStream(stderr) << view.state().statusText << '\n';
        return 1;
    }
    QTextStream(stdout) << mebibytes / (clock.nsecsElapsed() / 1e9) << '\n';
    return 0;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// The medians of each printed column over `runs` fresh processes of this program.
QList<double> medians(const QStringList& arguments) {
    QList<QList<double>> columns;
    for (int run = 0; run < runs; ++run) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), arguments);
        if (!child.waitForFinished(120000) || child.exitCode() != 0) {
            qFatal("benchmark run %s failed", qPrintable(arguments.join(u' ')));
        }
        const QList<QByteArray> fields = child.readAllStandardOutput().simplified().split(' ');
        columns.resize(fields.size());
        for (qsizetype i = 0; i < fields.size(); ++i) {
            columns[i] << fields.at(i).toDouble();
        }
    }
    QList<double> result;
    for (const QList<double>& column : std::as_const(columns)) {
        result << median(column);
    }
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.value(0) == "flood"_L1) {
        return floodRun();
    }
    if (arguments.value(0) == "install"_L1) {
        return installRun(arguments.value(1).toInt());
    }

    const QList<double> flood = medians({u"flood"_s});
    const double install = medians({u"install"_s, u"16"_s}).value(0);
    const double target = double(scriptCap) / mebibyte + 32;
    QTextStream out(stdout);
    out << u"| Figure | Measured | Target | Met |\n|---|---|---|---|\n"_s;
    out << u"| Hostile server: peak memory growth, 64 MiB-capped download | %1 MiB | ≤ %2 MiB | %3 |\n"_s
               .arg(flood.value(0), 0, 'f', 1)
               .arg(target)
               .arg(flood.value(0) <= target ? u"met"_s : u"missed"_s);
    out << u"| Hostile server: bytes it got to send | %1 MiB | — | — |\n"_s.arg(flood.value(1), 0,
                                                                                'f', 1);
    out << u"| Install of a 16 MiB script from this machine | %1 MiB/s | — | — |\n"_s.arg(
        install, 0, 'f', 1);
    out << u"\nMedians of %1 runs, each in a fresh process.\n"_s.arg(runs);
    return 0;
}
