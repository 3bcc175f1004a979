#include "QtPlatformServices.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QtPlatformServices platform;
    ZEPHInstallerApp installer(platform);
    installer.openWindow();
    return application.exec();
}
