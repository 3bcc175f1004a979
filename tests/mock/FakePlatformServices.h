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
    void openInDefaultApplication(const QUrl& url) override;
    void quit() override;

    // Delivers the answer to request `index` (in the order asked), as the main loop would:
    // dropped when its receiver is gone.
    void answer(std::size_t index, const HttpReply& reply);
    static HttpReply answered(int statusCode, const QByteArray& body);

    std::vector<PendingGet> gets;
    QList<ProcessRequest> processRuns;
    ProcessResult processResult{ProcessResult::Outcome::Exited, 0, "Python 3.12.1\n"};
    // Runs while the probe "waits" for its child, standing for work the main loop does then.
    std::function<void()> whileProcessRuns;

    QString home = QStringLiteral("/home/tester");
    // Files and their bytes; a folder is a path mapped to a null QByteArray.
    QMap<QString, QByteArray> files;
    QMap<QString, FileAccess> fileAccess;
    QString createFolderError; // non-empty: createFolder fails with it
    QString writeError;        // non-empty: writeFileAtomically fails with it
    // "get", "run", "exists", "read", "mkdir" ("… private" for OwnerOnly), "write", "open",
    // "quit", each with its argument.
    mutable QStringList calls;
};
