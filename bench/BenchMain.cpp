// Measures the installer against a floor built from bare Qt and prints one table; each figure is
// the median of runs taken in turn with its floor's. Run it through scripts/bench.sh.
//
// `zeph_bench installer|bare|styled <width> <height>` is one cold start, watched from outside:
// the installer built as app/main.cpp does, its manifest request sent to a loopback server, or
// the floor: stock Qt widgets with the installer's texts at that size (the installer ignores it),
// in the application font or in its text styles, doing the same start-up work with bare Qt. It
// prints one line: the monotonic times of the first paint and of start-up done, the peak resident
// set in KiB, the widget count, width and height.

#include "ContentView.h"
#include "InstallerWindow.h"
#include "LoopbackRedirect.h"
#include "LoopbackServer.h"
#include "QtPlatformServices.h"
#include "ResolveManifest.h"
#include "Translation.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// CLOCK_MONOTONIC, one clock for every process: the driver's time before a launch and the times
// the child prints can be subtracted.
qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The cold-start child.

// VmHWM from /proc/self/status, in KiB.
qint64 peakResidentKiB() {
    QFile status(u"/proc/self/status"_s);
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:")) {
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
            }
        }
    }
    return -1;
}

// Watches a window's start-up through an event filter on it. Start-up is done once the manifest
// has been applied and the work queued from the first paint has run; the probe then prints its
// line and quits with 0, or 2 when `startedWell` says the start-up measured something else.
class StartupProbe : public QObject {
    Q_OBJECT

public:
    // `onFirstPaint` runs as the first paint begins, where the installer's window queues its
    // start-up.
    StartupProbe(QWidget& window, std::function<void()> onFirstPaint,
                 std::function<bool()> startedWell)
        : window(window)
        , onFirstPaint(std::move(onFirstPaint))
        , startedWell(std::move(startedWell)) {
        window.installEventFilter(this);
    }

    void manifestApplied() {
        if (manifestAppliedAt == 0) {
            manifestAppliedAt = nowNs();
            finishWhenDone();
        }
    }

    // The filter sees the paint before the window: a call queued here runs after the frame is
    // painted and ahead of what the window queues from its paint; one queued from that call runs
    // after the window's queued work.
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && onFirstPaint) {
            QMetaObject::invokeMethod(this, &StartupProbe::painted, Qt::QueuedConnection);
            std::exchange(onFirstPaint, nullptr)();
        }
        return false;
    }

private:
    void painted() {
        paintedAt = nowNs();
        QMetaObject::invokeMethod(this, &StartupProbe::queuedWorkRan, Qt::QueuedConnection);
    }

    void queuedWorkRan() {
        queuedWorkRanAt = nowNs();
        finishWhenDone();
    }

    void finishWhenDone() {
        if (queuedWorkRanAt == 0 || manifestAppliedAt == 0) {
            return;
        }
        std::printf("%lld %lld %lld %lld %d %d\n", static_cast<long long>(paintedAt),
                    static_cast<long long>(std::max(queuedWorkRanAt, manifestAppliedAt)),
                    static_cast<long long>(peakResidentKiB()),
                    static_cast<long long>(window.findChildren<QWidget*>().size() + 1),
                    window.width(), window.height());
        std::fflush(stdout);
        QCoreApplication::exit(startedWell() ? 0 : 2);
    }

    QWidget& window;
    std::function<void()> onFirstPaint;
    std::function<bool()> startedWell;
    qint64 paintedAt = 0;
    qint64 queuedWorkRanAt = 0;
    qint64 manifestAppliedAt = 0;
};

// The installer's text styles: a size relative to the application font and a weight.
struct Style {
    qreal scale = 1.0;
    QFont::Weight weight = QFont::Normal;
};
constexpr Style body;
constexpr Style title{1.35, QFont::Bold};
constexpr Style headline{1.0, QFont::DemiBold};
constexpr Style callout{0.92};
constexpr Style footnote{0.85};

// The floor: stock Qt widgets of about the installer's number, with its texts, at a fixed size.
int showBare(const LoopbackServer& server, QSize size, bool styled) {
    QWidget window;
    // Running text wraps, as in the installer; titles and badges do not.
    const auto label = [styled](const QString& text, Style style, QWidget* parent,
                                bool wraps = true) {
        auto* label = new QLabel(text, parent);
        label->setWordWrap(wraps);
        if (styled && (style.scale != 1.0 || style.weight != QFont::Normal)) {
            QFont font;
            font.setPointSizeF(QApplication::font().pointSizeF() * style.scale);
            font.setWeight(style.weight);
            label->setFont(font);
        }
        return label;
    };
    auto* rows = new QVBoxLayout(&window);
    rows->addWidget(label(u"Lumerra × Resolve Installer"_s, title, &window, false));
    rows->addWidget(
        label(u"Installs the Resolve script and saves your token. No Terminal."_s, body, &window));
    auto* divider = new QFrame(&window);
    divider->setFrameShape(QFrame::HLine);
    rows->addWidget(divider);
    // A section's box; returns its first line.
    const auto section = [&](const QString& name, const QString& badge,
                             const QList<std::pair<QString, Style>>& lines,
                             const QStringList& buttons, bool textField = false) {
        auto* box = new QGroupBox(&window);
        auto* boxRows = new QVBoxLayout(box);
        auto* titleRow = new QHBoxLayout;
        titleRow->addWidget(label(name, headline, box, false));
        titleRow->addStretch();
        titleRow->addWidget(label(badge, body, box, false));
        boxRows->addLayout(titleRow);
        QList<QLabel*> shown;
        for (const auto& [text, style] : lines) {
            shown.append(label(text, style, box));
            boxRows->addWidget(shown.last());
        }
        if (textField) {
            auto* field = new QLineEdit(box);
            field->setPlaceholderText(u"Paste token here…"_s);
            boxRows->addWidget(field);
        }
        auto* buttonRow = new QHBoxLayout;
        for (const QString& button : buttons) {
            buttonRow->addWidget(new QPushButton(button, box));
        }
        buttonRow->addStretch();
        boxRows->addLayout(buttonRow);
        rows->addWidget(box);
        return shown.first();
    };
    const QString home = QDir::homePath();
    QLabel* version =
        section(u"Script version"_s, u"—"_s, {{u"Loading…"_s, body}}, {u"Refresh version"_s});
    QLabel* python =
        section(u"Python"_s, u"Required"_s,
                {{u"Checking…"_s, body},
                 {u"DaVinci Resolve needs Python installed to run scripts."_s, footnote}},
                {u"Install Python"_s, u"Re-check"_s});
    section(u"Resolve Script"_s, {},
            {{u"Installs the latest script into Resolve’s Scripts folder."_s, body},
             {home + u"/Library/Application Support/Blackmagic Design/DaVinci Resolve/Fusion/"
                     "Scripts/Utility/ZEPH_Export_Gallery_Stills.py"_s,
              footnote}},
            {u"Install Script"_s, u"Open Scripts Folder"_s});
    section(u"Resolve API Token"_s, {},
            {{u"Copy it from Lumerra → Account → Resolve API Token"_s, body},
             {home + u"/.zeph/resolve_token.txt"_s, footnote}},
            {u"Save Token"_s, u"Open Token File"_s}, true);
    section(u"Finish"_s, {},
            {{u"Restart DaVinci Resolve, then run:"_s, body},
             {u"Workspace → Scripts → Utility → ZEPH_Export_Gallery_Stills"_s, callout},
             {u"Close is enabled once Python is detected, the script is installed, and the "
              "token is saved."_s,
              footnote}},
            {u"Check status"_s, u"Close"_s});
    rows->addStretch();
    rows->addWidget(label(u"Ready."_s, footnote, &window));
    window.setFixedSize(size);

    // The installer's start-up with bare Qt: fetch the manifest, run `python3 --version`.
    QNetworkAccessManager network;
    const auto startUp = [&](StartupProbe& probe) {
        QNetworkReply* reply = network.get(QNetworkRequest(server.http().url(u"/latest.json"_s)));
        QObject::connect(reply, &QNetworkReply::finished, &window, [&, reply] {
            const QJsonObject manifest = QJsonDocument::fromJson(reply->readAll()).object();
            version->setText(manifest.value("version"_L1).toString());
            reply->deleteLater();
            probe.manifestApplied();
        });
        QProcess process;
        process.start(u"/usr/bin/env"_s, {u"python3"_s, u"--version"_s});
        process.waitForFinished();
        python->setText(QString::fromUtf8(process.readAll()).trimmed());
    };
    StartupProbe probe(
        window, [&] { QTimer::singleShot(0, &window, [&] { startUp(probe); }); },
        [] { return true; });
    window.show();
    return QApplication::exec();
}

int showInstaller(const LoopbackServer& server) {
    const auto translation = installTranslation(QLocale());
    QtPlatformServices real;
    LoopbackRedirect platform(real, server.http());
    ZEPHInstallerApp installer(platform);
    // Shown, but painted only once the event loop runs.
    InstallerWindow* window = installer.openWindow();
    const ContentView& view = window->contentView();
    StartupProbe probe(
        *window, [] {},
        [&view] {
            return view.state().pythonInstalled && view.state().manifestVersion == "1.4.0"_L1;
        });
    QObject::connect(&view, &ContentView::changed, &probe, [&view, &probe] {
        if (view.state().manifestStatus != u"Loading…"_s) {
            probe.manifestApplied();
        }
    });
    return QApplication::exec();
}

// One cold start (see the top of this file).
int runWindow(int argc, char* argv[]) {
    const bool bare = argc > 3 && qstrcmp(argv[1], "installer") != 0;
    const bool styled = qstrcmp(argv[1], "styled") == 0;
    QApplication application(argc, argv);
    LoopbackServer server;
    server.serve({}, R"({"version":"1.4.0","script_url":")" +
                         server.http().url(u"/script.py"_s).toEncoded() + R"("})");
    return bare ? showBare(server, QSize(std::atoi(argv[2]), std::atoi(argv[3])), styled)
                : showInstaller(server);
}

// The driver.

constexpr int coldStartRuns = 21;
constexpr int xcbColdStartRuns = 9;
constexpr int installRuns = 11;
constexpr int largeInstallRuns = 9;
constexpr int gapRuns = 11;
constexpr int decodeRuns = 7;
constexpr int waitLimitMs = 60'000;
constexpr qsizetype mebibyte = 1024 * 1024;

// Figure, installer, floor, ratio, target, met.
using Row = std::array<QString, 6>;

double millisecondsBetween(qint64 startNs, qint64 endNs) {
    return static_cast<double>(endNs - startNs) / 1e6;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 == 1 ? values.at(middle)
                                  : (values.at(middle - 1) + values.at(middle)) / 2;
}

QString number(double value, int decimals = 1) {
    return QString::number(value, 'f', decimals);
}

QString met(bool met) {
    return met ? u"met"_s : u"MISSED"_s;
}

Row ratioRow(const QString& figure, double installer, double floor, const QString& target = u"—"_s,
             const QString& met = u"—"_s) {
    return {figure, number(installer), number(floor), number(installer / floor, 2) + u"×"_s, target,
            met};
}

void printTable(const QList<Row>& rows, const QStringList& notes) {
    const QList<Row> lines =
        QList<Row>{{u"Figure"_s, u"Installer"_s, u"Floor"_s, u"Ratio"_s, u"Target"_s, u"Met"_s}} +
        rows;
    std::array<qsizetype, 6> widths{};
    for (const Row& cells : lines) {
        for (size_t column = 0; column < cells.size(); ++column) {
            widths[column] = std::max(widths[column], cells[column].size());
        }
    }
    QTextStream out(stdout);
    for (const Row& cells : lines) {
        // Figures are names, read from the left; the rest are numbers, lined up on the right.
        QString line = cells[0].leftJustified(widths[0]);
        for (size_t column = 1; column < cells.size(); ++column) {
            line += u"  "_s + cells[column].rightJustified(widths[column]);
        }
        out << line << '\n';
    }
    for (const QString& note : notes) {
        out << note << '\n';
    }
}

QString loadAverage() {
    QFile file(u"/proc/loadavg"_s);
    return file.open(QIODevice::ReadOnly)
               ? QString::fromLatin1(file.readAll().split(' ').mid(0, 3).join(' '))
               : u"unknown"_s;
}

// A python3 that answers at once, first on PATH, and an empty home for the installer's files.
// Without a runtime folder, Qt warns once per process; the bin folder is 0700 as such a folder
// must be.
bool prepareEnvironment(const QTemporaryDir& home, const QTemporaryDir& bin) {
    QFile python(QDir(bin.path()).filePath(u"python3"_s));
    if (!python.open(QIODevice::WriteOnly) ||
        python.write("#!/bin/sh\necho 'Python 3.12.4'\n") < 0 ||
        !python.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        return false;
    }
    qputenv("HOME", QFile::encodeName(home.path()));
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(bin.path()));
    }
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + qgetenv("PATH"));
    // No window system's timing in the figures, unless a row asks for one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}

// Cold starts: each launch a fresh process of this program (see the top of this file).

enum Subject { Installer, Bare, Styled };

struct Launch {
    double firstPaintMs = 0;
    double startUpMs = 0;
    double peakMiB = 0;
    int widgets = 0;
    QSize window;
};

std::optional<Launch> launch(const QString& platform, Subject subject, QSize size) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, platform);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString mode = std::array{u"installer"_s, u"bare"_s, u"styled"_s}.at(subject);
    const qint64 launchedAt = nowNs();
    child.start(QCoreApplication::applicationFilePath(),
                {mode, QString::number(size.width()), QString::number(size.height())});
    const QList<QByteArray> fields = child.waitForFinished(30'000)
                                         ? child.readAllStandardOutput().trimmed().split(' ')
                                         : QList<QByteArray>{};
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || fields.size() != 6) {
        std::fprintf(stderr, "zeph_bench: the %s launch on %s failed (exit code %d)\n",
                     qPrintable(mode), qPrintable(platform), child.exitCode());
        return std::nullopt;
    }
    return Launch{millisecondsBetween(launchedAt, fields[0].toLongLong()),
                  millisecondsBetween(launchedAt, fields[1].toLongLong()),
                  static_cast<double>(fields[2].toLongLong()) / 1024.0, fields[3].toInt(),
                  QSize(fields[4].toInt(), fields[5].toInt())};
}

// Each of `measures` `runs` times, in turn, the first to go rotating from run to run so that a
// drift over the series meets all alike; the results of each, in the order given.
template <typename Result>
QList<QList<Result>> inTurn(int runs, const QList<std::function<Result()>>& measures) {
    QList<QList<Result>> results(measures.size());
    for (int run = 0; run < runs; ++run) {
        for (qsizetype turn = 0; turn < measures.size(); ++turn) {
            const qsizetype measure = (run + turn) % measures.size();
            results[measure].append(measures[measure]());
        }
    }
    return results;
}

// One unmeasured launch of each subject to warm the disk and font caches, then `runs` of each in
// turn, the floors at the size the installer's window took. False when a launch failed.
bool addColdStartRows(QList<Row>& rows, QStringList& notes, const QString& platform, int runs,
                      int subjects) {
    bool failed = false;
    QSize size;
    QList<std::function<Launch()>> launchers;
    for (const Subject subject : {Installer, Bare, Styled}) {
        launchers.append([&, subject] {
            const auto launched = failed ? std::nullopt : launch(platform, subject, size);
            failed = !launched;
            return launched.value_or(Launch{});
        });
    }
    launchers.resize(subjects);
    size = launchers[Installer]().window;
    for (int subject = Bare; subject < subjects; ++subject) {
        launchers[subject]();
    }
    const QList<QList<Launch>> launches = inTurn(runs, launchers);
    if (failed) {
        return false;
    }
    const auto medianOf = [&launches](Subject subject, double Launch::*figure) {
        QList<double> values;
        for (const Launch& launch : launches[subject]) {
            values.append(launch.*figure);
        }
        return median(values);
    };
    const double paint = medianOf(Installer, &Launch::firstPaintMs);
    const double paintBare = medianOf(Bare, &Launch::firstPaintMs);
    rows.append(ratioRow(u"Cold start to first paint, %1 (ms)"_s.arg(platform), paint, paintBare,
                         u"≤ 1.15×"_s, met(paint <= 1.15 * paintBare)));
    if (subjects > Styled) {
        rows.append(ratioRow(u"  against the floor in the installer's text styles"_s, paint,
                             medianOf(Styled, &Launch::firstPaintMs)));
    }
    rows.append(ratioRow(u"Cold start to start-up done, %1 (ms)"_s.arg(platform),
                         medianOf(Installer, &Launch::startUpMs),
                         medianOf(Bare, &Launch::startUpMs)));
    if (platform == "offscreen"_L1) {
        const double peak = medianOf(Installer, &Launch::peakMiB);
        const double peakBare = medianOf(Bare, &Launch::peakMiB);
        rows.append({u"Peak resident set, offscreen (MiB)"_s, number(peak), number(peakBare),
                     u"+"_s + number(peak - peakBare) + u" MiB"_s, u"≤ +8 MiB"_s,
                     met(peak - peakBare <= 8)});
        notes.append(u"Widgets: installer %1, bare window %2."_s.arg(launches[Installer][0].widgets)
                         .arg(launches[Bare][0].widgets));
    }
    return true;
}

// Installs and stalls, on a live installer window of this process: its view's actions are called
// as its buttons would call them, and their effects read from its state.

// Runs the event loop until `done` holds after a change of the view; the time it first held.
qint64 waitForView(ContentView& view, const std::function<bool()>& done) {
    qint64 doneAt = 0;
    QEventLoop loop;
    QObject::connect(&view, &ContentView::changed, &loop, [&] {
        if (doneAt == 0 && done()) {
            doneAt = nowNs();
            loop.quit();
        }
    });
    QTimer::singleShot(waitLimitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return doneAt;
}

// Outside the clock, as deleting a large file takes a few milliseconds: each install then starts
// without the script file, so that installedScript goes from false to true.
void removeScript(ContentView& view) {
    QFile::remove(view.scriptFileURL());
    view.checkInstalledScript();
}

// Click to installedScript true; negative when the install failed.
double installMs(ContentView& view, qsizetype bytes) {
    const qint64 clickedAt = nowNs();
    view.installScript();
    const qint64 installedAt = waitForView(
        view, [&view] { return view.state().installedScript || !view.state().isWorking; });
    if (!view.state().installedScript || QFileInfo(view.scriptFileURL()).size() != bytes) {
        return -1;
    }
    return millisecondsBetween(clickedAt, installedAt);
}

// The floor: the same bytes fetched with a bare GET and written with QSaveFile to the same file.
double floorMs(QNetworkAccessManager& network, ContentView& view, qsizetype bytes) {
    QEventLoop loop;
    qint64 writtenAt = 0;
    const qint64 startedAt = nowNs();
    QNetworkReply* reply = network.get(QNetworkRequest(view.state().manifestScriptURL.value()));
    QObject::connect(reply, &QNetworkReply::finished, &loop, [&] {
        QSaveFile file(view.scriptFileURL());
        if (file.open(QIODevice::WriteOnly) && file.write(reply->readAll()) == bytes &&
            file.commit()) {
            writtenAt = nowNs();
        }
        reply->deleteLater();
        loop.quit();
    });
    QTimer::singleShot(waitLimitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return writtenAt == 0 ? -1 : millisecondsBetween(startedAt, writtenAt);
}

// The longest gap between ticks of a 5 ms main-thread timer around `action`: the longest the
// window was frozen. Quiet time on each side lets a stall at its start or end be seen whole.
double longestStallMs(const std::function<void()>& action) {
    QTimer timer;
    timer.setInterval(5);
    timer.setTimerType(Qt::PreciseTimer);
    qint64 lastTickAt = nowNs();
    qint64 longestGap = 0;
    const auto tick = [&] {
        const qint64 now = nowNs();
        longestGap = std::max(longestGap, now - lastTickAt);
        lastTickAt = now;
    };
    QObject::connect(&timer, &QTimer::timeout, tick);
    const auto quiet = [] {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    };
    timer.start();
    quiet();
    action();
    quiet();
    tick();
    return static_cast<double>(longestGap) / 1e6;
}

// The median of each measure's results, taken in turn.
QList<double> mediansInTurn(int runs, const QList<std::function<double()>>& measures) {
    QList<double> medians;
    for (const QList<double>& results : inTurn(runs, measures)) {
        medians.append(median(results));
    }
    return medians;
}

// Bodies decoded per second by ResolveManifest::decode, in turn, over about `milliseconds`.
double decodedPerSecond(const QList<QByteArray>& bodies, int milliseconds) {
    qint64 decoded = 0;
    const qint64 startedAt = nowNs();
    qint64 now = startedAt;
    while (millisecondsBetween(startedAt, now) < milliseconds) {
        for (int i = 0; i < 256; ++i) {
            ResolveManifest::decode(bodies.at(decoded++ % bodies.size()));
        }
        now = nowNs();
    }
    return static_cast<double>(decoded) / (static_cast<double>(now - startedAt) / 1e9);
}

int runBench(int argc, char* argv[]) {
    const QTemporaryDir home;
    const QTemporaryDir bin;
    if (!home.isValid() || !bin.isValid() || !prepareEnvironment(home, bin)) {
        std::fprintf(stderr, "zeph_bench: cannot prepare the temporary home and python3\n");
        return 1;
    }
    QApplication application(argc, argv);
    QList<Row> rows;
    QStringList notes{u"Load average at the start: %1."_s.arg(loadAverage())};

    if (!addColdStartRows(rows, notes, u"offscreen"_s, coldStartRuns, 3)) {
        return 1;
    }
    // Under a virtual X server, rows for the xcb platform plugin.
    if (qEnvironmentVariableIsSet("DISPLAY") &&
        !addColdStartRows(rows, notes, u"xcb"_s, xcbColdStartRuns, 2)) {
        notes.append(u"No xcb rows: the window could not be shown on the X display."_s);
    }

    // What earlier work left for the disk to write back (a build, say) would otherwise be
    // flushed in the middle of the installs, whose commits wait for the disk.
    ::sync();
    LoopbackServer server;
    QtPlatformServices real;
    LoopbackRedirect platform(real, server.http());
    ZEPHInstallerApp installer(platform);
    InstallerWindow* window = installer.openWindow();
    ContentView& view = window->contentView();
    waitForView(view, [&view] {
        return view.state().pythonStatus != u"Checking…"_s &&
               view.state().manifestStatus != u"Loading…"_s;
    });
    const auto refreshManifest = [&view] {
        view.fetchManifest();
        waitForView(view, [&view] { return view.state().manifestStatus != u"Loading…"_s; });
    };
    QNetworkAccessManager network;
    for (const auto& [bytes, label, runs] :
         {std::tuple{qsizetype{1024}, u"1 KiB"_s, installRuns},
          std::tuple{1 * mebibyte, u"1 MiB"_s, installRuns},
          std::tuple{32 * mebibyte, u"32 MiB"_s, largeInstallRuns}}) {
        const QByteArray path = "/script-" + QByteArray::number(bytes) + ".py";
        const QByteArray line = "print(\"ZEPH export gallery stills\")  # padding to size\n"_ba;
        QByteArray script = line.repeated(bytes / line.size() + 1);
        script.truncate(bytes);
        server.serve(path, script);
        server.serve({}, R"({"version":"1.4.0","script_url":")" +
                             server.http().url(QString::fromLatin1(path)).toEncoded() + R"("})");
        refreshManifest();
        const auto install = [&, bytes] {
            removeScript(view);
            return installMs(view, bytes);
        };
        const auto floor = [&, bytes] {
            removeScript(view);
            return floorMs(network, view, bytes);
        };
        // Once without the clock: the first request of a size warms the connection and caches.
        if (!view.state().manifestScriptURL || install() < 0 || floor() < 0) {
            std::fprintf(stderr, "zeph_bench: installing the %s script failed\n",
                         qPrintable(label));
            return 1;
        }
        const QList<double> times = mediansInTurn(runs, {install, floor});
        const double installed = times[0];
        const double floored = times[1];
        if (bytes < 32 * mebibyte) {
            rows.append(
                ratioRow(u"Install %1, click to installed (ms)"_s.arg(label), installed, floored));
        } else {
            rows.append(ratioRow(u"Install %1, click to installed (ms)"_s.arg(label), installed,
                                 floored, u"≤ 1.3×"_s, met(installed <= 1.3 * floored)));
            const QList<double> stalls = mediansInTurn(
                gapRuns, {[&] {
                              removeScript(view);
                              return longestStallMs([&] { installMs(view, bytes); });
                          },
                          [&] {
                              removeScript(view);
                              return longestStallMs([&] { floorMs(network, view, bytes); });
                          }});
            rows.append(ratioRow(u"Longest stall, 32 MiB install (ms)"_s, stalls[0], stalls[1],
                                 u"≤ 50 ms"_s, met(stalls[0] <= 50)));
        }
    }
    const double refreshStall = mediansInTurn(gapRuns, {[&] {
                                                  return longestStallMs(refreshManifest);
                                              }})[0];
    rows.append({u"Longest stall, manifest refresh (ms)"_s, number(refreshStall), u"—"_s, u"—"_s,
                 u"≤ 50 ms"_s, met(refreshStall <= 50)});

    // A manifest as published, and bodies that are none: a proxy's error page, broken JSON, a
    // missing key and a value of the wrong type.
    const QList<QByteArray> valid{
        R"({"version":"1.4.0","script_url":"https://zeph-resolve.supabase.co/storage/v1/)"
        R"(object/public/resolve/ZEPH_Export_Gallery_Stills.py"})"};
    const QList<QByteArray> invalid{
        "<html><head><title>502 Bad Gateway</title></head><body>Bad Gateway</body></html>",
        R"({"version":"1.4.0","script_url":"https://zeph-resolve.supabase.co/s)",
        R"({"version":"1.4.0"})", R"({"version":140,"script_url":"https://example.com/s.py"})"};
    for (const auto& [label, bodies] :
         {std::pair{u"valid"_s, valid}, std::pair{u"invalid"_s, invalid}}) {
        const double rate = mediansInTurn(decodeRuns, {[&] {
                                              return decodedPerSecond(bodies, 200);
                                          }})[0];
        rows.append({u"Manifests decoded per second, %1"_s.arg(label), number(rate, 0), u"—"_s,
                     u"—"_s, u"—"_s, u"—"_s});
    }

    notes.append(QString::asprintf(
        "Window: %d×%d. Medians of %d cold starts (%d on xcb), %d installs (%d at 32 MiB), %d "
        "stall runs, %d decoding runs of 200 ms.",
        window->width(), window->height(), coldStartRuns, xcbColdStartRuns, installRuns,
        largeInstallRuns, gapRuns, decodeRuns));
    notes.append(u"Load average at the end: %1."_s.arg(loadAverage()));
    printTable(rows, notes);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    return argc > 1 ? runWindow(argc, argv) : runBench(argc, argv);
}

#include "BenchMain.moc"
