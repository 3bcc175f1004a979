#include "ResolveManifest.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestResolveManifest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decode_data();
    void decode();
};

void TestResolveManifest::decode_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("decoded"); // "version|script_url", or a part of the error

    QTest::newRow("plain") << R"({"version":"1.4.0","script_url":"https://h/s.py"})"_ba
                           << u"1.4.0|https://h/s.py"_s;
    QTest::newRow("other keys ignored, any order")
        << R"({"a":1,"script_url":"u","b":[null],"version":"007","c":{"version":3}})"_ba
        << u"007|u"_s;
    QTest::newRow("empty strings") << R"({"version":"","script_url":""})"_ba << u"|"_s;
    QTest::newRow("escapes decoded, nothing trimmed")
        << "\n {\"version\":\" 1\\u00e9\\n \",\"script_url\":\"https:\\/\\/h\\/a b\"} \n"_ba
        << u" 1é\n |https://h/a b"_s;
    QTest::newRow("empty body") << QByteArray() << u"not valid JSON"_s;
    QTest::newRow("html page") << "<html><body>404</body></html>"_ba << u"not valid JSON"_s;
    QTest::newRow("trailing garbage")
        << R"({"version":"1","script_url":"u"} x)"_ba << u"not valid JSON"_s;
    QTest::newRow("top-level array") << R"([{"version":"1","script_url":"u"}])"_ba
                                     << u"The top-level value is not a JSON object."_s;
    QTest::newRow("capital V") << R"({"Version":"1","script_url":"u"})"_ba
                               << u"The key “version” is missing."_s;
    QTest::newRow("camel-case url")
        << R"({"version":"1","scriptUrl":"u"})"_ba << u"The key “script_url” is missing."_s;
    QTest::newRow("version a number")
        << R"({"version":1.4,"script_url":"u"})"_ba << u"The value of “version” is not a string."_s;
    QTest::newRow("version null, url too")
        << R"({"version":null,"script_url":null})"_ba << u"The value of “version” is null."_s;
    QTest::newRow("url an array") << R"({"version":"1","script_url":["u"]})"_ba
                                  << u"The value of “script_url” is not a string."_s;
}

void TestResolveManifest::decode() {
    QFETCH(QByteArray, body);
    QFETCH(QString, decoded);

    const ResolveManifest::Decoding decoding = ResolveManifest::decode(body);
    QCOMPARE(decoding.manifest.has_value(), decoding.errorDescription.isEmpty());
    if (decoding.manifest) {
        QCOMPARE(decoding.manifest->version + u'|' + decoding.manifest->script_url, decoded);
    } else {
        QVERIFY2(decoding.errorDescription.contains(decoded),
                 qPrintable(decoding.errorDescription));
    }
}

QTEST_GUILESS_MAIN(TestResolveManifest)
#include "TestResolveManifest.moc"
