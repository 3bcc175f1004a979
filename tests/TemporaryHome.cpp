#include "TemporaryHome.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

using namespace Qt::StringLiterals;

TemporaryHome::TemporaryHome() {
    qputenv("HOME", QFile::encodeName(folder.path()));
}

TemporaryHome::~TemporaryHome() {
    // Without this, a user other than root could not remove a read-only folder's contents.
    QFile::setPermissions(inHome(scriptsFolderPath),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", originalHome);
    qputenv("PATH", originalPath);
}

bool TemporaryHome::isValid() const {
    return folder.isValid();
}

QString TemporaryHome::inHome(const QString& relativePath) const {
    return QDir(folder.path()).filePath(relativePath);
}

QMap<QString, QByteArray> TemporaryHome::snapshot() const {
    QMap<QString, QByteArray> entries;
    QDirIterator it(folder.path(),
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        QFile file(entry.filePath());
        entries.insert(QDir(folder.path()).relativeFilePath(entry.filePath()),
                       entry.isDir()                    ? "<folder>"_ba
                       : file.open(QIODevice::ReadOnly) ? file.readAll()
                                                        : "<unreadable>"_ba);
    }
    return entries;
}

bool TemporaryHome::write(const QString& relativePath, const QByteArray& bytes) const {
    QFile file(inHome(relativePath));
    return QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

bool TemporaryHome::installFakePython(const QString& relativeFolder,
                                      const QByteArray& shellScript) const {
    const QString python3 = relativeFolder + u"/python3"_s;
    return write(python3, "#!/bin/sh\n" + shellScript + '\n') &&
           QFile::setPermissions(inHome(python3),
                                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
