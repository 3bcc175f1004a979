#include "ContentView.h"
#include "FakePlatformServices.h"
#include "PythonSearchPath.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(HttpReply)
Q_DECLARE_METATYPE(ProcessResult)

namespace {

const QString home = u"/home/tester"_s;
const QString scriptPath = home + u"/Library/Application Support/Blackmagic Design/DaVinci Resolve/"
                                  "Fusion/Scripts/Utility/ZEPH_Export_Gallery_Stills.py"_s;
const QString tokenFolderPath = home + u"/.zeph"_s;
const QString tokenPath = tokenFolderPath + u"/resolve_token.txt"_s;

QByteArray manifestBody(const QString& version, const QString& scriptUrl) {
    return uR"({"version":"%1","script_url":"%2"})"_s.arg(version, scriptUrl).toUtf8();
}

ProcessResult pythonFound() {
    return {ProcessResult::Outcome::Exited, 0, "Python 3.12.1\n"};
}

ProcessResult pythonMissing() {
    return {ProcessResult::Outcome::Exited, 127, "env: 'python3': No such file or directory\n"};
}

} // namespace

// The installer core over a scripted platform: every message, the order of the platform calls,
// and network answers delivered in whatever order a test chooses.
class TestContentView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();

    void startsFromTheInitialValues();
    void startUpRunsItsStepsInOrder();
    void manifestAnsweredDuringTheProbeLeavesTheProbeMessage();

    void completionRule_data();
    void completionRule();
    void completionRuleIsOnlyEvaluatedAtItsPoints();

    void manifestOutcomes_data();
    void manifestOutcomes();
    void overlappingFetchesApplyTheirOutcomesInArrivalOrder();
    void refreshStartsAfreshWithItsLimits();

    void installNeedsAScriptAddress();
    void installRequestAddress_data();
    void installRequestAddress();
    void installOutcomes_data();
    void installOutcomes();
    void installReportsTheVersionOfTheClick();
    void checkInstalledScriptFollowsTheDisk();

    void pythonProbe_data();
    void pythonProbe();
    void pythonProbeHoldsAllSetFalseWhileItRuns();

    void loadSavedToken_data();
    void loadSavedToken();
    void saveTokenOutcomes_data();
    void saveTokenOutcomes();
    void openTokenFileCreatesAnEmptyFileOnlyWhenMissing();
    void openTokenFileFailure();

    void openActionsReportWhateverTheDesktopDoes();
    void closeQuitsWithoutWriting();

private:
    // Brings the view to "Python detected, manifest loaded" with the given script address.
    void loadManifest(const QString& version, const QString& scriptUrl);

    std::unique_ptr<FakePlatformServices> platform;
    std::unique_ptr<ContentView> view;
};

void TestContentView::init() {
    view.reset();
    platform = std::make_unique<FakePlatformServices>();
    view = std::make_unique<ContentView>(*platform);
}

void TestContentView::loadManifest(const QString& version, const QString& scriptUrl) {
    view->fetchManifest();
    platform->answer(platform->gets.size() - 1,
                     FakePlatformServices::answered(200, manifestBody(version, scriptUrl)));
}

// The initial state as the user sees it is the first row of
// TestInstallerWindow::windowFollowsState.
void TestContentView::startsFromTheInitialValues() {
    QCOMPARE(view->manifestURL.scheme(), u"https"_s);
    QCOMPARE(view->manifestURL.path(), u"/storage/v1/object/public/resolve/latest.json"_s);
    QCOMPARE(view->pythonDownloadURL.scheme(), u"https"_s);
    QCOMPARE(view->pythonDownloadURL.path(), u"/downloads/macos/"_s);
    QCOMPARE(view->scriptFileName, u"ZEPH_Export_Gallery_Stills.py"_s);
    QVERIFY(!view->state().manifestScriptURL);
    QVERIFY(platform->calls.isEmpty());
}

void TestContentView::startUpRunsItsStepsInOrder() {
    platform->files.insert(tokenPath, "  saved-token\n");
    view->startUp();

    const QStringList expected = {
        u"get "_s + view->manifestURL.toString(QUrl::FullyEncoded),
        u"run /usr/bin/env python3 --version"_s,
        u"exists "_s + tokenPath,
        u"read "_s + tokenPath,
        u"exists "_s + scriptPath,
    };
    QCOMPARE(platform->calls, expected);
    QCOMPARE(view->state().token, u"saved-token"_s);
    QCOMPARE(view->state().statusText, u"Python detected."_s);
    QCOMPARE(view->state().manifestStatus, u"Loading\u2026"_s);
    QVERIFY(!view->state().allSet); // no script on disk
}

void TestContentView::manifestAnsweredDuringTheProbeLeavesTheProbeMessage() {
    platform->whileProcessRuns = [this] {
        platform->answer(
            0, FakePlatformServices::answered(200, manifestBody(u"2.0"_s, u"https://h/s.py"_s)));
    };
    view->startUp();
    QCOMPARE(view->state().manifestVersion, u"2.0"_s);
    QCOMPARE(view->state().statusText, u"Python detected."_s);
}

void TestContentView::completionRule_data() {
    QTest::addColumn<bool>("python");
    QTest::addColumn<bool>("script");
    QTest::addColumn<QByteArray>("tokenFile"); // empty: no token file
    QTest::addColumn<QString>("typedToken");   // null: the field is left as loaded
    QTest::addColumn<bool>("allSet");

    QTest::newRow("no python") << false << true << "tok"_ba << QString() << false;
    QTest::newRow("no script") << true << false << "tok"_ba << QString() << false;
    QTest::newRow("saved token") << true << true << "tok"_ba << QString() << true;
    QTest::newRow("saved token, field cleared") << true << true << "tok"_ba << u""_s << true;
    QTest::newRow("typed with blanks around")
        << true << true << QByteArray() << u" \ttok\n"_s << true;
    QTest::newRow("only blanks typed") << true << true << QByteArray() << u" \t\r\n "_s << false;
}

void TestContentView::completionRule() {
    QFETCH(bool, python);
    QFETCH(bool, script);
    QFETCH(QByteArray, tokenFile);
    QFETCH(QString, typedToken);
    QFETCH(bool, allSet);

    platform->processResult = python ? pythonFound() : pythonMissing();
    if (script) {
        platform->files.insert(scriptPath, "print()");
    }
    if (!tokenFile.isEmpty()) {
        platform->files.insert(tokenPath, tokenFile);
    }
    view->startUp();
    if (!typedToken.isNull()) {
        view->setToken(typedToken);
    }
    view->checkStatus();

    QCOMPARE(view->state().allSet, allSet);
    QCOMPARE(view->state().statusText,
             allSet ? u"All set. You can close this installer."_s : u"Not finished yet."_s);
}

void TestContentView::completionRuleIsOnlyEvaluatedAtItsPoints() {
    platform->files.insert(scriptPath, "print()");
    view->startUp();
    QVERIFY(!view->state().allSet);

    // Typing a token does not evaluate the rule; "Check status" does.
    view->setToken(u"tok"_s);
    QVERIFY(!view->state().allSet);
    view->checkStatus();
    QVERIFY(view->state().allSet);

    // Clearing the field leaves the last result until the next evaluation.
    view->setToken(QString());
    QVERIFY(view->state().allSet);
    // A manifest arriving is no evaluation point.
    platform->answer(0, FakePlatformServices::failed(u"offline"_s));
    QVERIFY(view->state().allSet);
    view->checkStatus();
    QVERIFY(!view->state().allSet);
}

void TestContentView::manifestOutcomes_data() {
    QTest::addColumn<HttpReply>("reply");
    QTest::addColumn<QString>("manifestStatus");
    QTest::addColumn<QString>("statusText");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("scriptUrl"); // empty: absent

    const QString network = u"Could not load latest version (network)."_s;
    const QString parse = u"Could not parse version file."_s;
    const QString none = u"\u2014"_s;

    QTest::newRow("success") << FakePlatformServices::answered(
                                    200, manifestBody(u"1.4.0"_s, u"https://cdn.example/s.py"_s))
                             << u"Latest available script."_s << u"Loaded script version 1.4.0."_s
                             << u"1.4.0"_s << u"https://cdn.example/s.py"_s;
    QTest::newRow("empty script url")
        << FakePlatformServices::answered(200, manifestBody(u"1"_s, QString()))
        << u"Latest available script."_s << u"Loaded script version 1."_s << u"1"_s << QString();
    QTest::newRow("unparsable script url")
        << FakePlatformServices::answered(200, manifestBody(u"1"_s, u"https://h/a b"_s))
        << u"Latest available script."_s << u"Loaded script version 1."_s << u"1"_s << QString();
    QTest::newRow("a manifest served with 404 is still read")
        << FakePlatformServices::answered(404, manifestBody(u"3"_s, u"https://h/s.py"_s))
        << u"Latest available script."_s << u"Loaded script version 3."_s << u"3"_s
        << u"https://h/s.py"_s;
    QTest::newRow("transport error")
        << FakePlatformServices::failed(u"Connection refused"_s) << network
        << u"Manifest error: Connection refused"_s << none << QString();
    QTest::newRow("too large") << HttpReply{HttpReply::Outcome::TooLarge, {}, 0, std::nullopt}
                               << network << u"Manifest error: the response is larger than 1 MiB."_s
                               << none << QString();
    QTest::newRow("no body") << HttpReply{HttpReply::Outcome::Answered, {}, 204, std::nullopt}
                             << u"Could not load latest version."_s
                             << u"Manifest error: empty response."_s << none << QString();
    QTest::newRow("empty body") << FakePlatformServices::answered(200, {}) << parse
                                << u"Manifest parse error: The data is not valid JSON"_s << none
                                << QString();
}

void TestContentView::manifestOutcomes() {
    QFETCH(HttpReply, reply);
    QFETCH(QString, manifestStatus);
    QFETCH(QString, statusText);
    QFETCH(QString, version);
    QFETCH(QString, scriptUrl);

    view->fetchManifest();
    QSignalSpy changed(view.get(), &ContentView::changed);
    platform->answer(0, reply);

    QVERIFY(!changed.isEmpty());
    const InstallerState& state = view->state();
    QCOMPARE(state.manifestStatus, manifestStatus);
    QVERIFY2(state.statusText.startsWith(statusText), qPrintable(state.statusText));
    QCOMPARE(state.manifestVersion, version);
    QCOMPARE(state.manifestScriptURL.value_or(QUrl()).toString(), scriptUrl);
    QVERIFY(!state.isWorking && !state.allSet);
}

void TestContentView::overlappingFetchesApplyTheirOutcomesInArrivalOrder() {
    view->fetchManifest();
    view->fetchManifest();
    platform->answer(1,
                     FakePlatformServices::answered(200, manifestBody(u"2"_s, u"https://h/2"_s)));
    QCOMPARE(view->state().manifestVersion, u"2"_s);

    // The earlier fetch fails last: it decides the messages, but failures keep what a success
    // published.
    platform->answer(0, FakePlatformServices::failed(u"offline"_s));
    QCOMPARE(view->state().manifestStatus, u"Could not load latest version (network)."_s);
    QCOMPARE(view->state().statusText, u"Manifest error: offline"_s);
    QCOMPARE(view->state().manifestVersion, u"2"_s);
    QCOMPARE(view->state().manifestScriptURL, QUrl(u"https://h/2"_s));

    // Two successes: the one that arrives last wins.
    view->fetchManifest();
    view->fetchManifest();
    platform->answer(3,
                     FakePlatformServices::answered(200, manifestBody(u"4"_s, u"https://h/4"_s)));
    platform->answer(2,
                     FakePlatformServices::answered(200, manifestBody(u"3"_s, u"https://h/3"_s)));
    QCOMPARE(view->state().manifestVersion, u"3"_s);
    QCOMPARE(view->state().statusText, u"Loaded script version 3."_s);
}

void TestContentView::refreshStartsAfreshWithItsLimits() {
    loadManifest(u"1"_s, u"https://h/s.py"_s);
    view->fetchManifest();
    QVERIFY(!view->state().manifestScriptURL);
    QCOMPARE(view->state().manifestVersion, u"\u2014"_s);
    QCOMPARE(view->state().manifestStatus, u"Loading\u2026"_s);
    QCOMPARE(view->state().statusText, u"Loaded script version 1."_s); // not touched at start
    const HttpRequest& request = platform->gets.at(1).request;
    QCOMPARE(request.url, view->manifestURL);
    QCOMPARE(request.idleTimeout, 20s);
    QCOMPARE(request.maxBodyBytes, 1024 * 1024);
    QVERIFY(!request.deadline);
}

void TestContentView::installNeedsAScriptAddress() {
    view->installScript();
    QCOMPARE(view->state().statusText, u"Script URL not available yet. Try Refresh version."_s);
    QVERIFY(!view->state().isWorking);
    QVERIFY(platform->gets.empty());
}

void TestContentView::installRequestAddress_data() {
    QTest::addColumn<QString>("scriptUrl");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("requested"); // empty: refused without a request

    QTest::newRow("version appended")
        << u"https://cdn.example/s.py"_s << u"1.4.0"_s << u"https://cdn.example/s.py?v=1.4.0"_s;
    QTest::newRow("existing query kept")
        << u"https://h/get?id=7"_s << u"1.4.0"_s << u"https://h/get?id=7?v=1.4.0"_s;
    QTest::newRow("unparsable join falls back")
        << u"https://h/s.py"_s << u"1 beta"_s << u"https://h/s.py"_s;
    QTest::newRow("http to 127.9.8.7")
        << u"http://127.9.8.7/s.py"_s << u"1"_s << u"http://127.9.8.7/s.py?v=1"_s;
    QTest::newRow("http to localhost")
        << u"http://localhost/s.py"_s << u"1"_s << u"http://localhost/s.py?v=1"_s;
    QTest::newRow("http to ::1") << u"http://[::1]:9/s.py"_s << u"1"_s
                                 << u"http://[::1]:9/s.py?v=1"_s;
    QTest::newRow("http to a look-alike host")
        << u"http://127.0.0.1.evil.example/s.py"_s << u"1"_s << QString();
    QTest::newRow("http to a private address")
        << u"http://192.168.1.2/s.py"_s << u"1"_s << QString();
    QTest::newRow("file") << u"file:///etc/passwd"_s << u"1"_s << QString();
}

void TestContentView::installRequestAddress() {
    QFETCH(QString, scriptUrl);
    QFETCH(QString, version);
    QFETCH(QString, requested);

    loadManifest(version, scriptUrl);
    QVERIFY(view->state().manifestScriptURL);
    view->installScript();

    if (requested.isEmpty()) {
        QCOMPARE(platform->gets.size(), 1u);
        QCOMPARE(view->state().statusText,
                 u"Error downloading script: the script address must use HTTPS."_s);
        QVERIFY(!view->state().isWorking);
        return;
    }
    QCOMPARE(platform->gets.size(), 2u);
    const HttpRequest& request = platform->gets.at(1).request;
    QCOMPARE(request.url.toString(QUrl::FullyEncoded), requested);
    QCOMPARE(request.idleTimeout, 30s);
    QCOMPARE(request.maxBodyBytes, 64 * 1024 * 1024);
    QCOMPARE(request.deadline, std::optional<std::chrono::milliseconds>(5min));
    QVERIFY(view->state().isWorking);
    QCOMPARE(view->state().statusText, u"Downloading script v"_s + version + u"\u2026"_s);
}

void TestContentView::installOutcomes_data() {
    QTest::addColumn<HttpReply>("reply");
    QTest::addColumn<QString>("createFolderError");
    QTest::addColumn<QString>("writeError");
    QTest::addColumn<QString>("statusText");
    QTest::addColumn<bool>("installed");

    const HttpReply ok = FakePlatformServices::answered(200, "print('zeph')\n");
    QTest::newRow("success") << ok << QString() << QString()
                             << u"Installed script v1.4.0. Restart Resolve to load it."_s << true;
    QTest::newRow("any 2xx") << FakePlatformServices::answered(203, "x") << QString() << QString()
                             << u"Installed script v1.4.0. Restart Resolve to load it."_s << true;
    QTest::newRow("transport error")
        << FakePlatformServices::failed(u"The request timed out."_s) << QString() << QString()
        << u"Error downloading script: The request timed out."_s << false;
    QTest::newRow("too large") << HttpReply{HttpReply::Outcome::TooLarge, {}, 0, std::nullopt}
                               << QString() << QString()
                               << u"Error downloading script: the script is larger than 64 MiB."_s
                               << false;
    QTest::newRow("overdue")
        << HttpReply{HttpReply::Outcome::DeadlineExceeded, {}, 0, std::nullopt} << QString()
        << QString() << u"Error downloading script: the download did not finish within 5 minutes."_s
        << false;
    QTest::newRow("500, empty") << FakePlatformServices::answered(500, {}) << QString() << QString()
                                << u"Error downloading script: the server answered with HTTP "
                                   "status 500."_s
                                << false;
    QTest::newRow("redirect not followed")
        << FakePlatformServices::answered(302, "moved") << QString() << QString()
        << u"Error downloading script: the server answered with HTTP status 302."_s << false;
    QTest::newRow("empty body") << FakePlatformServices::answered(200, {}) << QString() << QString()
                                << u"Error: downloaded script is empty."_s << false;
    QTest::newRow("no body") << HttpReply{HttpReply::Outcome::Answered, {}, 204, std::nullopt}
                             << QString() << QString() << u"Error: downloaded script is empty."_s
                             << false;
    QTest::newRow("folder fails") << ok << u"“/home/tester/Library” is not a folder."_s << QString()
                                  << u"Error installing script: “/home/tester/Library” is not a "
                                     "folder."_s
                                  << false;
    QTest::newRow("write fails") << ok << QString() << u"disk full"_s
                                 << u"Error installing script: disk full"_s << false;
}

void TestContentView::installOutcomes() {
    QFETCH(HttpReply, reply);
    QFETCH(QString, createFolderError);
    QFETCH(QString, writeError);
    QFETCH(QString, statusText);
    QFETCH(bool, installed);

    platform->files.insert(tokenPath, "tok");
    view->startUp();
    platform->answer(
        0, FakePlatformServices::answered(200, manifestBody(u"1.4.0"_s, u"https://h/s.py"_s)));
    QVERIFY(!view->state().allSet);
    view->installScript();
    platform->createFolderError = createFolderError;
    platform->writeError = writeError;
    platform->answer(1, reply);

    const InstallerState& state = view->state();
    QCOMPARE(state.statusText, statusText);
    QVERIFY(!state.isWorking);
    QCOMPARE(state.installedScript, installed);
    QCOMPARE(state.allSet, installed); // evaluated after a successful install only
    QCOMPARE(platform->files.contains(scriptPath), installed);
    if (installed) {
        QCOMPARE(platform->files.value(scriptPath), *reply.body);
        QVERIFY(platform->calls.contains(u"mkdir "_s + view->scriptsFolderURL()));
    }
}

void TestContentView::installReportsTheVersionOfTheClick() {
    loadManifest(u"1.4.0"_s, u"https://h/s.py"_s);
    view->installScript();
    loadManifest(u"9.9"_s, u"https://h/s.py"_s); // a refresh lands before the download ends
    platform->answer(1, FakePlatformServices::answered(200, "new"));
    QCOMPARE(view->state().statusText, u"Installed script v1.4.0. Restart Resolve to load it."_s);
    QCOMPARE(view->state().manifestVersion, u"9.9"_s);
}

void TestContentView::checkInstalledScriptFollowsTheDisk() {
    platform->files.insert(scriptPath, "x");
    view->checkInstalledScript();
    QVERIFY(view->state().installedScript);
    platform->files.remove(scriptPath);
    view->checkStatus(); // nothing but the check looks at the disk again
    QVERIFY(view->state().installedScript);
    view->checkInstalledScript();
    QVERIFY(!view->state().installedScript);
    platform->folders.insert(scriptPath); // a folder of that name counts
    view->checkInstalledScript();
    QVERIFY(view->state().installedScript);
}

void TestContentView::pythonProbe_data() {
    QTest::addColumn<ProcessResult>("result");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("pythonStatus");

    using Outcome = ProcessResult::Outcome;
    const QString notFound = u"Python not found"_s;
    QTest::newRow("any capitalisation, trimmed, inner lines kept")
        << ProcessResult{Outcome::Exited, 0, " \tmy PYTHON build\nline two\r\n"} << true
        << u"my PYTHON build\nline two"_s;
    QTest::newRow("exit 1 mentioning python")
        << ProcessResult{Outcome::Exited, 1, "python3: error\n"} << false << notFound;
    QTest::newRow("exit 0, no python")
        << ProcessResult{Outcome::Exited, 0, "Ruby 3.2\n"} << false << notFound;
    QTest::newRow("truncated UTF-8")
        << ProcessResult{Outcome::Exited, 0, "Python \xc3"} << false << notFound;
    // Only a child that exited counts, whatever its exit code and output say.
    QTest::newRow("timed out") << ProcessResult{Outcome::TimedOut, 0, "Python 3"} << false
                               << notFound;
}

void TestContentView::pythonProbe() {
    QFETCH(ProcessResult, result);
    QFETCH(bool, found);
    QFETCH(QString, pythonStatus);

    platform->processResult = result;
    view->checkPython();

    QCOMPARE(platform->processRuns.size(), 1);
    const ProcessRequest& request = platform->processRuns.first();
    QCOMPARE(request.program, u"/usr/bin/env"_s);
    QCOMPARE(request.arguments, QStringList({u"python3"_s, u"--version"_s}));
    QCOMPARE(request.timeout, 10s);
    QCOMPARE(request.searchFirst, PythonSearchPath::preferredFolders(PythonSearchPath::current()));
    QCOMPARE(view->state().pythonInstalled, found);
    QCOMPARE(view->state().pythonStatus, pythonStatus);
    QCOMPARE(view->state().statusText,
             found ? u"Python detected."_s : u"Python not found. Install Python to continue."_s);
    QVERIFY(!view->state().isWorking);
}

void TestContentView::pythonProbeHoldsAllSetFalseWhileItRuns() {
    platform->files.insert(scriptPath, "x");
    platform->files.insert(tokenPath, "tok");
    view->startUp();
    QVERIFY(view->state().allSet);

    std::optional<InstallerState> duringProbe;
    platform->whileProcessRuns = [&] {
        duringProbe = view->state();
    };
    platform->processResult = pythonMissing();
    view->checkPython();

    QVERIFY(duringProbe);
    QVERIFY(!duringProbe->allSet);
    QVERIFY(!duringProbe->pythonInstalled);
    QCOMPARE(duringProbe->pythonStatus, u"Checking\u2026"_s);
    QVERIFY(!view->state().allSet);

    platform->processResult = pythonFound();
    view->checkPython();
    QVERIFY(view->state().allSet);
}

void TestContentView::loadSavedToken_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("token");

    QTest::newRow("blanks and line break around") << "  abc123 \n"_ba << true << u"abc123"_s;
    QTest::newRow("two lines keep the inner break")
        << "\nline1\nline2\n"_ba << true << u"line1\nline2"_s;
    QTest::newRow("only blanks") << " \t\r\n"_ba << true << QString();
    QTest::newRow("not UTF-8") << "tok\xff"_ba << true << QString();
    QTest::newRow("unreadable") << "tok"_ba << false << QString();
}

void TestContentView::loadSavedToken() {
    QFETCH(QByteArray, contents);
    QFETCH(bool, readable);
    QFETCH(QString, token);

    platform->files.insert(tokenPath, contents);
    if (!readable) {
        platform->unreadable.insert(tokenPath);
    }
    view->loadSavedToken();
    QCOMPARE(view->state().token, token);
    QCOMPARE(view->state().savedToken, !token.isEmpty());
    QCOMPARE(view->state().statusText, u"Ready."_s);
}

void TestContentView::saveTokenOutcomes_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("createFolderError");
    QTest::addColumn<QString>("writeError");
    QTest::addColumn<QString>("statusText");
    QTest::addColumn<bool>("saved");

    QTest::newRow("saved") << u"  tok-123 \n"_s << QString() << QString() << u"Token saved."_s
                           << true;
    QTest::newRow("blank") << u" \n\t"_s << QString() << QString() << u"Token is empty."_s << false;
    QTest::newRow("folder fails") << u"tok"_s << u"“/home/tester/.zeph” is not a folder."_s
                                  << QString()
                                  << u"Error saving token: “/home/tester/.zeph” is not a folder."_s
                                  << false;
    QTest::newRow("write fails") << u"tok"_s << QString() << u"No space left on device"_s
                                 << u"Error saving token: No space left on device"_s << false;
}

void TestContentView::saveTokenOutcomes() {
    QFETCH(QString, typed);
    QFETCH(QString, createFolderError);
    QFETCH(QString, writeError);
    QFETCH(QString, statusText);
    QFETCH(bool, saved);

    platform->files.insert(scriptPath, "x");
    view->startUp();
    platform->calls.clear();
    platform->createFolderError = createFolderError;
    platform->writeError = writeError;
    view->setToken(typed);
    view->saveToken();

    QCOMPARE(view->state().statusText, statusText);
    QCOMPARE(view->state().savedToken, saved);
    QCOMPARE(view->state().allSet, saved); // evaluated after a successful save only
    QVERIFY(!view->state().isWorking);
    if (typed.trimmed().isEmpty()) {
        QVERIFY(platform->calls.isEmpty());
    }

    if (saved) {
        // Trimmed, in a private file; the field keeps what was typed.
        QCOMPARE(platform->files.value(tokenPath), "tok-123"_ba);
        QCOMPARE(platform->fileAccess.value(tokenPath), FileAccess::OwnerOnly);
        QCOMPARE(platform->calls,
                 QStringList({u"mkdir "_s + tokenFolderPath, u"write "_s + tokenPath}));
        QCOMPARE(view->state().token, typed);
        // A failure after a success keeps the token counted as saved.
        platform->writeError = u"read-only"_s;
        view->saveToken();
        QCOMPARE(view->state().statusText, u"Error saving token: read-only"_s);
        QVERIFY(view->state().savedToken);
    }
}

void TestContentView::openTokenFileCreatesAnEmptyFileOnlyWhenMissing() {
    view->openTokenFile();
    QCOMPARE(platform->files.value(tokenPath), QByteArray());
    QVERIFY(platform->files.contains(tokenPath));
    QCOMPARE(platform->fileAccess.value(tokenPath), FileAccess::OwnerOnly);
    QCOMPARE(platform->opened, QList<QUrl>{QUrl::fromLocalFile(tokenPath)});
    QCOMPARE(view->state().statusText, u"Opened token file."_s);
    QVERIFY(!view->state().savedToken);

    platform->files.insert(tokenPath, "kept");
    platform->calls.clear();
    view->openTokenFile();
    QCOMPARE(platform->files.value(tokenPath), "kept"_ba);
    QCOMPARE(platform->calls,
             QStringList({u"exists "_s + tokenPath,
                          u"open "_s + QUrl::fromLocalFile(tokenPath).toString()}));
}

void TestContentView::openTokenFileFailure() {
    platform->createFolderError = u"“/home/tester/.zeph” is not a folder."_s;
    view->openTokenFile();
    QCOMPARE(view->state().statusText,
             u"Error creating token file: “/home/tester/.zeph” is not a folder."_s);
    QVERIFY(platform->opened.isEmpty());

    platform->createFolderError.clear();
    platform->writeError = u"Permission denied"_s;
    view->openTokenFile();
    QCOMPARE(view->state().statusText, u"Error creating token file: Permission denied"_s);
    QVERIFY(platform->opened.isEmpty());
}

void TestContentView::openActionsReportWhateverTheDesktopDoes() {
    view->openPythonDownloads();
    QCOMPARE(view->state().statusText, u"Opened Python downloads page."_s);
    view->openScriptsFolder();
    QCOMPARE(view->state().statusText, u"Opened Resolve scripts folder."_s);
    QCOMPARE(platform->opened,
             QList<QUrl>({view->pythonDownloadURL, QUrl::fromLocalFile(view->scriptsFolderURL())}));
    QVERIFY(platform->folders.isEmpty()); // the scripts folder is not created to be opened
}

void TestContentView::closeQuitsWithoutWriting() {
    view->setToken(u"typed but not saved"_s);
    view->closeInstaller();
    QCOMPARE(platform->quitRequests, 1);
    QCOMPARE(platform->calls, QStringList{u"quit"_s});
}

QTEST_GUILESS_MAIN(TestContentView)
#include "TestContentView.moc"
