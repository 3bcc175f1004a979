#include "FakePlatformServices.h"

using namespace Qt::StringLiterals;

void FakePlatformServices::get(const HttpRequest& request, QObject* receiver,
                               HttpCompletion completion) {
    calls << u"get "_s + request.url.toString(QUrl::FullyEncoded);
    gets.push_back({request, receiver, std::move(completion)});
}

void FakePlatformServices::answer(std::size_t index, const HttpReply& reply) {
    if (PendingGet& pending = gets.at(index); pending.receiver) {
        pending.completion(reply);
    }
}

HttpReply FakePlatformServices::answered(int statusCode, const QByteArray& body) {
    return {HttpReply::Outcome::Answered, {}, statusCode, body};
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
    return files.contains(path);
}

std::optional<QByteArray> FakePlatformServices::readFile(const QString& path,
                                                         qint64 maxBytes) const {
    calls << u"read "_s + path;
    const QByteArray bytes = files.value(path);
    if (bytes.isNull() || bytes.size() > maxBytes) {
        return std::nullopt;
    }
    return bytes;
}

FileStatus FakePlatformServices::createFolder(const QString& path, FileAccess access) {
    calls << u"mkdir "_s + path + (access == FileAccess::OwnerOnly ? u" private"_s : QString());
    return {createFolderError.isEmpty(), createFolderError};
}

FileStatus FakePlatformServices::writeFileAtomically(const QString& path, const QByteArray& bytes,
                                                     FileAccess access) {
    calls << u"write "_s + path;
    if (writeError.isEmpty()) {
        files.insert(path, bytes.isNull() ? ""_ba : bytes);
        fileAccess.insert(path, access);
    }
    return {writeError.isEmpty(), writeError};
}

void FakePlatformServices::openInDefaultApplication(const QUrl& url) {
    calls << u"open "_s + url.toString();
}

void FakePlatformServices::quit() {
    calls << u"quit"_s;
}
