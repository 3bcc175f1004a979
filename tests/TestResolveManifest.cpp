#include "ResolveManifest.h"

#include <QDirIterator>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// "VERSION|SCRIPT_URL", then "|SIGNATURE" when there is one; or the reason the body is none.
QString decoded(const QByteArray& body) {
    const ResolveManifest::Decoding decoding = ResolveManifest::decode(body);
    if (!decoding.manifest) {
        return decoding.errorDescription;
    }
    const ResolveManifest& manifest = *decoding.manifest;
    return manifest.version + u'|' + manifest.script_url +
           (manifest.signature ? u'|' + *manifest.signature : QString());
}

} // namespace

class TestResolveManifest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decode_data();
    void decode();
    void corpus_data();
    void corpus();
};

void TestResolveManifest::decode_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("decoded");
    QTest::newRow("plain") << R"({"version":"1.4.0","script_url":"https://h/s.py"})"_ba
                           << u"1.4.0|https://h/s.py"_s;
    QTest::newRow("other keys ignored, any order")
        << R"({"a":1,"script_url":"u","b":[null],"version":"007","c":{"version":3}})"_ba
        << u"007|u"_s;
    QTest::newRow("empty strings") << R"({"version":"","script_url":""})"_ba << u"|"_s;
    QTest::newRow("escapes decoded, nothing trimmed")
        << "\n {\"version\":\" 1\\u00e9\\n \",\"script_url\":\"https:\\/\\/h\\/a b\"} \n"_ba
        << u" 1é\n |https://h/a b"_s;
    QTest::newRow("a signature") << R"({"version":"1","script_url":"u","signature":"c2ln"})"_ba
                                 << u"1|u|c2ln"_s;
    QTest::newRow("a signature that is no string")
        << R"({"version":"1","script_url":"u","signature":7})"_ba << u"1|u|"_s;
    QTest::newRow("empty body") << ""_ba
                                << u"The data is not valid JSON (illegal value at offset 0)."_s;
    QTest::newRow("top-level array") << R"([{"version":"1","script_url":"u"}])"_ba
                                     << u"The top-level value is not a JSON object."_s;
    QTest::newRow("capital V") << R"({"Version":"1","script_url":"u"})"_ba
                               << u"The key “version” is missing."_s;
    QTest::newRow("camel-case address")
        << R"({"version":"1","scriptUrl":"u"})"_ba << u"The key “script_url” is missing."_s;
    QTest::newRow("version a number")
        << R"({"version":1.4,"script_url":"u"})"_ba << u"The value of “version” is not a string."_s;
    QTest::newRow("version null, address too")
        << R"({"version":null,"script_url":null})"_ba << u"The value of “version” is null."_s;
    QTest::newRow("address an array") << R"({"version":"1","script_url":["u"]})"_ba
                                      << u"The value of “script_url” is not a string."_s;
}

void TestResolveManifest::decode() {
    QFETCH(QByteArray, body);
    QTEST(decoded(body), "decoded");
}

void TestResolveManifest::corpus_data() {
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
void TestResolveManifest::corpus() {
    QFETCH(QByteArray, body);
    const ResolveManifest::Decoding decoding = ResolveManifest::decode(body);
    QCOMPARE(decoding.manifest.has_value(), decoding.errorDescription.isEmpty());
}

QTEST_GUILESS_MAIN(TestResolveManifest)
#include "TestResolveManifest.moc"
