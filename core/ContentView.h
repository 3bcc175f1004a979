#pragma once

#include "InstallRecord.h"
#include "InstallerState.h"
#include "PlatformServices.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

// The state and actions of one installer window. Every action runs on the main thread and works
// on this one instance; network answers are applied here too, when they arrive.
class ContentView : public QObject {
    Q_OBJECT

public:
    // With the manifest and Python downloads addresses and the signing key the build was
    // configured with.
    explicit ContentView(PlatformServices& platform, QObject* parent = nullptr);
    ContentView(PlatformServices& platform, QUrl manifestURL, QUrl pythonDownloadURL,
                QByteArray scriptSigningKey = {}, QObject* parent = nullptr);

    // A token file larger than this is not read, and a longer token is not saved.
    static constexpr qint64 maxTokenBytes = 64 * 1024;

    // Fixed for the life of the window.
    const QUrl manifestURL;
    const QString scriptFileName = QStringLiteral("ZEPH_Export_Gallery_Stills.py");
    const QUrl pythonDownloadURL;
    // The 32-byte Ed25519 public key every script must be signed with; empty: this build checks
    // no signatures.
    const QByteArray scriptSigningKey;

    const InstallerState& state() const;

    // Paths below the current home directory, rebuilt at every use.
    QString scriptsFolderURL() const;
    QString scriptFileURL() const;
    QString tokenFileURL() const;

    // The token field: the window writes what the user types.
    void setToken(const QString& token);

    // Run when the window's content is shown: fetchManifest, checkPython, loadSavedToken,
    // checkInstalledScript, refreshAllSet, each to its end.
    void startUp();

    void fetchManifest();
    void checkPython();
    void openPythonDownloads();
    void loadSavedToken();
    void saveToken();
    void openTokenFile();
    void installScript();
    void checkInstalledScript();
    void openScriptsFolder();
    void refreshAllSet();
    void checkStatus();
    void closeInstaller();

Q_SIGNALS:
    // Some state field may have changed; the window redraws from state().
    void changed();

private:
    void applyManifestReply(const HttpReply& reply);
    void applyScriptReply(const HttpReply& reply, const QString& capturedVersion,
                          const QString& capturedSignature);
    void failInstall(const QString& message);
    void recheckManifest(const QString& capturedVersion, const QString& capturedSignature);
    std::optional<InstallRecord> readInstallRecord() const;
    FileStatus keepChangedScript(const QByteArray& incoming,
                                 const std::optional<InstallRecord>& record);
    // Creates the folder as needed, then replaces the file `name` in it.
    FileStatus writeInto(const QString& folder, const QString& name, const QByteArray& bytes,
                         FileAccess access);
    QString tokenFolder() const;

    PlatformServices& platform;
    InstallerState fields;
};
