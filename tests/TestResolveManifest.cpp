#include "CaseFile.h"
#include "ResolveManifest.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestResolveManifest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decode_data();
    void decode();
};

// The cases of data/ResolveManifest.cases, then every input of the fuzz corpus, which must only
// decode to a manifest or to the reason it is none.
void TestResolveManifest::decode_data() {
    addCaseRows(u"ResolveManifest.cases"_s);
    for (const QFileInfo& input :
         QDir(QStringLiteral(ZEPH_FUZZ_CORPUS)).entryInfoList(QDir::Files)) {
        QFile file(input.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QTest::newRow(qPrintable(u"corpus: "_s + input.fileName()))
            << Case{{{"body", file.readAll()}}};
    }
}

void TestResolveManifest::decode() {
    QFETCH(Case, testCase);
    const ResolveManifest::Decoding decoding = ResolveManifest::decode(testCase.steps[0].argument);
    QCOMPARE(decoding.manifest.has_value(), decoding.errorDescription.isEmpty());
    const QString decoded = decoding.manifest
                                ? decoding.manifest->version + u'|' + decoding.manifest->script_url
                                : decoding.errorDescription;
    for (const Case::Step& expected : testCase.steps.mid(1)) {
        QVERIFY2(decoded.contains(QString::fromUtf8(expected.argument)), qPrintable(decoded));
    }
}

QTEST_GUILESS_MAIN(TestResolveManifest)
#include "TestResolveManifest.moc"
