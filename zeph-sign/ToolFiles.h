#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdio>

// Every file the tool reads or writes, standard output included. A failure throws a Failure that
// names the file and the system's reason.
namespace ToolFiles {

// The system's words for an errno value.
QString systemError(int error);

struct Content {
    QByteArray bytes;
    // The permission bits of the file, as stat() gives them.
    unsigned permissions = 0;
};

// At most `limit` + 1 bytes of a regular file: a caller tells a file over its limit without ever
// holding more of it. A FIFO or a device, which could block or never end, is refused unread.
Content readAtMost(const QString& path, qint64 limit);

// Creates `path` for the owner alone; an existing file or link of that name is never replaced.
// A failed write removes what was created.
void createPrivateFile(const QString& path, QByteArrayView bytes);

enum class Readers { OwnerAlone, AsTheUmaskAllows };

// Replaces `path` whole or not at all: a temporary file beside it is written, synced and renamed
// over it, so a failure leaves the earlier file as it was and no temporary file behind.
void replaceAtomically(const QString& path, QByteArrayView bytes, Readers readers);

// False when the text and its line feed could not be written out whole.
bool print(std::FILE* stream, const QString& text);

// What a release script keeps from standard output must have been taken whole.
void printResult(const QString& text);

} // namespace ToolFiles
