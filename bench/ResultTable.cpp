#include "ResultTable.h"

#include <QTextStream>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

void ResultTable::add(Row row) {
    rows.append(std::move(row));
}

void ResultTable::addNote(const QString& note) {
    notes.append(note);
}

void ResultTable::print() const {
    const auto cellsOf = [](const Row& row) {
        const QString met = row.met ? (*row.met ? u"met"_s : u"MISSED"_s) : u"—"_s;
        return std::array{row.figure, row.installer, row.floor, row.comparison, row.target, met};
    };
    const Row heading{u"Figure"_s, u"Installer"_s, u"Floor"_s,
                      u"Ratio"_s,  u"Target"_s,    std::nullopt};
    std::array<qsizetype, 6> widths{};
    for (const Row& row : rows + QList<Row>{heading}) {
        const auto cells = cellsOf(row);
        for (size_t column = 0; column < cells.size(); ++column) {
            widths[column] = std::max(widths[column], cells[column].size());
        }
    }
    QTextStream out(stdout);
    const auto printRow = [&](const std::array<QString, 6>& cells) {
        QString line;
        for (size_t column = 0; column < cells.size(); ++column) {
            // Figures are names, read from the left; the rest are numbers, lined up on the right.
            line += column == 0 ? cells[column].leftJustified(widths[column])
                                : u"  "_s + cells[column].rightJustified(widths[column]);
        }
        while (line.endsWith(u' ')) {
            line.chop(1);
        }
        out << line << '\n';
    };
    auto headingCells = cellsOf(heading);
    headingCells.back() = u"Met"_s;
    printRow(headingCells);
    for (const Row& row : rows) {
        printRow(cellsOf(row));
    }
    for (const QString& note : notes) {
        out << note << '\n';
    }
}

double ResultTable::median(QList<double> values) {
    if (values.isEmpty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 == 1 ? values.at(middle)
                                  : (values.at(middle - 1) + values.at(middle)) / 2;
}

QString ResultTable::number(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}
