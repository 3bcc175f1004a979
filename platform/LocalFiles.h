#pragma once

#include "PlatformServices.h"

// The user's home folder and the few files the installer reads and writes below it, on POSIX
// calls where Qt's file classes (6.4.2) would follow a link, block on a FIFO or leave a failed
// write's reason unsaid.
class LocalFiles {
public:
    // Process-wide: a write past a file size limit (`ulimit -f`) then fails with its reason, which
    // the write reports, instead of SIGXFSZ ending the application with its temporary file left
    // behind. For the application's entry to call once, before anything runs.
    static void failWritesPastSizeLimits();

    QString homeDirectory() const;
    bool exists(const QString& path) const;
    std::optional<QByteArray> readFile(const QString& path, qint64 maxBytes) const;
    FileStatus createFolder(const QString& path, FileAccess access);
    FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes, FileAccess access);
    void keepPrivate(const QString& path);
};
