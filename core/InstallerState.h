#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// Everything one installer window knows about the machine. Each window starts from these values
// and rebuilds the picture through its start-up sequence; nothing here is ever saved.
struct InstallerState {
    // The token field's text, exactly as typed or as loaded.
    QString token;
    // The installer-wide status line at the foot of the window.
    QString statusText = QStringLiteral("Ready.");
    // A script download or a token save is in progress.
    bool isWorking = false;
    // The last Python probe found Python.
    bool pythonInstalled = false;
    // The Python channel: "Checking…" while a probe runs, then its result.
    QString pythonStatus = QStringLiteral("Checking…");
    // The script file is in the Resolve scripts folder.
    bool installedScript = false;
    // A non-empty token is on disk: loaded at start-up or saved in this window. Never goes back.
    bool savedToken = false;
    // The completion rule held at its last evaluation.
    bool allSet = false;
    // The script version named by the last manifest; an em dash until one arrives.
    QString manifestVersion = QStringLiteral("—");
    // Where the last manifest says the script can be downloaded.
    std::optional<QUrl> manifestScriptURL;
    // The script's signature as the last manifest gives it; nothing when it gives none.
    std::optional<QString> manifestSignature;
    // The manifest channel: "Loading…" while a fetch is in flight, then its result.
    QString manifestStatus = QStringLiteral("Loading…");
};
