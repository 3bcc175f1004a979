#include "CaseFile.h"

#include <QMap>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

// The release tool run for real, case by case from data/ZephSign.cases: the keys it makes, the
// manifests it signs and what it accepts.
class TestZephSign : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cases_data();
    void cases();
};

void TestZephSign::cases_data() {
    addCaseRows(u"ZephSign.cases"_s);
}

void TestZephSign::cases() {
    QFETCH(Case, testCase);
    QTemporaryDir folder;
    QMap<QByteArray, QByteArray> kept;
    QByteArray out, err;
    int exitCode = 0;
    const mode_t umask = ::umask(022);
    const auto restoreUmask = qScopeGuard([umask] { ::umask(umask); });
    for (const auto& [verb, argument] : testCase.steps) {
        const QList<QByteArray> words = Case::words(argument, 3);
        // The file a step names: its first word, or for "mode F:" and "file F:" its second.
        const QByteArray name = verb == "expect" && (words[0] == "mode" || words[0] == "file")
                                    ? words.value(1).chopped(1)
                                    : words[0];
        QFile file(folder.filePath(QString::fromUtf8(name)));
        if (verb.startsWith("zeph-sign")) {
            QStringList arguments;
            for (const QByteArray& word : argument.split(' ')) {
                arguments << QString::fromUtf8(word.startsWith('$') ? kept.value(word.mid(1))
                                                                    : word);
            }
            QProcess zephSign;
            zephSign.setWorkingDirectory(folder.path());
            if (verb == "zeph-sign-into-a-full-disk") {
                zephSign.setStandardOutputFile(u"/dev/full"_s);
            }
            zephSign.start(QStringLiteral(ZEPH_SIGN_EXECUTABLE), arguments);
            QVERIFY(zephSign.waitForFinished());
            exitCode = zephSign.exitCode();
            out = zephSign.readAllStandardOutput();
            err = zephSign.readAllStandardError();
        } else if (verb == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(file.fileName()).constData(), 0600), 0);
        } else if (verb == "umask") {
            ::umask(argument.toUInt(nullptr, 8));
        } else if (verb == "keep") {
            kept.insert(argument, out.trimmed());
        } else if (verb == "write" || verb == "save") {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(verb == "save" ? out : Case::words(argument, 2).value(1));
        } else if (verb == "edit") {
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray edited = file.readAll().replace(words.value(1), words.value(2));
            QVERIFY(file.resize(0) && file.write(edited) == edited.size());
        } else {
            QCOMPARE(verb, "expect");
            struct stat info {};
            ::stat(QFile::encodeName(file.fileName()).constData(), &info);
            const QByteArray content =
                file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            const QStringList lines{
                u"exit: %1"_s.arg(exitCode),
                u"stdout: "_s + QString::fromUtf8(out),
                u"stderr: "_s + QString::fromUtf8(err),
                u"key length: %1"_s.arg(out.trimmed().size()),
                u"file %1: "_s.arg(QString::fromUtf8(name)) + QString::fromUtf8(content),
                u"mode %1: %2"_s.arg(QString::fromUtf8(name)).arg(info.st_mode & 0777, 0, 8)};
            const QString text = QString::fromUtf8(argument);
            QVERIFY2(std::any_of(lines.begin(), lines.end(),
                                 [&](const QString& line) { return line.startsWith(text); }),
                     qPrintable(text + u"\nnot in:\n"_s + lines.join(u'\n')));
        }
    }
}

QTEST_GUILESS_MAIN(TestZephSign)
#include "TestZephSign.moc"
