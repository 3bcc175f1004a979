#include "ContentView.h"
#include "FakePlatformServices.h"

#include <QTest>

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

    std::unique_ptr<Fake> platform;
    std::unique_ptr<ContentView> view;

    // A build with the key, its manifest read from the invalid host or, for a test build, from
    // this machine over plain http.
    void build(const QByteArray& signingKey = {}, bool testBuild = false) {
        const QUrl manifest(testBuild ? u"http://127.0.0.1:1/latest.json"_s
                                      : u"https://manifest.invalid/latest.json"_s);
        view = std::make_unique<ContentView>(*platform, manifest,
                                             QUrl(u"https://python.invalid/downloads/"_s),
                                             QByteArray::fromBase64(signingKey));
    }
    const InstallerState& state() const {
        return view->state();
    }
    // A manifest naming `url` at `version`, then a click on "Install Script".
    void installFrom(const QString& url, const QString& version = u"1.4"_s) {
        view->fetchManifest();
        platform->answerLast(::manifest(version, url));
        view->installScript();
    }

private Q_SLOTS:
    void init() {
        platform = std::make_unique<Fake>();
        build();
    }

    // Each step runs to its end before the next, with the limits of its request; only the probe
    // writes the status line. A token file is closed to others before it is read.
    void startUpRunsEachStepInOrder() {
        platform->files[Fake::tokenFile] = "tok";
        view->startUp();
        QCOMPARE(platform->calls,
                 QStringList({u"get https://manifest.invalid/latest.json"_s,
                              u"run /usr/bin/env python3 --version"_s,
                              u"exists "_s + Fake::tokenFile, u"keep private "_s + Fake::tokenFile,
                              u"read "_s + Fake::tokenFile, u"exists "_s + Fake::scriptFile}));
        const HttpRequest& request = platform->gets.front().request;
        QCOMPARE(std::tuple(request.idleTimeout, request.maxBodyBytes, request.deadline,
                            platform->processRuns.first().timeout),
                 std::tuple(20s, 1024 * 1024, std::nullopt, 10s));
        QCOMPARE(state().statusText + u' ' + state().token, u"Python detected. tok"_s);
    }

    void completionRule_data() {
        QTest::addColumn<QStringList>("onDisk");
        QTest::addColumn<int>("probeExit");
        QTest::addColumn<QString>("typed"); // null: nothing typed
        QTest::addColumn<bool>("checkStatus");
        QTest::addColumn<QString>("status"); // the status line, "✓" when all is set
        const QStringList both{Fake::scriptFile, Fake::tokenFile}, script{Fake::scriptFile};
        const QString done = u"All set. You can close this installer. ✓"_s;
        const QString notYet = u"Not finished yet."_s, detected = u"Python detected."_s;
        QTest::newRow("saved") << both << 0 << QString() << false << detected + u" ✓"_s;
        QTest::newRow("no script")
            << QStringList{Fake::tokenFile} << 0 << QString() << true << notYet;
        QTest::newRow("no Python") << both << 127 << QString() << true << notYet;
        QTest::newRow("typing judges nothing") << script << 0 << u" t "_s << false << detected;
        QTest::newRow("typed, Check status") << script << 0 << u" t "_s << true << done;
        QTest::newRow("blanks typed") << script << 0 << u" \t\n"_s << true << notYet;
        QTest::newRow("saved, the field cleared") << both << 0 << u""_s << true << done;
    }
    void completionRule() {
        QFETCH(QStringList, onDisk);
        QFETCH(int, probeExit);
        QFETCH(QString, typed);
        QFETCH(bool, checkStatus);
        for (const QString& file : onDisk) {
            platform->files[file] = "x";
        }
        platform->processResult.exitCode = probeExit;
        view->startUp();
        if (!typed.isNull()) {
            view->setToken(typed);
        }
        if (checkStatus) {
            view->checkStatus();
        }
        QTEST(state().statusText + (state().allSet ? u" ✓"_s : u""_s), "status");
    }

    void manifest_data() {
        QTest::addColumn<HttpReply>("reply");
        QTest::addColumn<QStringList>("shown"); // manifest status, status line, version, address
        const QString network = u"Could not load latest version (network)."_s;
        const QString loaded = u"Latest available script."_s, url = u"https://a.invalid/s"_s;
        QTest::newRow("loaded") << ::manifest(u"1.4"_s, url)
                                << QStringList{loaded, u"Loaded script version 1.4."_s, u"1.4"_s,
                                               url};
        // What the window draws differently is kept as it came.
        QTest::newRow("formatting characters")
            << ::manifest(u"1\u202e2"_s, url)
            << QStringList{loaded, u"Loaded script version 1\u202e2."_s, u"1\u202e2"_s, url};
        QTest::newRow("404 still read, its address none")
            << ok(R"({"version":"","script_url":"x y"})", 404)
            << QStringList{loaded, u"Loaded script version ."_s, u""_s, u""_s};
        QTest::newRow("not a manifest")
            << ok(R"({"version":"1"})")
            << QStringList{u"Could not parse version file."_s,
                           u"Manifest parse error: The key “script_url” is missing."_s,
                           u"—"_s,
                           {}};
        QTest::newRow("failed") << failed(Outcome::Failed, u"refused"_s)
                                << QStringList{network, u"Manifest error: refused"_s, u"—"_s, {}};
        QTest::newRow("too large")
            << failed(Outcome::TooLarge)
            << QStringList{
                   network, u"Manifest error: the response is larger than 1 MiB."_s, u"—"_s, {}};
        QTest::newRow("redirect refused")
            << failed(Outcome::RedirectRefused)
            << QStringList{
                   network, u"Manifest error: the manifest address must use HTTPS."_s, u"—"_s, {}};
        QTest::newRow("no body") << HttpReply{Outcome::Answered, {}, 204, std::nullopt}
                                 << QStringList{u"Could not load latest version."_s,
                                                u"Manifest error: empty response."_s,
                                                u"—"_s,
                                                {}};
    }
    // Each fetch starts afresh: it forgets what the one before brought until its own answer comes.
    void manifest() {
        QFETCH(HttpReply, reply);
        installFrom(u"https://old.invalid/s"_s);
        view->fetchManifest();
        const auto shown = [this] {
            return QStringList{state().manifestStatus, state().statusText, state().manifestVersion,
                               state().manifestScriptURL.value_or(QUrl()).toString()};
        };
        QCOMPARE(shown(), QStringList({u"Loading…"_s, u"Downloading script v1.4…"_s, u"—"_s, {}}));
        platform->answerLast(reply);
        QTEST(shown(), "shown");
    }

    void overlappingFetchesLastArrivalWins() {
        view->fetchManifest();
        view->fetchManifest();
        platform->answer(1, ::manifest(u"2"_s, u"https://a.invalid/2"_s));
        platform->answer(0, ::manifest(u"1"_s, u"https://a.invalid/1"_s));
        QCOMPARE(state().manifestScriptURL, QUrl(u"https://a.invalid/1"_s));
    }

    void scriptRequest_data() {
        QTest::addColumn<bool>("testBuild");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("request"); // the address asked for, or the status line if none
        const QString s = u"https://h.invalid/s"_s, here = u"http://127.0.0.1:9/s"_s;
        QTest::newRow("https") << false << s << u"7"_s << s + u"?v=7"_s;
        QTest::newRow("a query of its own")
            << false << s + u"?id=7"_s << u"1.4.0"_s << s + u"?id=7?v=1.4.0"_s;
        QTest::newRow("a version that does not join") << false << s << u"1 2"_s << s;
        QTest::newRow("http to this machine") << false << here << u"7"_s << notHttps;
        QTest::newRow("in a test build") << true << here << u"7"_s << here + u"?v=7"_s;
        QTest::newRow("no address")
            << false << u""_s << u"7"_s << u"Script URL not available yet. Try Refresh version."_s;
    }
    // The request names the version clicked, and so does the status line while it runs; it gives
    // up after 30 idle seconds, past 64 MiB or after 5 minutes.
    void scriptRequest() {
        QFETCH(bool, testBuild);
        QFETCH(QString, url);
        QFETCH(QString, version);
        build({}, testBuild);
        installFrom(url, version);
        QCOMPARE(state().isWorking, platform->gets.size() == 2);
        if (!state().isWorking) {
            QTEST(state().statusText, "request");
            return;
        }
        const HttpRequest& request = platform->gets.back().request;
        QTEST(request.url.toString(QUrl::FullyEncoded), "request");
        QCOMPARE(std::tuple(request.idleTimeout, request.maxBodyBytes, request.deadline),
                 std::tuple(30s, 64 * 1024 * 1024, std::optional(std::chrono::milliseconds(5min))));
        QCOMPARE(state().statusText, u"Downloading script v%1…"_s.arg(version));
    }

    void redirectHop_data() {
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
        QTest::newRow("127.0.0.1.evil")
            << true << true << here << u"http://127.0.0.1.evil/"_s << false;
        QTest::newRow("192.168.1.2") << true << true << here << u"http://192.168.1.2/s"_s << false;
        QTest::newRow("127.0.0.256") << true << true << here << u"http://127.0.0.256/s"_s << false;
        QTest::newRow("file") << true << true << here << u"file:///etc/passwd"_s << false;
        QTest::newRow("from https to http here") << true << true << https << here << false;
        QTest::newRow("http here, in a release build") << false << true << here << here << false;
        QTest::newRow("the manifest, from https to http")
            << false << false << https << here << false;
    }
    // Every hop of the script's download is held to the rule of its address; no hop of either
    // request goes from https to plain http.
    void redirectHop() {
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

    void download_data() {
        QTest::addColumn<HttpReply>("reply");
        QTest::addColumn<QString>("writeError");
        QTest::addColumn<QString>("status");
        QTest::newRow("200") << ok("print('zeph')\n") << u""_s << installed;
        QTest::newRow("206, a part")
            << ok("print('partia", 206) << u""_s
            << downloadError + u"the server answered with HTTP status 206."_s;
        QTest::newRow("failed") << failed(Outcome::Failed, u"Connection closed"_s) << u""_s
                                << downloadError + u"Connection closed"_s;
        QTest::newRow("too large") << failed(Outcome::TooLarge) << u""_s
                                   << downloadError + u"the script is larger than 64 MiB."_s;
        QTest::newRow("overdue") << failed(Outcome::DeadlineExceeded) << u""_s
                                 << downloadError +
                                        u"the download did not finish within 5 minutes."_s;
        QTest::newRow("redirect refused") << failed(Outcome::RedirectRefused) << u""_s << notHttps;
        QTest::newRow("empty") << ok("") << u""_s << u"Error: downloaded script is empty."_s;
        QTest::newRow("write fails")
            << ok("print()") << u"Disk full"_s << u"Error installing script: Disk full"_s;
    }
    // Clicked at 1.4, 2.0 arriving before the script: the messages name the version clicked.
    // Only a script that is written counts as installed; a failure leaves nothing behind.
    void download() {
        QFETCH(HttpReply, reply);
        QFETCH(QString, writeError);
        platform->files[Fake::tokenFile] = "tok";
        view->startUp();
        installFrom(u"https://cdn.invalid/s.py"_s);
        view->fetchManifest();
        platform->answerLast(::manifest(u"2.0"_s, u"https://cdn.invalid/s.py"_s));
        platform->writeError = writeError;
        platform->answer(2, reply);
        QTEST(state().statusText, "status");
        const bool installs = state().statusText == installed;
        QCOMPARE(std::tuple(state().isWorking, state().installedScript, state().allSet),
                 std::tuple(false, installs, installs));
        QCOMPARE(platform->files.value(Fake::scriptFile), installs ? *reply.body : QByteArray());
    }

    void probe_data() {
        QTest::addColumn<ProcessResult>("result");
        QTest::addColumn<QStringList>("shown"); // the Python line and the status line
        using Run = ProcessResult::Outcome;
        const QStringList none{u"Python not found"_s,
                               u"Python not found. Install Python to continue."_s};
        QTest::newRow("trimmed, its inner line break kept")
            << ProcessResult{Run::Exited, 0, " PYTHON 3.9\nextra\n"}
            << QStringList{u"PYTHON 3.9\nextra"_s, u"Python detected."_s};
        QTest::newRow("exit 1") << ProcessResult{Run::Exited, 1, "Python 3.9"} << none;
        QTest::newRow("no “python” in it") << ProcessResult{Run::Exited, 0, "3.12.1"} << none;
        QTest::newRow("not UTF-8") << ProcessResult{Run::Exited, 0, "Python 3\xc3"} << none;
        QTest::newRow("timed out") << ProcessResult{Run::TimedOut, 0, "Python 3"} << none;
    }
    void probe() {
        QFETCH(ProcessResult, result);
        QFETCH(QStringList, shown);
        platform->processResult = result;
        view->checkPython();
        QCOMPARE(QStringList({state().pythonStatus, state().statusText}), shown);
        QCOMPARE(state().pythonInstalled, shown.last() == "Python detected."_L1);
    }

    void loadSavedToken_data() {
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<QString>("token"); // empty: no saved token
        QTest::newRow("trimmed") << " abc123 \n"_ba << u"abc123"_s;
        QTest::newRow("an inner line break kept") << "a\nb\n"_ba << u"a\nb"_s;
        QTest::newRow("only blanks") << " \t\r\n"_ba << u""_s;
        QTest::newRow("64 KiB") << QByteArray(65536, 't') << QString(65536, u't');
        QTest::newRow("64 KiB and one") << QByteArray(65537, 't') << u""_s;
        QTest::newRow("not UTF-8") << "tok\xff"_ba << u""_s;
    }
    void loadSavedToken() {
        QFETCH(QByteArray, onDisk);
        QFETCH(QString, token);
        platform->files[Fake::tokenFile] = onDisk;
        view->loadSavedToken();
        QCOMPARE(state().token, token);
        QCOMPARE(state().savedToken, !token.isEmpty());
    }

    void saveToken_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("folderError");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QByteArray>("saved"); // empty: nothing written
        QTest::addColumn<int>("calls");        // how many of: make the folder, write the file
        const QString error = u"“/home/tester/.zeph” belongs to another user."_s;
        const QString saved = u"Token saved."_s;
        QTest::newRow("trimmed") << u" tok-123 \n"_s << u""_s << saved << "tok-123"_ba << 2;
        QTest::newRow("blank") << u" \n\t"_s << u""_s << u"Token is empty."_s << ""_ba << 0;
        // Each "€" is three bytes of UTF-8.
        QTest::newRow("64 KiB") << QString(21845, u'€') + u'a' << u""_s << saved
                                << QString(21845, u'€').toUtf8() + 'a' << 2;
        QTest::newRow("over 64 KiB")
            << QString(30000, u'€') << u""_s
            << u"Error saving token: the token is longer than 64 KiB."_s << ""_ba << 0;
        QTest::newRow("a folder of another user")
            << u"tok"_s << error << u"Error saving token: "_s + error << ""_ba << 1;
    }
    // The field keeps what was typed; the file holds the trimmed token, readable by the user alone.
    void saveToken() {
        QFETCH(QString, typed);
        QFETCH(QString, folderError);
        QFETCH(QByteArray, saved);
        QFETCH(int, calls);
        platform->createFolderError = folderError;
        view->setToken(typed);
        view->saveToken();
        QTEST(state().statusText, "status");
        QCOMPARE(platform->calls, QStringList({u"mkdir "_s + Fake::tokenFolder + u" private"_s,
                                               u"write "_s + Fake::tokenFile + u" private"_s})
                                      .mid(0, calls));
        QCOMPARE(platform->files.value(Fake::tokenFile), saved);
        QCOMPARE(std::tuple(state().savedToken, state().isWorking, state().token),
                 std::tuple(!saved.isEmpty(), false, typed));
    }

    void openTokenFile_data() {
        QTest::addColumn<QByteArray>("onDisk"); // empty: no file
        QTest::addColumn<QString>("folderError");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("calls"); // after the existence test
        const QString error = u"“/home/tester/.zeph” is not a folder."_s;
        const QString open = u"open file://"_s + Fake::tokenFile;
        const QString mkdir = u"mkdir "_s + Fake::tokenFolder + u" private"_s;
        QTest::newRow("created empty")
            << ""_ba << u""_s << u"Opened token file."_s
            << QStringList{mkdir, u"write "_s + Fake::tokenFile + u" private"_s, open};
        QTest::newRow("kept, closed to others")
            << "tok"_ba << u""_s << u"Opened token file."_s
            << QStringList{u"keep private "_s + Fake::tokenFile, open};
        QTest::newRow("cannot create")
            << ""_ba << error << u"Error creating token file: "_s + error << QStringList{mkdir};
    }
    void openTokenFile() {
        QFETCH(QByteArray, onDisk);
        QFETCH(QString, folderError);
        QFETCH(QStringList, calls);
        if (!onDisk.isEmpty()) {
            platform->files[Fake::tokenFile] = onDisk;
        }
        platform->createFolderError = folderError;
        view->openTokenFile();
        QTEST(state().statusText, "status");
        QCOMPARE(platform->calls, QStringList(u"exists "_s + Fake::tokenFile) + calls);
        QCOMPARE(platform->files.value(Fake::tokenFile, "(none)"),
                 folderError.isEmpty() ? onDisk : "(none)"_ba);
    }

    // The signatures were made with OpenSSL's Ed25519 over the version, a line feed and the
    // script.
    void signedScript_data() {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QByteArray>("signature"); // a JSON value; empty: none
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("status");
        const QByteArray key = "XmnKkZhM0/CRrsi2XPL2x1dvHsbcl010v82hVh9oVg4=";
        const QByteArray quoted = "\"Xb1a3ibBc8R5lgrT/W8x4IfG4GYlUAH7HdqopjPs41QNz7ftOfW02WxtO+U+"
                                  "u0+925426GG+x8M620YWeoogCw==\"";
        const QByteArray script = "print('zeph')\n";
        QTest::newRow("verifies") << key << u"1.4"_s << quoted << script << installed;
        QTest::newRow("one byte changed")
            << key << u"1.4"_s << quoted << "print('zeph!)\n"_ba << notVerified;
        QTest::newRow("made for 1.3")
            << key << u"1.4"_s
            << "\"7yqqFHTfjOCdH92hjkBdxDw4Lo1NJX/aBNxiGUSSjS4AVuPVghUVcniQCO0W"
               "K0c9/ZgFNPYoeoawtszUu5wIDg==\""_ba
            << script << notVerified;
        QTest::newRow("its padding dropped")
            << key << u"1.4"_s << quoted.chopped(3) + '"' << script << notVerified;
        // Signed over "1.0\nprint('guard')\nprint('zeph')\n": re-split, the same bytes would
        // verify.
        QTest::newRow("the script's first line moved into the version")
            << key << u"1.0\\nprint('guard')"_s
            << "\"eO1noF1vTEJUmQk/PwRBpYtFno358ulL31l0QFWQ55fAj1bjcsj1hc0N7mvLCO3d275MIwgEoqxYuz6"
               "mpPSLAA==\""_ba
            << script << notVerified;
        QTest::newRow("none") << key << u"1.4"_s << ""_ba << script
                              << downloadError + u"the manifest carries no signature."_s;
        QTest::newRow("built without a key")
            << ""_ba << u"1.4"_s << "\"abc\""_ba << script << installed;
    }
    // With a key built in, only a script signed for the manifest's version is written, and none
    // is asked for while the manifest carries no signature.
    void signedScript() {
        QFETCH(QByteArray, key);
        QFETCH(QString, version);
        QFETCH(QByteArray, signature);
        QFETCH(QByteArray, script);
        build(key);
        view->fetchManifest();
        platform->answerLast(
            ::manifest(version, u"https://cdn.invalid/s.py"_s,
                       signature.isEmpty() ? ""_ba : ",\"signature\":" + signature));
        view->installScript();
        QCOMPARE(platform->gets.size(), signature.isEmpty() ? 1u : 2u);
        if (!signature.isEmpty()) {
            platform->answerLast(ok(script));
        }
        QTEST(state().statusText, "status");
        QCOMPARE(platform->files.contains(Fake::scriptFile), state().statusText == installed);
    }

    // Opening, quitting, and an answer for a window that closed meanwhile, which is dropped.
    void desktop() {
        QStringList statuses;
        for (auto action : {&ContentView::openPythonDownloads, &ContentView::openScriptsFolder,
                            &ContentView::closeInstaller}) {
            (view.get()->*action)();
            statuses << state().statusText;
        }
        QCOMPARE(platform->calls,
                 QStringList({u"open https://python.invalid/downloads/"_s,
                              u"open file://"_s + Fake::scriptsFolder, u"quit"_s}));
        QCOMPARE(statuses, QStringList({u"Opened Python downloads page."_s,
                                        u"Opened Resolve scripts folder."_s,
                                        u"Opened Resolve scripts folder."_s}));
        view->fetchManifest();
        view.reset();
        QVERIFY(!platform->gets.front().receiver);
    }
};

QTEST_GUILESS_MAIN(TestContentView)
#include "TestContentView.moc"
