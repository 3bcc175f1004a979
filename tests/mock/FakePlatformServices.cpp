#include "FakePlatformServices.h"

#include "CaseFile.h"

using namespace Qt::StringLiterals;

namespace {

HttpReply reply(const QByteArray& text) {
    const QList<QByteArray> parts = Case::words(text, 2);
    const QByteArray rest = parts.value(1);
    const qsizetype failure =
        QList<QByteArray>{"failed", "too-large", "overdue", "redirect-refused"}.indexOf(parts[0]);
    if (failure >= 0) {
        return {HttpReply::Outcome(failure + 1), QString::fromUtf8(rest), 0, std::nullopt};
    }
    return {HttpReply::Outcome::Answered, QString(), parts[0].toInt(),
            rest == "(none)" ? std::nullopt : std::optional(rest)};
}

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

void FakePlatformServices::openInDefaultApplication(const QUrl& url) {
    calls << u"open "_s + url.toString();
}

void FakePlatformServices::quit() {
    calls << u"quit"_s;
}

bool FakePlatformServices::play(const QByteArray& verb, const QByteArray& argument) {
    const QList<QByteArray> words = Case::words(argument, 2);
    const QString scripts = home + u"/Library/Application Support/Blackmagic Design/"
                                   "DaVinci Resolve/Fusion/Scripts/Utility"_s;
    const QString path = words[0] == "SCRIPT" ? scripts + u"/ZEPH_Export_Gallery_Stills.py"_s
                                              : home + u"/.zeph/resolve_token.txt"_s;
    if (verb == "file") {
        files.insert(path, words.value(1));
    } else if (verb == "file-of-size") {
        files.insert(path, QByteArray(words.value(1).toInt(), 't'));
    } else if (verb == "folder-error") {
        createFolderError = QString::fromUtf8(argument);
    } else if (verb == "write-error") {
        writeError = QString::fromUtf8(argument);
    } else if (verb == "probe") {
        const QList<QByteArray> probe = Case::words(argument, 3);
        processResult = {probe[0] == "exited" ? ProcessResult::Outcome::Exited
                                              : ProcessResult::Outcome::TimedOut,
                         probe.value(1).toInt(), probe.value(2)};
    } else if (verb == "answer") {
        answer(words[0] == "last" ? gets.size() - 1 : words[0].toUInt(), reply(words.value(1)));
    } else {
        return false;
    }
    return true;
}

QString FakePlatformServices::named(QString text) const {
    const QString scripts = home + u"/Library/Application Support/Blackmagic Design/"
                                   "DaVinci Resolve/Fusion/Scripts/Utility"_s;
    return text.replace(scripts + u"/ZEPH_Export_Gallery_Stills.py"_s, u"SCRIPT"_s)
        .replace(scripts, u"SCRIPTS"_s)
        .replace(home + u"/.zeph/resolve_token.txt"_s, u"TOKEN"_s)
        .replace(home + u"/.zeph"_s, u"ZEPH"_s);
}
