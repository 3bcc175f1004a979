#include "FakePlatformServices.h"

using namespace Qt::StringLiterals;

void FakePlatformServices::get(const HttpRequest& request, QObject* receiver,
                               HttpCompletion completion) {
    calls << u"get "_s + request.url.toString(QUrl::FullyEncoded);
    gets.push_back({request, receiver, std::move(completion)});
}

void FakePlatformServices::answer(std::size_t index, const HttpReply& reply) {
    PendingGet& pending = gets.at(index);
    Q_ASSERT(!pending.answered);
    pending.answered = true;
    if (pending.receiver) {
        pending.completion(reply);
    }
}

HttpReply FakePlatformServices::answered(int statusCode, const QByteArray& body) {
    return {HttpReply::Outcome::Answered, {}, statusCode, body};
}

HttpReply FakePlatformServices::failed(const QString& description) {
    return {HttpReply::Outcome::Failed, description, 0, std::nullopt};
}

ProcessResult FakePlatformServices::run(const ProcessRequest& request) {
    calls << u"run "_s + request.program + u' ' + request.arguments.join(u' ');
    processRuns << request;
    if (whileProcessRuns) {
        whileProcessRuns();
    }
    return processResult;
}

QString FakePlatformServices::homeDirectory() const {
    return home;
}

bool FakePlatformServices::exists(const QString& path) const {
    calls << u"exists "_s + path;
    return files.contains(path) || folders.contains(path);
}

std::optional<QByteArray> FakePlatformServices::readFile(const QString& path) const {
    calls << u"read "_s + path;
    if (unreadable.contains(path) || !files.contains(path)) {
        return std::nullopt;
    }
    return files.value(path);
}

FileStatus FakePlatformServices::createFolder(const QString& path, FileAccess) {
    calls << u"mkdir "_s + path;
    if (!createFolderError.isEmpty()) {
        return {false, createFolderError};
    }
    folders.insert(path);
    return {};
}

FileStatus FakePlatformServices::writeFileAtomically(const QString& path, const QByteArray& bytes,
                                                     FileAccess access) {
    calls << u"write "_s + path;
    if (!writeError.isEmpty()) {
        return {false, writeError};
    }
    files.insert(path, bytes);
    fileAccess.insert(path, access);
    return {};
}

void FakePlatformServices::openInDefaultApplication(const QUrl& url) {
    calls << u"open "_s + url.toString();
    opened << url;
}

void FakePlatformServices::quit() {
    calls << u"quit"_s;
    ++quitRequests;
}
