#include "ContentView.h"
#include "FakePlatformServices.h"
#include "ReleaseRules.h"

#include <QRegularExpression>
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
const QString installed = u"Installed script v1.4. Restart Resolve to load it."_s;
const QByteArray new_ = "print('new')\n";

HttpReply ok(const QByteArray& body, int statusCode = 200) {
    return {Outcome::Answered, {}, statusCode, body, true};
}

HttpReply failed(Outcome outcome, const QString& description = {}) {
    return {outcome, description, 0, std::nullopt};
}

HttpReply manifest(const QString& version, const QString& url, const QByteArray& more = {}) {
    const QString json = uR"({"version":"%1","script_url":"%2"%3})"_s;
    return ok(json.arg(version, url, QString::fromUtf8(more)).toUtf8());
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
    void installFrom(const QString& url, const QString& version = u"1.4"_s,
                     const QByteArray& more = {}) {
        view->fetchManifest();
        platform->answer(::manifest(version, url, more));
        view->installScript();
    }

private Q_SLOTS:
    void init() {
        platform = std::make_unique<Fake>();
        build();
    }

    // Each step runs to its end before the next, with the limits of its request. A token file is
    // closed to others before it is read. An answer is for this window alone.
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
                 std::tuple(20s, 1024 * 1024, std::optional(std::chrono::milliseconds(1min)), 10s));
        QCOMPARE(platform->gets.front().receiver, view.get());
    }

    // "Install Python" and "Open Scripts Folder" open their page and folder, and say so.
    void opensInTheDesktop() {
        view->openPythonDownloads();
        QCOMPARE(state().statusText, u"Opened Python downloads page."_s);
        view->openScriptsFolder();
        QCOMPARE(platform->calls, QStringList({u"open https://python.invalid/downloads/"_s,
                                               u"open file://"_s + Fake::scriptsFolder}));
        QCOMPARE(state().statusText, u"Opened Resolve scripts folder."_s);
    }

    void completionRule_data() {
        QTest::addColumn<bool>("script");          // on disk
        QTest::addColumn<QByteArray>("tokenFile"); // its bytes; null: none
        QTest::addColumn<int>("probeExit");
        QTest::addColumn<QString>("typed"); // null: nothing typed
        QTest::addColumn<QString>("shown"); // the token field | the status line after Check status
        const QString done = u"All set. You can close this installer."_s;
        const QString notYet = u"|Not finished yet."_s;
        QTest::newRow("saved, trimmed")
            << true << " abc \n"_ba << 0 << QString() << u"abc|"_s + done;
        QTest::newRow("no script") << false << "tok"_ba << 0 << QString() << u"tok"_s + notYet;
        QTest::newRow("no Python") << true << "tok"_ba << 127 << QString() << u"tok"_s + notYet;
        QTest::newRow("typed") << true << QByteArray() << 0 << u" t "_s << u" t |"_s + done;
        QTest::newRow("blanks typed") << true << QByteArray() << 0 << u" \t"_s << u" \t"_s + notYet;
        QTest::newRow("a file of blanks") << true << " \t\r\n"_ba << 0 << QString() << notYet;
        QTest::newRow("64 KiB and one")
            << true << QByteArray(65537, 't') << 0 << QString() << notYet;
        QTest::newRow("not UTF-8") << true << "tok\xff"_ba << 0 << QString() << notYet;
    }
    // A token file is loaded at start-up, trimmed, when it is UTF-8 of at most 64 KiB; Close is
    // enabled once Python is found, the script is there and a token is saved or typed.
    void completionRule() {
        QFETCH(bool, script);
        QFETCH(QByteArray, tokenFile);
        QFETCH(int, probeExit);
        QFETCH(QString, typed);
        if (script) {
            platform->files[Fake::scriptFile] = "x";
        }
        if (!tokenFile.isNull()) {
            platform->files[Fake::tokenFile] = tokenFile;
        }
        platform->processResult.exitCode = probeExit;
        view->startUp();
        if (!typed.isNull()) {
            view->setToken(typed);
        }
        view->checkStatus();
        QTEST(state().token + u'|' + state().statusText, "shown");
        QCOMPARE(state().savedToken, typed.isNull() && !state().token.isEmpty());
    }

    void manifest_data() {
        QTest::addColumn<HttpReply>("reply");
        QTest::addColumn<QString>("shown"); // manifest status | status line | version | address
        const QString network = u"Could not load latest version (network).|Manifest error: "_s;
        const QString notHttpsHere = u"the manifest address must use HTTPS.|—|"_s;
        QTest::newRow("loaded") << ::manifest(u"1.4"_s, u"https://a.invalid/s"_s)
                                << u"Latest available script.|Loaded script version 1.4.|1.4|"
                                   "https://a.invalid/s"_s;
        QTest::newRow("not a manifest") << ok(R"({"version":"1"})")
                                        << u"Could not parse version file.|Manifest parse error: "
                                           "The key “script_url” is missing.|—|"_s;
        QTest::newRow("failed") << failed(Outcome::Failed, u"refused"_s)
                                << network + u"refused|—|"_s;
        QTest::newRow("redirect refused")
            << failed(Outcome::RedirectRefused) << network + notHttpsHere;
        QTest::newRow("overdue") << failed(Outcome::DeadlineExceeded)
                                 << network + u"the manifest did not arrive within 1 minute.|—|"_s;
    }
    // Each fetch starts afresh: it forgets what the one before brought until its own answer comes.
    void manifest() {
        QFETCH(HttpReply, reply);
        installFrom(u"https://old.invalid/s"_s);
        view->fetchManifest();
        const auto shown = [this] {
            return QStringList{state().manifestStatus, state().statusText, state().manifestVersion,
                               state().manifestScriptURL.value_or(QUrl()).toString()}
                .join(u'|');
        };
        QCOMPARE(shown(), u"Loading…|Downloading script v1.4…|—|"_s);
        platform->answer(reply);
        QTEST(shown(), "shown");
    }

    void scriptAddress_data() {
        QTest::addColumn<bool>("testBuild");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("hop");     // where a redirect of the script's request leads
        QTest::addColumn<QString>("outcome"); // the address asked for, else the status line; or
                                              // the hop "taken" or "refused"
        const QString s = u"https://h.invalid/s"_s, here = u"http://127.0.0.1:9/s"_s;
        QTest::newRow("https") << false << s << u""_s << s + u"?v=1.4"_s;
        QTest::newRow("http to this machine") << false << here << u""_s << notHttps;
        QTest::newRow("in a test build") << true << here << u""_s << here + u"?v=1.4"_s;
        QTest::newRow("no address")
            << false << u""_s << u""_s << u"Script URL not available yet. Try Refresh version."_s;
        QTest::newRow("a hop to https") << false << s << u"https://b.invalid/s"_s << u"taken"_s;
        QTest::newRow("a hop from https to here") << true << s << here << u"refused"_s;
        QTest::newRow("a hop to 127.0.0.1.evil")
            << true << here << u"http://127.0.0.1.evil/s"_s << u"refused"_s;
        QTest::newRow("a hop to 192.168.1.2")
            << true << here << u"http://192.168.1.2/s"_s << u"refused"_s;
    }
    // The request names the version clicked, and so does the status line while it runs; it gives
    // up after 30 idle seconds, past 64 MiB or after 5 minutes. Every hop of it is held to the
    // rule of its address, and none goes from https to plain http.
    void scriptAddress() {
        QFETCH(bool, testBuild);
        QFETCH(QString, url);
        QFETCH(QString, hop);
        build({}, testBuild);
        installFrom(url);
        QCOMPARE(state().isWorking, platform->gets.size() == 2);
        const HttpRequest& request = platform->gets.back().request;
        if (!state().isWorking) {
            QTEST(state().statusText, "outcome");
        } else if (!hop.isEmpty()) {
            QTEST(request.acceptsRedirect(request.url, QUrl(hop)) ? u"taken"_s : u"refused"_s,
                  "outcome");
        } else {
            QTEST(request.url.toString(QUrl::FullyEncoded), "outcome");
            QCOMPARE(
                std::tuple(request.idleTimeout, request.maxBodyBytes, request.deadline),
                std::tuple(30s, 64 * 1024 * 1024, std::optional(std::chrono::milliseconds(5min))));
            QCOMPARE(state().statusText, u"Downloading script v1.4…"_s);
        }
    }

    // The signatures were made with OpenSSL's Ed25519 over the version, a line feed and the
    // script "print('zeph')\n".
    void download_data() {
        QTest::addColumn<QByteArray>("signature"); // the manifest's, in JSON, for a build with
                                                   // the key; empty: a build without one
        QTest::addColumn<QString>("version");
        QTest::addColumn<HttpReply>("reply");
        QTest::addColumn<QString>("recorded"); // the version installed before; empty: none
        QTest::addColumn<QString>("recheck");  // the manifest's version when read again, if it is
        QTest::addColumn<QString>("writeError");
        QTest::addColumn<QString>("status");
        const QByteArray signature =
            ",\"signature\":\"Xb1a3ibBc8R5lgrT/W8x4IfG4GYlUAH7HdqopjPs41QNz"
            "7ftOfW02WxtO+U+u0+925426GG+x8M620YWeoogCw==\"";
        const QString notVerified = downloadError + u"the script's signature does not verify."_s;
        const HttpReply script = ok("print('zeph')\n");
        HttpReply unframed = script;
        unframed.lengthKnown = false;
        QTest::newRow("200") << ""_ba << u"1.4"_s << script << u""_s << u""_s << u""_s << installed;
        QTest::newRow("206, a part")
            << ""_ba << u"1.4"_s << ok("print('partia", 206) << u""_s << u""_s << u""_s
            << downloadError + u"the server answered with HTTP status 206."_s;
        QTest::newRow("empty") << ""_ba << u"1.4"_s << ok("") << u""_s << u""_s << u""_s
                               << u"Error: downloaded script is empty."_s;
        QTest::newRow("ended by a closed connection")
            << ""_ba << u"1.4"_s << unframed << u""_s << u""_s << u""_s
            << downloadError + u"the server did not say how long the script is, so a cut-off "
                               "download cannot be told from a whole one."_s;
        const QString webPage = downloadError + u"the server sent a web page instead of the "
                                                "script; a network that asks you to sign in may "
                                                "be in the way."_s;
        HttpReply signIn = ok("\xEF\xBB\xBF \r\n\t<!DOCTYPE html><title>Wi-Fi");
        signIn.lengthKnown = false;
        QTest::newRow("a sign-in page")
            << ""_ba << u"1.4"_s << signIn << u""_s << u""_s << u""_s << webPage;
        QTest::newRow("a sign-in page in UTF-16")
            << ""_ba << u"1.4"_s << ok("\xFF\xFE\n\0<\0h\0"_ba) << u""_s << u""_s << u""_s
            << webPage;
        QTest::newRow("write fails") << ""_ba << u"1.4"_s << script << u""_s << u""_s
                                     << u"Disk full"_s << u"Error installing script: Disk full"_s;
        QTest::newRow("unsigned, older than the installed")
            << ""_ba << u"1.4"_s << script << u"1.10"_s << u""_s << u""_s << installed;
        QTest::newRow("signed, newer than the installed")
            << signature << u"1.4"_s << script << u"1.3.9"_s << u""_s << u""_s << installed;
        QTest::newRow("signed, older than the installed")
            << signature << u"1.4"_s << script << u"1.10"_s << u""_s << u""_s
            << downloadError + u"1.4 is older than the installed 1.10."_s;
        QTest::newRow("signed, one byte changed") << signature << u"1.4"_s << ok("print('zeph!)\n")
                                                  << u""_s << u"1.4"_s << u""_s << notVerified;
        QTest::newRow("signed, an older one published meanwhile")
            << signature << u"1.4"_s << ok("print('zeph!)\n") << u""_s << u"1.3"_s << u""_s
            << notVerified;
        QTest::newRow("signed, published anew meanwhile")
            << signature << u"1.4"_s << ok("print('zeph!)\n") << u"1.3"_s << u"1.5"_s << u""_s
            << u"A new version, 1.5, was published while downloading. Press Update Script "
               "again."_s;
        // Signed over "1.0\nprint('guard')\nprint('zeph')\n": re-split, the bytes would verify.
        QTest::newRow("signed, the script's first line moved into the version")
            << ",\"signature\":\"eO1noF1vTEJUmQk/PwRBpYtFno358ulL31l0QFWQ55fAj1bjcsj1hc0N7mvLCO3d2"
               "75MIwgEoqxYuz6mpPSLAA==\""_ba
            << u"1.0\\nprint('guard')"_s << script << u""_s << u""_s << u""_s
            << downloadError +
                   u"the version “1.0\nprint('guard')” is not made of dotted numbers."_s;
        QTest::newRow("signed, too short") << ",\"signature\":\"c2ln\""_ba << u"1.4"_s << script
                                           << u""_s << u"1.4"_s << u""_s << notVerified;
        QTest::newRow("no signature, nothing asked")
            << ","_ba << u"1.4"_s << script << u""_s << u""_s << u""_s
            << downloadError + u"the manifest carries no signature."_s;
    }
    // Clicked at 1.4, 2.0 arriving before the script: the messages name the version clicked.
    // Only a whole script that is written counts as installed, and is recorded; a failure leaves
    // the script and the record as they were. With a key built in, only a script signed for the
    // manifest's version is written, none is asked for while the manifest carries no signature,
    // and none older than the one recorded is installed. One that does not verify is told apart
    // from one published while it was on its way by reading the manifest again.
    void download() {
        QFETCH(QByteArray, signature);
        QFETCH(QString, version);
        QFETCH(HttpReply, reply);
        QFETCH(QString, recorded);
        QFETCH(QString, recheck);
        QFETCH(QString, writeError);
        if (!signature.isEmpty()) {
            build("XmnKkZhM0/CRrsi2XPL2x1dvHsbcl010v82hVh9oVg4=");
        }
        platform->files[Fake::tokenFile] = "tok";
        const QString record = platform->dataFolder() + u"/installed-script.json"_s;
        if (!recorded.isEmpty()) {
            platform->files[Fake::scriptFile] = "print('old')\n";
            platform->files[record] = InstallRecord::of(recorded, "print('old')\n").encode();
        }
        const auto before = platform->files;
        view->startUp();
        installFrom(u"https://cdn.invalid/s.py"_s, version,
                    signature == ","_ba ? QByteArray() : signature);
        const QString afterTheClick = state().statusText;
        view->fetchManifest();
        platform->answer(::manifest(u"2.0"_s, u"https://cdn.invalid/s.py"_s));
        platform->writeError = writeError;
        if (platform->gets.size() == 4) {
            platform->answer(reply, 2);
        }
        QCOMPARE(platform->gets.size() == 5, !recheck.isEmpty());
        if (!recheck.isEmpty()) {
            QCOMPARE(platform->gets.back().request.url, view->manifestURL);
            platform->answer(::manifest(recheck, u"https://cdn.invalid/s.py"_s, signature));
        }
        QTEST(platform->gets.size() >= 4 ? state().statusText : afterTheClick, "status");
        const bool installs = state().statusText == installed;
        QCOMPARE(std::tuple(state().isWorking, state().installedScript, state().allSet),
                 std::tuple(false, installs || !recorded.isEmpty(), state().installedScript));
        auto expected = before;
        if (installs) {
            expected[Fake::scriptFile] = *reply.body;
            expected[record] = InstallRecord::of(version, *reply.body).encode();
        }
        QCOMPARE(platform->files, expected);
        QCOMPARE(platform->calls.contains(u"write "_s + record + u" private"_s), installs);
        // The platform's modes: Resolve's folder may be shared, and a link the user made.
        QVERIFY(!platform->calls.contains(u"mkdir "_s + Fake::scriptsFolder + u" private"_s));
    }

    void keepsWhatTheUserChanged_data() {
        QTest::addColumn<QByteArray>("onDisk");     // null: no script
        QTest::addColumn<QByteArray>("recordOf");   // the script the record is of; null: no record
        QTest::addColumn<QList<int>>("copiesMade"); // earlier copies, "print('1')" on, named by the
                                                    // clock that many seconds from now
        QTest::addColumn<QString>("folderError");
        QTest::addColumn<QStringList>("copies"); // afterwards, by their contents
        const QByteArray mine = "print('mine')\n", old = "print('old')\n";
        const QList<int> none, future{1000000000, 1000000001, 1000000002, 1000000003, 1000000004};
        QTest::newRow("no script")
            << QByteArray() << QByteArray() << none << u""_s << QStringList();
        QTest::newRow("as installed") << old << old << none << u""_s << QStringList();
        QTest::newRow("already what comes")
            << new_ << QByteArray() << none << u""_s << QStringList();
        QTest::newRow("no record")
            << mine << QByteArray() << none << u""_s << QStringList{u"mine"_s};
        // Made under a clock ahead of this one: the new copy still stays, the oldest other goes.
        QTest::newRow("changed since, five copies before")
            << mine << old << future << u""_s
            << QStringList{u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"mine"_s};
        QTest::newRow("copies made this second")
            << mine << old << QList<int>{0, 1} << u""_s << QStringList{u"1"_s, u"2"_s, u"mine"_s};
        QTest::newRow("no room for the copy")
            << mine << QByteArray() << none << u"no room"_s << QStringList();
        QTest::newRow("too large to copy") << QByteArray(ReleaseRules::maxScriptBytes + 1, '#')
                                           << QByteArray() << none << u""_s << QStringList();
    }
    // A script that is neither what was installed last nor what comes is copied, readable by the
    // user alone, into the installer's own folder under a name Resolve does not list and no other
    // copy has, before it is replaced; the last five copies are kept, the new one always. Without
    // a copy, nothing is replaced.
    void keepsWhatTheUserChanged() {
        QFETCH(QByteArray, onDisk);
        QFETCH(QByteArray, recordOf);
        QFETCH(QList<int>, copiesMade);
        QFETCH(QString, folderError);
        const QString replaced = platform->dataFolder() + u"/replaced/"_s;
        if (!onDisk.isNull()) {
            platform->files[Fake::scriptFile] = onDisk;
        }
        if (!recordOf.isNull()) {
            platform->files[platform->dataFolder() + u"/installed-script.json"_s] =
                InstallRecord::of(u"1.3"_s, recordOf).encode();
        }
        const QDateTime now = QDateTime::currentDateTime();
        for (qsizetype copy = 0; copy < copiesMade.size(); ++copy) {
            platform->files[replaced +
                            now.addSecs(copiesMade[copy]).toString(u"yyyy-MM-ddTHH-mm-ss"_s) +
                            u" ZEPH_Export_Gallery_Stills.py.txt"_s] =
                "print('" + QByteArray::number(copy + 1) + "')\n";
        }
        platform->folderError = folderError;
        installFrom(u"https://cdn.invalid/s.py"_s);
        platform->answer(ok(new_));
        QStringList copies;
        const QRegularExpression name(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d-\\d\\d-\\d\\d(-2)? "
                                      "ZEPH_Export_Gallery_Stills\\.py\\.txt$"_s);
        for (const QString& file : platform->filesIn(replaced.chopped(1))) {
            QVERIFY2(name.match(file).hasMatch(), qPrintable(file));
            copies << QString::fromLatin1(platform->files[replaced + file]).section(u'\'', 1, 1);
        }
        copies.sort();
        QTEST(copies, "copies");
        const bool installs = state().statusText.startsWith(u"Installed"_s);
        QCOMPARE(installs, folderError.isEmpty() && onDisk.size() <= ReleaseRules::maxScriptBytes);
        QCOMPARE(platform->files[Fake::scriptFile], installs ? new_ : onDisk);
        QCOMPARE(platform->calls.contains(u"mkdir "_s + Fake::scriptsFolder), installs);
        QVERIFY(platform->calls.filter(QRegularExpression(u"^write .*\\.txt$"_s)).isEmpty());
    }

    void probe_data() {
        QTest::addColumn<ProcessResult>("result");
        QTest::addColumn<QString>("shown"); // the Python line | the status line
        using Run = ProcessResult::Outcome;
        const QString none = u"Python not found|Python not found. Install Python to continue."_s;
        QTest::newRow("trimmed, its inner line break kept")
            << ProcessResult{Run::Exited, 0, " PYTHON 3.9\nextra\n"}
            << u"PYTHON 3.9\nextra|Python detected."_s;
        QTest::newRow("exit 1") << ProcessResult{Run::Exited, 1, "Python 3.9"} << none;
        QTest::newRow("timed out") << ProcessResult{Run::TimedOut, 0, "Python 3"} << none;
    }
    void probe() {
        QFETCH(ProcessResult, result);
        platform->processResult = result;
        view->checkPython();
        QTEST(state().pythonStatus + u'|' + state().statusText, "shown");
        QCOMPARE(state().pythonInstalled, state().statusText == u"Python detected."_s);
    }

    void tokenFile_data() {
        QTest::addColumn<bool>("open");         // "Open Token File", else "Save Token"
        QTest::addColumn<QByteArray>("onDisk"); // empty: no file
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("folderError");
        QTest::addColumn<QStringList>("calls"); // after the existence test, then the status line
        QTest::addColumn<QByteArray>("file");   // afterwards
        const QString error = u"“/home/tester/.zeph” is not a folder."_s;
        const QString mkdir = u"mkdir "_s + Fake::tokenFolder + u" private"_s;
        const QString write = u"write "_s + Fake::tokenFile + u" private"_s;
        const QString open = u"open file://"_s + Fake::tokenFile, opened = u"Opened token file."_s;
        const QByteArray none = "(none)";
        QTest::newRow("saved, trimmed") << false << ""_ba << u" tok \n"_s << u""_s
                                        << QStringList{mkdir, write, u"Token saved."_s} << "tok"_ba;
        // Each "€" is three bytes of UTF-8: fewer characters than the limit, more bytes.
        QTest::newRow("over 64 KiB")
            << false << ""_ba << QString(30000, u'€') << u""_s
            << QStringList{u"Error saving token: the token is longer than 64 KiB."_s} << none;
        QTest::newRow("no folder") << false << ""_ba << u"tok"_s << error
                                   << QStringList{mkdir, u"Error saving token: "_s + error} << none;
        QTest::newRow("opened, made empty")
            << true << ""_ba << u""_s << u""_s << QStringList{mkdir, write, open, opened} << ""_ba;
        QTest::newRow("opened, closed to others")
            << true << "tok"_ba << u""_s << u""_s
            << QStringList{u"keep private "_s + Fake::tokenFile, open, opened} << "tok"_ba;
    }
    // The field keeps what was typed; the file holds the trimmed token, readable by the user
    // alone. Only a token written counts as saved.
    void tokenFile() {
        QFETCH(bool, open);
        QFETCH(QByteArray, onDisk);
        QFETCH(QString, typed);
        QFETCH(QString, folderError);
        QFETCH(QByteArray, file);
        if (!onDisk.isEmpty()) {
            platform->files[Fake::tokenFile] = onDisk;
        }
        platform->folderError = folderError;
        view->setToken(typed);
        open ? view->openTokenFile() : view->saveToken();
        QTEST(platform->calls.mid(open ? 1 : 0) << state().statusText, "calls");
        QCOMPARE(platform->files.value(Fake::tokenFile, "(none)"), file);
        QCOMPARE(std::tuple(state().savedToken, state().isWorking, state().token),
                 std::tuple(!open && file != "(none)", false, typed));
    }
};

QTEST_GUILESS_MAIN(TestContentView)
#include "TestContentView.moc"
