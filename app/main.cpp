#include "QtPlatformServices.h"
#include "Translation.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QtPlatformServices::handleSignals();
    QApplication application(argc, argv);
    // Names the installer's data folder, whatever the executable or the bundle is called.
    QApplication::setApplicationName(QStringLiteral("ZEPH Installer"));
    // Before the first window, whose labels are translated as it is built.
    const auto translation = installTranslation(QLocale());
    QtPlatformServices platform;
    ZEPHInstallerApp installer(platform);
    installer.openWindow();
    return application.exec();
}
