#pragma once

#include <QList>
#include <QString>

#include <optional>

// The one table the benchmark prints: each figure for the installer and its floor, how they
// compare, the goal and whether it was met. Goals are reported, never enforced.
class ResultTable {
public:
    struct Row {
        QString figure;
        QString installer;
        QString floor;
        QString comparison;
        QString target;
        std::optional<bool> met; // none: the row has no goal
    };

    void add(Row row);
    void addNote(const QString& note);
    void print() const;

    static double median(QList<double> values);
    static QString number(double value, int decimals = 1);

private:
    QList<Row> rows;
    QList<QString> notes;
};
