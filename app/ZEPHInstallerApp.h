#pragma once

#include <QAction>
#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

class QMenuBar;

class InstallerWindow;
class PlatformServices;

// The application: a group of installer windows over one set of platform services. Each window
// has its own installer state; "New Window" (Ctrl+N, ⌘N on macOS) opens another one. Closing
// the last window quits, as QApplication does by default. On macOS the menu bar holds File →
// New Window and Close (⌘W), as for any app with a window group; elsewhere there is no menu.
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
    std::unique_ptr<QMenuBar> menuBar;
};
