// Measures the installer against a floor built from bare Qt, each figure the median of several
// runs taken side by side, and prints one table. Run it through scripts/bench.sh.

#include "ColdStartBench.h"
#include "ContentView.h"
#include "DecodeBench.h"
#include "InstallBench.h"
#include "InstallerWindow.h"
#include "LoopbackRedirect.h"
#include "LoopbackServer.h"
#include "QtPlatformServices.h"
#include "ResultTable.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int coldStartRuns = 21;
constexpr int xcbColdStartRuns = 9;
constexpr int installRuns = 11;
constexpr int largeInstallRuns = 9;
constexpr int gapRuns = 11;
constexpr int decodeRuns = 7;
constexpr qsizetype kibibyte = 1024;
constexpr qsizetype mebibyte = 1024 * kibibyte;

QString ratio(double installer, double floor) {
    return ResultTable::number(installer / floor, 2) + u"×"_s;
}

QString loadAverage() {
    QFile file(u"/proc/loadavg"_s);
    return file.open(QIODevice::ReadOnly)
               ? QString::fromLatin1(file.readAll().split(' ').mid(0, 3).join(' '))
               : u"unknown"_s;
}

// A python3 that answers at once, first on PATH, and an empty home for the installer's files.
// Without a runtime folder, Qt names a default in a warning per process; the bin folder is 0700
// as such a folder must be.
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

void spinUntil(const std::function<bool()>& done) {
    for (int waited = 0; !done() && waited < 30'000; waited += 10) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void addColdStartRows(ResultTable& table, const ColdStartBench::Comparison& runs,
                      const QString& platform) {
    const auto median = [&runs](ColdStartBench::Subject subject,
                                double ColdStartBench::Launch::*figure) {
        QList<double> values;
        for (const ColdStartBench::Launch& launch : runs[subject]) {
            values.append(launch.*figure);
        }
        return ResultTable::median(values);
    };
    using Launch = ColdStartBench::Launch;
    const double paint = median(ColdStartBench::Installer, &Launch::firstPaintMs);
    const double paintBare = median(ColdStartBench::Bare, &Launch::firstPaintMs);
    table.add({u"Cold start to first paint, %1 (ms)"_s.arg(platform), ResultTable::number(paint),
               ResultTable::number(paintBare), ratio(paint, paintBare), u"≤ 1.15×"_s,
               paint <= 1.15 * paintBare});
    if (!runs[ColdStartBench::Styled].isEmpty()) {
        const double paintStyled = median(ColdStartBench::Styled, &Launch::firstPaintMs);
        table.add({u"  against the floor in the installer's text styles"_s,
                   ResultTable::number(paint), ResultTable::number(paintStyled),
                   ratio(paint, paintStyled), u"—"_s, std::nullopt});
    }
    const double startUp = median(ColdStartBench::Installer, &Launch::startUpMs);
    const double startUpBare = median(ColdStartBench::Bare, &Launch::startUpMs);
    table.add({u"Cold start to start-up done, %1 (ms)"_s.arg(platform),
               ResultTable::number(startUp), ResultTable::number(startUpBare),
               ratio(startUp, startUpBare), u"—"_s, std::nullopt});
    if (platform == "offscreen"_L1) {
        const double peak = median(ColdStartBench::Installer, &Launch::peakMiB);
        const double peakBare = median(ColdStartBench::Bare, &Launch::peakMiB);
        table.add({u"Peak resident set, offscreen (MiB)"_s, ResultTable::number(peak),
                   ResultTable::number(peakBare),
                   u"+"_s + ResultTable::number(peak - peakBare) + u" MiB"_s, u"≤ +8 MiB"_s,
                   peak - peakBare <= 8});
        table.addNote(u"Widgets: installer %1, bare window %2."_s
                          .arg(runs[ColdStartBench::Installer].first().widgets)
                          .arg(runs[ColdStartBench::Bare].first().widgets));
    }
}

// The two measurements alternate, each going first in half of the runs.
void addPairedRow(ResultTable& table, const QString& figure, int runs,
                  const std::function<double()>& installer, const std::function<double()>& floor,
                  const QString& target, const std::function<bool(double, double)>& meets) {
    QList<double> measured[2];
    for (int run = 0; run < runs; ++run) {
        const bool installerFirst = run % 2 == 0;
        for (const bool isInstaller : {installerFirst, !installerFirst}) {
            measured[isInstaller ? 0 : 1].append(isInstaller ? installer() : floor());
        }
    }
    const double installerMedian = ResultTable::median(measured[0]);
    const double floorMedian = ResultTable::median(measured[1]);
    std::optional<bool> met;
    if (meets) {
        met = meets(installerMedian, floorMedian);
    }
    table.add({figure, ResultTable::number(installerMedian), ResultTable::number(floorMedian),
               ratio(installerMedian, floorMedian), target, met});
}

} // namespace

int main(int argc, char* argv[]) {
    const QTemporaryDir home;
    const QTemporaryDir bin;
    if (!home.isValid() || !bin.isValid() || !prepareEnvironment(home, bin)) {
        std::fprintf(stderr, "zeph_bench: cannot prepare the temporary home and python3\n");
        return 1;
    }
    QApplication application(argc, argv);
    ResultTable table;
    table.addNote(u"Load average at the start: %1."_s.arg(loadAverage()));

    const ColdStartBench coldStart(
        QDir(QCoreApplication::applicationDirPath()).filePath(u"zeph_bench_window"_s));
    const auto offscreen = coldStart.compare(u"offscreen"_s, coldStartRuns, true);
    if (offscreen[ColdStartBench::Installer].isEmpty()) {
        return 1;
    }
    addColdStartRows(table, offscreen, u"offscreen"_s);
    if (qEnvironmentVariableIsSet("DISPLAY")) {
        const auto xcb = coldStart.compare(u"xcb"_s, xcbColdStartRuns, false);
        if (xcb[ColdStartBench::Installer].isEmpty()) {
            table.addNote(u"No xcb rows: the window could not be shown on the X display."_s);
        } else {
            addColdStartRows(table, xcb, u"xcb"_s);
        }
    }

    // What earlier work left for the disk to write back (a build, say) would otherwise be
    // flushed in the middle of the installs, whose commits wait for the disk.
    ::sync();
    LoopbackServer server;
    QtPlatformServices real;
    LoopbackRedirect platform(real, server.httpServer());
    ZEPHInstallerApp installer(platform);
    InstallerWindow* window = installer.openWindow();
    ContentView& view = window->contentView();
    spinUntil([&view] {
        return view.state().pythonStatus != u"Checking…"_s &&
               view.state().manifestStatus != u"Loading…"_s;
    });
    InstallBench install(server, view);
    const auto within = [](double limit) {
        return [limit](double installer, double floor) {
            return installer <= limit * floor;
        };
    };
    for (const auto& [bytes, label, runs] :
         {std::tuple{1 * kibibyte, u"1 KiB"_s, installRuns},
          std::tuple{1 * mebibyte, u"1 MiB"_s, installRuns},
          std::tuple{32 * mebibyte, u"32 MiB"_s, largeInstallRuns}}) {
        if (!install.serveScript(bytes)) {
            std::fprintf(stderr, "zeph_bench: installing the %s script failed\n",
                         qPrintable(label));
            return 1;
        }
        const bool large = bytes == 32 * mebibyte;
        addPairedRow(
            table, u"Install %1, click to installed (ms)"_s.arg(label), runs,
            [&] { return install.installMs(); }, [&] { return install.floorMs(); },
            large ? u"≤ 1.3×"_s : u"—"_s,
            large ? std::function<bool(double, double)>(within(1.3)) : nullptr);
    }
    const auto noGapOver50 = [](double installer, double) {
        return installer <= 50;
    };
    addPairedRow(
        table, u"Longest stall, 32 MiB install (ms)"_s, gapRuns,
        [&] { return install.longestGapInstalling(); }, [&] { return install.longestGapInFloor(); },
        u"≤ 50 ms"_s, noGapOver50);
    QList<double> refreshGaps;
    for (int run = 0; run < gapRuns; ++run) {
        refreshGaps.append(install.longestGapRefreshing());
    }
    const double refreshGap = ResultTable::median(refreshGaps);
    table.add({u"Longest stall, manifest refresh (ms)"_s, ResultTable::number(refreshGap), u"—"_s,
               u"—"_s, u"≤ 50 ms"_s, refreshGap <= 50});

    for (const auto& [label, bodies] : {std::pair{u"valid"_s, DecodeBench::validBodies()},
                                        std::pair{u"invalid"_s, DecodeBench::invalidBodies()}}) {
        QList<double> rates;
        for (int run = 0; run < decodeRuns; ++run) {
            rates.append(DecodeBench::perSecond(bodies, 200));
        }
        table.add({u"Manifests decoded per second, %1"_s.arg(label),
                   ResultTable::number(ResultTable::median(rates), 0), u"—"_s, u"—"_s, u"—"_s,
                   std::nullopt});
    }

    table.addNote(u"Window: %1×%2. Medians of %3 cold starts (%4 on xcb), %5 installs (%6 at 32 "
                  "MiB), %7 stall runs, %8 decoding runs of 200 ms."_s.arg(window->width())
                      .arg(window->height())
                      .arg(coldStartRuns)
                      .arg(xcbColdStartRuns)
                      .arg(installRuns)
                      .arg(largeInstallRuns)
                      .arg(gapRuns)
                      .arg(decodeRuns));
    table.addNote(u"Load average at the end: %1."_s.arg(loadAverage()));
    table.print();
    return 0;
}
