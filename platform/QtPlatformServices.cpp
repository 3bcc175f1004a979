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
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// A version line is a few dozen bytes; a child that prints more than this is drained but only
// this much of its output is kept.
constexpr qsizetype maxProcessOutput = 1024 * 1024;

// How much of an answer Qt holds for the reader at most, past what the reader has taken.
constexpr qint64 readBufferBytes = 1024 * 1024;

FileStatus failure(QString description) {
    return {false, std::move(description)};
}

// Qt reports an HTTP error status (404, 500…) as an error too; such an answer did arrive and the
// caller judges it by its status. Every other error, a content error among them, is a failure.
bool reportsOnlyTheStatus(QNetworkReply::NetworkError error, int statusCode) {
    using Reply = QNetworkReply;
    const bool statusError =
        (error >= Reply::ContentAccessDenied && error <= Reply::UnknownContentError &&
         error != Reply::ContentReSendError) ||
        error == Reply::ProtocolInvalidOperationError ||
        (error >= Reply::InternalServerError && error <= Reply::UnknownServerError);
    return error == Reply::NoError || (statusCode >= 400 && statusError);
}

HttpReply failed(QString description) {
    return {HttpReply::Outcome::Failed, std::move(description), 0, std::nullopt};
}

HttpReply endedBy(HttpReply::Outcome limit) {
    return {limit, {}, 0, std::nullopt};
}

// `abandoned` is set when the reply was aborted here, for a limit of the request.
HttpReply finishedReply(QNetworkReply& reply, QByteArray body,
                        const std::optional<HttpReply>& abandoned) {
    if (abandoned) {
        return *abandoned;
    }
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || !reportsOnlyTheStatus(reply.error(), status.toInt())) {
        return failed(reply.errorString());
    }
    // Only plain bodies are asked for; an encoded one would be stored as it came, undecoded. Qt
    // takes a chunked body apart itself, and no other transfer coding.
    for (const char* header : {"Content-Encoding", "Transfer-Encoding"}) {
        for (const QByteArray& coding : reply.rawHeader(header).split(',')) {
            const QByteArray name = coding.trimmed().toLower();
            if (!name.isEmpty() && name != "identity" && name != "chunked") {
                return failed(
                    u"the server sent the answer encoded as “%1”, which was not asked for."_s.arg(
                        QString::fromLatin1(coding.trimmed())));
            }
        }
    }
    // Qt takes the first of two announced lengths, and reads a chunked body whatever length was
    // announced: an answer is whole only at exactly its one announced length.
    if (const QByteArray announced = reply.rawHeader("Content-Length"); !announced.isEmpty()) {
        QList<QByteArray> lengths = announced.split(',');
        for (QByteArray& length : lengths) {
            length = length.trimmed();
        }
        if (lengths.count(lengths.first()) != lengths.size()) {
            return failed(u"the answer announced different lengths: %1."_s.arg(
                QString::fromLatin1(announced)));
        }
        if (QByteArray::number(body.size()) != lengths.first()) {
            return failed(u"the answer's %1 bytes are not the %2 it announced."_s.arg(body.size())
                              .arg(QString::fromLatin1(lengths.first())));
        }
    }
    const int statusCode = status.toInt();
    if (statusCode == 204 || statusCode == 304) {
        return {HttpReply::Outcome::Answered, {}, statusCode, std::nullopt};
    }
    return {HttpReply::Outcome::Answered, {}, statusCode, std::move(body)};
}

QString systemError() {
    return qt_error_string(errno);
}

// The process group of the probe under way, if any: what ends with the installer.
volatile std::sig_atomic_t probeGroup = 0;

// Installed once for the signals that ask the installer to end, where their default would end it
// at once: the probe's group is killed, then the signal takes its default course.
void endProbeFirst(int signal) {
    if (probeGroup > 0) {
        ::kill(-probeGroup, SIGKILL);
    }
    ::raise(signal);
}

void killProbeOnEnd() {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction handler {};
            handler.sa_handler = endProbeFirst;
            handler.sa_flags = SA_RESETHAND;
            ::sigaction(signal, &handler, nullptr);
        }
    }
}

// A write killed between making its temporary file and renaming it leaves that file behind. The
// next write of the same file removes such leftovers: only names this program makes, of regular
// files of the user's own that nothing has touched for a minute, so that a write still under way
// elsewhere is left alone.
void removeLeftovers(const QString& target) {
    const QFileInfo file(target);
    const QString prefix = file.fileName() + u".tmp-"_s;
    const QDir folder = file.dir();
    const std::time_t aMinuteAgo = std::time(nullptr) - 60;
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QStringView suffix = QStringView(name).mid(prefix.size());
        const bool ours = name.startsWith(prefix) && !suffix.isEmpty() &&
                          std::all_of(suffix.begin(), suffix.end(), [](QChar c) {
                              return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z');
                          });
        const QByteArray path = QFile::encodeName(folder.filePath(name));
        struct stat info {};
        if (ours && ::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid() && info.st_mtime < aMinuteAgo) {
            ::unlink(path.constData());
        }
    }
}

// A private folder that another user could write to, or owns, would not keep its files private:
// they could be replaced from outside. Our own folder is made 0700; a link leads to a folder that
// must keep others out already, and whose mode is never ours to change.
FileStatus makePrivate(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (::stat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            return failure(u"“%1” is not a folder."_s.arg(path));
        }
        if (info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            return failure(u"“%1” leads to a folder that others can change."_s.arg(path));
        }
        return {};
    }
    // Opened without following a link that took the folder's place meanwhile.
    const int folder = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0 || ::fstat(folder, &info) != 0) {
        return failure(u"“%1” could not be opened: %2."_s.arg(path, systemError()));
    }
    const auto closeFolder = qScopeGuard([folder] { ::close(folder); });
    if (info.st_uid != ::geteuid()) {
        return failure(u"“%1” belongs to another user."_s.arg(path));
    }
    if ((info.st_mode & 07777) != 0700 && ::fchmod(folder, 0700) != 0) {
        return failure(u"“%1” could not be made private: %2."_s.arg(path, systemError()));
    }
    return {};
}

} // namespace

QtPlatformServices::QtPlatformServices()
    : network(new QNetworkAccessManager) {
    killProbeOnEnd();
}

QtPlatformServices::~QtPlatformServices() {
    delete network;
}

void QtPlatformServices::get(const HttpRequest& request, QObject* receiver,
                             HttpCompletion completion) {
    QNetworkRequest networkRequest(request.url);
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Asked for in plain: Qt would otherwise inflate a gzip answer, and a broken or cut stream
    // could still pass as a complete body.
    networkRequest.setRawHeader("Accept-Encoding", "identity");

    QNetworkReply* reply = network->get(networkRequest);
    // Without a bound, Qt reads the socket as fast as the server writes, far ahead of this
    // reader, and holds all of it.
    reply->setReadBufferSize(readBufferBytes);
    auto body = std::make_shared<QByteArray>();
    auto abandoned = std::make_shared<std::optional<HttpReply>>();
    const auto abandon = [reply, abandoned](HttpReply why) {
        *abandoned = std::move(why);
        reply->abort();
    };
    const qint64 maxBodyBytes = request.maxBodyBytes;

    // An idle timer restarted by every head and every byte, whichever hop they come from: Qt's own
    // transfer timeout does not watch the hop after a redirect, and a server silent from then on
    // would hold the request for ever.
    auto* idle = new QTimer(reply);
    idle->setSingleShot(true);
    idle->setInterval(request.idleTimeout);
    QObject::connect(idle, &QTimer::timeout, reply,
                     [abandon] { abandon(failed(u"The request timed out."_s)); });
    const auto stillAlive = [idle] {
        idle->start();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, idle, stillAlive);
    QObject::connect(reply, &QNetworkReply::readyRead, idle, stillAlive);
    idle->start();

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
            abandon(endedBy(HttpReply::Outcome::TooLarge));
        }
    });
    // Qt tells of each hop before it takes it, so a hop the rule refuses is abandoned unasked. (Its
    // user-verified policy would wait for the rule instead, but loses chains of two hops or more.)
    if (request.acceptsRedirect) {
        // Where each hop leaves from: by the time Qt tells, the reply's own address is already
        // the one the hop leads to.
        auto from = std::make_shared<QUrl>(request.url);
        QObject::connect(reply, &QNetworkReply::redirected, reply,
                         [reply, abandon, from, accepts = request.acceptsRedirect](const QUrl& to) {
                             const QUrl next = from->resolved(to);
                             if (!accepts(*from, next)) {
                                 return abandon(endedBy(HttpReply::Outcome::RedirectRefused));
                             }
                             *from = next;
                         });
    }
    if (request.deadline) {
        QTimer::singleShot(*request.deadline, reply,
                           [abandon] { abandon(endedBy(HttpReply::Outcome::DeadlineExceeded)); });
    }
    // Tied to the receiver: when it is gone by then, the answer is dropped unread.
    QObject::connect(reply, &QNetworkReply::finished, receiver,
                     [reply, body, abandoned, completion = std::move(completion)] {
                         // An aborted reply is closed: nothing is left to read.
                         if (!*abandoned && reply->isOpen()) {
                             body->append(reply->readAll());
                         }
                         completion(finishedReply(*reply, std::move(*body), *abandoned));
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
    // A group of its own, so that the timeout, or the installer's end, also ends whatever the
    // child started.
    const pid_t installer = ::getpid();
    process.setChildProcessModifier([installer] {
        ::setpgid(0, 0);
#ifdef Q_OS_LINUX
        // The kernel ends the child with the installer, however the installer ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != installer) {
            ::_exit(127);
        }
#else
        Q_UNUSED(installer);
#endif
    });
    process.start(request.program, request.arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted()) {
        return {ProcessResult::Outcome::FailedToStart, -1, {}};
    }
    probeGroup = static_cast<std::sig_atomic_t>(process.processId());
    const auto probeEnded = qScopeGuard([] { probeGroup = 0; });

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
        ::kill(-static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished();
        return {ProcessResult::Outcome::TimedOut, -1, output};
    }
    drain();
    if (process.exitStatus() == QProcess::CrashExit) {
        return {ProcessResult::Outcome::Crashed, -1, output};
    }
    return {ProcessResult::Outcome::Exited, process.exitCode(), output};
}

// $HOME when it is an absolute path to an existing folder, as the shell takes it; otherwise the
// account's own, from the user database. Used as given: cleaning ".." away lexically could name
// another folder than the kernel, which resolves it through links. A user the database does not
// know has no home: the paths then lead nowhere rather than into the system's own folders.
QString QtPlatformServices::homeDirectory() const {
    const QString home = qEnvironmentVariable("HOME");
    if (QDir::isAbsolutePath(home) && QFileInfo(home).isDir()) {
        return home;
    }
    const passwd* account = ::getpwuid(::getuid());
    return account ? QFile::decodeName(account->pw_dir) : u"/nonexistent"_s;
}

bool QtPlatformServices::exists(const QString& path) const {
    return QFileInfo::exists(path);
}

std::optional<QByteArray> QtPlatformServices::readFile(const QString& path, qint64 maxBytes) const {
    // Opening does not wait for a FIFO's writer; what was opened is then checked before any read.
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    QFile file;
    if (!file.open(descriptor, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        ::close(descriptor);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxBytes) {
        return std::nullopt;
    }
    // One byte more than allowed tells a file that grew since it was checked.
    QByteArray contents = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError || contents.size() > maxBytes) {
        return std::nullopt;
    }
    return contents;
}

FileStatus QtPlatformServices::createFolder(const QString& path, FileAccess access) {
    // Find the deepest level that exists, then create the missing ones below it one by one, so
    // that a failure can name the level at fault and the reason.
    QStringList missing;
    QString level = path;
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
            return failure(u"“%1” could not be created: %2."_s.arg(folder, systemError()));
        }
    }
    return access == FileAccess::OwnerOnly ? makePrivate(path) : FileStatus{};
}

FileStatus QtPlatformServices::writeFileAtomically(const QString& path, const QByteArray& bytes,
                                                   FileAccess access) {
    // The new content goes into a new file beside the old one, which a rename then replaces in
    // one step. A link at the path is replaced too, never written through.
    removeLeftovers(path);
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary;
    int descriptor = -1;
    for (int attempt = 0; descriptor < 0 && attempt < 8; ++attempt) {
        temporary =
            target + ".tmp-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        descriptor = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                            access == FileAccess::OwnerOnly ? 0600 : 0666);
        if (descriptor < 0 && errno != EEXIST) {
            break;
        }
    }
    const auto cannotWrite = [&](bool created) {
        const QString reason = systemError();
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        if (created) {
            ::unlink(temporary.constData());
        }
        return failure(u"“%1” could not be written: %2."_s.arg(path, reason));
    };
    if (descriptor < 0) {
        return cannotWrite(false);
    }
    // Exactly 0600 whatever the umask, so the content is never readable by others.
    if (access == FileAccess::OwnerOnly && ::fchmod(descriptor, 0600) != 0) {
        return cannotWrite(true);
    }
    // A disk that takes only part of a write (full, or past a file size limit) reports no error
    // for it; only writing on brings out the reason, which the message then names.
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t chunk = ::write(descriptor, bytes.constData() + written,
                                      static_cast<size_t>(bytes.size() - written));
        if (chunk < 0 && errno == EINTR) {
            continue;
        }
        if (chunk <= 0) {
            return cannotWrite(true);
        }
        written += chunk;
    }
    // On the disk before it takes the old file's place: a crash never leaves an empty file.
    if (::fsync(descriptor) != 0) {
        return cannotWrite(true);
    }
    const int closed = ::close(descriptor);
    descriptor = -1;
    if (closed != 0 || ::rename(temporary.constData(), target.constData()) != 0) {
        return cannotWrite(true);
    }
    return {};
}

void QtPlatformServices::openInDefaultApplication(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

void QtPlatformServices::quit() {
    QCoreApplication::quit();
}
