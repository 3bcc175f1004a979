#include "ToolFiles.h"

#include "Failure.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

Failure cannotWrite(const QString& path, int error) {
    return {u"cannot write %1: %2"_s.arg(path, ToolFiles::systemError(error)), Failure::rejected};
}

bool writeAll(int fd, QByteArrayView data) {
    while (!data.isEmpty()) {
        const ssize_t written = ::write(fd, data.data(), static_cast<size_t>(data.size()));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data = data.sliced(written);
    }
    return true;
}

// Writes, syncs and closes `fd`; false with errno set when any of it failed.
bool writeAndClose(int fd, QByteArrayView bytes, mode_t mode) {
    // fchmod: the umask may have taken bits from the mode the file was created with.
    bool written = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 && written) {
        return false;
    }
    errno = error;
    return written;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A rename is kept across a crash only once the folder that holds it is synced.
void syncFolderOf(const QByteArray& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(path)).path());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QString ToolFiles::systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

ToolFiles::Content ToolFiles::readAtMost(const QString& path, qint64 limit) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw Failure{u"cannot read %1: %2"_s.arg(path, systemError(errno))};
    }
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        throw Failure{u"cannot read %1: %2"_s.arg(path, systemError(errno))};
    }
    if (!S_ISREG(status.st_mode)) {
        throw Failure{u"%1 is not a regular file."_s.arg(path)};
    }
    Content content{{}, static_cast<unsigned>(status.st_mode & 07777)};
    // Room for the whole file up front, so that a secret is not left behind in a buffer given up
    // as it grows; a file that grows while it is read gets more.
    content.bytes.resize(static_cast<qsizetype>(std::min<qint64>(status.st_size, limit) + 1));
    qsizetype size = 0;
    while (size <= limit) {
        if (size == content.bytes.size()) {
            content.bytes.resize(static_cast<qsizetype>(std::min<qint64>(limit + 1, size * 2)));
        }
        const ssize_t got = ::read(fd, content.bytes.data() + size,
                                   static_cast<size_t>(content.bytes.size() - size));
        if (got < 0 && errno != EINTR) {
            throw Failure{u"cannot read %1: %2"_s.arg(path, systemError(errno))};
        }
        if (got == 0) {
            break;
        }
        size += std::max<ssize_t>(got, 0);
    }
    content.bytes.resize(size);
    return content;
}

void ToolFiles::createPrivateFile(const QString& path, QByteArrayView bytes) {
    const QByteArray name = QFile::encodeName(path);
    // O_EXCL and O_NOFOLLOW: an existing key, perhaps the one every shipped installer trusts, is
    // never replaced, nor is a file written through a link.
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw Failure{u"cannot create %1: %2"_s.arg(path, systemError(errno))};
    }
    if (!writeAndClose(fd, bytes, 0600)) {
        const int error = errno;
        ::unlink(name.constData());
        throw cannotWrite(path, error);
    }
}

void ToolFiles::replaceAtomically(const QString& path, QByteArrayView bytes, Readers readers) {
    const QByteArray name = QFile::encodeName(path);
    QByteArray temporaryName = name + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temporaryName.data(), O_CLOEXEC);
    if (fd < 0) {
        throw cannotWrite(path, errno);
    }
    const mode_t mode = readers == Readers::OwnerAlone ? 0600 : 0666 & ~currentUmask();
    if (!writeAndClose(fd, bytes, mode) ||
        ::rename(temporaryName.constData(), name.constData()) != 0) {
        const int error = errno;
        ::unlink(temporaryName.constData());
        throw cannotWrite(path, error);
    }
    syncFolderOf(name);
}

bool ToolFiles::print(std::FILE* stream, const QString& text) {
    return std::fputs((text + u'\n').toLocal8Bit().constData(), stream) >= 0 &&
           std::fflush(stream) == 0;
}

void ToolFiles::printResult(const QString& text) {
    if (!print(stdout, text)) {
        throw Failure{u"cannot write to standard output: %1"_s.arg(systemError(errno)),
                      Failure::rejected};
    }
}
