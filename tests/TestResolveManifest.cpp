#include "ResolveManifest.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestResolveManifest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decodes_data();
    void decodes();
    void rejects_data();
    void rejects();
};

void TestResolveManifest::decodes_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("scriptUrl");

    QTest::newRow("plain") << R"({"version":"1.4.0","script_url":"https://h/s.py"})"_ba
                           << u"1.4.0"_s << u"https://h/s.py"_s;
    QTest::newRow("keys in the other order")
        << R"({"script_url":"https://h/s.py","version":"1.4.0"})"_ba << u"1.4.0"_s
        << u"https://h/s.py"_s;
    QTest::newRow("further keys ignored")
        << R"({"a":1,"version":"2","b":[null],"script_url":"u","c":{"version":3}})"_ba << u"2"_s
        << u"u"_s;
    QTest::newRow("digits stay text")
        << R"({"version":"007","script_url":"x"})"_ba << u"007"_s << u"x"_s;
    QTest::newRow("empty strings")
        << R"({"version":"","script_url":""})"_ba << QString() << QString();
    QTest::newRow("no trimming, escapes decoded")
        << R"({"version":" 1\u00e9\n ","script_url":"https:\/\/h\/a b"})"_ba << u" 1é\n "_s
        << u"https://h/a b"_s;
    QTest::newRow("white space around the document")
        << "\n  {\"version\":\"1\",\"script_url\":\"u\"}  \n"_ba << u"1"_s << u"u"_s;
}

void TestResolveManifest::decodes() {
    QFETCH(QByteArray, body);
    QFETCH(QString, version);
    QFETCH(QString, scriptUrl);

    const ResolveManifest::Decoding decoding = ResolveManifest::decode(body);
    QVERIFY2(decoding.manifest, qPrintable(decoding.errorDescription));
    QCOMPARE(decoding.manifest->version, version);
    QCOMPARE(decoding.manifest->script_url, scriptUrl);
    QVERIFY(decoding.errorDescription.isEmpty());
}

void TestResolveManifest::rejects_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("description"); // a part of the description that must appear

    QTest::newRow("empty body") << QByteArray() << u"not valid JSON"_s;
    QTest::newRow("plain text") << "Not Found"_ba << u"not valid JSON"_s;
    QTest::newRow("html error page") << "<html><body>404</body></html>"_ba << u"not valid JSON"_s;
    QTest::newRow("truncated") << R"({"version":"1","script_url":"u")"_ba << u"not valid JSON"_s;
    QTest::newRow("trailing garbage")
        << R"({"version":"1","script_url":"u"} x)"_ba << u"not valid JSON"_s;
    QTest::newRow("top-level array")
        << R"([{"version":"1","script_url":"u"}])"_ba << u"not a JSON object"_s;
    QTest::newRow("both keys missing") << "{}"_ba << u"“version” is missing"_s;
    QTest::newRow("capital V") << R"({"Version":"1","script_url":"u"})"_ba
                               << u"“version” is missing"_s;
    QTest::newRow("camel case url")
        << R"({"version":"1","scriptUrl":"u"})"_ba << u"“script_url” is missing"_s;
    QTest::newRow("version number")
        << R"({"version":1.4,"script_url":"u"})"_ba << u"“version” is not a string"_s;
    QTest::newRow("version null") << R"({"version":null,"script_url":"u"})"_ba
                                  << u"“version” is null"_s;
    QTest::newRow("version object")
        << R"({"version":{},"script_url":"u"})"_ba << u"“version” is not a string"_s;
    QTest::newRow("url boolean") << R"({"version":"1","script_url":true})"_ba
                                 << u"“script_url” is not a string"_s;
    QTest::newRow("url array") << R"({"version":"1","script_url":["u"]})"_ba
                               << u"“script_url” is not a string"_s;
    QTest::newRow("version checked first")
        << R"({"version":false,"script_url":null})"_ba << u"“version”"_s;
}

void TestResolveManifest::rejects() {
    QFETCH(QByteArray, body);
    QFETCH(QString, description);

    const ResolveManifest::Decoding decoding = ResolveManifest::decode(body);
    QVERIFY(!decoding.manifest);
    QVERIFY2(decoding.errorDescription.contains(description),
             qPrintable(decoding.errorDescription));
}

QTEST_GUILESS_MAIN(TestResolveManifest)
#include "TestResolveManifest.moc"
