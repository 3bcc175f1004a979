#include "QtPlatformServices.h"
#include "Translation.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    QtPlatformServices::handleSignals();
    QApplication application(argc, argv);
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
