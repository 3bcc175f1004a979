#include "FakePlatformServices.h"
#include "InstallerWindow.h"
#include "WrappingLabel.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextDocumentFragment>

using namespace Qt::StringLiterals;

namespace {

using Fake = FakePlatformServices;

HttpReply manifest(const QByteArray& version) {
    const QByteArray json = R"({"version":")" + version + R"(","script_url":"https://a.invalid"})";
    return {HttpReply::Outcome::Answered, {}, 200, json};
}

} // namespace

// The real window over a scripted platform, seen as a user sees it: buttons by their titles,
// texts from state by the names of their labels, keys sent as keys, on a screen too short for the
// window (TestInstallerWindowOnATallScreen runs fitsTheScreen on one that holds it).
class TestInstallerWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<Fake> fake;
    std::unique_ptr<InstallerWindow> window;
    // What a screen reader is handed to speak, in order; on Qt 6.4, each time the notification
    // shows, its name (the bridge tells a screen reader that it is showing).
    QStringList heard;
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QAccessibleInterface* shown = event->type() == QEvent::Show
                                                ? QAccessible::queryAccessibleInterface(watched)
                                                : nullptr;
        if (shown && shown->role() == QAccessible::Notification) {
            heard << shown->text(QAccessible::Name);
        }
        return false;
    }

    // "script" and "token" on disk, "no Python" to be found; "manifest": answered once shown.
    void showOn(const QString& machine) {
        if (machine.contains(u"script"_s)) {
            fake->files[Fake::scriptFile] = "print()\n";
        }
        if (machine.contains(u"token"_s)) {
            fake->files[Fake::tokenFile] = "tok";
        }
        fake->processResult.exitCode = machine.contains(u"no Python"_s) ? 127 : 0;
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTRY_COMPARE(fake->processRuns.size(), 1);
        if (machine.contains(u"manifest"_s)) {
            fake->answer(manifest("1.4.2"), 0);
        }
    }
    QPushButton* button(const QString& title) const {
        for (QPushButton* candidate : window->findChildren<QPushButton*>()) {
            if (candidate->text() == title) {
                return candidate;
            }
        }
        return nullptr;
    }
    QLineEdit* field() const {
        return window->findChild<QLineEdit*>();
    }
    WrappingLabel* text(const QString& name) const {
        return window->findChild<WrappingLabel*>(name);
    }

private Q_SLOTS:
    void init() {
        QApplication::setApplicationDisplayName(u"ZEPH Installer"_s);
        qApp->installEventFilter(this);
        window.reset();
        fake = std::make_unique<Fake>();
        window = std::make_unique<InstallerWindow>(*fake);
    }

    void states_data() {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("action");   // a button's title to click, or text to type
        QTest::addColumn<QString>("disabled"); // the controls that take no click, top down
        QTest::addColumn<QString>("marks");    // the badges shown, and the hints by name
        const QString allSet = u"script token manifest"_s;
        QTest::newRow("no Python")
            << u"no Python, manifest"_s << u""_s << u"Install Script, Save Token, Close"_s
            << u"Required, pythonHint, finishHint"_s;
        QTest::newRow("only blanks typed")
            << u"manifest"_s << u"   "_s << u"Install Python, Save Token, Close"_s
            << u"Detected, finishHint"_s;
        QTest::newRow("all set") << allSet << u""_s << u"Install Python"_s
                                 << u"Detected, Installed ✅, Saved ✅, All set ✅"_s;
        QTest::newRow("download under way")
            << allSet << u"Update Script"_s
            << u"Refresh version, Install Python, Re-check, Update Script, Open Scripts Folder, "
               "field, Save Token, Open Token File, Check status, Close"_s
            << u"Detected, Installed ✅, Saved ✅, All set ✅"_s;
    }
    void states() {
        QFETCH(QString, machine);
        QFETCH(QString, action);
        showOn(machine);
        if (QPushButton* clicked = button(action)) {
            QTest::mouseClick(clicked, Qt::LeftButton);
        } else {
            QTest::keyClicks(field(), action);
        }
        QStringList disabled, marks;
        for (QWidget* control : window->findChildren<QWidget*>()) {
            const auto* push = qobject_cast<QPushButton*>(control);
            if ((push || control == field()) && !control->isEnabled()) {
                disabled << (push ? push->text() : u"field"_s);
            }
            const QString name = control->objectName();
            if (control->isVisibleTo(window.get()) && name.contains(u"Hint"_s)) {
                marks << name;
            } else if (name.contains(u"Badge"_s)) { // always shown, so that screen readers see it
                QVERIFY(control->isVisibleTo(window.get()));
                marks << qobject_cast<QLabel*>(control)->text();
            }
        }
        QCOMPARE(fake->calls.first(), u"get " ZEPH_MANIFEST_URL ""_s);
        QTEST(disabled.join(u", "_s), "disabled");
        marks.removeAll(QString());
        QTEST(marks.join(u", "_s), "marks");
    }

    // What a screen reader finds: the window named after the application, named sections,
    // controls that tell what they act on and their section's state, and a status bar.
    void accessibilityTree() {
        showOn(u"token manifest"_s);
        const auto seen = &QAccessible::queryAccessibleInterface;
        QCOMPARE(seen(window.get())->role(), QAccessible::Window);
        QCOMPARE(seen(window.get())->text(QAccessible::Name), u"ZEPH Installer"_s);
        QStringList sections;
        for (QGroupBox* section : window->findChildren<QGroupBox*>()) {
            sections << seen(section)->text(QAccessible::Name);
        }
        QCOMPARE(sections.join(u", "_s),
                 u"Script version, Python, Resolve Script, Resolve API Token, Finish"_s);
        QCOMPARE(seen(button(u"Re-check"_s))->text(QAccessible::Description),
                 u"Checks whether Python can be started.\nDetected\nPython 3.12.1"_s);
        QCOMPARE(seen(button(u"Open Token File"_s))->text(QAccessible::Description),
                 u"Saved ✅\n/home/tester/.zeph/resolve_token.txt"_s);
        QCOMPARE(seen(field())->text(QAccessible::Description),
                 u"Copy it from Lumerra → Account → Resolve API Token"_s);
        QCOMPARE(seen(text(u"statusLine"_s))->role(), QAccessible::StatusBar);
    }

    void returnKey_data() {
        QTest::addColumn<bool>("allSet");
        QTest::addColumn<bool>("inTheField");
        QTest::newRow("Close on") << true << false;
        QTest::newRow("Close off") << false << false;
        QTest::newRow("in the field, Close off: nothing saved") << false << true;
    }
    // Return anywhere acts as "Close", the default button; while Close is off it does nothing.
    void returnKey() {
        QFETCH(bool, allSet);
        QFETCH(bool, inTheField);
        showOn(allSet ? u"script token"_s : u""_s);
        QTest::keyClicks(field(), u"typed"_s);
        fake->calls.clear();
        QTest::keyClick(inTheField ? static_cast<QWidget*>(field()) : window.get(), Qt::Key_Return);
        QCOMPARE(fake->calls, allSet ? QStringList{u"quit"_s} : QStringList());
    }

    // The window opens with the token field focused. Space on "Install Script" disables every
    // control while the script downloads: the focus waits on the window, which a screen reader
    // names, and comes back when the work ends. Each new text of the status line, progress and
    // outcome alike, is announced once, as the line shows it, after the focus has moved.
    void whileTheWorkRuns() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
        QSKIP("Qt 6.8 hands an announcement to the platform's bridge, which offscreen has not");
#endif
        showOn(u"manifest"_s);
        QCOMPARE(QApplication::focusWidget(), field());
        QPushButton* install = button(u"Install Script"_s);
        install->setFocus();
        heard.clear();
        QObject watcher;
        connect(qApp, &QApplication::focusChanged, &watcher, [this](QWidget*, QWidget* now) {
            heard << QAccessible::queryAccessibleInterface(now)->text(QAccessible::Name);
        });
        for (const int status : {404, 200}) {
            QTest::keyClick(install, Qt::Key_Space);
            fake->answer({HttpReply::Outcome::Answered, {}, status, "print()\n", true});
            fake->writeError = u"the disk is full "_s.repeated(100);
        }
        QTest::keyClicks(field(), u"tok"_s); // a change that leaves the status line as it is
        const QString downloading = u"Downloading script v1.4.2…"_s;
        QCOMPARE(heard, QStringList({u"ZEPH Installer"_s, downloading, u"Install Script"_s,
                                     u"Error downloading script: the server answered with HTTP "
                                     "status 404."_s,
                                     u"ZEPH Installer"_s, downloading, u"Install Script"_s,
                                     text(u"statusLine"_s)->accessibleName()}));
    }

    // The token field: typing in the middle leaves the cursor there, screen readers, dictation and
    // password managers set its text without a keystroke, and a pasted token is never cut.
    void tokenField() {
        showOn(u"token"_s);
        QTest::keyClick(field(), Qt::Key_Left);
        QTest::keyClicks(field(), u"XY"_s);
        QCOMPARE(field()->text(), u"toXYk"_s);
        QAccessible::queryAccessibleInterface(field())->setText(QAccessible::Value, u"NEW"_s);
        QTest::mouseClick(button(u"Save Token"_s), Qt::LeftButton);
        QCOMPARE(fake->files.value(Fake::tokenFile), "NEW");
        QGuiApplication::clipboard()->setText(QString(70000, u't'));
        QTest::keySequence(field(), QKeySequence::Paste);
        QCOMPARE(field()->text().size(), 70003);
    }

    // Texts from state wrap to three lines, the status line to four and the paths to two; a
    // longer one is cut with "…". A screen reader hears what the lines show, and the tooltip and
    // the description hold the text up to 2,000 characters. The window keeps its width.
    void longTexts() {
        fake->home = u"/home/"_s + u"a-rather-long-home-folder-name/"_s.repeated(8);
        fake->writeError = u"the disk is full "_s.repeated(100);
        window = std::make_unique<InstallerWindow>(*fake);
        showOn({});
        fake->answer(manifest(QByteArray(500000, 'x')), 0);
        QTest::keyClicks(field(), u"tok"_s);
        QTest::mouseClick(button(u"Save Token"_s), Qt::LeftButton);
        for (const auto& [name, lines] :
             {std::pair(u"manifestVersion"_s, 3), {u"statusLine"_s, 4}, {u"scriptPath"_s, 2}}) {
            const WrappingLabel* label = text(name);
            const QStringList drawn = label->visibleLines(label->contentsRect().width());
            QCOMPARE(name + u": %1 lines"_s.arg(drawn.size()), name + u": %1 lines"_s.arg(lines));
            QVERIFY(drawn.last().endsWith(u'…'));
            QCOMPARE(label->accessibleName(), drawn.join(QString()));
            const QString whole = label->text();
            const QString tip = whole.size() > 2000 ? whole.left(2000) + u'…' : whole;
            QCOMPARE(label->accessibleDescription(), tip);
            QCOMPARE(QTextDocumentFragment::fromHtml(label->toolTip()).toPlainText(), tip);
        }
        QCOMPARE(window->width(), 560);
    }

    // Markup from outside is shown as the characters it is made of, in the tooltip too, where Qt
    // would render it, pictures included. Control and bidirectional formatting characters are
    // drawn as U+FFFD, so that "1.4.0", U+202E, "gnp.evil" cannot pass for "1.4.0.live.png"; a
    // line feed breaks the line.
    void textsFromOutsideStayPlain() {
        fake->processResult.output = "Python 3.12\nbuilt\a";
        showOn({});
        const QString markup = u"<img src='/dev/zero'><h1>ALERT</h1>"_s + QString(300, u'!');
        fake->answer(manifest(markup.toLatin1()), 0);
        const WrappingLabel* version = text(u"manifestVersion"_s);
        QCOMPARE(QTextDocumentFragment::fromHtml(version->toolTip()).toPlainText(), markup);
        QCOMPARE(version->accessibleDescription(), markup);
        fake->answer(manifest("1.4.0\u202egnp\u2066.evil"), 0);
        QCOMPARE(version->accessibleName(), u"1.4.0\ufffdgnp\ufffd.evil"_s);
        const WrappingLabel* python = text(u"pythonStatus"_s);
        QCOMPARE(python->visibleLines(python->contentsRect().width()),
                 QStringList({u"Python 3.12"_s, u"built\ufffd"_s}));
        QCOMPARE(python->accessibleName(), u"Python 3.12\nbuilt\ufffd"_s);
    }

    // Where the screen holds the window nothing scrolls; where it does not, the window is as tall
    // as the screen and its content scrolls, each control at its own height and none over
    // another, and a control that takes the focus scrolls into view.
    void fitsTheScreen() {
        showOn({});
        auto* scroller = window->findChild<QScrollArea*>();
        QVERIFY(window->frameGeometry().height() <= window->screen()->availableGeometry().height());
        QTRY_COMPARE(scroller->verticalScrollBar()->isVisible(),
                     window->frameGeometry().height() ==
                         window->screen()->availableGeometry().height());
        QList<QRect> taken;
        for (QWidget* control : scroller->widget()->findChildren<QWidget*>()) {
            const auto* label = qobject_cast<const WrappingLabel*>(control);
            if (control->isVisibleTo(window.get()) &&
                (label || qobject_cast<QPushButton*>(control) || control == field())) {
                QVERIFY(label ? control->height() >= label->heightForWidth(control->width())
                              : control->height() == control->sizeHint().height());
                const QRect area(control->mapTo(scroller->widget(), QPoint()), control->size());
                QVERIFY(std::none_of(taken.begin(), taken.end(),
                                     [&](const QRect& other) { return area.intersects(other); }));
                taken << area;
            }
        }
        scroller->verticalScrollBar()->setValue(scroller->verticalScrollBar()->maximum());
        button(u"Refresh version"_s)->setFocus();
        QCOMPARE(button(u"Refresh version"_s)->visibleRegion().boundingRect(),
                 button(u"Refresh version"_s)->rect());
    }

    // Text at more than twice the usual size: the title and the hints wrap, whole, rather than
    // run past the window’s edge or end in "…". Last, as the larger font stays.
    void fixedTextsWrap() {
        QApplication::setFont(QFont(QString(), QApplication::font().pointSize() * 9 / 4));
        window = std::make_unique<InstallerWindow>(*fake);
        showOn({});
        const auto* scroller = window->findChild<QScrollArea*>();
        QCOMPARE(scroller->widget()->width(), scroller->viewport()->width());
        for (const WrappingLabel* label : window->findChildren<WrappingLabel*>()) {
            if (label->objectName().isEmpty()) { // named texts come from state, cut by design
                QCOMPARE(label->visibleLines(label->contentsRect().width()).join(QString()),
                         label->text());
            }
        }
    }
};

QTEST_MAIN(TestInstallerWindow)
#include "TestInstallerWindow.moc"
