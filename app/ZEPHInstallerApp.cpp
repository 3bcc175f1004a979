#include "ZEPHInstallerApp.h"

#include "InstallerWindow.h"

#include <QApplication>
#include <QMenuBar>

namespace {

// Far enough for the new window's edge to show beside the one it was opened from.
constexpr QPoint cascadeOffset{24, 24};

} // namespace

ZEPHInstallerApp::ZEPHInstallerApp(PlatformServices& platform)
    : platform(platform)
    , newWindow(tr("New Window")) {
    newWindow.setShortcut(QKeySequence::New);
    connect(&newWindow, &QAction::triggered, this, &ZEPHInstallerApp::openWindow);
#ifdef Q_OS_MACOS
    // A menu bar without a parent is the one macOS shows for the whole application.
    menuBar = std::make_unique<QMenuBar>();
    QMenu* file = menuBar->addMenu(tr("File"));
    file->addAction(&newWindow);
    QAction* close = file->addAction(tr("Close"));
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, [] {
        if (QWidget* front = QApplication::activeWindow()) {
            front->close();
        }
    });
#endif
}

// Windows still open when the application quits refer to the platform services; they go first.
ZEPHInstallerApp::~ZEPHInstallerApp() {
    for (const QPointer<InstallerWindow>& window : std::as_const(windows)) {
        delete window.data();
    }
}

InstallerWindow* ZEPHInstallerApp::openWindow() {
    windows.removeIf([](const QPointer<InstallerWindow>& window) { return window.isNull(); });
    auto* window = new InstallerWindow(platform);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The shortcut works in whichever window has the focus.
    window->addAction(&newWindow);
    if (const QWidget* current = QApplication::activeWindow()) {
        window->move(current->pos() + cascadeOffset);
    }
    windows << window;
    window->show();
    return window;
}
