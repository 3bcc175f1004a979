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
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextDocumentFragment>

using namespace Qt::StringLiterals;

namespace {

using Fake = FakePlatformServices;

HttpReply answer(const QByteArray& version, const QByteArray& address = "https://cdn.invalid/s") {
    return {HttpReply::Outcome::Answered,
            {},
            200,
            R"({"version":")" + version + R"(","script_url":")" + address + R"("})"};
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

QPushButton* buttonIn(const QWidget* window, const QString& title) {
    for (QPushButton* candidate : window->findChildren<QPushButton*>()) {
        if (candidate->text() == title) {
            return candidate;
        }
    }
    return nullptr;
}

} // namespace

// The real window over a scripted platform, seen as a user sees it: buttons by their titles,
// texts from state by the names of their labels, keys sent as keys. The offscreen screen, 800 ×
// 600, is shorter than the window; TestInstallerWindowOnATallScreen runs fitsTheScreen on one
// that holds it.
class TestInstallerWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void states_data();
    void states();
    void buttons_data();
    void buttons();
    void returnKey_data();
    void returnKey();
    void keyboard();
    void focusComesBackAfterTheWork();
    void typingKeepsTheCursor();
    void textSetWithoutKeystrokesIsTheToken();
    void aPastedTokenIsNeverCut();
    void labels_data();
    void labels();
    void longTexts();
    void textsFromOutsideStayPlain();
    void fitsTheScreen();
    void startUpRunsAfterThePaintOfEachShow();
    void secondWindowHasItsOwnState();

private:
    // "script" and "token" on disk, "no Python" to be found; "manifest": answered once shown.
    void showOn(const QStringList& machine);
    QPushButton* button(const QString& title) const;
    QLineEdit* field() const;
    WrappingLabel* text(const QString& name) const;

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
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTRY_COMPARE(fake->processRuns.size(), 1);
    if (machine.contains(u"manifest"_s)) {
        fake->answer(0, answer("1.4.2"));
    }
}

QPushButton* TestInstallerWindow::button(const QString& title) const {
    return buttonIn(window.get(), title);
}

QLineEdit* TestInstallerWindow::field() const {
    return window->findChild<QLineEdit*>();
}

WrappingLabel* TestInstallerWindow::text(const QString& name) const {
    return window->findChild<WrappingLabel*>(name);
}

void TestInstallerWindow::states_data() {
    QTest::addColumn<QStringList>("machine");
    QTest::addColumn<QString>("action");      // a button's title to click, or text to type
    QTest::addColumn<QStringList>("enabled"); // the controls that take a click, top down
    QTest::addColumn<QStringList>("marks");   // the badges shown, and the hints by name
    const QStringList allSet{u"script"_s, u"token"_s, u"manifest"_s};
    QTest::newRow("fetch under way")
        << QStringList() << u""_s
        << QStringList{u"Refresh version"_s, u"Re-check"_s,        u"Open Scripts Folder"_s,
                       u"field"_s,           u"Open Token File"_s, u"Check status"_s}
        << QStringList{u"Detected"_s, u"finishHint"_s};
    QTest::newRow("no Python") << QStringList{u"no Python"_s, u"manifest"_s} << u""_s
                               << QStringList{u"Refresh version"_s, u"Install Python"_s,
                                              u"Re-check"_s,        u"Open Scripts Folder"_s,
                                              u"field"_s,           u"Open Token File"_s,
                                              u"Check status"_s}
                               << QStringList{u"Required"_s, u"pythonHint"_s, u"finishHint"_s};
    QTest::newRow("only blanks typed")
        << QStringList{u"manifest"_s} << u"   "_s
        << QStringList{u"Refresh version"_s,     u"Re-check"_s, u"Install Script"_s,
                       u"Open Scripts Folder"_s, u"field"_s,    u"Open Token File"_s,
                       u"Check status"_s}
        << QStringList{u"Detected"_s, u"finishHint"_s};
    QTest::newRow("script found, no manifest")
        << QStringList{u"script"_s} << u""_s
        << QStringList{u"Refresh version"_s, u"Re-check"_s,        u"Open Scripts Folder"_s,
                       u"field"_s,           u"Open Token File"_s, u"Check status"_s}
        << QStringList{u"Detected"_s, u"Installed ✅"_s, u"finishHint"_s};
    QTest::newRow("all set")
        << allSet << u""_s
        << QStringList{u"Refresh version"_s,     u"Re-check"_s,     u"Update Script"_s,
                       u"Open Scripts Folder"_s, u"field"_s,        u"Save Token"_s,
                       u"Open Token File"_s,     u"Check status"_s, u"Close"_s}
        << QStringList{u"Detected"_s, u"Installed ✅"_s, u"Saved ✅"_s, u"All set ✅"_s};
    QTest::newRow("download under way")
        << allSet << u"Update Script"_s << QStringList()
        << QStringList{u"Detected"_s, u"Installed ✅"_s, u"Saved ✅"_s, u"All set ✅"_s};
}

void TestInstallerWindow::states() {
    QFETCH(QStringList, machine);
    QFETCH(QString, action);
    showOn(machine);
    if (QPushButton* clicked = button(action)) {
        QTest::mouseClick(clicked, Qt::LeftButton);
    } else {
        QTest::keyClicks(field(), action);
    }
    QStringList enabled, marks;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        const auto* push = qobject_cast<QPushButton*>(control);
        if ((push || control == field()) && control->isEnabled()) {
            enabled << (push ? push->text() : u"field"_s);
        }
        const auto* label = qobject_cast<QLabel*>(control);
        if (label && label->isVisibleTo(window.get()) &&
            label->objectName().contains(QRegularExpression(u"Badge|Hint"_s))) {
            marks << (label->objectName().endsWith(u"Hint"_s) ? label->objectName()
                                                              : label->text());
        }
    }
    QTEST(enabled, "enabled");
    QTEST(marks, "marks");
}

void TestInstallerWindow::buttons_data() {
    QTest::addColumn<QStringList>("machine");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("call"); // how the first platform call begins, or the status line
    const QStringList ready{u"manifest"_s};
    QTest::newRow("Refresh version")
        << ready << u"Refresh version"_s << u"get " ZEPH_MANIFEST_URL ""_s;
    QTest::newRow("Install Python") << QStringList{u"no Python"_s} << u"Install Python"_s
                                    << u"open " ZEPH_PYTHON_DOWNLOADS_URL ""_s;
    QTest::newRow("Re-check") << ready << u"Re-check"_s << u"run /usr/bin/env python3 --version"_s;
    QTest::newRow("Install Script")
        << ready << u"Install Script"_s << u"get https://cdn.invalid/s?v=1.4.2"_s;
    QTest::newRow("Open Scripts Folder")
        << ready << u"Open Scripts Folder"_s << u"open file://"_s + Fake::scriptsFolder;
    QTest::newRow("Save Token") << QStringList{u"token"_s} << u"Save Token"_s
                                << u"mkdir "_s + Fake::tokenFolder;
    QTest::newRow("Open Token File")
        << ready << u"Open Token File"_s << u"exists "_s + Fake::tokenFile;
    QTest::newRow("Check status") << ready << u"Check status"_s << u"Not finished yet."_s;
    QTest::newRow("Close") << QStringList{u"script"_s, u"token"_s} << u"Close"_s << u"quit"_s;
}

// Each button calls its own action.
void TestInstallerWindow::buttons() {
    QFETCH(QStringList, machine);
    QFETCH(QString, title);
    showOn(machine);
    fake->calls.clear();
    QTest::mouseClick(button(title), Qt::LeftButton);
    QFETCH(QString, call);
    const QString made = fake->calls.value(0, text(u"statusLine"_s)->text());
    QVERIFY2(made.startsWith(call), qPrintable(made));
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
    QCOMPARE(QApplication::focusWidget(), field());
    QStringList tabOrder;
    for (QWidget* widget = field(); tabOrder.size() < 11; widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus) {
            auto* push = qobject_cast<QPushButton*>(widget);
            tabOrder << (push ? push->text() : u"field"_s);
        }
    }
    QCOMPARE(tabOrder,
             QStringList({u"field"_s, u"Save Token"_s, u"Open Token File"_s, u"Check status"_s,
                          u"Close"_s, u"Refresh version"_s, u"Install Python"_s, u"Re-check"_s,
                          u"Install Script"_s, u"Open Scripts Folder"_s, u"field"_s}));
    QVERIFY(button(u"Close"_s)->isDefault());
}

// Space on "Install Script" disables every control while the script downloads: the focus waits
// on the window meanwhile, announcing no control, and comes back when the download ends.
void TestInstallerWindow::focusComesBackAfterTheWork() {
    showOn({u"manifest"_s});
    QPushButton* install = button(u"Install Script"_s);
    install->setFocus();
    QStringList focused;
    QObject watcher;
    connect(qApp, &QApplication::focusChanged, &watcher, [&focused](QWidget*, QWidget* now) {
        focused << (now ? QString::fromLatin1(now->metaObject()->className()) + u' ' +
                              now->property("text").toString()
                        : u"nothing"_s);
    });
    QTest::keyClick(install, Qt::Key_Space);
    fake->answerLast({HttpReply::Outcome::Failed, u"refused"_s, 0, std::nullopt});
    QCOMPARE(focused, QStringList({u"InstallerWindow "_s, u"QPushButton Install Script"_s}));
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
    QVERIFY(button(checkStatus)->isEnabled());
    QVERIFY(!button(close)->isEnabled());
    QCOMPARE(text(u"statusLine"_s)->text(), u"Python detected."_s);
}

// Texts from state wrap to three lines, the status line to four and the paths to two; a longer
// one is cut with "…". A screen reader hears what the lines show, and the tooltip and the
// description hold the text up to 2,000 characters. The window keeps its width.
void TestInstallerWindow::longTexts() {
    fake->home = u"/home/"_s + u"a-rather-long-home-folder-name/"_s.repeated(8);
    fake->processResult.output = (u"Python "_s + QString(1500, u'x')).toUtf8();
    fake->writeError = u"the disk is full "_s.repeated(100);
    window = std::make_unique<InstallerWindow>(*fake);
    showOn({});
    fake->answer(0, answer(QByteArray(500000, 'x')));
    QTest::keyClicks(field(), u"tok"_s);
    QTest::mouseClick(button(u"Save Token"_s), Qt::LeftButton);
    for (const auto& [name, lines] : {std::pair(u"manifestVersion"_s, 3),
                                      {u"pythonStatus"_s, 3},
                                      {u"statusLine"_s, 4},
                                      {u"scriptPath"_s, 2},
                                      {u"tokenPath"_s, 2}}) {
        const WrappingLabel* label = text(name);
        const QStringList drawn = label->visibleLines(label->contentsRect().width());
        QCOMPARE(name + u": %1 lines"_s.arg(drawn.size()), name + u": %1 lines"_s.arg(lines));
        QVERIFY(drawn.last().endsWith(u'…'));
        QCOMPARE(label->accessibleName(), drawn.join(QString()));
        const QString whole =
            label->text().left(2000) + (label->text().size() > 2000 ? u"…"_s : u""_s);
        QCOMPARE(label->accessibleDescription(), whole);
        QCOMPARE(QTextDocumentFragment::fromHtml(label->toolTip()).toPlainText(), whole);
    }
    QVERIFY(text(u"scriptPath"_s)
                ->accessibleDescription()
                .endsWith(u"/Utility/ZEPH_Export_Gallery_Stills.py"_s));
    QVERIFY(text(u"tokenPath"_s)->accessibleDescription().endsWith(u"/.zeph/resolve_token.txt"_s));
    QCOMPARE(window->width(), 560);
}

// Markup from outside is shown as the characters it is made of, in the tooltip too, where Qt would
// render it (pictures included); control and bidirectional formatting characters are drawn as
// U+FFFD, so that "1.4.0", U+202E, "gnp.evil" cannot pass for "1.4.0.live.png"; a line feed
// breaks the line.
void TestInstallerWindow::textsFromOutsideStayPlain() {
    fake->processResult.output = "Python 3.12\nbuilt\a";
    showOn({});
    const QByteArray markup = "<img src='/dev/zero'><h1>ALERT</h1>" + QByteArray(300, '!');
    fake->answer(0, answer(markup));
    QCOMPARE(QTextDocumentFragment::fromHtml(text(u"manifestVersion"_s)->toolTip()).toPlainText(),
             QString::fromLatin1(markup));
    QCOMPARE(text(u"manifestVersion"_s)->accessibleDescription(), QString::fromLatin1(markup));
    fake->answer(0, answer("1.4.0\u202egnp.evil"));
    QTest::mouseClick(button(u"Install Script"_s), Qt::LeftButton);
    QCOMPARE(text(u"statusLine"_s)->accessibleName(),
             u"Downloading script v1.4.0\ufffdgnp.evil…"_s);
    const WrappingLabel* python = text(u"pythonStatus"_s);
    QCOMPARE(python->visibleLines(python->contentsRect().width()),
             QStringList({u"Python 3.12"_s, u"built\ufffd"_s}));
    QCOMPARE(python->accessibleName(), u"Python 3.12\nbuilt\ufffd"_s);
}

// Where the screen holds the window nothing scrolls; where it does not, the window is as tall as
// the screen and its content scrolls, each control at its own height and none over another, and
// the control that takes the focus scrolls into view.
void TestInstallerWindow::fitsTheScreen() {
    showOn({});
    auto* scroller = window->findChild<QScrollArea*>();
    const int available = window->screen()->availableGeometry().height();
    QTRY_COMPARE(scroller->verticalScrollBar()->isVisible(),
                 window->frameGeometry().height() == available);
    QList<QRect> taken;
    for (QWidget* control : scroller->widget()->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<const WrappingLabel*>(control);
        if (!control->isVisibleTo(window.get()) ||
            !(label || qobject_cast<QPushButton*>(control) || control == field())) {
            continue;
        }
        QVERIFY2(label ? control->height() >= label->heightForWidth(control->width())
                       : control->height() == control->sizeHint().height(),
                 qPrintable(control->objectName()));
        const QRect area(control->mapTo(scroller->widget(), QPoint()), control->size());
        for (const QRect& other : std::as_const(taken)) {
            QVERIFY(!area.intersects(other));
        }
        taken << area;
    }
    scroller->verticalScrollBar()->setValue(scroller->verticalScrollBar()->maximum());
    button(u"Refresh version"_s)->setFocus();
    QCOMPARE(button(u"Refresh version"_s)->visibleRegion().boundingRect(),
             button(u"Refresh version"_s)->rect());
}

// The probe blocks: the window must have painted "Checking…" before it starts, at every show.
void TestInstallerWindow::startUpRunsAfterThePaintOfEachShow() {
    PaintLog log;
    text(u"pythonStatus"_s)->installEventFilter(&log);
    QStringList paintedBeforeProbe;
    fake->whileProcessRuns = [&] {
        paintedBeforeProbe = log.painted;
    };
    window->show();
    QCOMPARE(fake->processRuns.size(), 0);
    QTRY_COMPARE(fake->processRuns.size(), 1);
    QCOMPARE(paintedBeforeProbe.value(0), u"Checking…"_s);
    fake->answer(0, answer("1"));
    window->hide();
    window->show();
    QTRY_COMPARE(fake->processRuns.size(), 2);
    QCOMPARE(fake->gets.size(), 2u);
    QCOMPARE(text(u"manifestVersion"_s)->text(), u"—"_s);
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
    QStringList statusLines;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<InstallerWindow*>(widget)) {
            statusLines << widget->findChild<QLabel*>(u"statusLine"_s)->text();
        }
    }
    statusLines.sort();
    QCOMPARE(statusLines, QStringList({u"Not finished yet."_s, u"Python detected."_s}));
}

QTEST_MAIN(TestInstallerWindow)
#include "TestInstallerWindow.moc"
