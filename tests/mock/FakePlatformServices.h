#pragma once

#include "PlatformServices.h"

#include <QMap>
#include <QPointer>
#include <QStringList>

#include <vector>

// A scripted platform, all in this header: requests wait until the test answers them, in any
// order; files live in memory; every call is logged, so that tests can check what happened and
// in which order: "get URL", "run PROGRAM ARGUMENTS", "exists PATH", "read PATH", "mkdir PATH",
// "write PATH" (both with " private" for FileAccess::OwnerOnly), "remove PATH", "keep private
// PATH", "open URL", "quit".
class FakePlatformServices final : public PlatformServices {
public:
    struct PendingGet {
        HttpRequest request;
        QPointer<QObject> receiver;
        HttpCompletion completion;
    };

    void get(const HttpRequest& request, QObject* receiver, HttpCompletion completion) override {
        calls << QStringLiteral("get ") + request.url.toString(QUrl::FullyEncoded);
        gets.push_back({request, receiver, std::move(completion)});
    }
    // Delivers the answer to request `index` (in the order asked; the last by default), as the
    // main loop would: dropped when its receiver is gone.
    void answer(const HttpReply& reply, std::optional<std::size_t> index = {}) {
        if (PendingGet& pending = gets.at(index.value_or(gets.size() - 1)); pending.receiver) {
            pending.completion(reply);
        }
    }
    ProcessResult run(const ProcessRequest& request) override {
        calls << QStringLiteral("run ") + request.program + u' ' + request.arguments.join(u' ');
        processRuns << request;
        return processResult;
    }
    QString homeDirectory() const override {
        return home;
    }
    QString dataFolder() const override {
        return home + QStringLiteral("/.local/share/zeph");
    }
    bool exists(const QString& path) const override {
        calls << QStringLiteral("exists ") + path;
        return files.contains(path);
    }
    std::optional<QByteArray> readFile(const QString& path, qint64 maxBytes) const override {
        calls << QStringLiteral("read ") + path;
        const auto file = files.constFind(path);
        return file != files.cend() && file->size() <= maxBytes ? std::optional(*file)
                                                                : std::nullopt;
    }
    QStringList filesIn(const QString& folder) const override {
        QStringList names;
        for (const QString& path : files.keys()) {
            if (path.startsWith(folder + u'/')) {
                names << path.mid(folder.size() + 1);
            }
        }
        return names;
    }
    void removeFile(const QString& path) override {
        calls << QStringLiteral("remove ") + path;
        files.remove(path);
    }
    FileStatus createFolder(const QString& path, FileAccess access) override {
        calls << QStringLiteral("mkdir ") + path + note(access);
        return {folderError.isEmpty(), folderError};
    }
    FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes,
                                   FileAccess access) override {
        calls << QStringLiteral("write ") + path + note(access);
        if (writeError.isEmpty()) {
            files.insert(path, bytes);
        }
        return {writeError.isEmpty(), writeError};
    }
    void keepPrivate(const QString& path) override {
        calls << QStringLiteral("keep private ") + path;
    }
    void openInDefaultApplication(const QUrl& url) override {
        calls << QStringLiteral("open ") + url.toString();
    }
    void quit() override {
        calls << QStringLiteral("quit");
    }

    std::vector<PendingGet> gets;
    QList<ProcessRequest> processRuns;
    ProcessResult processResult{ProcessResult::Outcome::Exited, 0, "Python 3.12.1\n"};
    QMap<QString, QByteArray> files;
    QString folderError; // non-empty: createFolder fails with it
    QString writeError;  // non-empty: writeFileAtomically fails with it
    mutable QStringList calls;
    QString home = QStringLiteral("/home/tester");

    // The installer's paths in the default home.
    static inline const QString scriptsFolder =
        QStringLiteral("/home/tester/Library/Application Support/Blackmagic Design/DaVinci "
                       "Resolve/Fusion/Scripts/Utility");
    static inline const QString scriptFile =
        scriptsFolder + QStringLiteral("/ZEPH_Export_Gallery_Stills.py");
    static inline const QString tokenFolder = QStringLiteral("/home/tester/.zeph");
    static inline const QString tokenFile = tokenFolder + QStringLiteral("/resolve_token.txt");

private:
    static QString note(FileAccess access) {
        return access == FileAccess::OwnerOnly ? QStringLiteral(" private") : QString();
    }
};
