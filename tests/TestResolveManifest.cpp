#include "ResolveManifest.h"

#include <QDirIterator>
#include <QTest>

using namespace Qt::StringLiterals;

// The manifest decoder, and every input the fuzzer kept.
class TestResolveManifest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decode_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("decoded"); // version|address, or why the body is none
        QTest::newRow("other keys ignored, any order")
            << R"({"a":1,"script_url":"u","b":[null],"version":"007","c":{"version":3}})"_ba
            << u"007|u"_s;
        QTest::newRow("escapes decoded, nothing trimmed")
            << "\n {\"version\":\" 1\\u00e9\\n \",\"script_url\":\"https:\\/\\/h\\/a b\"} \n"_ba
            << u" 1é\n |https://h/a b"_s;
        QTest::newRow("version a number") << R"({"version":1.4,"script_url":"u"})"_ba
                                          << u"The value of “version” is not a string."_s;
    }
    void decode() {
        QFETCH(QByteArray, body);
        const ResolveManifest::Decoding decoding = ResolveManifest::decode(body);
        const auto& manifest = decoding.manifest;
        QTEST(manifest ? manifest->version + u'|' + manifest->script_url
                       : decoding.errorDescription,
              "decoded");
    }

    void corpus_data() {
        QTest::addColumn<QByteArray>("body");
        QDirIterator inputs(QStringLiteral(ZEPH_FUZZ_CORPUS), QDir::Files,
                            QDirIterator::Subdirectories);
        while (inputs.hasNext()) {
            QFile input(inputs.next());
            QVERIFY(input.open(QIODevice::ReadOnly));
            QTest::newRow(qPrintable(input.fileName().section(u'/', -2))) << input.readAll();
        }
    }
    // Whatever the fuzzer found: a manifest or the reason the body is none, never both or neither.
    void corpus() {
        QFETCH(QByteArray, body);
        const ResolveManifest::Decoding decoding = ResolveManifest::decode(body);
        QCOMPARE(decoding.manifest.has_value(), decoding.errorDescription.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestResolveManifest)
#include "TestResolveManifest.moc"
