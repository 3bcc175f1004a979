#include "FakePlatformServices.h"
#include "InstallerWindow.h"
#include "TwoLineLabel.h"
#include "ZEPHInstallerApp.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

HttpReply manifest(const QString& version, const QString& scriptUrl) {
    return FakePlatformServices::answered(
        200, uR"({"version":"%1","script_url":"%2"})"_s.arg(version, scriptUrl).toUtf8());
}
const HttpReply loaded = manifest(u"1.4.2"_s, u"https://downloads.example.com/zeph.py"_s);

enum class Download { None, InFlight, Succeeded };

// A machine and what the user did on it, brought about through the window and the view's actions.
struct Situation {
    bool shown = true; // and so started up
    bool python = true;
    bool scriptOnDisk = false;
    QByteArray tokenFile{};
    std::optional<HttpReply> manifest{};
    QString typed{};
    bool saveToken = false;
    Download download = Download::None;
};

// Records what each watched label showed whenever it was painted.
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
    void stylesAndTones();
    void buttonsAndKeys_data();
    void buttonsAndKeys();
    void typingKeepsTheCursor();
    void pathLinesAreCutAfterTwoLines();
    void longStatusMessagesWrap();
    void startUpRunsAfterTheFirstPaint();
    void startUpRunsEachTimeTheWindowIsShown();
    void newWindowHasItsOwnState();

private:
    void bringAbout(const Situation& situation);
    void showAndStartUp();
    QStringList picture() const;
    StyledLabel* label(const QString& objectName) const;
    QPushButton* button(const QString& title) const;
    QLineEdit* field() const;

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
    if (!situation.tokenFile.isEmpty()) {
        fake->files.insert(view.tokenFileURL(), situation.tokenFile);
    }
    if (!situation.shown) {
        return;
    }
    showAndStartUp();
    if (situation.manifest) {
        fake->answer(0, *situation.manifest);
    }
    QTest::keyClicks(field(), situation.typed);
    if (situation.saveToken) {
        view.saveToken();
    }
    if (situation.download != Download::None) {
        view.installScript();
    }
    if (situation.download == Download::Succeeded) {
        fake->answer(fake->gets.size() - 1, FakePlatformServices::answered(200, "print()\n"));
    }
}

// One line per control: "<button title> on|off", "<name>: <text> (<tone>)" or "<name>: hidden"
// for the labels that show state, the fixed labels' text alone, and the token field.
QStringList TestInstallerWindow::picture() const {
    static const QStringList tones = {u"primary"_s, u"secondary"_s, u"green"_s, u"orange"_s};
    QStringList lines;
    for (const QPushButton* button : window->findChildren<QPushButton*>()) {
        lines << button->text() + (button->isEnabled() ? u" on"_s : u" off"_s);
    }
    for (const StyledLabel* label : window->findChildren<StyledLabel*>()) {
        const QString tone = u" ("_s + tones.at(static_cast<int>(label->tone())) + u')';
        lines << (label->objectName().isEmpty() ? label->text()
                  : label->isHidden()           ? label->objectName() + u": hidden"_s
                                      : label->objectName() + u": "_s + label->text() + tone);
    }
    lines << u"field: \""_s + field()->text() + (field()->isEnabled() ? u"\" on"_s : u"\" off"_s);
    return lines;
}

StyledLabel* TestInstallerWindow::label(const QString& objectName) const {
    return window->findChild<StyledLabel*>(objectName);
}

QPushButton* TestInstallerWindow::button(const QString& title) const {
    for (QPushButton* candidate : window->findChildren<QPushButton*>()) {
        if (candidate->accessibleName() == title) {
            return candidate;
        }
    }
    return nullptr;
}

QLineEdit* TestInstallerWindow::field() const {
    return window->findChild<QLineEdit*>();
}

void TestInstallerWindow::windowFollowsState_data() {
    QTest::addColumn<Situation>("situation");
    // Lines separated by " | ", each of which must begin a line of the window's picture.
    QTest::addColumn<QString>("expected");

    const Download inFlight = Download::InFlight;
    // clang-format off
    QTest::newRow("window opened") << Situation{.shown = false} << u"Lumerra × Resolve Installer | "
        "Installs the Resolve script and saves your token. No Terminal. | Script version | "
        "manifestVersion: — (secondary) | manifestStatus: Loading… (secondary) | "
        "Refresh version on | "
        "Python | pythonBadge: Required (orange) | pythonStatus: Checking… (orange) | "
        "Install Python on | Re-check on | "
        "pythonHint: DaVinci Resolve needs Python installed to run scripts. (secondary) | "
        "Resolve Script | scriptBadge: hidden | "
        "Installs the latest script into Resolve’s Scripts folder. | Install Script off | "
        "Open Scripts Folder on | scriptPath: /home/tester/Library/Application Support/Blackmagic "
        "Design/DaVinci Resolve/Fusion/Scripts/Utility/ZEPH_Export_Gallery_Stills.py (secondary) | "
        "Resolve API Token | tokenBadge: hidden | "
        "Copy it from Lumerra → Account → Resolve API Token | field: \"\" on | "
        "Save Token off | "
        "Open Token File on | tokenPath: /home/tester/.zeph/resolve_token.txt (secondary) | "
        "Finish | finishBadge: hidden | Restart DaVinci Resolve, then run: | "
        "Workspace → Scripts → Utility → ZEPH_Export_Gallery_Stills | "
        "Check status on | Close off | "
        "finishHint: Close is enabled once Python is detected, the script is installed, and the "
        "token is saved. (secondary) | statusLine: Ready. (secondary)"_s;
    QTest::newRow("started, fetch under way") << Situation{} << u"manifestVersion: — | "
        "manifestStatus: Loading… | pythonBadge: Detected (green) | "
        "pythonStatus: Python 3.12.1 (secondary) | Install Python off | Re-check on | "
        "pythonHint: hidden | Install Script off | Close off | finishHint: Close | "
        "statusLine: Python detected."_s;
    QTest::newRow("manifest loaded") << Situation{.manifest = loaded}
        << u"manifestVersion: 1.4.2 | manifestStatus: Latest available script. | "
           "Install Script on"_s;
    QTest::newRow("empty version") << Situation{.manifest = manifest({}, u"https://a.example/s"_s)}
        << u"manifestVersion:  (secondary)"_s;
    QTest::newRow("no python") << Situation{.python = false, .manifest = loaded}
        << u"pythonBadge: Required (orange) | pythonStatus: Python not found (orange) | "
           "Install Python on | Re-check on | pythonHint: DaVinci | Install Script off"_s;
    QTest::newRow("script found, no manifest") << Situation{.scriptOnDisk = true}
        << u"scriptBadge: Installed ✅ (green) | Update Script off | Open Scripts Folder on"_s;
    QTest::newRow("all set, download in flight") << Situation{.scriptOnDisk = true,
            .tokenFile = "tok", .manifest = loaded, .download = inFlight}
        << u"Refresh version off | Install Python off | Re-check off | Update Script off | "
           "Open Scripts Folder off | field: \"tok\" off | Save Token off | Open Token File off | "
           "finishBadge: All set ✅ | finishHint: hidden | Check status off | Close off | "
           "statusLine: Downloading script v1.4.2…"_s;
    QTest::newRow("download in flight, no python")
        << Situation{.python = false, .manifest = loaded, .download = inFlight}
        << u"Install Python off | Re-check off | pythonHint: DaVinci"_s;
    QTest::newRow("download completes the rule")
        << Situation{.manifest = loaded, .typed = u"tok"_s, .download = Download::Succeeded}
        << u"scriptBadge: Installed ✅ | Update Script on | finishBadge: All set ✅ (green) | "
           "finishHint: hidden | Close on | "
           "statusLine: Installed script v1.4.2. Restart Resolve to load it."_s;
    QTest::newRow("blanks typed") << Situation{.typed = u"   "_s}
        << u"field: \"   \" on | Save Token off | Open Token File on"_s;
    QTest::newRow("saved, blanks kept") << Situation{.typed = u" tok "_s, .saveToken = true}
        << u"tokenBadge: Saved ✅ (green) | field: \" tok \" on | Save Token on | "
           "statusLine: Token saved."_s;
    QTest::newRow("cleared after loading") << Situation{.tokenFile = "tok", .typed = u"\b\b\b"_s}
        << u"tokenBadge: Saved ✅ | field: \"\" on | Save Token off"_s;
    QTest::newRow("everything on disk") << Situation{.scriptOnDisk = true, .tokenFile = " saved\n"}
        << u"tokenBadge: Saved ✅ | field: \"saved\" on | finishBadge: All set ✅ | "
           "finishHint: hidden | Check status on | Close on"_s;
    QTest::newRow("token typed, unchecked") << Situation{.scriptOnDisk = true, .typed = u"tok"_s}
        << u"finishBadge: hidden | Close off"_s;
    // clang-format on
}

void TestInstallerWindow::windowFollowsState() {
    QFETCH(Situation, situation);
    QFETCH(QString, expected);
    bringAbout(situation);
    const QStringList shown = picture();
    for (const QString& line : expected.split(u" | "_s)) {
        const bool found = std::any_of(shown.begin(), shown.end(),
                                       [&](const QString& item) { return item.startsWith(line); });
        QVERIFY2(found, qPrintable(line + u"\nnot in:\n"_s + shown.join(u'\n')));
    }
    for (const QWidget* control : window->findChildren<QWidget*>()) {
        if (auto* text = qobject_cast<const QLabel*>(control)) {
            QCOMPARE(text->accessibleName(), text->text());
        } else if (auto* push = qobject_cast<const QPushButton*>(control)) {
            QCOMPARE(push->accessibleName(), push->text());
        }
    }
    QCOMPARE(field()->accessibleName(), u"Resolve API Token"_s);
    QCOMPARE(field()->placeholderText(), u"Paste token here…"_s);
}

void TestInstallerWindow::stylesAndTones() {
    const QFont system = QApplication::font();
    const QList<StyledLabel*> labels = window->findChildren<StyledLabel*>();
    const QFont title = labels.first()->font();
    QVERIFY(title.bold() && title.pointSizeF() > system.pointSizeF() * 1.2);
    QVERIFY(label(u"finishHint"_s)->font().pointSizeF() < system.pointSizeF());
    QCOMPARE(label(u"manifestVersion"_s)->palette().color(QPalette::WindowText),
             window->palette().color(QPalette::PlaceholderText));

    const int onLight = label(u"pythonBadge"_s)->palette().color(QPalette::WindowText).lightness();
    QPalette dark = window->palette();
    dark.setColor(QPalette::Window, Qt::black);
    window->setPalette(dark);
    QVERIFY(label(u"pythonBadge"_s)->palette().color(QPalette::WindowText).lightness() > onLight);
}

void TestInstallerWindow::buttonsAndKeys_data() {
    QTest::addColumn<Situation>("situation");
    // A button's title: a click on it. "Return" or "Enter": that key on the window, or on the
    // token field ("in field") or a button ("on <title>").
    QTest::addColumn<QString>("input");
    // How the platform is last called; nothing for an input that only judges the state or that
    // does nothing.
    QTest::addColumn<QString>("lastCall");
    QTest::addColumn<QString>("status");

    const Situation ready{.manifest = loaded, .typed = u"tok"_s};
    const Situation allSet{.scriptOnDisk = true, .tokenFile = "tok"};
    const QString home = u"file:///home/tester/"_s;
    const QString detected = u"Python detected."_s;
    // clang-format off
    QTest::newRow("Refresh version") << ready << u"Refresh version"_s << u"get https://"_s
                                     << u"Loaded script version 1.4.2."_s;
    QTest::newRow("Install Python") << Situation{.python = false} << u"Install Python"_s
                                    << u"open https://"_s << u"Opened Python downloads page."_s;
    QTest::newRow("Re-check") << ready << u"Re-check"_s << u"run /usr/bin/env python3"_s
                              << detected;
    QTest::newRow("Install Script") << ready << u"Install Script"_s
        << u"get https://downloads.example.com/zeph.py?v=1.4.2"_s
        << u"Downloading script v1.4.2…"_s;
    QTest::newRow("Open Scripts Folder") << ready << u"Open Scripts Folder"_s
        << u"open "_s + home + u"Library/"_s << u"Opened Resolve scripts folder."_s;
    QTest::newRow("Save Token") << ready << u"Save Token"_s
        << u"write /home/tester/.zeph/resolve_token.txt"_s << u"Token saved."_s;
    QTest::newRow("Open Token File") << ready << u"Open Token File"_s
        << u"open "_s + home + u".zeph/"_s << u"Opened token file."_s;
    QTest::newRow("Check status") << ready << u"Check status"_s << QString()
                                  << u"Not finished yet."_s;
    QTest::newRow("Close") << allSet << u"Close"_s << u"quit"_s << detected;
    QTest::newRow("Return, Close disabled") << Situation{} << u"Return"_s << QString() << detected;
    QTest::newRow("Return, Close enabled") << allSet << u"Return"_s << u"quit"_s << detected;
    QTest::newRow("Enter, Close enabled") << allSet << u"Enter"_s << u"quit"_s << detected;
    QTest::newRow("Return on a button") << allSet << u"Return on Re-check"_s << u"quit"_s
                                        << detected;
    QTest::newRow("Return in the field, all set") << allSet << u"Return in field"_s << QString()
                                                  << detected;
    // clang-format on
}

void TestInstallerWindow::buttonsAndKeys() {
    QFETCH(Situation, situation);
    QFETCH(QString, input);
    QFETCH(QString, lastCall);
    QFETCH(QString, status);

    bringAbout(situation);
    const qsizetype callsBefore = fake->calls.size();
    if (!input.startsWith(u"Return"_s) && !input.startsWith(u"Enter"_s)) {
        QTest::mouseClick(button(input), Qt::LeftButton);
    } else {
        QWidget* target = input.endsWith(u" in field"_s) ? static_cast<QWidget*>(field())
                          : input.contains(u" on "_s)    ? button(input.section(u" on "_s, 1))
                                                         : static_cast<QWidget*>(window.get());
        QTest::keyClick(target, input.startsWith(u"Enter"_s) ? Qt::Key_Enter : Qt::Key_Return);
    }
    QCOMPARE(fake->calls.size() > callsBefore, !lastCall.isEmpty());
    QVERIFY(fake->calls.last().startsWith(lastCall));
    QCOMPARE(label(u"statusLine"_s)->text(), status);
    QCOMPARE(fake->quitRequests, lastCall == u"quit"_s ? 1 : 0);
}

void TestInstallerWindow::typingKeepsTheCursor() {
    showAndStartUp();
    QTest::keyClicks(field(), u"abc"_s);
    QTest::keyClick(field(), Qt::Key_Home);
    QTest::keyClick(field(), Qt::Key_Right);
    QTest::keyClicks(field(), u"X"_s);
    QCOMPARE(window->contentView().state().token, u"aXbc"_s);
    QCOMPARE(field()->cursorPosition(), 2);
}

void TestInstallerWindow::pathLinesAreCutAfterTwoLines() {
    fake->home = u"/home/"_s + u"a-rather-long-home-folder-name/"_s.repeated(8) + u"tester"_s;
    window = std::make_unique<InstallerWindow>(*fake);
    showAndStartUp();
    QCOMPARE(window->width(), 560);
    for (const QString& name : {u"scriptPath"_s, u"tokenPath"_s}) {
        const auto* path = window->findChild<TwoLineLabel*>(name);
        const QStringList lines = path->visibleLines(path->contentsRect().width());
        QCOMPARE(lines.size(), 2);
        QVERIFY(path->text().startsWith(lines.first()));
        QVERIFY(lines.last().endsWith(u'…'));
        QVERIFY(path->fontMetrics().horizontalAdvance(lines.last()) <=
                path->contentsRect().width());
        QCOMPARE(path->height(), path->heightForWidth(path->width()));
    }
    const auto* path = window->findChild<TwoLineLabel*>(u"tokenPath"_s);
    QCOMPARE(path->visibleLines(10000), QStringList{path->text()});
}

void TestInstallerWindow::longStatusMessagesWrap() {
    showAndStartUp();
    fake->writeError = u"“/home/tester/.zeph/resolve_token.txt” could not be written: the volume "
                       "is read only, and no other place was chosen for the file."_s;
    QTest::keyClicks(field(), u"tok"_s);
    QTest::mouseClick(button(u"Save Token"_s), Qt::LeftButton);
    const StyledLabel* status = label(u"statusLine"_s);
    QCOMPARE(status->text(), u"Error saving token: "_s + fake->writeError);
    QTRY_VERIFY(status->height() >= 2 * status->fontMetrics().lineSpacing());
    QVERIFY(status->geometry().bottom() < window->height());
}

void TestInstallerWindow::startUpRunsAfterTheFirstPaint() {
    PaintLog log;
    label(u"pythonStatus"_s)->installEventFilter(&log);
    label(u"manifestStatus"_s)->installEventFilter(&log);
    QStringList paintedBeforeProbe;
    fake->whileProcessRuns = [&] {
        paintedBeforeProbe = log.painted;
    };

    window->show();
    QCOMPARE(fake->processRuns.size(), 0);
    QTRY_COMPARE(fake->processRuns.size(), 1);
    QVERIFY(paintedBeforeProbe.contains(u"Checking…"_s) &&
            paintedBeforeProbe.contains(u"Loading…"_s));
}

void TestInstallerWindow::startUpRunsEachTimeTheWindowIsShown() {
    showAndStartUp();
    fake->answer(0, loaded);
    window->hide();
    window->show();
    QTRY_COMPARE(fake->processRuns.size(), 2);
    QCOMPARE(fake->gets.size(), 2);
    QCOMPARE(label(u"manifestVersion"_s)->text(), u"—"_s);
}

void TestInstallerWindow::newWindowHasItsOwnState() {
    window.reset();
    ZEPHInstallerApp application(*fake);
    InstallerWindow* first = application.openWindow();
    first->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(first));
    QTRY_COMPARE(fake->processRuns.size(), 1);
    first->contentView().checkStatus();

    QTest::keyClick(first, Qt::Key_N, Qt::ControlModifier);
    QList<InstallerWindow*> windows;
    for (QWidget* topLevel : QApplication::topLevelWidgets()) {
        if (auto* installerWindow = qobject_cast<InstallerWindow*>(topLevel)) {
            windows << installerWindow;
        }
    }
    QCOMPARE(windows.size(), 2);
    const InstallerWindow* second = windows.at(windows.first() == first ? 1 : 0);
    QCOMPARE(second->findChild<QLabel*>(u"statusLine"_s)->text(), u"Ready."_s);
    QTRY_COMPARE(fake->processRuns.size(), 2);
    QCOMPARE(first->findChild<QLabel*>(u"statusLine"_s)->text(), u"Not finished yet."_s);
}

QTEST_MAIN(TestInstallerWindow)
#include "TestInstallerWindow.moc"
