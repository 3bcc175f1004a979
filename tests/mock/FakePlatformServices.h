#pragma once

#include "PlatformServices.h"

#include <QMap>
#include <QPointer>
#include <QStringList>

#include <vector>

// A scripted platform: requests wait until the test answers them, in any order; files live in
// memory; every call is logged, so that tests can check what happened and in which order.
class FakePlatformServices final : public PlatformServices {
public:
    struct PendingGet {
        HttpRequest request;
        QPointer<QObject> receiver;
        HttpCompletion completion;
    };

    void get(const HttpRequest& request, QObject* receiver, HttpCompletion completion) override;
    ProcessResult run(const ProcessRequest& request) override;
    QString homeDirectory() const override;
    bool exists(const QString& path) const override;
    std::optional<QByteArray> readFile(const QString& path, qint64 maxBytes) const override;
    FileStatus createFolder(const QString& path, FileAccess access) override;
    FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes,
                                   FileAccess access) override;
    void keepPrivate(const QString& path) override;
    void openInDefaultApplication(const QUrl& url) override;
    void quit() override;

    // Delivers the answer to request `index` (in the order asked), as the main loop would:
    // dropped when its receiver is gone.
    void answer(std::size_t index, const HttpReply& reply);
    void answerLast(const HttpReply& reply);

    std::vector<PendingGet> gets;
    QList<ProcessRequest> processRuns;
    ProcessResult processResult{ProcessResult::Outcome::Exited, 0, "Python 3.12.1\n"};
    // Runs while the probe "waits" for its child, standing for work the main loop does then.
    std::function<void()> whileProcessRuns;

    QMap<QString, QByteArray> files;
    QString createFolderError; // non-empty: createFolder fails with it
    QString writeError;        // non-empty: writeFileAtomically fails with it
    // "get URL", "run PROGRAM ARGUMENTS", "exists PATH", "read PATH", "mkdir PATH", "write PATH"
    // (both with " private" for FileAccess::OwnerOnly), "keep private PATH", "open URL", "quit".
    mutable QStringList calls;

    QString home = defaultHome;

    // The installer's paths in the default home.
    static inline const QString defaultHome = QStringLiteral("/home/tester");
    static inline const QString scriptsFolder =
        defaultHome +
        QStringLiteral("/Library/Application Support/Blackmagic Design/DaVinci Resolve/"
                       "Fusion/Scripts/Utility");
    static inline const QString scriptFile =
        scriptsFolder + QStringLiteral("/ZEPH_Export_Gallery_Stills.py");
    static inline const QString tokenFolder = defaultHome + QStringLiteral("/.zeph");
    static inline const QString tokenFile = tokenFolder + QStringLiteral("/resolve_token.txt");
};
