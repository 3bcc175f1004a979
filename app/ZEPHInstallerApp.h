#pragma once

#include <QAction>
#include <QList>
#include <QObject>
#include <QPointer>

class InstallerWindow;
class PlatformServices;

// The application: a group of installer windows over one set of platform services. Each window
// has its own installer state; "New Window" (Ctrl+N, ⌘N on macOS) opens another one. Closing
// the last window quits, as QApplication does by default.
class ZEPHInstallerApp : public QObject {
    Q_OBJECT

public:
    explicit ZEPHInstallerApp(PlatformServices& platform);
    ~ZEPHInstallerApp() override;

    InstallerWindow* openWindow();

private:
    PlatformServices& platform;
    QAction newWindow;
    QList<QPointer<InstallerWindow>> windows;
};
