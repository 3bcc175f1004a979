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

    // Plays one step of a case file on this machine; false for a verb it does not know:
    //   file SCRIPT|TOKEN BYTES · file-of-size SCRIPT|TOKEN N · folder-error TEXT · write-error
    //   TEXT probe exited|timed-out CODE OUTPUT · answer N|last REPLY (N counts from 0)
    // REPLY: "200 BODY", "204 (none)" (no body), "failed DESCRIPTION", "too-large", "overdue",
    // "redirect-refused".
    bool play(const QByteArray& verb, const QByteArray& argument);
    // `text` with the installer's paths below the home folder written as SCRIPT, SCRIPTS (its
    // folder), TOKEN and ZEPH (its folder).
    QString named(QString text) const;

    std::vector<PendingGet> gets;
    QList<ProcessRequest> processRuns;
    ProcessResult processResult{ProcessResult::Outcome::Exited, 0, "Python 3.12.1\n"};
    // Runs while the probe "waits" for its child, standing for work the main loop does then.
    std::function<void()> whileProcessRuns;

    QString home = QStringLiteral("/home/tester");
    QMap<QString, QByteArray> files;
    QString createFolderError; // non-empty: createFolder fails with it
    QString writeError;        // non-empty: writeFileAtomically fails with it
    // "get URL", "run PROGRAM ARGUMENTS", "exists PATH", "read PATH", "mkdir PATH", "write PATH"
    // (both with " private" for FileAccess::OwnerOnly), "open URL", "quit".
    mutable QStringList calls;
};
