#pragma once

#include "HttpClient.h"
#include "PlatformServices.h"

// The installer's services on a desktop system, built on Qt and POSIX. The network is HttpClient's;
// the probe's child process is run in ProcessRunner.cpp and the user's files are handled in
// LocalFiles.cpp; the desktop's default applications and quitting are here.
class QtPlatformServices final : public PlatformServices {
public:
    // Signal handling for the whole process, which the application's entry sets up once, before
    // anything runs: see endChildrenWithTheApplication() and failWritesPastSizeLimits().
    static void handleSignals();

    void get(const HttpRequest& request, QObject* receiver, HttpCompletion completion) override;
    ProcessResult run(const ProcessRequest& request) override;
    QString homeDirectory() const override;
    QString dataFolder() const override;
    bool exists(const QString& path) const override;
    std::optional<QByteArray> readFile(const QString& path, qint64 maxBytes) const override;
    QStringList filesIn(const QString& folder) const override;
    FileStatus createFolder(const QString& path, FileAccess access) override;
    FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes,
                                   FileAccess access) override;
    void removeFile(const QString& path) override;
    void keepPrivate(const QString& path) override;
    void openInDefaultApplication(const QUrl& url) override;
    void quit() override;

private:
    // When the application is asked to end (SIGTERM, SIGINT, SIGHUP) while a child runs, the
    // child's group is killed before the signal takes its default course.
    static void endChildrenWithTheApplication();
    // A write past a file size limit (`ulimit -f`) then fails with its reason, which the write
    // reports, instead of SIGXFSZ ending the application with its temporary file left behind.
    static void failWritesPastSizeLimits();

    HttpClient network;
};
