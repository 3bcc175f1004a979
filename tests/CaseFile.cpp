#include "CaseFile.h"

#include <QFile>
#include <QMap>
#include <QTest>

namespace {

QByteArray unescaped(const QByteArray& text) {
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        const char code = text[++i];
        if (code == '{') { // \{N c}: N times the byte c
            const qsizetype end = text.indexOf('}', i);
            bytes += QByteArray(text.mid(i + 1, end - i - 3).toInt(), text[end - 1]);
            i = end;
        } else if (code == 'x') {
            bytes += char(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else if (code != 'e') { // \e: nothing, for an empty word
            bytes += QByteArray("\n\r\t\0\\ ", 6).at(QByteArray("nrt0\\s").indexOf(code));
        }
    }
    return bytes;
}

} // namespace

QList<QByteArray> Case::words(const QByteArray& argument, int count) {
    QList<QByteArray> parts = argument.split(' ');
    while (parts.size() > count) {
        parts[count - 1] += ' ' + parts.takeAt(count);
    }
    return parts;
}

void addCaseRows(const QString& fileName) {
    QFile file(QStringLiteral(ZEPH_TEST_DATA "/") + fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("cannot read %s", qPrintable(file.fileName()));
    }
    QTest::addColumn<Case>("testCase");
    QMap<QByteArray, Case> cases;
    QList<QByteArray> order;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith('[')) {
            order << line.mid(1, line.indexOf(']') - 1);
        } else if (!line.isEmpty() && !line.startsWith('#')) {
            const QList<QByteArray> step = Case::words(line, 2);
            const QByteArray argument = unescaped(step.value(1));
            if (order.isEmpty() || (step[0] == "use" && !cases.contains(argument))) {
                qFatal("%s: “%s” is no step of a case", qPrintable(fileName), line.constData());
            }
            if (step[0] == "use") {
                cases[order.last()].steps += cases.value(argument).steps;
            } else {
                cases[order.last()].steps.append({step[0], argument});
            }
        }
    }
    for (const QByteArray& name : order) {
        QTest::newRow(name.constData()) << cases.value(name);
    }
}
