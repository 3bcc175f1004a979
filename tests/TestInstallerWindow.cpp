#include "FakePlatformServices.h"
#include "InstallerWindow.h"
#include "Translation.h"
#include "WrappingLabel.h"
#include "ZEPHInstallerApp.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

using Fake = FakePlatformServices;

QPushButton* buttonIn(const QWidget* window, const QString& title) {
    for (QPushButton* candidate : window->findChildren<QPushButton*>()) {
        if (candidate->text() == title) {
            return candidate;
        }
    }
    return nullptr;
}

// Records what a label showed whenever it was painted.
class PaintLog : public QObject {
public:
    QStringList painted;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted << qobject_cast<QLabel*>(watched)->text();
        }
        return false;
    }
};

} // namespace

// The real window over a scripted platform, seen as a user sees it: buttons by their titles,
// texts from state by the names of their labels, keys sent as keys.
class TestInstallerWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void picture_data();
    void picture();
    void buttons_data();
    void buttons();
    void returnKey_data();
    void returnKey();
    void keyboard();
    void typingKeepsTheCursor();
    void textSetWithoutKeystrokesIsTheToken();
    void aPastedTokenIsNeverCut();
    void labels_data();
    void labels();
    void longTexts();
    void formattingCharactersAreShownAsReplacements();
    void startUpRunsAfterThePaintOfEachShow();
    void secondWindowHasItsOwnState();

private:
    // "script" and "token" on disk, "no Python" to be found; "manifest": answered once shown.
    void showOn(const QStringList& machine);
    // "on" or "off" for a button of that title; the text the label of that name draws, or
    // "hidden"; the token field's text, then "on" or "off".
    QString shown(const QString& name) const;
    QPushButton* button(const QString& title) const;
    QLineEdit* field() const;

    std::unique_ptr<Fake> fake;
    std::unique_ptr<InstallerWindow> window;
};

void TestInstallerWindow::init() {
    window.reset();
    fake = std::make_unique<Fake>();
    window = std::make_unique<InstallerWindow>(*fake);
}

void TestInstallerWindow::showOn(const QStringList& machine) {
    if (machine.contains(u"script"_s)) {
        fake->files[Fake::scriptFile] = "print()\n";
    }
    if (machine.contains(u"token"_s)) {
        fake->files[Fake::tokenFile] = "tok";
    }
    if (machine.contains(u"no Python"_s)) {
        fake->processResult = {ProcessResult::Outcome::Exited, 127, "env: 'python3': not found\n"};
    }
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_COMPARE(fake->processRuns.size(), 1);
    if (machine.contains(u"manifest"_s)) {
        fake->answer(0, {HttpReply::Outcome::Answered,
                         {},
                         200,
                         R"({"version":"1.4.2","script_url":"https://cdn.invalid/zeph.py"})"});
    }
}

QString TestInstallerWindow::shown(const QString& name) const {
    if (const QPushButton* found = button(name)) {
        return found->isEnabled() ? u"on"_s : u"off"_s;
    }
    if (name == "field"_L1) {
        return field()->text() + (field()->isEnabled() ? u" on"_s : u" off"_s);
    }
    const QLabel* label = window->findChild<QLabel*>(name);
    if (!label || label->isHidden()) {
        return label ? u"hidden"_s : u"(none)"_s;
    }
    const auto* wrapping = qobject_cast<const WrappingLabel*>(label);
    return wrapping ? wrapping->visibleLines(wrapping->contentsRect().width()).join(QString())
                    : label->text();
}

QPushButton* TestInstallerWindow::button(const QString& title) const {
    return buttonIn(window.get(), title);
}

QLineEdit* TestInstallerWindow::field() const {
    return window->findChild<QLineEdit*>();
}

void TestInstallerWindow::picture_data() {
    QTest::addColumn<QStringList>("machine");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QString>(
        "picture"); // "NAME: WHAT" as for shown(), or "NAME: shown"; "|" between
    const QStringList allSet{u"script"_s, u"token"_s, u"manifest"_s};
    QTest::newRow("fetch under way")
        << QStringList() << u""_s
        << u"manifestVersion: —|manifestStatus: Loading…|Refresh version: on|pythonBadge: Detected|"
           "pythonStatus: Python 3.12.1|Install Python: off|Re-check: on|pythonHint: hidden|"
           "scriptBadge: hidden|Install Script: off|Open Scripts Folder: on|scriptPath: "
           "/home/tester/Library/Application Support/Blackmagic Design/DaVinci Resolve/Fusion/"
           "Scripts/Utility/ZEPH_Export_Gallery_Stills.py|tokenBadge: hidden|field:  on|Save "
           "Token: "
           "off|Open Token File: on|tokenPath: /home/tester/.zeph/resolve_token.txt|finishBadge: "
           "hidden|Check status: on|Close: off|finishHint: shown|statusLine: Python detected."_s;
    QTest::newRow("manifest loaded") << QStringList{u"manifest"_s} << u""_s
                                     << u"manifestVersion: 1.4.2|manifestStatus: Latest available "
                                        "script.|Install Script: on"_s;
    QTest::newRow("no Python")
        << QStringList{u"no Python"_s, u"manifest"_s} << u""_s
        << u"pythonBadge: Required|pythonStatus: Python not found|Install Python: on|Install "
           "Script: off|pythonHint: shown"_s;
    QTest::newRow("script found, no manifest")
        << QStringList{u"script"_s} << u""_s << u"scriptBadge: Installed ✅|Update Script: off"_s;
    QTest::newRow("all set") << allSet << u""_s
                             << u"tokenBadge: Saved ✅|field: tok on|Save Token: on|Update Script: "
                                "on|finishBadge: All set ✅|finishHint: hidden|Close: on"_s;
    QTest::newRow("download under way")
        << allSet << u"Update Script"_s
        << u"Refresh version: off|Install Python: off|Re-check: off|Update Script: off|Open "
           u"Scripts "
           "Folder: off|field: tok off|Save Token: off|Open Token File: off|Check status: "
           "off|Close: "
           "off|finishBadge: All set ✅|statusLine: Downloading script v1.4.2…"_s;
}

void TestInstallerWindow::picture() {
    QFETCH(QStringList, machine);
    QFETCH(QString, click);
    QFETCH(QString, picture);
    showOn(machine);
    if (!click.isEmpty()) {
        QTest::mouseClick(button(click), Qt::LeftButton);
    }
    for (const QString& line : picture.split(u'|')) {
        const QString name = line.section(u": "_s, 0, 0);
        // A fixed text is only ever shown or hidden.
        const QString actual = shown(name);
        QCOMPARE(name + u": "_s +
                     (line.endsWith(u": shown"_s) && actual != u"hidden"_s ? u"shown"_s : actual),
                 line);
    }
    // Every text has the height it needs, inside the window.
    for (const WrappingLabel* label : window->findChildren<WrappingLabel*>()) {
        QTRY_VERIFY2(label->height() >= label->heightForWidth(label->width()),
                     qPrintable(label->objectName()));
        QVERIFY(
            window->rect().contains(QRect(label->mapTo(window.get(), QPoint()), label->size())));
    }
}

void TestInstallerWindow::buttons_data() {
    QTest::addColumn<QStringList>("machine");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("calls");
    const QStringList ready{u"manifest"_s}, allSet{u"script"_s, u"token"_s, u"manifest"_s};
    const QString private_ = u" private"_s;
    QTest::newRow("Refresh version")
        << ready << u"Refresh version"_s << QStringList{u"get " ZEPH_MANIFEST_URL ""_s};
    QTest::newRow("Install Python") << QStringList{u"no Python"_s} << u"Install Python"_s
                                    << QStringList{u"open " ZEPH_PYTHON_DOWNLOADS_URL ""_s};
    QTest::newRow("Re-check") << ready << u"Re-check"_s
                              << QStringList{u"run /usr/bin/env python3 --version"_s};
    QTest::newRow("Install Script") << ready << u"Install Script"_s
                                    << QStringList{u"get https://cdn.invalid/zeph.py?v=1.4.2"_s};
    QTest::newRow("Open Scripts Folder") << ready << u"Open Scripts Folder"_s
                                         << QStringList{u"open file://"_s + Fake::scriptsFolder};
    QTest::newRow("Save Token") << allSet << u"Save Token"_s
                                << QStringList{u"mkdir "_s + Fake::tokenFolder + private_,
                                               u"write "_s + Fake::tokenFile + private_};
    QTest::newRow("Open Token File")
        << allSet << u"Open Token File"_s
        << QStringList{u"exists "_s + Fake::tokenFile, u"keep private "_s + Fake::tokenFile,
                       u"open file://"_s + Fake::tokenFile};
    QTest::newRow("Close") << allSet << u"Close"_s << QStringList{u"quit"_s};
}

void TestInstallerWindow::buttons() {
    QFETCH(QStringList, machine);
    QFETCH(QString, title);
    showOn(machine);
    fake->calls.clear();
    QTest::mouseClick(button(title), Qt::LeftButton);
    QTEST(fake->calls, "calls");
}

void TestInstallerWindow::returnKey_data() {
    QTest::addColumn<bool>("allSet");
    QTest::addColumn<bool>("inTheField");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("Return, Close on") << true << false << Qt::Key_Return << QStringList{u"quit"_s};
    QTest::newRow("Enter, Close on") << true << false << Qt::Key_Enter << QStringList{u"quit"_s};
    QTest::newRow("Return in the field, Close on")
        << true << true << Qt::Key_Return << QStringList{u"quit"_s};
    QTest::newRow("Return, Close off") << false << false << Qt::Key_Return << QStringList();
    QTest::newRow("Return in the field, Close off: nothing saved")
        << false << true << Qt::Key_Return << QStringList();
}

// Return anywhere acts as "Close", the default button; while Close is off it does nothing.
void TestInstallerWindow::returnKey() {
    QFETCH(bool, allSet);
    QFETCH(bool, inTheField);
    QFETCH(Qt::Key, key);
    showOn(allSet ? QStringList{u"script"_s, u"token"_s} : QStringList());
    QTest::keyClicks(field(), u"typed"_s);
    fake->calls.clear();
    QTest::keyClick(inTheField ? static_cast<QWidget*>(field()) : window.get(), key);
    QTEST(fake->calls, "calls");
}

// The window opens with the token field focused, Tab goes down the page, Close is the default.
void TestInstallerWindow::keyboard() {
    showOn({});
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QCOMPARE(QApplication::focusWidget(), field());
    QStringList tabOrder;
    QWidget* widget = field();
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            auto* push = qobject_cast<QPushButton*>(widget);
            tabOrder << (push ? push->text() : u"field"_s);
        }
        widget = widget->nextInFocusChain();
    } while (widget != field());
    QCOMPARE(tabOrder,
             QStringList({u"field"_s, u"Save Token"_s, u"Open Token File"_s, u"Check status"_s,
                          u"Close"_s, u"Refresh version"_s, u"Install Python"_s, u"Re-check"_s,
                          u"Install Script"_s, u"Open Scripts Folder"_s}));
    QVERIFY(button(u"Close"_s)->isDefault());
}

// Drawing the state back into the field leaves the cursor where the user put it.
void TestInstallerWindow::typingKeepsTheCursor() {
    showOn({});
    QTest::keyClicks(field(), u"abc"_s);
    QTest::keyClick(field(), Qt::Key_Home);
    QTest::keyClick(field(), Qt::Key_Right);
    QTest::keyClicks(field(), u"X"_s);
    QCOMPARE(field()->cursorPosition(), 2);
    QTest::mouseClick(button(u"Save Token"_s), Qt::LeftButton);
    QCOMPARE(fake->files.value(Fake::tokenFile), "aXbc");
}

// Screen readers, dictation and password managers set the text without a keystroke.
void TestInstallerWindow::textSetWithoutKeystrokesIsTheToken() {
    showOn({u"token"_s});
    QAccessible::queryAccessibleInterface(field())->setText(QAccessible::Value, u"NEW"_s);
    QTest::mouseClick(button(u"Save Token"_s), Qt::LeftButton);
    QCOMPARE(fake->files.value(Fake::tokenFile), "NEW");
    QCOMPARE(field()->text(), u"NEW"_s);
}

void TestInstallerWindow::aPastedTokenIsNeverCut() {
    showOn({});
    QGuiApplication::clipboard()->setText(QString(70000, u't'));
    QTest::keySequence(field(), QKeySequence::Paste);
    QCOMPARE(field()->text().size(), 70000);
}

void TestInstallerWindow::labels_data() {
    QTest::addColumn<QLocale::Language>("language");
    QTest::addColumn<QString>("checkStatus");
    QTest::addColumn<QString>("close");
    QTest::newRow("German") << QLocale::German << u"Status prüfen"_s << u"Schließen"_s;
    QTest::newRow("French") << QLocale::French << u"Vérifier l’état"_s << u"Fermer"_s;
}

// Fixed labels follow the language; texts from state are shown as they are.
void TestInstallerWindow::labels() {
    QFETCH(QLocale::Language, language);
    QFETCH(QString, checkStatus);
    QFETCH(QString, close);
    const auto translation = installTranslation(QLocale(language));
    QVERIFY(translation);
    window = std::make_unique<InstallerWindow>(*fake);
    showOn({});
    QCOMPARE(shown(checkStatus), u"on"_s);
    QCOMPARE(shown(close), u"off"_s);
    QCOMPARE(shown(u"statusLine"_s), u"Python detected."_s);
}

// Texts from state wrap to three lines, the status line to four and the paths to two; a longer
// one is cut with "…" and whole in its tooltip. However long they are, the window keeps its width
// and fits the screen.
void TestInstallerWindow::longTexts() {
    fake->home = u"/home/"_s + u"a-rather-long-home-folder-name/"_s.repeated(8);
    fake->processResult.output = (u"Python "_s + QString(1500, u'x')).toUtf8();
    fake->writeError = u"the disk is full "_s.repeated(100);
    window = std::make_unique<InstallerWindow>(*fake);
    showOn({});
    fake->answer(0, {HttpReply::Outcome::Answered,
                     {},
                     200,
                     R"({"version":")" + QByteArray(500000, 'x') + R"(","script_url":""})"});
    QTest::keyClicks(field(), u"tok"_s);
    QTest::mouseClick(button(u"Save Token"_s), Qt::LeftButton);
    for (const auto& [name, lines] : {std::pair(u"manifestVersion"_s, 3),
                                      {u"pythonStatus"_s, 3},
                                      {u"statusLine"_s, 4},
                                      {u"scriptPath"_s, 2},
                                      {u"tokenPath"_s, 2}}) {
        const auto* label = window->findChild<WrappingLabel*>(name);
        const QStringList drawn = label->visibleLines(label->contentsRect().width());
        QCOMPARE(name + u" in %1 lines"_s.arg(drawn.size()), name + u" in %1 lines"_s.arg(lines));
        QVERIFY(drawn.last().endsWith(u'…'));
        // A tooltip is whole up to 2,000 characters.
        QCOMPARE(label->toolTip(),
                 name == "manifestVersion"_L1 ? QString(2000, u'x') + u'…' : label->text());
        for (const QString& line : drawn) {
            QVERIFY2(label->fontMetrics().horizontalAdvance(line.trimmed()) <=
                         label->contentsRect().width(),
                     qPrintable(name));
        }
    }
    QCOMPARE(window->width(), 560);
    QVERIFY(window->height() <= window->screen()->availableGeometry().height());
}

// Control and bidirectional formatting characters from outside are drawn as U+FFFD, so that
// "1.4.0", U+202E, "gnp.evil" cannot pass for "1.4.0.live.png"; a line feed breaks the line.
void TestInstallerWindow::formattingCharactersAreShownAsReplacements() {
    fake->processResult.output = "Python 3.12\nbuilt\a";
    showOn({});
    fake->answer(0,
                 {HttpReply::Outcome::Answered,
                  {},
                  200,
                  "{\"version\":\"1.4.0\u202egnp.evil\",\"script_url\":\"https://h.invalid/s\"}"});
    QTest::mouseClick(button(u"Install Script"_s), Qt::LeftButton);
    QCOMPARE(shown(u"manifestVersion"_s), u"1.4.0\ufffdgnp.evil"_s);
    QCOMPARE(shown(u"statusLine"_s), u"Downloading script v1.4.0\ufffdgnp.evil…"_s);
    const auto* python = window->findChild<WrappingLabel*>(u"pythonStatus"_s);
    QCOMPARE(python->visibleLines(python->contentsRect().width()),
             QStringList({u"Python 3.12"_s, u"built\ufffd"_s}));
}

// The probe blocks: the window must have painted "Checking…" before it starts, at every show.
void TestInstallerWindow::startUpRunsAfterThePaintOfEachShow() {
    PaintLog log;
    window->findChild<QLabel*>(u"pythonStatus"_s)->installEventFilter(&log);
    QStringList paintedBeforeProbe;
    fake->whileProcessRuns = [&] {
        paintedBeforeProbe = log.painted;
    };
    window->show();
    QCOMPARE(fake->processRuns.size(), 0);
    QTRY_COMPARE(fake->processRuns.size(), 1);
    QCOMPARE(paintedBeforeProbe.value(0), u"Checking…"_s);
    fake->answer(0, {HttpReply::Outcome::Answered, {}, 200, R"({"version":"1","script_url":""})"});
    window->hide();
    window->show();
    QTRY_COMPARE(fake->processRuns.size(), 2);
    QCOMPARE(fake->gets.size(), 2u);
    QCOMPARE(shown(u"manifestVersion"_s), u"—"_s);
}

void TestInstallerWindow::secondWindowHasItsOwnState() {
    window.reset();
    ZEPHInstallerApp application(*fake);
    InstallerWindow* first = application.openWindow();
    first->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(first));
    QTRY_COMPARE(fake->processRuns.size(), 1);
    QTest::mouseClick(buttonIn(first, u"Check status"_s), Qt::LeftButton);

    QTest::keyClick(first, Qt::Key_N, Qt::ControlModifier);
    QTRY_COMPARE(fake->processRuns.size(), 2);
    const auto windows = QApplication::topLevelWidgets();
    const auto second = std::find_if(windows.begin(), windows.end(), [first](QWidget* widget) {
        return qobject_cast<InstallerWindow*>(widget) && widget != first;
    });
    QVERIFY(second != windows.end());
    QCOMPARE((*second)->findChild<QLabel*>(u"statusLine"_s)->text(), u"Python detected."_s);
    QCOMPARE(first->findChild<QLabel*>(u"statusLine"_s)->text(), u"Not finished yet."_s);
}

QTEST_MAIN(TestInstallerWindow)
#include "TestInstallerWindow.moc"
