#include "FakePlatformServices.h"
#include "InstallerWindow.h"
#include "Translation.h"
#include "ZEPHInstallerApp.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Queried only when no translation installed after it knows a text: records the installer's own
// texts that would show in English. Qt's widgets ask for theirs too, under their class names.
class MissedTexts : public QTranslator {
public:
    mutable QStringList missed;
    bool isEmpty() const override {
        return false;
    }
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (context[0] != 'Q') {
            missed << QString::fromUtf8(source);
        }
        return {};
    }
};

} // namespace

// The window in the user's language, as the application loads it at start: fixed labels are
// translated, texts from the installer's state are shown as they are.
class TestTranslations : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void labelsFollowTheLocale_data();
    void labelsFollowTheLocale();
};

void TestTranslations::labelsFollowTheLocale_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("refresh");
    QTest::addColumn<QString>("placeholder");
    QTest::addColumn<bool>("translated");

    const QString english[] = {u"Lumerra × Resolve Installer"_s, u"Refresh version"_s,
                               u"Paste token here…"_s};
    const QString german[] = {u"Lumerra × Resolve – Installationsprogramm"_s,
                              u"Version neu laden"_s, u"Token hier einfügen…"_s};
    const QString french[] = {u"Programme d’installation Lumerra × Resolve"_s,
                              u"Actualiser la version"_s, u"Collez le jeton ici…"_s};
    // clang-format off
    QTest::newRow("German") << u"de_DE"_s << german[0] << german[1] << german[2] << true;
    QTest::newRow("Austrian German") << u"de_AT"_s << german[0] << german[1] << german[2] << true;
    QTest::newRow("French") << u"fr_FR"_s << french[0] << french[1] << french[2] << true;
    QTest::newRow("Canadian French") << u"fr_CA"_s << french[0] << french[1] << french[2] << true;
    QTest::newRow("Japanese") << u"ja_JP"_s << english[0] << english[1] << english[2] << false;
    QTest::newRow("English") << u"en_US"_s << english[0] << english[1] << english[2] << false;
    // clang-format on
}

void TestTranslations::labelsFollowTheLocale() {
    QFETCH(QString, locale);
    QFETCH(QString, heading);
    QFETCH(QString, refresh);
    QFETCH(QString, placeholder);
    QFETCH(bool, translated);

    MissedTexts missedTexts;
    QCoreApplication::installTranslator(&missedTexts);
    QLocale::setDefault(QLocale(locale));
    const std::unique_ptr<QTranslator> translation = installTranslation(QLocale());
    QCOMPARE(translation != nullptr, translated);

    FakePlatformServices fake;
    const ZEPHInstallerApp application(fake); // for the "New Window" action
    const InstallerWindow window(fake);
    QCOMPARE(window.findChild<QLabel*>()->text(), heading);
    QStringList buttons;
    for (const QPushButton* button : window.findChildren<QPushButton*>()) {
        buttons << button->text();
    }
    QVERIFY2(buttons.contains(refresh), qPrintable(buttons.join(u", "_s)));
    QCOMPARE(window.findChild<QLineEdit*>()->placeholderText(), placeholder);
    QVERIFY2(missedTexts.missed.isEmpty() == translated,
             qPrintable(u"in English: "_s + missedTexts.missed.join(u", "_s)));

    const QMap<QString, QString> fromState = {
        {u"statusLine"_s, u"Ready."_s},
        {u"manifestVersion"_s, u"—"_s},
        {u"manifestStatus"_s, u"Loading…"_s},
        {u"pythonStatus"_s, u"Checking…"_s},
        {u"scriptPath"_s, u"/home/tester/Library/Application Support/Blackmagic Design/"
                          "DaVinci Resolve/Fusion/Scripts/Utility/ZEPH_Export_Gallery_Stills.py"_s},
        {u"tokenPath"_s, u"/home/tester/.zeph/resolve_token.txt"_s}};
    for (auto line = fromState.begin(); line != fromState.end(); ++line) {
        QCOMPARE(window.findChild<QLabel*>(line.key())->text(), line.value());
    }
}

QTEST_MAIN(TestTranslations)
#include "TestTranslations.moc"
