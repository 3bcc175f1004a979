#include "CaseFile.h"
#include "ContentView.h"
#include "FakePlatformServices.h"

#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QByteArray manifest(const QByteArray& versionAndUrl) {
    const QList<QByteArray> parts = Case::words(versionAndUrl, 2);
    return "200 {\"version\":\"" + parts[0] + "\",\"script_url\":\"" + parts.value(1) + "\"}";
}

// Every field of the view's state and what the fake saw, one line each, with the paths below the
// home folder named as the user knows them.
QStringList shown(const ContentView& view, const FakePlatformServices& platform) {
    const InstallerState& state = view.state();
    QStringList flags;
    for (const auto& [on, name] : {std::pair(state.pythonInstalled, "python"),
                                   {state.installedScript, "script"},
                                   {state.savedToken, "saved"},
                                   {state.allSet, "allSet"},
                                   {state.isWorking, "working"}}) {
        flags << QString::fromLatin1(on ? name : "");
    }
    QStringList lines{
        u"status: "_s + state.statusText,
        u"manifest: "_s + state.manifestStatus,
        u"version: "_s + state.manifestVersion,
        u"url: "_s + state.manifestScriptURL.value_or(QUrl(u"none"_s)).toString(),
        u"python: "_s + state.pythonStatus,
        u"token: "_s + state.token,
        (u"flags: "_s + flags.join(u' ')).simplified(),
        u"calls: "_s + platform.calls.join(u", "_s),
        u"files: %1, requests: %2"_s.arg(platform.files.size()).arg(platform.gets.size())};
    for (auto file = platform.files.begin(); file != platform.files.end(); ++file) {
        lines << u"file "_s + file.key() + u": "_s + QString::fromUtf8(file.value());
    }
    if (!platform.gets.empty()) {
        const HttpRequest& last = platform.gets.back().request;
        lines << u"request: %1 %2s %3 %4s"_s.arg(last.url.toString(QUrl::FullyEncoded))
                     .arg(last.idleTimeout.count() / 1000)
                     .arg(last.maxBodyBytes)
                     .arg(last.deadline.value_or(std::chrono::milliseconds(0)).count() / 1000);
    }
    for (QString& line : lines) {
        line = platform.named(line);
    }
    return lines;
}

} // namespace

// The installer's rules over a scripted platform, case by case from data/ContentView.cases:
// every message, the order of the platform calls, what is written, and network answers delivered
// in whatever order a case chooses.
class TestContentView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rules_data();
    void rules();
    void answerAfterTheWindowClosedIsIgnored();

private:
    void play(ContentView& view, FakePlatformServices& platform, const QByteArray& verb,
              const QByteArray& argument);
};

void TestContentView::rules_data() {
    addCaseRows(u"ContentView.cases"_s);
}

void TestContentView::rules() {
    QFETCH(Case, testCase);
    FakePlatformServices platform;
    QByteArray key;
    for (const Case::Step& step : testCase.steps) {
        key = step.verb == "signing-key" ? QByteArray::fromBase64(step.argument) : key;
    }
    ContentView view(platform, QUrl(u"https://manifest.invalid/latest.json"_s),
                     QUrl(u"https://python.invalid/downloads/"_s), key);
    for (const Case::Step& step : testCase.steps) {
        play(view, platform, step.verb, step.argument);
        if (QTest::currentTestFailed()) {
            return;
        }
    }
}

void TestContentView::play(ContentView& view, FakePlatformServices& platform,
                           const QByteArray& verb, const QByteArray& argument) {
    const std::map<QByteArray, void (ContentView::*)()> actions{
        {"start", &ContentView::startUp},
        {"check", &ContentView::checkStatus},
        {"fetch", &ContentView::fetchManifest},
        {"install", &ContentView::installScript},
        {"python", &ContentView::checkPython},
        {"load-token", &ContentView::loadSavedToken},
        {"save", &ContentView::saveToken},
        {"open-token-file", &ContentView::openTokenFile},
        {"open-python", &ContentView::openPythonDownloads},
        {"open-scripts", &ContentView::openScriptsFolder},
        {"close", &ContentView::closeInstaller}};
    const QString text = QString::fromUtf8(argument);
    const QList<QByteArray> words = Case::words(argument, 3);
    if (platform.play(verb, argument)) {
        return;
    }
    if (actions.contains(verb)) {
        (view.*actions.at(verb))();
    } else if (verb == "type") {
        view.setToken(text);
    } else if (verb == "while-probing") {
        platform.whileProcessRuns = [=, this, &view, &platform] {
            const InstallerState& state = view.state();
            platform.calls << state.pythonStatus + (state.allSet ? u" allSet"_s : QString());
            play(view, platform, words[0], Case::words(argument, 2).value(1));
        };
    } else if (verb == "note-status") {
        platform.calls << view.state().statusText;
    } else if (verb == "note-probe-timeout") {
        platform.calls << u"%1 ms"_s.arg(platform.processRuns.first().timeout.count());
    } else if (verb == "manifest") {
        view.fetchManifest();
        platform.play("answer", "last " + manifest(argument));
    } else if (verb == "redirect") {
        const HttpRequest& last = platform.gets.back().request;
        const bool taken =
            last.acceptsRedirect && last.acceptsRedirect(QUrl(QString::fromUtf8(words[0])));
        QCOMPARE(QByteArray(taken ? "taken" : "refused"), words.value(1));
    } else if (verb == "expect") {
        const QStringList lines = shown(view, platform);
        QVERIFY2(lines.contains(text), qPrintable(text + u"\nnot in:\n"_s + lines.join(u'\n')));
    } else {
        QVERIFY2(verb == "signing-key", verb.constData());
    }
}

void TestContentView::answerAfterTheWindowClosedIsIgnored() {
    FakePlatformServices platform;
    auto view = std::make_unique<ContentView>(platform);
    view->fetchManifest();
    view.reset();
    QVERIFY(!platform.gets.front().receiver);
}

QTEST_GUILESS_MAIN(TestContentView)
#include "TestContentView.moc"
