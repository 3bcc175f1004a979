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
// translated, texts from the installer's state are shown as they are (run through a translation,
// they would be missed).
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

    // A regional variant gets its language's translation; a language without one, English.
    QTest::newRow("Austrian German") << u"de_AT"_s << u"Lumerra × Resolve – Installationsprogramm"_s
                                     << u"Version neu laden"_s << u"Token hier einfügen…"_s << true;
    QTest::newRow("Canadian French")
        << u"fr_CA"_s << u"Programme d’installation Lumerra × Resolve"_s
        << u"Actualiser la version"_s << u"Collez le jeton ici…"_s << true;
    QTest::newRow("Japanese") << u"ja_JP"_s << u"Lumerra × Resolve Installer"_s
                              << u"Refresh version"_s << u"Paste token here…"_s << false;
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
}

QTEST_MAIN(TestTranslations)
#include "TestTranslations.moc"
