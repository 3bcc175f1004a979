#pragma once

#include "PlatformServices.h"

class HttpTestServer;

// The core asks for its manifest at a fixed https address. This sends every request for a host
// other than this machine to the test's server, path and query kept, and passes everything else
// to the real platform untouched.
class LoopbackRedirect : public PlatformServices {
public:
    LoopbackRedirect(PlatformServices& real, const HttpTestServer& server);

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

private:
    PlatformServices& real;
    const HttpTestServer& server;
};
