// The user's home folder and the few files the installer reads and writes below it, on POSIX
// calls where Qt's file classes (6.4.2) would follow a link, block on a FIFO or leave a failed
// write's reason unsaid.

#include "QtPlatformServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

FileStatus fileError(QString description) {
    return {false, std::move(description)};
}

QString systemError() {
    return qt_error_string(errno);
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
FileStatus closeFolderToOthers(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (::stat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            return fileError(u"“%1” is not a folder."_s.arg(path));
        }
        if (info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            return fileError(u"“%1” leads to a folder that others can change."_s.arg(path));
        }
        return {};
    }
    // Opened without following a link that took the folder's place meanwhile.
    const int folder = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0 || ::fstat(folder, &info) != 0) {
        return fileError(u"“%1” could not be opened: %2."_s.arg(path, systemError()));
    }
    const auto closeFolder = qScopeGuard([folder] { ::close(folder); });
    if (info.st_uid != ::geteuid()) {
        return fileError(u"“%1” belongs to another user."_s.arg(path));
    }
    if ((info.st_mode & 07777) != 0700 && ::fchmod(folder, 0700) != 0) {
        return fileError(u"“%1” could not be made private: %2."_s.arg(path, systemError()));
    }
    return {};
}

} // namespace

void QtPlatformServices::failWritesPastSizeLimits() {
    ::signal(SIGXFSZ, SIG_IGN);
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

// Qt's (6.4.2) own choice for an application's data: ~/Library/Application Support/… on a Mac,
// below $XDG_DATA_HOME (~/.local/share) elsewhere.
QString QtPlatformServices::dataFolder() const {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
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

QStringList QtPlatformServices::filesIn(const QString& folder) const {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
}

void QtPlatformServices::removeFile(const QString& path) {
    ::unlink(QFile::encodeName(path).constData());
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
        return fileError(u"“%1” is not a folder."_s.arg(level));
    }
    const mode_t mode = access == FileAccess::OwnerOnly ? 0700 : 0777;
    for (const QString& folder : std::as_const(missing)) {
        if (::mkdir(QFile::encodeName(folder).constData(), mode) != 0 && errno != EEXIST) {
            return fileError(u"“%1” could not be created: %2."_s.arg(folder, systemError()));
        }
    }
    return access == FileAccess::OwnerOnly ? closeFolderToOthers(path) : FileStatus{};
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
        return fileError(u"“%1” could not be written: %2."_s.arg(path, reason));
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

// Both are opened without following a link, the file from the folder that was checked, so that
// nothing swapped in meanwhile is changed instead; only modes change, never a byte.
void QtPlatformServices::keepPrivate(const QString& path) {
    const QFileInfo file(path);
    const int folder = ::open(QFile::encodeName(file.path()).constData(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) {
        return;
    }
    const auto closeFolder = qScopeGuard([folder] { ::close(folder); });
    const int descriptor = ::openat(folder, QFile::encodeName(file.fileName()).constData(),
                                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        return;
    }
    const auto closeFile = qScopeGuard([descriptor] { ::close(descriptor); });
    struct stat folderInfo {
    }, fileInfo{};
    if (::fstat(folder, &folderInfo) != 0 || ::fstat(descriptor, &fileInfo) != 0 ||
        !S_ISREG(fileInfo.st_mode) || fileInfo.st_uid != ::geteuid()) {
        return;
    }
    if ((fileInfo.st_mode & 077) != 0) {
        ::fchmod(descriptor, 0600);
    }
    if (folderInfo.st_uid == ::geteuid() && (folderInfo.st_mode & 077) != 0) {
        ::fchmod(folder, 0700);
    }
}
