// One cold start, watched from outside: `zeph_bench_window installer` builds the application as
// the installer's main() does, with the manifest request sent to a loopback server;
// `zeph_bench_window bare|styled <width> <height>` shows the bare window at that size instead,
// in the application font or in the installer's text styles (see BareWindow). Either
// prints its times and peak resident set (see StartupProbe), then its widget count and size, and
// quits.

#include "BareWindow.h"
#include "InstallerWindow.h"
#include "LoopbackRedirect.h"
#include "LoopbackServer.h"
#include "QtPlatformServices.h"
#include "StartupProbe.h"
#include "Translation.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr auto manifestVersion = "1.4.0"_L1;

void printWidgets(const QWidget& window) {
    std::printf("widgets %lld\nwidth %d\nheight %d\n",
                static_cast<long long>(window.findChildren<QWidget*>().size() + 1), window.width(),
                window.height());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    const bool styled = argc > 3 && qstrcmp(argv[1], "styled") == 0;
    const bool bare = styled || (argc > 3 && qstrcmp(argv[1], "bare") == 0);
    const QSize bareSize(bare ? std::atoi(argv[2]) : 0, bare ? std::atoi(argv[3]) : 0);
    QApplication application(argc, argv);
    StartupProbe probe;
    LoopbackServer server;
    server.setManifest(R"({"version":"1.4.0","script_url":")" +
                       server.url(u"/script.py"_s).toEncoded() + R"("})");

    if (bare) {
        BareWindow window(server.url(u"/latest.json"_s), bareSize,
                          styled ? BareWindow::Typography::InstallerStyles
                                 : BareWindow::Typography::Default);
        QObject::connect(&window, &BareWindow::manifestApplied, &probe,
                         &StartupProbe::manifestApplied);
        QObject::connect(&probe, &StartupProbe::finished, &window, [&window] {
            printWidgets(window);
            QCoreApplication::exit(0);
        });
        window.show();
        return application.exec();
    }

    const auto translation = installTranslation(QLocale());
    QtPlatformServices real;
    LoopbackRedirect platform(real, server.httpServer());
    ZEPHInstallerApp installer(platform);
    InstallerWindow* window = installer.openWindow();
    const ContentView& view = window->contentView();
    QObject::connect(&view, &ContentView::changed, &probe, [&view, &probe] {
        if (view.state().manifestStatus != u"Loading…"_s) {
            probe.manifestApplied();
        }
    });
    // A start-up that did not find the stub Python or the manifest measured something else.
    QObject::connect(&probe, &StartupProbe::finished, window, [window, &view] {
        printWidgets(*window);
        const bool complete =
            view.state().pythonInstalled && view.state().manifestVersion == manifestVersion;
        QCoreApplication::exit(complete ? 0 : 2);
    });
    return application.exec();
}
