#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

// One case of a case file: its steps, in order, each a verb and the rest of its line.
struct Case {
    struct Step {
        QByteArray verb;
        QByteArray argument;
    };
    QList<Step> steps;

    // The argument's first `count - 1` words, then the rest of it.
    static QList<QByteArray> words(const QByteArray& argument, int count);
};
Q_DECLARE_METATYPE(Case)

// Adds a column "testCase" and a row for each case of the file under tests/data/. "[name]" opens a
// case; every other line is a step, "verb argument", where \n, \r, \t, \0, \\, \xHH and \s (a
// space, for one at either end) stand for those bytes, \{N c} for N times the byte c and \e for
// nothing. "use NAME" repeats the steps of an earlier case (which is a row of its own too). Lines
// starting with # and blank lines are skipped.
void addCaseRows(const QString& fileName);
