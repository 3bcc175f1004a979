#include <QFile>
#include <QTest>
#include <QVariantMap>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

// Reads the top-level dictionary of a property list: strings, booleans and arrays of strings.
// Any XML error fails the read.
std::optional<QVariantMap> readPropertyList(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QXmlStreamReader xml(&file);
    QVariantMap entries;
    QString key;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const QString name = xml.name().toString();
        if (name == "key"_L1) {
            key = xml.readElementText();
        } else if (name == "string"_L1) {
            entries.insert(key, xml.readElementText());
        } else if (name == "true"_L1 || name == "false"_L1) {
            entries.insert(key, name == "true"_L1);
        } else if (name == "array"_L1) {
            QStringList items;
            while (!xml.atEnd() &&
                   !(xml.readNext() == QXmlStreamReader::EndElement && xml.name() == "array"_L1)) {
                if (xml.isStartElement()) {
                    items << xml.readElementText();
                }
            }
            entries.insert(key, items);
        }
    }
    if (xml.hasError()) {
        qWarning() << path << xml.errorString() << "at line" << xml.lineNumber();
        return std::nullopt;
    }
    return entries;
}

} // namespace

// What the Mac build ships in its bundle, checked where the Mac tools are not at hand.
class TestMacBundleFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void infoPlist_data();
    void infoPlist();
    void entitlementsKeepTheSandboxOff();
};

void TestMacBundleFiles::infoPlist_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");

    QTest::newRow("name") << u"CFBundleName"_s << QVariant(u"ZEPHInstaller_macOS"_s);
    QTest::newRow("executable") << u"CFBundleExecutable"_s << QVariant(u"ZEPHInstaller_macOS"_s);
    QTest::newRow("identifier") << u"CFBundleIdentifier"_s
                                << QVariant(u"com.lumerra.zeph.installer"_s);
    QTest::newRow("application") << u"CFBundlePackageType"_s << QVariant(u"APPL"_s);
    QTest::newRow("macOS 13.5") << u"LSMinimumSystemVersion"_s << QVariant(u"13.5"_s);
    QTest::newRow("arm64") << u"LSArchitecturePriority"_s << QVariant(QStringList{u"arm64"_s});
    QTest::newRow("high resolution") << u"NSHighResolutionCapable"_s << QVariant(true);
    QTest::newRow("icon") << u"CFBundleIconFile"_s << QVariant(u"ZEPHInstaller.icns"_s);
    QTest::newRow("translations") << u"CFBundleLocalizations"_s
                                  << QVariant(QStringList{u"en"_s, u"de"_s, u"fr"_s});
}

void TestMacBundleFiles::infoPlist() {
    QFETCH(QString, key);
    QFETCH(QVariant, value);

    const auto plist = readPropertyList(QStringLiteral(ZEPH_INFO_PLIST));
    QVERIFY(plist);
    QCOMPARE(plist->value(key), value);
    QVERIFY(!plist->value(u"CFBundleShortVersionString"_s).toString().contains(u'@'));
}

void TestMacBundleFiles::entitlementsKeepTheSandboxOff() {
    const auto entitlements = readPropertyList(QStringLiteral(ZEPH_ENTITLEMENTS));
    QVERIFY(entitlements);
    QCOMPARE(entitlements->value(u"com.apple.security.app-sandbox"_s), QVariant(false));
}

QTEST_GUILESS_MAIN(TestMacBundleFiles)
#include "TestMacBundleFiles.moc"
