// Prints one table: how soon the window first paints after a cold start, against a bare Qt window
// of the same size with five group boxes; how fast a very long version is shown and how fast the
// window answers afterwards; what a download costs in memory against a server that writes without
// waiting; and how fast a script installs from a server on this machine. Each figure is the median
// of several runs, each in a fresh process, so that one run's peak does not hide the next. Run it
// through scripts/bench.sh, on a quiet machine.

#include "ContentView.h"
#include "FakePlatformServices.h"
#include "FloodServer.h"
#include "HttpTestServer.h"
#include "InstallerWindow.h"
#include "QtPlatformServices.h"
#include "Translation.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QProcess>
#include <QPushButton>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

constexpr qint64 mebibyte = 1024 * 1024;
constexpr qint64 scriptCap = 64 * mebibyte;
constexpr int runs = 5;
constexpr int coldRuns = 15;

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
    server.handler = [&](const QByteArray& target, QTcpSocket& socket) {
        socket.write(target.startsWith("/latest.json")
                         ? HttpTestServer::answer(200, R"({"version":"1.0","script_url":")" +
                                                           server.url(u"/s.py"_s).toEncoded() +
                                                           R"("})")
                         : HttpTestServer::answer(200, script));
    };
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

// The child of one cold start: the installer's window as its main() builds it, or the floor, a
// bare window of the same size with five group boxes. It says so on standard output when the
// first paint of any of its widgets begins, and ends there: what the launcher measures is the time
// until then.
int coldStart(int argc, char* argv[], bool installer) {
    QApplication application(argc, argv);
    std::unique_ptr<QTranslator> translation;
    std::optional<QtPlatformServices> platform;
    std::optional<ZEPHInstallerApp> app;
    QWidget floor;
    QWidget* window = &floor;
    if (installer) {
        translation = installTranslation(QLocale());
        window = app.emplace(platform.emplace()).openWindow();
    } else {
        auto* boxes = new QVBoxLayout(&floor);
        for (int box = 0; box < 5; ++box) {
            boxes->addWidget(new QGroupBox);
        }
        floor.setFixedSize(560, 720);
    }
    struct FirstPaint : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                std::fputs("painted\n", stdout);
                std::fflush(stdout);
                std::_Exit(0);
            }
            return false;
        }
    } firstPaint;
    // Whichever widget paints first: the installer's window is covered by its content, which paints
    // in its place.
    application.installEventFilter(&firstPaint);
    window->show();
    return application.exec();
}

// A manifest whose version has `length` characters arrives; prints the milliseconds until the
// window has been drawn with it, then those from a click on "Check status" to its drawing.
int versionRun(int argc, char* argv[], int length) {
    QApplication application(argc, argv);
    FakePlatformServices platform;
    InstallerWindow window(platform);
    window.show();
    while (platform.processRuns.isEmpty()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const QByteArray manifest =
        R"({"version":")" + QByteArray(length, 'x') + R"(","script_url":""})";
    QElapsedTimer clock;
    clock.start();
    platform.answer({HttpReply::Outcome::Answered, {}, 200, manifest}, 0);
    window.repaint();
    const double shown = clock.nsecsElapsed() / 1e6;
    QPushButton* checkStatus = nullptr;
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        checkStatus = button->text() == "Check status"_L1 ? button : checkStatus;
    }
    clock.restart();
    checkStatus->click();
    window.repaint();
    QTextStream(stdout) << shown << ' ' << clock.nsecsElapsed() / 1e6 << '\n';
    return 0;
}

// Milliseconds from the launch of a cold start to its first paint.
double coldStartMs(const QString& subject) {
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {u"cold"_s, subject});
    if (!child.waitForReadyRead(30000)) {
        qFatal("cold start of %s failed", qPrintable(subject));
    }
    const double milliseconds = clock.nsecsElapsed() / 1e6;
    child.waitForFinished();
    return milliseconds;
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
    if (argc == 3 && std::strcmp(argv[1], "cold") == 0) {
        return coldStart(argc, argv, std::strcmp(argv[2], "installer") == 0);
    }
    if (argc == 3 && std::strcmp(argv[1], "version") == 0) {
        return versionRun(argc, argv, std::atoi(argv[2]));
    }
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.value(0) == "flood"_L1) {
        return floodRun();
    }
    if (arguments.value(0) == "install"_L1) {
        return installRun(arguments.value(1).toInt());
    }

    // In turn, so that a drift over the series meets both alike; one unmeasured pair first warms
    // the caches.
    QList<double> installer, bare;
    for (int run = 0; run <= coldRuns; ++run) {
        const double installerMs = coldStartMs(u"installer"_s), bareMs = coldStartMs(u"bare"_s);
        if (run > 0) {
            installer << installerMs;
            bare << bareMs;
        }
    }
    const QList<double> longVersion = medians({u"version"_s, u"500000"_s});
    const QList<double> shortVersion = medians({u"version"_s, u"5"_s});
    const QList<double> flood = medians({u"flood"_s});
    const double install = medians({u"install"_s, u"16"_s}).value(0);
    const double target = double(scriptCap) / mebibyte + 32;
    QTextStream out(stdout);
    out << u"| Figure | Measured | Target | Met |\n|---|---|---|---|\n"_s;
    const double installerMs = median(installer), bareMs = median(bare);
    out << u"| Cold start to first paint | %1 ms (a bare window of five group boxes: %2 ms), %3 × | ≤ 1.05 × | %4 |\n"_s
               .arg(installerMs, 0, 'f', 1)
               .arg(bareMs, 0, 'f', 1)
               .arg(installerMs / bareMs, 0, 'f', 2)
               .arg(installerMs <= 1.05 * bareMs ? u"met"_s : u"missed"_s);
    out << u"| Showing a version of 500,000 characters | %1 ms | < 100 ms | %2 |\n"_s
               .arg(longVersion.value(0), 0, 'f', 1)
               .arg(longVersion.value(0) < 100 ? u"met"_s : u"missed"_s);
    out << u"| A click on Check status after it | %1 ms (after a 5-character version: %2 ms) | as fast | %3 |\n"_s
               .arg(longVersion.value(1), 0, 'f', 1)
               .arg(shortVersion.value(1), 0, 'f', 1)
               .arg(longVersion.value(1) <= 1.2 * shortVersion.value(1) + 1 ? u"met"_s
                                                                            : u"missed"_s);
    out << u"| Hostile server: peak memory growth, 64 MiB-capped download | %1 MiB | ≤ %2 MiB | %3 |\n"_s
               .arg(flood.value(0), 0, 'f', 1)
               .arg(target)
               .arg(flood.value(0) <= target ? u"met"_s : u"missed"_s);
    out << u"| Hostile server: bytes it got to send | %1 MiB | — | — |\n"_s.arg(flood.value(1), 0,
                                                                                'f', 1);
    out << u"| Install of a 16 MiB script from this machine | %1 MiB/s | — | — |\n"_s.arg(
        install, 0, 'f', 1);
    out << u"\nMedians of %1 runs (%2 cold starts of each), each in a fresh process.\n"_s.arg(runs)
               .arg(coldRuns);
    return 0;
}
