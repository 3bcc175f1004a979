#include "QtPlatformServices.h"

#include "PythonSearchPath.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// A version line is a few dozen bytes; a child that prints more than this is drained but only
// this much of its output is kept.
constexpr qsizetype maxProcessOutput = 1024 * 1024;

FileStatus failure(QString description) {
    return {false, std::move(description)};
}

// Errors below 200 are connection, timeout and proxy failures; the others Qt reports for an
// HTTP answer that did arrive (404, 500…), which the caller judges by its status code.
bool isTransportError(QNetworkReply::NetworkError error) {
    return error != QNetworkReply::NoError && (error < QNetworkReply::ContentAccessDenied ||
                                               error == QNetworkReply::ProtocolUnknownError ||
                                               error == QNetworkReply::ProtocolFailure);
}

// `abandonedAs` is set when the reply was aborted here, for a limit of the request.
HttpReply finishedReply(QNetworkReply& reply, QByteArray body,
                        std::optional<HttpReply::Outcome> abandonedAs) {
    HttpReply result;
    if (abandonedAs) {
        result.outcome = *abandonedAs;
        return result;
    }
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (isTransportError(reply.error()) || !status.isValid()) {
        result.outcome = HttpReply::Outcome::Failed;
        // Qt reports an expired idle timer as a cancelled operation; say what happened instead.
        result.errorDescription = reply.error() == QNetworkReply::OperationCanceledError
                                      ? u"The request timed out."_s
                                      : reply.errorString();
        return result;
    }
    result.outcome = HttpReply::Outcome::Answered;
    result.statusCode = status.toInt();
    if (result.statusCode != 204 && result.statusCode != 304) {
        result.body = std::move(body);
    }
    return result;
}

} // namespace

QtPlatformServices::QtPlatformServices()
    : network(new QNetworkAccessManager) {}

QtPlatformServices::~QtPlatformServices() {
    delete network;
}

void QtPlatformServices::get(const HttpRequest& request, QObject* receiver,
                             HttpCompletion completion) {
    QNetworkRequest networkRequest(request.url);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Qt's transfer timeout restarts with every byte received: an idle timer.
    networkRequest.setTransferTimeout(static_cast<int>(request.idleTimeout.count()));

    QNetworkReply* reply = network->get(networkRequest);
    auto body = std::make_shared<QByteArray>();
    auto abandonedAs = std::make_shared<std::optional<HttpReply::Outcome>>();
    const auto abandon = [reply, abandonedAs](HttpReply::Outcome outcome) {
        *abandonedAs = outcome;
        reply->abort();
    };
    const qint64 maxBodyBytes = request.maxBodyBytes;

    // Read as data arrives so that an endless body is cut off at the limit, not held whole.
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, body, maxBodyBytes, abandon] {
        // Room for the whole body at once, as declared or else as much as the limit allows:
        // grown by appending, it is copied whole at every doubling, with both copies resident
        // meanwhile, and the last copy of a large script can fall in the completion and freeze
        // the window for tens of milliseconds. Pages no byte reaches are never touched, so
        // unused room costs address space, not memory.
        if (body->capacity() == 0) {
            const qint64 declared =
                reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
            body->reserve(declared > 0 ? std::min(declared, maxBodyBytes + 1) : maxBodyBytes + 1);
        }
        // Only what has arrived: read(n) allocates n bytes before reading, so asking for up to
        // the limit would map a fresh buffer of the limit's size for every chunk.
        body->append(
            reply->read(std::min(reply->bytesAvailable(), maxBodyBytes + 1 - body->size())));
        if (body->size() > maxBodyBytes) {
            abandon(HttpReply::Outcome::TooLarge);
        }
    });
    if (request.deadline) {
        QTimer::singleShot(*request.deadline, reply,
                           [abandon] { abandon(HttpReply::Outcome::DeadlineExceeded); });
    }
    // Tied to the receiver: when it is gone by then, the answer is dropped unread.
    QObject::connect(reply, &QNetworkReply::finished, receiver,
                     [reply, body, abandonedAs, completion = std::move(completion)] {
                         // An aborted reply (idle timeout) is closed: nothing is left to read.
                         if (!*abandonedAs && reply->isOpen()) {
                             body->append(reply->readAll());
                         }
                         completion(finishedReply(*reply, std::move(*body), *abandonedAs));
                     });
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

ProcessResult QtPlatformServices::run(const ProcessRequest& request) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    if (!request.searchFirst.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"PATH"_s, PythonSearchPath::preferring(request.searchFirst,
                                                                   environment.value(u"PATH"_s)));
        process.setProcessEnvironment(environment);
    }
    process.start(request.program, request.arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted()) {
        return {ProcessResult::Outcome::FailedToStart, -1, {}};
    }

    QByteArray output;
    const auto drain = [&] {
        const QByteArray chunk = process.readAll();
        output.append(chunk.left(maxProcessOutput - output.size()));
    };
    // Keep reading while waiting: a child whose output fills the pipe would otherwise stall.
    const QDeadlineTimer deadline(request.timeout);
    bool timedOut = false;
    while (process.state() != QProcess::NotRunning) {
        const int remaining = static_cast<int>(deadline.remainingTime());
        const bool readSome = process.waitForReadyRead(remaining);
        drain();
        if (deadline.hasExpired() ||
            (!readSome && !process.waitForFinished(static_cast<int>(deadline.remainingTime())))) {
            timedOut = process.state() != QProcess::NotRunning;
            break;
        }
    }
    if (timedOut) {
        process.kill();
        process.waitForFinished();
        return {ProcessResult::Outcome::TimedOut, -1, output};
    }
    drain();
    if (process.exitStatus() == QProcess::CrashExit) {
        return {ProcessResult::Outcome::Crashed, -1, output};
    }
    return {ProcessResult::Outcome::Exited, process.exitCode(), output};
}

QString QtPlatformServices::homeDirectory() const {
    return QDir::homePath();
}

bool QtPlatformServices::exists(const QString& path) const {
    return QFileInfo::exists(path);
}

std::optional<QByteArray> QtPlatformServices::readFile(const QString& path) const {
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return contents;
}

FileStatus QtPlatformServices::createFolder(const QString& path, FileAccess access) {
    // Find the deepest level that exists, then create the missing ones below it one by one, so
    // that a failure can name the level at fault and the reason.
    QStringList missing;
    QString level = QDir::cleanPath(path);
    while (!QFileInfo::exists(level)) {
        missing.prepend(level);
        const QString parent = QFileInfo(level).path();
        if (parent == level) {
            break;
        }
        level = parent;
    }
    if (QFileInfo::exists(level) && !QFileInfo(level).isDir()) {
        return failure(u"“%1” is not a folder."_s.arg(level));
    }
    const mode_t mode = access == FileAccess::OwnerOnly ? 0700 : 0777;
    for (const QString& folder : std::as_const(missing)) {
        if (::mkdir(QFile::encodeName(folder).constData(), mode) != 0 && errno != EEXIST) {
            return failure(u"“%1” could not be created: %2."_s.arg(folder, qt_error_string(errno)));
        }
    }
    return {};
}

FileStatus QtPlatformServices::writeFileAtomically(const QString& path, const QByteArray& bytes,
                                                   FileAccess access) {
    QSaveFile file(path);
    const auto cannotWrite = [&] {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failure(u"“%1” could not be written: %2."_s.arg(path, reason));
    };
    // Unbuffered, so that each write below reaches the disk and reports its own failure.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return cannotWrite();
    }
    // Applied to the new file before it replaces the old one, so the content is never readable
    // by others, not even for a moment.
    if (access == FileAccess::OwnerOnly &&
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return cannotWrite();
    }
    // A disk that takes only part of a write (full, or past a file size limit) reports no error
    // for it; only writing on brings out the reason, which the message then names.
    for (qint64 written = 0; written < bytes.size();) {
        const qint64 chunk = file.write(bytes.constData() + written, bytes.size() - written);
        if (chunk <= 0) {
            return cannotWrite();
        }
        written += chunk;
    }
    // A failed flush is checked here: commit() alone can miss it and report success.
    if (!file.flush()) {
        return cannotWrite();
    }
    if (!file.commit()) {
        return failure(u"“%1” could not be written: %2."_s.arg(path, file.errorString()));
    }
    return {};
}

void QtPlatformServices::openInDefaultApplication(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

void QtPlatformServices::quit() {
    QCoreApplication::quit();
}
