#include "FakePlatformServices.h"
#include "InstallerWindow.h"
#include "Translation.h"
#include "WrappingLabel.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const HttpReply loaded = FakePlatformServices::answered(
    200, R"({"version":"1.4.2","script_url":"https://cdn.invalid/zeph.py"})");

// A machine and what the user did on it, brought about through the window and the view's actions.
struct Situation {
    bool python = true;
    bool scriptOnDisk = false;
    QByteArray tokenFile{};
    bool manifest = false;
    QString typed{};
    bool install = false;   // clicked, the download under way
    bool installed = false; // and then answered
};

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

Q_DECLARE_METATYPE(Situation)

// The real window over a scripted platform: what it shows and allows in each state, where its
// buttons and keys lead, and when the start-up sequence runs.
class TestInstallerWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void windowFollowsState_data();
    void windowFollowsState();
    void inputs_data();
    void inputs();
    void focusStartsInTheFieldAndTabGoesDown();
    void longTextsWrapInsideTheWindow();
    void typingKeepsTheCursor();
    void pathsAreCutAfterTwoLines();
    void startUpRunsAfterThePaintOfEachShow();
    void secondWindowHasItsOwnState();
    void germanLabelsStateTextsAsTheyAre();

private:
    void bringAbout(const Situation& situation);
    void showAndStartUp();
    QStringList picture() const;
    QPushButton* button(const QString& title) const;
    QLineEdit* field() const;
    QString status() const;

    std::unique_ptr<FakePlatformServices> fake;
    std::unique_ptr<InstallerWindow> window;
};

void TestInstallerWindow::init() {
    window.reset();
    fake = std::make_unique<FakePlatformServices>();
    window = std::make_unique<InstallerWindow>(*fake);
}

void TestInstallerWindow::showAndStartUp() {
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_COMPARE(fake->processRuns.size(), 1);
}

void TestInstallerWindow::bringAbout(const Situation& situation) {
    ContentView& view = window->contentView();
    if (!situation.python) {
        fake->processResult = {ProcessResult::Outcome::Exited, 127, "env: 'python3': not found\n"};
    }
    if (situation.scriptOnDisk) {
        fake->files.insert(view.scriptFileURL(), "print()\n");
    }
    if (!situation.tokenFile.isNull()) {
        fake->files.insert(view.tokenFileURL(), situation.tokenFile);
    }
    showAndStartUp();
    if (situation.manifest) {
        fake->answer(0, loaded);
    }
    QTest::keyClicks(field(), situation.typed);
    if (situation.install) {
        view.installScript();
    }
    if (situation.installed) {
        fake->answer(1, FakePlatformServices::answered(200, "print()\n"));
    }
}

// One line per control: "<title> on|off" for buttons, "<name>: <text>" or "<name>: hidden" for
// the labels that show state, and the token field.
QStringList TestInstallerWindow::picture() const {
    QStringList lines;
    for (const QPushButton* button : window->findChildren<QPushButton*>()) {
        lines << button->text() + (button->isEnabled() ? u" on"_s : u" off"_s);
    }
    for (const StyledLabel* label : window->findChildren<StyledLabel*>()) {
        if (!label->objectName().isEmpty()) {
            lines << label->objectName() +
                         (label->isHidden() ? u": hidden"_s : u": "_s + label->text());
        }
    }
    lines << u"field: \""_s + field()->text() + (field()->isEnabled() ? u"\" on"_s : u"\" off"_s);
    return lines;
}

QPushButton* TestInstallerWindow::button(const QString& title) const {
    for (QPushButton* candidate : window->findChildren<QPushButton*>()) {
        if (candidate->text() == title) {
            return candidate;
        }
    }
    return nullptr;
}

QLineEdit* TestInstallerWindow::field() const {
    return window->findChild<QLineEdit*>();
}

QString TestInstallerWindow::status() const {
    return window->findChild<QLabel*>(u"statusLine"_s)->text();
}

void TestInstallerWindow::windowFollowsState_data() {
    QTest::addColumn<Situation>("situation");
    QTest::addColumn<QString>("expected"); // lines, " | " between them, each beginning one shown

    // clang-format off
    QTest::newRow("started, fetch under way") << Situation{} << u"manifestVersion: — | "
        "manifestStatus: Loading… | Refresh version on | pythonBadge: Detected | "
        "pythonStatus: Python 3.12.1 | Install Python off | Re-check on | pythonHint: hidden | "
        "scriptBadge: hidden | Install Script off | Open Scripts Folder on | "
        "scriptPath: /home/tester/Library/Application Support/ | tokenBadge: hidden | "
        "Save Token off | Open Token File on | tokenPath: /home/tester/.zeph/resolve_token.txt | "
        "finishBadge: hidden | Check status on | Close off | finishHint: Close is enabled | "
        "statusLine: Python detected."_s;
    QTest::newRow("manifest loaded") << Situation{.manifest = true}
        << u"manifestVersion: 1.4.2 | manifestStatus: Latest available script. | "
           "Install Script on"_s;
    QTest::newRow("no python") << Situation{.python = false, .manifest = true}
        << u"pythonBadge: Required | pythonStatus: Python not found | Install Python on | "
           "pythonHint: DaVinci Resolve needs Python | Install Script off"_s;
    QTest::newRow("script found, no manifest") << Situation{.scriptOnDisk = true}
        << u"scriptBadge: Installed ✅ | Update Script off"_s;
    QTest::newRow("all set, download under way")
        << Situation{.scriptOnDisk = true, .tokenFile = "tok", .manifest = true, .install = true}
        << u"Refresh version off | Install Python off | Re-check off | Update Script off | "
           "Open Scripts Folder off | field: \"tok\" off | Save Token off | Open Token File off | "
           "finishBadge: All set ✅ | finishHint: hidden | Check status off | Close off | "
           "statusLine: Downloading script v1.4.2…"_s;
    QTest::newRow("download completes the rule")
        << Situation{.manifest = true, .typed = u"tok"_s, .install = true, .installed = true}
        << u"scriptBadge: Installed ✅ | Update Script on | finishBadge: All set ✅ | Close on | "
           "statusLine: Installed script v1.4.2. Restart Resolve to load it."_s;
    QTest::newRow("blanks typed") << Situation{.typed = u"   "_s}
        << u"field: \"   \" on | Save Token off"_s;
    QTest::newRow("saved token, field cleared") << Situation{.tokenFile = "tok", .typed = u"\b\b\b"_s}
        << u"tokenBadge: Saved ✅ | field: \"\" on | Save Token off"_s;
    QTest::newRow("token typed, not yet judged") << Situation{.scriptOnDisk = true, .typed = u"t"_s}
        << u"finishBadge: hidden | Close off"_s;
    // clang-format on
}

void TestInstallerWindow::windowFollowsState() {
    QFETCH(Situation, situation);
    QFETCH(QString, expected);
    bringAbout(situation);
    const QStringList shown = picture();
    for (const QString& line : expected.split(u" | "_s)) {
        QVERIFY2(std::any_of(shown.begin(), shown.end(),
                             [&](const QString& item) { return item.startsWith(line); }),
                 qPrintable(line + u"\nnot in:\n"_s + shown.join(u'\n')));
    }
}

void TestInstallerWindow::inputs_data() {
    QTest::addColumn<Situation>("situation");
    // A button's title: a click on it; "Return"/"Enter": that key on the window, "… in field" on
    // the token field.
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("lastCall"); // null: no platform call
    QTest::addColumn<QString>("statusText");

    const Situation ready{.manifest = true, .typed = u"tok"_s};
    const Situation allSet{.scriptOnDisk = true, .tokenFile = "tok"};
    const QString detected = u"Python detected."_s;
    // clang-format off
    QTest::newRow("Refresh version") << ready << u"Refresh version"_s << u"get "_s
                                     << u"Loaded script version 1.4.2."_s;
    QTest::newRow("Install Python") << Situation{.python = false} << u"Install Python"_s
                                    << u"open https://"_s << u"Opened Python downloads page."_s;
    QTest::newRow("Re-check") << ready << u"Re-check"_s << u"run /usr/bin/env python3"_s
                              << detected;
    QTest::newRow("Install Script") << ready << u"Install Script"_s
        << u"get https://cdn.invalid/zeph.py?v=1.4.2"_s << u"Downloading script v1.4.2…"_s;
    QTest::newRow("Open Scripts Folder") << ready << u"Open Scripts Folder"_s
        << u"open file:///home/tester/Library/"_s << u"Opened Resolve scripts folder."_s;
    QTest::newRow("Save Token") << ready << u"Save Token"_s
        << u"write /home/tester/.zeph/resolve_token.txt"_s << u"Token saved."_s;
    QTest::newRow("Open Token File") << ready << u"Open Token File"_s
        << u"open file:///home/tester/.zeph/"_s << u"Opened token file."_s;
    QTest::newRow("Check status") << ready << u"Check status"_s << QString()
                                  << u"Not finished yet."_s;
    QTest::newRow("Close") << allSet << u"Close"_s << u"quit"_s << detected;
    QTest::newRow("Return, Close off") << Situation{} << u"Return"_s << QString() << detected;
    QTest::newRow("Return, Close on") << allSet << u"Return"_s << u"quit"_s << detected;
    QTest::newRow("Enter, Close on") << allSet << u"Enter"_s << u"quit"_s << detected;
    QTest::newRow("Return in field, Close on") << allSet << u"Return in field"_s << u"quit"_s
                                               << detected;
    QTest::newRow("Return in field, Close off") << ready << u"Return in field"_s << QString()
                                                << u"Loaded script version 1.4.2."_s;
    // clang-format on
}

void TestInstallerWindow::inputs() {
    QFETCH(Situation, situation);
    QFETCH(QString, input);
    QFETCH(QString, lastCall);
    QFETCH(QString, statusText);

    bringAbout(situation);
    const QStringList callsBefore = fake->calls;
    if (input.startsWith(u"Return"_s) || input.startsWith(u"Enter"_s)) {
        QWidget* target =
            input.endsWith(u" in field"_s) ? static_cast<QWidget*>(field()) : window.get();
        QTest::keyClick(target, input.startsWith(u"Enter"_s) ? Qt::Key_Enter : Qt::Key_Return);
    } else {
        QTest::mouseClick(button(input), Qt::LeftButton);
    }
    QCOMPARE(fake->calls.size() > callsBefore.size(), !lastCall.isNull());
    QVERIFY2(fake->calls.last().startsWith(lastCall), qPrintable(fake->calls.last()));
    QCOMPARE(status(), statusText);
}

void TestInstallerWindow::focusStartsInTheFieldAndTabGoesDown() {
    showAndStartUp();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QCOMPARE(QApplication::focusWidget(), field());
    QStringList order;
    QWidget* widget = field();
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            auto* push = qobject_cast<QPushButton*>(widget);
            order << (push ? push->text() : u"field"_s);
        }
        widget = widget->nextInFocusChain();
    } while (widget != field());
    QCOMPARE(order,
             QStringList({u"field"_s, u"Save Token"_s, u"Open Token File"_s, u"Check status"_s,
                          u"Close"_s, u"Refresh version"_s, u"Install Python"_s, u"Re-check"_s,
                          u"Install Script"_s, u"Open Scripts Folder"_s}));
    QVERIFY(button(u"Close"_s)->isDefault());
}

// Texts from state without a single blank: each is shown whole, within the window's width.
void TestInstallerWindow::longTextsWrapInsideTheWindow() {
    const QString unbroken = u"x"_s.repeated(200);
    fake->processResult.output = "Python" + unbroken.toLatin1();
    fake->writeError = unbroken;
    showAndStartUp();
    fake->answer(0, FakePlatformServices::answered(200, R"({"version":")" + unbroken.toLatin1() +
                                                            R"(","script_url":""})"));
    window->contentView().setToken(u"tok"_s);
    window->contentView().saveToken();
    QCOMPARE(window->width(), 560);
    for (const QString& name : {u"manifestVersion"_s, u"pythonStatus"_s, u"statusLine"_s}) {
        const auto* label = window->findChild<WrappingLabel*>(name);
        QVERIFY(label->text().endsWith(unbroken));
        QCOMPARE(label->visibleLines(label->contentsRect().width()).join(QString()), label->text());
        QTRY_VERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(name));
        const QRect shown(label->mapTo(window.get(), QPoint()), label->size());
        QVERIFY2(window->rect().contains(shown), qPrintable(name));
    }
}

void TestInstallerWindow::typingKeepsTheCursor() {
    showAndStartUp();
    QTest::keyClicks(field(), u"abc"_s);
    QTest::keyClick(field(), Qt::Key_Home);
    QTest::keyClick(field(), Qt::Key_Right);
    QTest::keyClicks(field(), u"X"_s);
    QCOMPARE(window->contentView().state().token, u"aXbc"_s);
    QCOMPARE(field()->cursorPosition(), 2);
    const QString loadable(ContentView::maxTokenBytes, u't');
    window->contentView().setToken(loadable);
    QCOMPARE(field()->text(), loadable);
}

void TestInstallerWindow::pathsAreCutAfterTwoLines() {
    fake->home = u"/home/"_s + u"a-rather-long-home-folder-name/"_s.repeated(8) + u"tester"_s;
    window = std::make_unique<InstallerWindow>(*fake);
    showAndStartUp();
    QCOMPARE(window->width(), 560);
    for (const QString& name : {u"scriptPath"_s, u"tokenPath"_s}) {
        const auto* path = window->findChild<WrappingLabel*>(name);
        const QStringList lines = path->visibleLines(path->contentsRect().width());
        QCOMPARE(lines.size(), 2);
        QVERIFY(path->text().startsWith(lines.first()) && lines.last().endsWith(u'…'));
        QVERIFY(path->fontMetrics().horizontalAdvance(lines.last()) <=
                path->contentsRect().width());
        QCOMPARE(path->height(), path->heightForWidth(path->width()));
    }
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
    fake->answer(0, loaded);
    window->hide();
    window->show();
    QTRY_COMPARE(fake->processRuns.size(), 2);
    QCOMPARE(fake->gets.size(), 2u);
    QCOMPARE(window->findChild<QLabel*>(u"manifestVersion"_s)->text(), u"—"_s);
}

void TestInstallerWindow::secondWindowHasItsOwnState() {
    window.reset();
    ZEPHInstallerApp application(*fake);
    InstallerWindow* first = application.openWindow();
    first->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(first));
    QTRY_COMPARE(fake->processRuns.size(), 1);
    first->contentView().checkStatus();

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

void TestInstallerWindow::germanLabelsStateTextsAsTheyAre() {
    const auto translation = installTranslation(QLocale(QLocale::German));
    QVERIFY(translation);
    window = std::make_unique<InstallerWindow>(*fake);
    showAndStartUp();
    QVERIFY(button(u"Schließen"_s) && button(u"Status prüfen"_s));
    QCOMPARE(status(), u"Python detected."_s);
    QCOMPARE(window->findChild<QLabel*>(u"pythonStatus"_s)->text(), u"Python 3.12.1"_s);
}

QTEST_MAIN(TestInstallerWindow)
#include "TestInstallerWindow.moc"
