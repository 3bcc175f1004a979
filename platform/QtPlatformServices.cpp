#include "QtPlatformServices.h"

#include <QCoreApplication>
#include <QDesktopServices>

void QtPlatformServices::handleSignals() {
    endChildrenWithTheApplication();
    failWritesPastSizeLimits();
}

void QtPlatformServices::get(const HttpRequest& request, QObject* receiver,
                             HttpCompletion completion) {
    network.get(request, receiver, std::move(completion));
}

void QtPlatformServices::openInDefaultApplication(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

void QtPlatformServices::quit() {
    QCoreApplication::quit();
}
