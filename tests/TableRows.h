#pragma once

#include <QTest>

#include <initializer_list>

// A data-driven test whose rows are structs: one column holding the whole row, each row named by
// its `name` field. The struct needs Q_DECLARE_METATYPE.
template <typename Row> void addRows(std::initializer_list<Row> rows) {
    QTest::addColumn<Row>("row");
    for (const Row& row : rows) {
        QTest::newRow(row.name) << row;
    }
}
