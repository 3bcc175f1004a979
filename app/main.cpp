#include "QtPlatformServices.h"
#include "Translation.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[]) {
    QtPlatformServices::handleSignals();
    QApplication application(argc, argv);
    // The name users know it by, as the bundle's display name on a Mac: the executable's name is
    // the target's, and it would otherwise title the window.
    QApplication::setApplicationDisplayName(u"ZEPH Installer"_s);
    // Before the first window, whose labels are translated as it is built.
    const auto translation = installTranslation(QLocale());
    QtPlatformServices platform;
    ZEPHInstallerApp installer(platform);
    installer.openWindow();
    return application.exec();
}
