#include "ContentView.h"
#include "FakePlatformServices.h"

#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(HttpReply)
Q_DECLARE_METATYPE(ProcessResult)

namespace {

using Fake = FakePlatformServices;
using Outcome = HttpReply::Outcome;

const QString downloadError = u"Error downloading script: "_s;
const QString notHttps = downloadError + u"the script address must use HTTPS."_s;
const QString notVerified = downloadError + u"the script's signature does not verify."_s;
const QString installed = u"Installed script v1.4. Restart Resolve to load it."_s;

HttpReply ok(const QByteArray& body, int statusCode = 200) {
    return {Outcome::Answered, {}, statusCode, body};
}

HttpReply failed(Outcome outcome, const QString& description = {}) {
    return {outcome, description, 0, std::nullopt};
}

HttpReply manifest(const QString& version, const QString& url, const QByteArray& more = {}) {
    return ok(
        u"{\"version\":\"%1\",\"script_url\":\"%2\"%3}"_s.arg(version, url, QString::fromUtf8(more))
            .toUtf8());
}

} // namespace

// The installer's rules over a scripted platform: every message, the platform calls in their
// order, what is written, and network answers delivered in whatever order a test chooses.
class TestContentView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void startUpRunsEachStepInOrder();
    void completionRule_data();
    void completionRule();
    void manifest_data();
    void manifest();
    void overlappingFetchesLastArrivalWins();
    void scriptRequest_data();
    void scriptRequest();
    void redirectHop_data();
    void redirectHop();
    void download_data();
    void download();
    void probe_data();
    void probe();
    void loadSavedToken_data();
    void loadSavedToken();
    void saveToken_data();
    void saveToken();
    void openTokenFile_data();
    void openTokenFile();
    void signedScript_data();
    void signedScript();
    void desktop();
    void answerAfterTheWindowClosedIsIgnored();

private:
    // A build with the key, its manifest read from the invalid host or, for a test build, from
    // this machine over plain http.
    void build(const QByteArray& signingKey = {}, bool testBuild = false);
    const InstallerState& state() const;
    // A manifest naming `url` at `version`, then a click on "Install Script".
    void installFrom(const QString& url, const QString& version = u"1.4"_s);
    // The latest request: "URL IDLE MAX_BYTES [DEADLINE]".
    QString lastRequest() const;

    std::unique_ptr<Fake> platform;
    std::unique_ptr<ContentView> view;
};

void TestContentView::init() {
    platform = std::make_unique<Fake>();
    build();
}

void TestContentView::build(const QByteArray& signingKey, bool testBuild) {
    const QUrl manifest(testBuild ? u"http://127.0.0.1:1/latest.json"_s
                                  : u"https://manifest.invalid/latest.json"_s);
    view = std::make_unique<ContentView>(*platform, manifest,
                                         QUrl(u"https://python.invalid/downloads/"_s),
                                         QByteArray::fromBase64(signingKey));
}

const InstallerState& TestContentView::state() const {
    return view->state();
}

void TestContentView::installFrom(const QString& url, const QString& version) {
    view->fetchManifest();
    platform->answerLast(::manifest(version, url));
    view->installScript();
}

QString TestContentView::lastRequest() const {
    const HttpRequest& request = platform->gets.back().request;
    return u"%1 %2s %3"_s.arg(request.url.toString(QUrl::FullyEncoded))
               .arg(request.idleTimeout / 1s)
               .arg(request.maxBodyBytes) +
           (request.deadline ? u" %1s"_s.arg(*request.deadline / 1s) : QString());
}

// Each step runs to its end before the next, and only the probe writes the status line.
void TestContentView::startUpRunsEachStepInOrder() {
    platform->files[Fake::tokenFile] = "tok";
    view->startUp();
    QCOMPARE(platform->calls,
             QStringList({u"get https://manifest.invalid/latest.json"_s,
                          u"run /usr/bin/env python3 --version"_s, u"exists "_s + Fake::tokenFile,
                          u"keep private "_s + Fake::tokenFile, u"read "_s + Fake::tokenFile,
                          u"exists "_s + Fake::scriptFile}));
    QCOMPARE(lastRequest(), u"https://manifest.invalid/latest.json 20s 1048576"_s);
    QCOMPARE(platform->processRuns.first().timeout, 10s);
    QCOMPARE(state().statusText, u"Python detected."_s);
    QCOMPARE(state().token, u"tok"_s);
}

void TestContentView::completionRule_data() {
    QTest::addColumn<QStringList>("onDisk");
    QTest::addColumn<int>("probeExit");
    QTest::addColumn<QString>("typed"); // null: nothing typed
    QTest::addColumn<bool>("checkStatus");
    QTest::addColumn<QString>("outcome"); // "all set" or not, then the status line
    const QStringList both{u"script"_s, u"token"_s}, script{u"script"_s};
    const QString done = u"all set: All set. You can close this installer."_s;
    const QString notYet = u"not set: Not finished yet."_s;
    QTest::newRow("a saved token")
        << both << 0 << QString() << false << u"all set: Python detected."_s;
    QTest::newRow("no script") << QStringList{u"token"_s} << 0 << QString() << true << notYet;
    QTest::newRow("no Python") << both << 127 << QString() << true << notYet;
    QTest::newRow("typing judges nothing")
        << script << 0 << u" t "_s << false << u"not set: Python detected."_s;
    QTest::newRow("a typed token counts at Check status")
        << script << 0 << u" t "_s << true << done;
    QTest::newRow("only blanks typed") << script << 0 << u" \t\n"_s << true << notYet;
    QTest::newRow("a saved token, the field cleared") << both << 0 << u""_s << true << done;
}

void TestContentView::completionRule() {
    QFETCH(QStringList, onDisk);
    QFETCH(int, probeExit);
    QFETCH(QString, typed);
    QFETCH(bool, checkStatus);
    if (onDisk.contains(u"script"_s)) {
        platform->files[Fake::scriptFile] = "print()";
    }
    if (onDisk.contains(u"token"_s)) {
        platform->files[Fake::tokenFile] = "tok";
    }
    platform->processResult.exitCode = probeExit;
    view->startUp();
    if (!typed.isNull()) {
        view->setToken(typed);
    }
    if (checkStatus) {
        view->checkStatus();
    }
    QTEST((state().allSet ? u"all set: "_s : u"not set: "_s) + state().statusText, "outcome");
}

void TestContentView::manifest_data() {
    QTest::addColumn<HttpReply>("reply");
    QTest::addColumn<QString>("shown"); // manifest status | status line | version | script URL
    QTest::newRow("loaded")
        << ::manifest(u"1.4"_s, u"https://a.invalid/s"_s)
        << u"Latest available script.|Loaded script version 1.4.|1.4|https://a.invalid/s"_s;
    // What the window draws differently is kept as it came.
    QTest::newRow("formatting characters")
        << ::manifest(u"1\u202e2"_s, u"https://a.invalid/s"_s)
        << u"Latest available script.|Loaded script version 1\u202e2.|1\u202e2|https://a.invalid/s"_s;
    QTest::newRow("404 still read, its address none")
        << ok(R"({"version":"","script_url":"x y"})", 404)
        << u"Latest available script.|Loaded script version .||"_s;
    QTest::newRow("not a manifest") << ok(R"({"version":"1"})")
                                    << u"Could not parse version file.|Manifest parse error: The "
                                       "key “script_url” is missing.|—|"_s;
    QTest::newRow("failed")
        << failed(Outcome::Failed, u"Connection refused"_s)
        << u"Could not load latest version (network).|Manifest error: Connection refused|—|"_s;
    QTest::newRow("too large") << failed(Outcome::TooLarge)
                               << u"Could not load latest version (network).|Manifest error: the "
                                  "response is larger than 1 MiB.|—|"_s;
    QTest::newRow("no body")
        << HttpReply{Outcome::Answered, {}, 204, std::nullopt}
        << u"Could not load latest version.|Manifest error: empty response.|—|"_s;
}

// Each fetch starts afresh: it forgets what the one before brought until its own answer comes.
void TestContentView::manifest() {
    QFETCH(HttpReply, reply);
    installFrom(u"https://old.invalid/s"_s);
    view->fetchManifest();
    const auto shown = [this] {
        return QStringList{state().manifestStatus, state().statusText, state().manifestVersion,
                           state().manifestScriptURL.value_or(QUrl()).toString()}
            .join(u'|');
    };
    QCOMPARE(shown(), u"Loading…|Downloading script v1.4…|—|"_s);
    platform->answerLast(reply);
    QTEST(shown(), "shown");
}

void TestContentView::overlappingFetchesLastArrivalWins() {
    view->fetchManifest();
    view->fetchManifest();
    platform->answer(1, ::manifest(u"2"_s, u"https://a.invalid/2"_s));
    platform->answer(0, ::manifest(u"1"_s, u"https://a.invalid/1"_s));
    QCOMPARE(state().manifestScriptURL, QUrl(u"https://a.invalid/1"_s));
}

void TestContentView::scriptRequest_data() {
    QTest::addColumn<bool>("testBuild");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("request"); // as lastRequest(), or the status line when none is made
    const QString limits = u" 30s 67108864 300s"_s;
    QTest::newRow("https") << false << u"https://h.invalid/s.py"_s << u"7"_s
                           << u"https://h.invalid/s.py?v=7"_s + limits;
    QTest::newRow("a query of its own") << false << u"https://h.invalid/s?id=7"_s << u"1.4.0"_s
                                        << u"https://h.invalid/s?id=7?v=1.4.0"_s + limits;
    QTest::newRow("a version that does not join")
        << false << u"https://h.invalid/s.py"_s << u"1 2"_s << u"https://h.invalid/s.py"_s + limits;
    QTest::newRow("http to this machine")
        << false << u"http://127.0.0.1:9/s"_s << u"7"_s << notHttps;
    QTest::newRow("http to this machine, in a test build")
        << true << u"http://127.0.0.1:9/s"_s << u"7"_s << u"http://127.0.0.1:9/s?v=7"_s + limits;
    QTest::newRow("no address") << false << u""_s << u"7"_s
                                << u"Script URL not available yet. Try Refresh version."_s;
}

// The request names the version clicked, and so does the status line while it runs.
void TestContentView::scriptRequest() {
    QFETCH(bool, testBuild);
    QFETCH(QString, url);
    QFETCH(QString, version);
    build({}, testBuild);
    installFrom(url, version);
    const bool requested = platform->gets.size() == 2;
    QTEST(requested ? lastRequest() : state().statusText, "request");
    QCOMPARE(state().isWorking, requested);
    if (requested) {
        QCOMPARE(state().statusText, u"Downloading script v%1…"_s.arg(version));
    }
}

void TestContentView::redirectHop_data() {
    QTest::addColumn<bool>("testBuild");
    QTest::addColumn<bool>("ofTheScript"); // or of the manifest
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("taken");
    const QString https = u"https://a.invalid/s"_s, here = u"http://127.0.0.1/s"_s;
    QTest::newRow("https") << true << true << https << u"https://b.invalid/s"_s << true;
    QTest::newRow("127.9.8.7") << true << true << here << u"http://127.9.8.7:9/s"_s << true;
    QTest::newRow("localhost") << true << true << here << u"http://localhost/s"_s << true;
    QTest::newRow("::1") << true << true << here << u"http://[::1]/s"_s << true;
    QTest::newRow("127.255.0.0") << true << true << here << u"http://127.255.0.0/s"_s << true;
    QTest::newRow("127.0.0.1.evil.invalid")
        << true << true << here << u"http://127.0.0.1.evil.invalid/s"_s << false;
    QTest::newRow("192.168.1.2") << true << true << here << u"http://192.168.1.2/s"_s << false;
    QTest::newRow("127.0.0.256") << true << true << here << u"http://127.0.0.256/s"_s << false;
    QTest::newRow("file") << true << true << here << u"file:///etc/passwd"_s << false;
    QTest::newRow("https without a host") << true << true << here << u"https:///s"_s << false;
    QTest::newRow("from https to http here") << true << true << https << here << false;
    QTest::newRow("http here, in a release build") << false << true << here << here << false;
    QTest::newRow("the manifest, from https to http") << false << false << https << here << false;
    QTest::newRow("the manifest, from http to http") << true << false << here << here << true;
}

// Every hop of the script's download is held to the rule of its address; no hop of either
// request goes from https to plain http.
void TestContentView::redirectHop() {
    QFETCH(bool, testBuild);
    QFETCH(bool, ofTheScript);
    QFETCH(QString, from);
    QFETCH(QString, to);
    build({}, testBuild);
    installFrom(u"https://cdn.invalid/s.py"_s);
    const HttpRequest& request =
        (ofTheScript ? platform->gets.back() : platform->gets.front()).request;
    QTEST(request.acceptsRedirect(QUrl(from), QUrl(to)), "taken");
}

void TestContentView::download_data() {
    QTest::addColumn<HttpReply>("reply");
    QTest::addColumn<QString>("writeError");
    QTest::addColumn<QString>("status");
    const QString code302 = downloadError + u"the server answered with HTTP status 302."_s;
    const QString late = downloadError + u"the download did not finish within 5 minutes."_s;
    QTest::newRow("200") << ok("print('zeph')\n") << u""_s << installed;
    QTest::newRow("206, a part") << ok("print('partia", 206) << u""_s
                                 << downloadError + u"the server answered with HTTP status 206."_s;
    QTest::newRow("302 with a page") << ok("<html>moved</html>", 302) << u""_s << code302;
    QTest::newRow("failed") << failed(Outcome::Failed, u"Connection closed"_s) << u""_s
                            << downloadError + u"Connection closed"_s;
    QTest::newRow("too large") << failed(Outcome::TooLarge) << u""_s
                               << downloadError + u"the script is larger than 64 MiB."_s;
    QTest::newRow("overdue") << failed(Outcome::DeadlineExceeded) << u""_s << late;
    QTest::newRow("redirect refused") << failed(Outcome::RedirectRefused) << u""_s << notHttps;
    QTest::newRow("empty") << ok("") << u""_s << u"Error: downloaded script is empty."_s;
    QTest::newRow("write fails") << ok("print()") << u"Disk full"_s
                                 << u"Error installing script: Disk full"_s;
}

// Clicked at 1.4, 2.0 arriving before the script: the messages name the version clicked. Only a
// script that is written counts as installed; a failure leaves nothing behind.
void TestContentView::download() {
    QFETCH(HttpReply, reply);
    QFETCH(QString, writeError);
    platform->files[Fake::tokenFile] = "tok";
    view->startUp();
    installFrom(u"https://cdn.invalid/s.py"_s);
    view->fetchManifest();
    platform->answerLast(::manifest(u"2.0"_s, u"https://cdn.invalid/s.py"_s));
    platform->writeError = writeError;
    platform->calls.clear();
    platform->answer(2, reply);
    QTEST(state().statusText, "status");
    const bool installs = state().statusText == installed;
    QCOMPARE(state().isWorking, false);
    QCOMPARE(state().installedScript, installs);
    QCOMPARE(state().allSet, installs);
    QCOMPARE(platform->files.value(Fake::scriptFile, "(none)"), installs ? *reply.body : "(none)");
    if (installs || !writeError.isEmpty()) {
        QCOMPARE(platform->calls,
                 QStringList({u"mkdir "_s + Fake::scriptsFolder, u"write "_s + Fake::scriptFile}));
    }
}

void TestContentView::probe_data() {
    QTest::addColumn<ProcessResult>("result");
    QTest::addColumn<QString>("shown"); // Python status | status line
    using Run = ProcessResult::Outcome;
    const QString none = u"Python not found|Python not found. Install Python to continue."_s;
    QTest::newRow("found, trimmed, its inner line break kept")
        << ProcessResult{Run::Exited, 0, " PYTHON 3.9\nextra\n"}
        << u"PYTHON 3.9\nextra|Python detected."_s;
    QTest::newRow("exit 1") << ProcessResult{Run::Exited, 1, "Python 3.9"} << none;
    QTest::newRow("no “python” in it") << ProcessResult{Run::Exited, 0, "3.12.1"} << none;
    QTest::newRow("not UTF-8") << ProcessResult{Run::Exited, 0, "Python 3\xc3"} << none;
    QTest::newRow("timed out") << ProcessResult{Run::TimedOut, 0, "Python 3"} << none;
}

void TestContentView::probe() {
    QFETCH(ProcessResult, result);
    QFETCH(QString, shown);
    platform->processResult = result;
    view->checkPython();
    QCOMPARE(state().pythonStatus + u'|' + state().statusText, shown);
    QCOMPARE(state().pythonInstalled, shown.endsWith(u"Python detected."_s));
}

void TestContentView::loadSavedToken_data() {
    QTest::addColumn<QByteArray>("onDisk");
    QTest::addColumn<QString>("token"); // empty: no saved token
    QTest::newRow("trimmed") << " abc123 \n"_ba << u"abc123"_s;
    QTest::newRow("an inner line break kept") << "a\nb\n"_ba << u"a\nb"_s;
    QTest::newRow("only blanks") << " \t\r\n"_ba << u""_s;
    QTest::newRow("64 KiB") << QByteArray(65536, 't') << QString(65536, u't');
    QTest::newRow("64 KiB and one") << QByteArray(65537, 't') << u""_s;
    QTest::newRow("not UTF-8") << "tok\xff"_ba << u""_s;
}

void TestContentView::loadSavedToken() {
    QFETCH(QByteArray, onDisk);
    QFETCH(QString, token);
    platform->files[Fake::tokenFile] = onDisk;
    view->loadSavedToken();
    QCOMPARE(state().token, token);
    QCOMPARE(state().savedToken, !token.isEmpty());
}

void TestContentView::saveToken_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("folderError");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<QStringList>("calls");
    const QString error = u"“/home/tester/.zeph” belongs to another user."_s;
    const QStringList calls{u"mkdir "_s + Fake::tokenFolder + u" private"_s,
                            u"write "_s + Fake::tokenFile + u" private"_s};
    QTest::newRow("trimmed") << u" tok-123 \n"_s << u""_s << u"Token saved."_s << "tok-123"_ba
                             << calls;
    QTest::newRow("blank") << u" \n\t"_s << u""_s << u"Token is empty."_s << "(none)"_ba
                           << QStringList();
    // Each "€" is three bytes of UTF-8.
    QTest::newRow("64 KiB") << QString(21845, u'€') + u'a' << u""_s << u"Token saved."_s
                            << QString(21845, u'€').toUtf8() + 'a' << calls;
    QTest::newRow("over 64 KiB") << QString(30000, u'€') << u""_s
                                 << u"Error saving token: the token is longer than 64 KiB."_s
                                 << "(none)"_ba << QStringList();
    QTest::newRow("a folder of another user")
        << u"tok"_s << error << u"Error saving token: "_s + error << "(none)"_ba << calls.mid(0, 1);
}

// The field keeps what was typed; the file holds the trimmed token, readable by the user alone.
void TestContentView::saveToken() {
    QFETCH(QString, typed);
    QFETCH(QString, folderError);
    QFETCH(QByteArray, saved);
    platform->createFolderError = folderError;
    view->setToken(typed);
    view->saveToken();
    QTEST(state().statusText, "status");
    QTEST(platform->calls, "calls");
    QCOMPARE(platform->files.value(Fake::tokenFile, "(none)"), saved);
    QCOMPARE(state().savedToken, saved != "(none)");
    QCOMPARE(state().isWorking, false);
    QCOMPARE(state().token, typed);
}

void TestContentView::openTokenFile_data() {
    QTest::addColumn<QByteArray>("onDisk"); // empty: no file
    QTest::addColumn<QString>("folderError");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("calls");
    const QString error = u"“/home/tester/.zeph” is not a folder."_s;
    const QString exists = u"exists "_s + Fake::tokenFile,
                  open = u"open file://"_s + Fake::tokenFile;
    const QString mkdir = u"mkdir "_s + Fake::tokenFolder + u" private"_s;
    QTest::newRow("created empty")
        << ""_ba << u""_s << u"Opened token file."_s
        << QStringList{exists, mkdir, u"write "_s + Fake::tokenFile + u" private"_s, open};
    QTest::newRow("kept, closed to others")
        << "tok"_ba << u""_s << u"Opened token file."_s
        << QStringList{exists, u"keep private "_s + Fake::tokenFile, open};
    QTest::newRow("cannot create")
        << ""_ba << error << u"Error creating token file: "_s + error << QStringList{exists, mkdir};
}

void TestContentView::openTokenFile() {
    QFETCH(QByteArray, onDisk);
    QFETCH(QString, folderError);
    if (!onDisk.isEmpty()) {
        platform->files[Fake::tokenFile] = onDisk;
    }
    platform->createFolderError = folderError;
    view->openTokenFile();
    QTEST(state().statusText, "status");
    QTEST(platform->calls, "calls");
    QCOMPARE(platform->files.value(Fake::tokenFile, "(none)"),
             folderError.isEmpty() ? onDisk : "(none)"_ba);
}

// The signatures were made with OpenSSL's Ed25519 over the version, a line feed and the script.
void TestContentView::signedScript_data() {
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QByteArray>("signature"); // a JSON value; empty: none
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("status");
    const QByteArray key = "XmnKkZhM0/CRrsi2XPL2x1dvHsbcl010v82hVh9oVg4=";
    const QByteArray signature = "Xb1a3ibBc8R5lgrT/W8x4IfG4GYlUAH7HdqopjPs41QNz7ftOfW02WxtO+U+u0+"
                                 "925426GG+x8M620YWeoogCw==";
    const QByteArray quoted = '"' + signature + '"', script = "print('zeph')\n";
    QTest::newRow("verifies") << key << u"1.4"_s << quoted << script << installed;
    QTest::newRow("one byte changed")
        << key << u"1.4"_s << quoted << "print('zeph!)\n"_ba << notVerified;
    QTest::newRow("made for 1.3")
        << key << u"1.4"_s
        << "\"7yqqFHTfjOCdH92hjkBdxDw4Lo1NJX/aBNxiGUSSjS4AVuPVghUVcniQCO0W"
           "K0c9/ZgFNPYoeoawtszUu5wIDg==\""_ba
        << script << notVerified;
    QTest::newRow("by another key") << "LJ1Bt0+SjGuLKZjC7gpHN63AMXe5AMZpww0xHQj1nO8="_ba << u"1.4"_s
                                    << quoted << script << notVerified;
    QTest::newRow("its padding dropped")
        << key << u"1.4"_s << quoted.chopped(3) + '"' << script << notVerified;
    QTest::newRow("not a string") << key << u"1.4"_s << "7"_ba << script << notVerified;
    // Signed over "1.0\nprint('guard')\nprint('zeph')\n": re-split, the same bytes would verify.
    QTest::newRow("the script's first line moved into the version")
        << key << u"1.0\\nprint('guard')"_s
        << "\"eO1noF1vTEJUmQk/PwRBpYtFno358ulL31l0QFWQ55fAj1bjcsj1hc0N7mvLCO3d275MIwgEoqxYuz6mpPS"
           "LAA==\""_ba
        << script << notVerified;
    QTest::newRow("none") << key << u"1.4"_s << ""_ba << script
                          << downloadError + u"the manifest carries no signature."_s;
    QTest::newRow("built without a key")
        << ""_ba << u"1.4"_s << "\"abc\""_ba << script << installed;
}

// With a key built in, only a script signed for the manifest's version is written, and none is
// asked for while the manifest carries no signature.
void TestContentView::signedScript() {
    QFETCH(QByteArray, key);
    QFETCH(QString, version);
    QFETCH(QByteArray, signature);
    QFETCH(QByteArray, script);
    build(key);
    view->fetchManifest();
    platform->answerLast(::manifest(version, u"https://cdn.invalid/s.py"_s,
                                    signature.isEmpty() ? ""_ba : ",\"signature\":" + signature));
    view->installScript();
    QCOMPARE(platform->gets.size(), signature.isEmpty() ? 1u : 2u);
    if (!signature.isEmpty()) {
        platform->answerLast(ok(script));
    }
    QTEST(state().statusText, "status");
    QCOMPARE(platform->files.contains(Fake::scriptFile), state().statusText == installed);
}

void TestContentView::desktop() {
    QStringList statuses;
    for (auto action : {&ContentView::openPythonDownloads, &ContentView::openScriptsFolder,
                        &ContentView::closeInstaller}) {
        (view.get()->*action)();
        statuses << state().statusText;
    }
    QCOMPARE(platform->calls, QStringList({u"open https://python.invalid/downloads/"_s,
                                           u"open file://"_s + Fake::scriptsFolder, u"quit"_s}));
    QCOMPARE(statuses,
             QStringList({u"Opened Python downloads page."_s, u"Opened Resolve scripts folder."_s,
                          u"Opened Resolve scripts folder."_s}));
}

void TestContentView::answerAfterTheWindowClosedIsIgnored() {
    view->fetchManifest();
    view.reset();
    QVERIFY(!platform->gets.front().receiver);
}

QTEST_GUILESS_MAIN(TestContentView)
#include "TestContentView.moc"
