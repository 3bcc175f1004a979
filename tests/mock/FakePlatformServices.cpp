#include "FakePlatformServices.h"

using namespace Qt::StringLiterals;

namespace {

QString accessNote(FileAccess access) {
    return access == FileAccess::OwnerOnly ? u" private"_s : QString();
}

} // namespace

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

void FakePlatformServices::answerLast(const HttpReply& reply) {
    answer(gets.size() - 1, reply);
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
    if (!files.contains(path) || files[path].size() > maxBytes) {
        return std::nullopt;
    }
    return files[path];
}

FileStatus FakePlatformServices::createFolder(const QString& path, FileAccess access) {
    calls << u"mkdir "_s + path + accessNote(access);
    return {createFolderError.isEmpty(), createFolderError};
}

FileStatus FakePlatformServices::writeFileAtomically(const QString& path, const QByteArray& bytes,
                                                     FileAccess access) {
    calls << u"write "_s + path + accessNote(access);
    if (writeError.isEmpty()) {
        files.insert(path, bytes);
    }
    return {writeError.isEmpty(), writeError};
}

void FakePlatformServices::keepPrivate(const QString& path) {
    calls << u"keep private "_s + path;
}

void FakePlatformServices::openInDefaultApplication(const QUrl& url) {
    calls << u"open "_s + url.toString();
}

void FakePlatformServices::quit() {
    calls << u"quit"_s;
}
