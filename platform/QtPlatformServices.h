#pragma once

#include "HttpClient.h"
#include "LocalFiles.h"
#include "PlatformServices.h"
#include "ProcessRunner.h"

// The installer's services on a desktop system, built on Qt and POSIX: the network, the probe's
// child process and the user's files each have a room of their own; the desktop's default
// applications and quitting are here.
class QtPlatformServices final : public PlatformServices {
public:
    // Signal handling for the whole process, which the application's entry sets up once, before
    // anything runs: see ProcessRunner and LocalFiles.
    static void handleSignals();

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

private:
    HttpClient network;
    ProcessRunner processes;
    LocalFiles files;
};
