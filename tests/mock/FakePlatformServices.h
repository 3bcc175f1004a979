#pragma once

#include "PlatformServices.h"

#include <QMap>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <vector>

// A scripted platform: requests wait until the test answers them, in any order; files live in
// memory; every call is logged so that tests can check what happened and in which order.
class FakePlatformServices final : public PlatformServices {
public:
    struct PendingGet {
        HttpRequest request;
        QPointer<QObject> receiver;
        HttpCompletion completion;
        bool answered = false;
    };

    void get(const HttpRequest& request, QObject* receiver, HttpCompletion completion) override;
    ProcessResult run(const ProcessRequest& request) override;
    QString homeDirectory() const override;
    bool exists(const QString& path) const override;
    std::optional<QByteArray> readFile(const QString& path) const override;
    FileStatus createFolder(const QString& path, FileAccess access) override;
    FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes,
                                   FileAccess access) override;
    void openInDefaultApplication(const QUrl& url) override;
    void quit() override;

    // Delivers the answer to request `index` (in the order the requests were made), as the main
    // loop would: dropped when its receiver is gone.
    void answer(std::size_t index, const HttpReply& reply);
    static HttpReply answered(int statusCode, const QByteArray& body);
    static HttpReply failed(const QString& description);

    std::vector<PendingGet> gets;

    QList<ProcessRequest> processRuns;
    ProcessResult processResult{ProcessResult::Outcome::Exited, 0, "Python 3.12.1\n"};
    // Runs while the probe "waits" for its child, to stand for work the main loop does then.
    std::function<void()> whileProcessRuns;

    QString home = QStringLiteral("/home/tester");
    QMap<QString, QByteArray> files;
    QMap<QString, FileAccess> fileAccess;
    QSet<QString> folders;
    QSet<QString> unreadable;
    QString createFolderError; // non-empty: createFolder fails with it
    QString writeError;        // non-empty: writeFileAtomically fails with it

    QList<QUrl> opened;
    int quitRequests = 0;
    // "get", "run", "exists", "read", "mkdir", "write", "open", "quit", each with its argument.
    mutable QStringList calls;
};
