#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

// Where the installer keeps its files, below the home folder, and where it asks for its manifest.
inline const QString scriptsFolderPath =
    QStringLiteral("Library/Application Support/Blackmagic Design/DaVinci Resolve/Fusion/Scripts/"
                   "Utility");
inline const QString scriptFilePath =
    scriptsFolderPath + QStringLiteral("/ZEPH_Export_Gallery_Stills.py");
inline const QString tokenFolderPath = QStringLiteral(".zeph");
inline const QString tokenFilePath = QStringLiteral(".zeph/resolve_token.txt");
inline const QByteArray manifestTarget = "/storage/v1/object/public/resolve/latest.json";

// An empty temporary folder that HOME names while this lives. HOME and PATH are put back as they
// were when it goes.
class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();
    Q_DISABLE_COPY_MOVE(TemporaryHome)

    bool isValid() const;
    QString inHome(const QString& relativePath) const;
    // Every file and folder below home, with each file's bytes: two equal snapshots mean nothing
    // was changed, replaced, added or left behind.
    QMap<QString, QByteArray> snapshot() const;

    // Writes the file below home, with any folders missing above it.
    bool write(const QString& relativePath, const QByteArray& bytes) const;
    // An executable `python3` in a folder below home that runs the shell script.
    bool installFakePython(const QString& relativeFolder, const QByteArray& shellScript) const;

    const QByteArray originalPath = qgetenv("PATH");

private:
    const QByteArray originalHome = qgetenv("HOME");
    QTemporaryDir folder;
};
