#pragma once

#include "PlatformServices.h"

class QNetworkAccessManager;

// The installer's services on a desktop system, built on Qt: one network session shared by all
// windows, QProcess, QSaveFile and the desktop's default applications.
class QtPlatformServices final : public PlatformServices {
public:
    QtPlatformServices();
    ~QtPlatformServices() override;

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

private:
    QNetworkAccessManager* network = nullptr;
};
