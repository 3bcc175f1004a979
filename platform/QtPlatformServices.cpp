#include "QtPlatformServices.h"

#include <QCoreApplication>
#include <QDesktopServices>

void QtPlatformServices::handleSignals() {
    ProcessRunner::endChildrenWithTheApplication();
    LocalFiles::failWritesPastSizeLimits();
}

void QtPlatformServices::get(const HttpRequest& request, QObject* receiver,
                             HttpCompletion completion) {
    network.get(request, receiver, std::move(completion));
}

ProcessResult QtPlatformServices::run(const ProcessRequest& request) {
    return processes.run(request);
}

QString QtPlatformServices::homeDirectory() const {
    return files.homeDirectory();
}

bool QtPlatformServices::exists(const QString& path) const {
    return files.exists(path);
}

std::optional<QByteArray> QtPlatformServices::readFile(const QString& path, qint64 maxBytes) const {
    return files.readFile(path, maxBytes);
}

FileStatus QtPlatformServices::createFolder(const QString& path, FileAccess access) {
    return files.createFolder(path, access);
}

FileStatus QtPlatformServices::writeFileAtomically(const QString& path, const QByteArray& bytes,
                                                   FileAccess access) {
    return files.writeFileAtomically(path, bytes, access);
}

void QtPlatformServices::keepPrivate(const QString& path) {
    files.keepPrivate(path);
}

void QtPlatformServices::openInDefaultApplication(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

void QtPlatformServices::quit() {
    QCoreApplication::quit();
}
