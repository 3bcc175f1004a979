#include "QtPlatformServices.h"
#include "Translation.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[]) {
    QtPlatformServices::handleSignals();
    QApplication application(argc, argv);
    // The name users know it by, whatever the executable or the bundle is called: it titles the
    // window (as the display name, which defaults to it) and names the installer's data folder.
    QApplication::setApplicationName(u"ZEPH Installer"_s);
    // Before the first window, whose labels are translated as it is built.
    const auto translation = installTranslation(QLocale());
    QtPlatformServices platform;
    ZEPHInstallerApp installer(platform);
    installer.openWindow();
    const int status = application.exec();
    // Left at once, without tearing anything down: Qt (6.4.2) waits for its lookup threads and for
    // libproxy's as it ends, and a name server or PAC file that never answers would hold the
    // process for ever. Everything the installer writes is renamed into place whole before it
    // reports success, so nothing is left half done.
    std::fflush(nullptr);
    std::_Exit(status);
}
