#include "QtPlatformServices.h"
#include "Translation.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>

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
    return application.exec();
}
