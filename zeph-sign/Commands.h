#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What zeph-sign can be asked to do.
struct Command {
    QString name;
    // Each is required and given once, then come exactly `fileCount` further arguments.
    QStringList options;
    qsizetype fileCount = 0;
    QString usage;
    QString description;
    // Takes the option values in order, then the files; throws a Failure.
    int (*run)(const QStringList& values) = nullptr;
};

namespace Commands {

const QList<Command>& all();

} // namespace Commands
