#pragma once

#include <QNetworkAccessManager>
#include <QString>

#include <functional>

class ContentView;
class LoopbackServer;

// Install timings on a live installer window of this process: its view's actions are called as
// its buttons would call them, and their effects are read from its state. The floor is the same
// bytes fetched with a bare QNetworkAccessManager GET and written with QSaveFile to the same file.
class InstallBench {
public:
    InstallBench(LoopbackServer& server, ContentView& view);

    // Serves a script of `bytes` bytes, points the manifest at it and lets the view load it.
    bool serveScript(qsizetype bytes);

    // Click to installedScript true, in milliseconds; a negative value when the install failed.
    double installMs();
    double floorMs();
    // The longest main-thread stall (see TickMonitor), in milliseconds, around one install, one
    // floor fetch and one manifest refresh.
    double longestGapInstalling();
    double longestGapInFloor();
    double longestGapRefreshing();

private:
    // Runs the event loop until `done` holds after a change of the view; the time it first held.
    qint64 waitForView(const std::function<bool()>& done);
    // Each from a state without the script file, so that installedScript goes from false to true.
    void removeScript();
    double clickToInstalledMs();
    double fetchAndSaveMs();
    double longestGapAround(const std::function<void()>& action);

    LoopbackServer& server;
    ContentView& view;
    QNetworkAccessManager floorNetwork;
    QString scriptPath;
    qsizetype scriptBytes = 0;
};
