#include "ContentView.h"
#include "FakePlatformServices.h"
#include "TableRows.h"

#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Outcome = HttpReply::Outcome;
using Ran = ProcessResult::Outcome;

namespace {

const QString scriptPath = u"/home/tester/Library/Application Support/Blackmagic Design/"
                           "DaVinci Resolve/Fusion/Scripts/Utility/ZEPH_Export_Gallery_Stills.py"_s;
const QString tokenPath = u"/home/tester/.zeph/resolve_token.txt"_s;
const QUrl manifestUrl(u"https://manifest.invalid/latest.json"_s);
const QString download = u"Error downloading script: "_s;
const QString notHttps = download + u"the script address must use HTTPS."_s;

HttpReply reply(Outcome outcome, int status = 0, std::optional<QByteArray> body = {},
                const QString& description = {}) {
    return {outcome, description, status, std::move(body)};
}

HttpReply manifestReply(const QString& version, const QString& scriptUrl) {
    return reply(Outcome::Answered, 200,
                 uR"({"version":"%1","script_url":"%2"})"_s.arg(version, scriptUrl).toUtf8());
}

// The machine before a case: what is on disk, what the probe says, and what fails.
struct Machine {
    bool python = true;
    bool script = false;
    QByteArray token{}; // null: no token file
    QString folderError{};
    QString writeError{};
};

struct CompletionRow {
    const char* name;
    Machine machine;
    QString typed; // null: nothing typed
    bool allSet;
    bool afterClearing; // at "Check status", once the field is emptied
};
struct ManifestRow {
    const char* name;
    HttpReply answer;
    QString manifestStatus, statusText, version, scriptUrl;
};
struct AddressRow {
    const char* name;
    QString scriptUrl, requested; // requested null: refused with `statusText`
    QString statusText{};
};
struct InstallRow {
    const char* name;
    HttpReply answer;
    Machine machine;
    QString statusText; // null: installed
};
struct ProbeRow {
    const char* name;
    ProcessResult result;
    QString pythonStatus; // null: not found
};
struct TokenRow {
    const char* name;
    QByteArray onDisk; // null: no file
    QString token;     // null: no saved token
};
struct SaveRow {
    const char* name;
    QString typed;
    Machine machine;
    QString statusText;
};

} // namespace

Q_DECLARE_METATYPE(CompletionRow)
Q_DECLARE_METATYPE(ManifestRow)
Q_DECLARE_METATYPE(AddressRow)
Q_DECLARE_METATYPE(InstallRow)
Q_DECLARE_METATYPE(ProbeRow)
Q_DECLARE_METATYPE(TokenRow)
Q_DECLARE_METATYPE(SaveRow)

// The installer's rules over a scripted platform: every message, the order of the platform calls,
// what is written, and network answers delivered in whatever order a case chooses.
class TestContentView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void startUpOrder();
    void completionRule_data();
    void completionRule();
    void manifest_data();
    void manifest();
    void overlappingFetchesLastArrivalWins();
    void installAddress_data();
    void installAddress();
    void install_data();
    void install();
    void pythonProbe_data();
    void pythonProbe();
    void loadSavedToken_data();
    void loadSavedToken();
    void saveToken_data();
    void saveToken();
    void openTokenFile_data();
    void openTokenFile();
    void desktopActions();

private:
    void prepare(const Machine& machine);
    void loadManifest(const QString& version, const QString& scriptUrl);

    std::unique_ptr<FakePlatformServices> platform;
    std::unique_ptr<ContentView> view;
};

void TestContentView::init() {
    view.reset();
    platform = std::make_unique<FakePlatformServices>();
    view = std::make_unique<ContentView>(*platform, manifestUrl,
                                         QUrl(u"https://python.invalid/downloads/"_s));
}

void TestContentView::prepare(const Machine& machine) {
    if (!machine.python) {
        platform->processResult = {Ran::Exited, 127, "env: python3: not found"};
    }
    if (machine.script) {
        platform->files.insert(scriptPath, "print()");
    }
    if (!machine.token.isNull()) {
        platform->files.insert(tokenPath, machine.token);
    }
    platform->createFolderError = machine.folderError;
    platform->writeError = machine.writeError;
}

void TestContentView::loadManifest(const QString& version, const QString& scriptUrl) {
    view->fetchManifest();
    platform->answer(platform->gets.size() - 1, manifestReply(version, scriptUrl));
}

// The manifest answers while the probe runs: the probe's message comes last.
void TestContentView::startUpOrder() {
    platform->files.insert(tokenPath, "tok");
    platform->whileProcessRuns = [this] {
        QVERIFY(!view->state().allSet);
        QCOMPARE(view->state().pythonStatus, u"Checking…"_s);
        loadManifest(u"2.0"_s, u"https://cdn.invalid/s.py"_s);
    };
    view->startUp();
    const QString get = u"get "_s + manifestUrl.toString();
    QCOMPARE(platform->calls, QStringList({get, u"run /usr/bin/env python3 --version"_s, get,
                                           u"exists "_s + tokenPath, u"read "_s + tokenPath,
                                           u"exists "_s + scriptPath}));
    QCOMPARE(platform->processRuns.first().timeout, 10s);
    QCOMPARE(view->state().statusText, u"Python detected."_s);
    QCOMPARE(view->state().manifestVersion, u"2.0"_s);
}

void TestContentView::completionRule_data() {
    // clang-format off
    addRows<CompletionRow>({
        {"no python", {.python = false, .script = true, .token = "tok"}, {}, false, false},
        {"no script", {.token = "tok"}, {}, false, false},
        {"saved token", {.script = true, .token = "tok"}, {}, true, true},
        {"typed with blanks", {.script = true}, u" t "_s, true, false},
        {"only blanks typed", {.script = true}, u" \t\n"_s, false, false},
    });
    // clang-format on
}

void TestContentView::completionRule() {
    QFETCH(CompletionRow, row);
    prepare(row.machine);
    view->startUp();
    if (!row.typed.isNull()) {
        view->setToken(row.typed);
        QVERIFY(!view->state().allSet); // typing alone evaluates nothing
        view->checkStatus();
    }
    QCOMPARE(view->state().allSet, row.allSet);
    view->setToken({});
    QCOMPARE(view->state().allSet, row.allSet);
    view->checkStatus();
    QCOMPARE(view->state().allSet, row.afterClearing);
    QCOMPARE(view->state().statusText, row.afterClearing
                                           ? u"All set. You can close this installer."_s
                                           : u"Not finished yet."_s);
}

void TestContentView::manifest_data() {
    const QString loaded = u"Latest available script."_s;
    const QString network = u"Could not load latest version (network)."_s;
    const QString none = u"—"_s;
    // clang-format off
    addRows<ManifestRow>({
        {"loaded", manifestReply(u"1.4"_s, u"https://a/s"_s), loaded,
            u"Loaded script version 1.4."_s, u"1.4"_s, u"https://a/s"_s},
        {"404 still read", reply(Outcome::Answered, 404, manifestReply(u"1"_s, u"x y"_s).body),
            loaded, u"Loaded script version 1."_s, u"1"_s, {}},
        {"a key missing", reply(Outcome::Answered, 200, R"({"version":"1"})"_ba),
            u"Could not parse version file."_s,
            u"Manifest parse error: The key “script_url” is missing."_s, none, {}},
        {"failed", reply(Outcome::Failed, 0, {}, u"Refused"_s), network,
            u"Manifest error: Refused"_s, none, {}},
        {"too large", reply(Outcome::TooLarge), network,
            u"Manifest error: the response is larger than 1 MiB."_s, none, {}},
        {"no body", reply(Outcome::Answered, 204), u"Could not load latest version."_s,
            u"Manifest error: empty response."_s, none, {}},
    });
    // clang-format on
}

void TestContentView::manifest() {
    QFETCH(ManifestRow, row);
    loadManifest(u"0.9"_s, u"https://old/s"_s);
    view->fetchManifest(); // starts afresh
    QCOMPARE(view->state().manifestStatus, u"Loading…"_s);
    QCOMPARE(view->state().manifestVersion, u"—"_s);
    QVERIFY(!view->state().manifestScriptURL);
    const HttpRequest& request = platform->gets.back().request;
    QCOMPARE(request.url, manifestUrl);
    QCOMPARE(request.idleTimeout, 20s);
    QCOMPARE(request.maxBodyBytes, 1024 * 1024);
    QVERIFY(!request.deadline);

    platform->answer(1, row.answer);
    QCOMPARE(view->state().manifestStatus, row.manifestStatus);
    QCOMPARE(view->state().statusText, row.statusText);
    QCOMPARE(view->state().manifestVersion, row.version);
    QCOMPARE(view->state().manifestScriptURL.value_or(QUrl()).toString(), row.scriptUrl);
}

// And a window closed before its answer arrives ignores it.
void TestContentView::overlappingFetchesLastArrivalWins() {
    view->fetchManifest();
    view->fetchManifest();
    platform->answer(1, manifestReply(u"2"_s, u"https://a/2"_s));
    platform->answer(0, manifestReply(u"1"_s, u"https://a/1"_s));
    QCOMPARE(view->state().manifestVersion, u"1"_s);
    view = std::make_unique<ContentView>(*platform);
    platform->answer(1, reply(Outcome::Failed));
    QCOMPARE(view->state().manifestStatus, u"Loading…"_s);
}

void TestContentView::installAddress_data() {
    const QString noUrl = u"Script URL not available yet. Try Refresh version."_s;
    // clang-format off
    addRows<AddressRow>({
        {"https", u"https://cdn.invalid/s.py"_s, u"https://cdn.invalid/s.py?v=7"_s},
        {"query kept", u"https://c/s?a=1"_s, u"https://c/s?a=1?v=7"_s},
        {"http to 127/8", u"http://127.9.8.7:9/s"_s, u"http://127.9.8.7:9/s?v=7"_s},
        {"http to localhost", u"http://localhost/s"_s, u"http://localhost/s?v=7"_s},
        {"http to ::1", u"http://[::1]/s"_s, u"http://[::1]/s?v=7"_s},
        {"http to a look-alike", u"http://127.0.0.1.evil.invalid/s"_s, {}, notHttps},
        {"http to a private address", u"http://192.168.1.2/s"_s, {}, notHttps},
        {"file", u"file:///etc/passwd"_s, {}, notHttps},
        {"none", u""_s, {}, noUrl},
    });
    // clang-format on
}

void TestContentView::installAddress() {
    QFETCH(AddressRow, row);
    loadManifest(u"7"_s, row.scriptUrl);
    view->installScript();
    QCOMPARE(platform->gets.size(), row.requested.isNull() ? 1u : 2u);
    QCOMPARE(view->state().isWorking, !row.requested.isNull());
    if (row.requested.isNull()) {
        QCOMPARE(view->state().statusText, row.statusText);
        return;
    }
    const HttpRequest& request = platform->gets.back().request;
    QCOMPARE(request.url.toString(QUrl::FullyEncoded), row.requested);
    QCOMPARE(request.idleTimeout, 30s);
    QCOMPARE(request.maxBodyBytes, 64 * 1024 * 1024);
    QCOMPARE(request.deadline, std::optional(5min));
    // Every redirect hop is held to the same rule.
    QVERIFY(request.acceptsRedirect(QUrl(u"https://other.invalid/s"_s)));
    QVERIFY(request.acceptsRedirect(QUrl(u"http://127.0.0.1:8/s"_s)));
    QVERIFY(!request.acceptsRedirect(QUrl(u"http://0.0.0.0:8/s"_s)));
    QCOMPARE(view->state().statusText, u"Downloading script v7…"_s);
}

void TestContentView::install_data() {
    const HttpReply ok = reply(Outcome::Answered, 200, "print('zeph')\n"_ba);
    const QString empty = u"Error: downloaded script is empty."_s;
    const QString noFolder = u"“/home/tester/Library” is not a folder."_s;
    // clang-format off
    addRows<InstallRow>({
        {"200", ok, {}, {}},
        {"203", reply(Outcome::Answered, 203, "x"_ba), {}, {}},
        {"failed", reply(Outcome::Failed, 0, {}, u"Closed"_s), {}, download + u"Closed"_s},
        {"too large", reply(Outcome::TooLarge), {}, download + u"the script is larger than 64 MiB."_s},
        {"overdue", reply(Outcome::DeadlineExceeded), {},
            download + u"the download did not finish within 5 minutes."_s},
        {"redirect refused", reply(Outcome::RedirectRefused), {}, notHttps},
        {"302", reply(Outcome::Answered, 302, "x"_ba), {},
            download + u"the server answered with HTTP status 302."_s},
        {"empty", reply(Outcome::Answered, 200, ""_ba), {}, empty},
        {"no body", reply(Outcome::Answered, 204), {}, empty},
        {"folder fails", ok, {.folderError = noFolder}, u"Error installing script: "_s + noFolder},
        {"write fails", ok, {.writeError = u"disk full"_s}, u"Error installing script: disk full"_s},
    });
    // clang-format on
}

void TestContentView::install() {
    QFETCH(InstallRow, row);
    platform->files.insert(tokenPath, "tok");
    view->startUp();
    loadManifest(u"1.4"_s, u"https://cdn.invalid/s.py"_s);
    prepare(row.machine);
    view->installScript();
    loadManifest(u"2.0"_s, u"https://cdn.invalid/s.py"_s); // the messages keep the click's version
    platform->answer(2, row.answer);

    const bool installed = row.statusText.isNull();
    QVERIFY(!view->state().isWorking);
    QCOMPARE(view->state().statusText,
             installed ? u"Installed script v1.4. Restart Resolve to load it."_s : row.statusText);
    QCOMPARE(view->state().installedScript, installed);
    QCOMPARE(view->state().allSet, installed);
    QCOMPARE(platform->files.value(scriptPath), installed ? *row.answer.body : QByteArray());
}

void TestContentView::pythonProbe_data() {
    // clang-format off
    addRows<ProbeRow>({
        {"found", {Ran::Exited, 0, " PYTHON 3.9\nextra\n"}, u"PYTHON 3.9\nextra"_s},
        {"exit 1", {Ran::Exited, 1, "Python 3.9"}, {}},
        {"no python", {Ran::Exited, 0, "3.12.1"}, {}},
        {"not UTF-8", {Ran::Exited, 0, "Python 3\xc3"}, {}},
        {"timed out", {Ran::TimedOut, 0, "Python 3"}, {}},
        {"not started", {}, {}},
    });
    // clang-format on
}

void TestContentView::pythonProbe() {
    QFETCH(ProbeRow, row);
    platform->processResult = row.result;
    view->checkPython();
    const bool found = !row.pythonStatus.isNull();
    QCOMPARE(view->state().pythonInstalled, found);
    QCOMPARE(view->state().pythonStatus, found ? row.pythonStatus : u"Python not found"_s);
    QCOMPARE(view->state().statusText,
             found ? u"Python detected."_s : u"Python not found. Install Python to continue."_s);
}

void TestContentView::loadSavedToken_data() {
    // clang-format off
    addRows<TokenRow>({
        {"trimmed", " abc123 \n"_ba, u"abc123"_s},
        {"inner break kept", "a\nb\n"_ba, u"a\nb"_s},
        {"only blanks", " \t\r\n"_ba, {}},
        {"not UTF-8", "tok\xff"_ba, {}},
        {"64 KiB", QByteArray(65536, 't'), QString(65536, u't')},
        {"64 KiB and one", QByteArray(65537, 't'), {}},
        {"no file", {}, {}},
    });
    // clang-format on
}

void TestContentView::loadSavedToken() {
    QFETCH(TokenRow, row);
    prepare({.token = row.onDisk});
    view->loadSavedToken();
    QCOMPARE(view->state().savedToken, !row.token.isNull());
    QCOMPARE(view->state().token, row.token.isNull() ? QString() : row.token);
}

void TestContentView::saveToken_data() {
    const QString taken = u"“/home/tester/.zeph” belongs to another user."_s;
    // clang-format off
    addRows<SaveRow>({
        {"saved", u"  tok-123 \n"_s, {}, u"Token saved."_s},
        {"blank", u" \n\t"_s, {}, u"Token is empty."_s},
        {"folder of another user", u"tok"_s, {.folderError = taken}, u"Error saving token: "_s + taken},
        {"write fails", u"tok"_s, {.writeError = u"Full"_s}, u"Error saving token: Full"_s},
    });
    // clang-format on
}

void TestContentView::saveToken() {
    QFETCH(SaveRow, row);
    prepare(row.machine);
    view->setToken(row.typed);
    view->saveToken();
    const bool saved = row.statusText == u"Token saved."_s;
    QCOMPARE(view->state().statusText, row.statusText);
    QCOMPARE(view->state().savedToken, saved);
    QVERIFY(!view->state().isWorking);
    QCOMPARE(platform->files.value(tokenPath), saved ? "tok-123"_ba : QByteArray());
    QCOMPARE(platform->fileAccess.value(tokenPath, FileAccess::OwnerOnly), FileAccess::OwnerOnly);
    QCOMPARE(platform->calls.contains(u"mkdir /home/tester/.zeph private"_s),
             !row.typed.trimmed().isEmpty());
}

void TestContentView::openTokenFile_data() {
    const QString noFolder = u"“/home/tester/.zeph” is not a folder."_s;
    // clang-format off
    addRows<SaveRow>({
        {"missing: created empty", {}, {}, u"Opened token file."_s},
        {"existing: kept", {}, {.token = "tok"}, u"Opened token file."_s},
        {"cannot create", {}, {.folderError = noFolder}, u"Error creating token file: "_s + noFolder},
    });
    // clang-format on
}

void TestContentView::openTokenFile() {
    QFETCH(SaveRow, row);
    prepare(row.machine);
    view->openTokenFile();
    const bool opened = row.machine.folderError.isNull();
    QCOMPARE(view->state().statusText, row.statusText);
    QCOMPARE(platform->calls.last() == u"open file://"_s + tokenPath, opened);
    QCOMPARE(platform->files.value(tokenPath), opened ? row.machine.token + ""_ba : QByteArray());
    QCOMPARE(platform->fileAccess.value(tokenPath, FileAccess::OwnerOnly), FileAccess::OwnerOnly);
    QCOMPARE(platform->calls.contains(u"mkdir /home/tester/.zeph private"_s),
             row.machine.token.isNull());
    QVERIFY(!view->state().savedToken);
}

void TestContentView::desktopActions() {
    view->openPythonDownloads();
    QCOMPARE(view->state().statusText, u"Opened Python downloads page."_s);
    view->openScriptsFolder();
    QCOMPARE(view->state().statusText, u"Opened Resolve scripts folder."_s);
    view->closeInstaller();
    QCOMPARE(platform->calls,
             QStringList({u"open https://python.invalid/downloads/"_s,
                          u"open file://"_s + QFileInfo(scriptPath).path(), u"quit"_s}));
}

QTEST_GUILESS_MAIN(TestContentView)
#include "TestContentView.moc"
