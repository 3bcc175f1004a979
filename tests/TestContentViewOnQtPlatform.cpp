#include "ContentView.h"
#include "FileSizeLimit.h"
#include "HttpTestServer.h"
#include "LoopbackRedirect.h"
#include "QtPlatformServices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(HttpReply::Outcome)

namespace {

const QString scriptsFolderPath =
    u"Library/Application Support/Blackmagic Design/DaVinci Resolve/Fusion/Scripts/Utility"_s;
const QString scriptFilePath = scriptsFolderPath + u"/ZEPH_Export_Gallery_Stills.py"_s;
const QString tokenFolderPath = u".zeph"_s;
const QString tokenFilePath = u".zeph/resolve_token.txt"_s;
const QByteArray manifestTarget = "/storage/v1/object/public/resolve/latest.json"_ba;
// Line endings, a NUL and a byte that is no UTF-8: an install must not convert anything.
const QByteArray scriptBytes = "print('v1.4.0')\r\n\0\xff\n"_ba;
const QByteArray earlierScript = "print('earlier')\n"_ba;

enum class HomeSetup { Empty, EarlierScript, LibraryIsAFile, ReadOnlyScriptsFolder, WritesRefused };

int modeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return -1;
    }
    return static_cast<int>(info.st_mode & 07777);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool installFakePython(const QString& folder, const QByteArray& shellScript) {
    const QString python3 = QDir(folder).filePath(u"python3"_s);
    return writeFile(python3, "#!/bin/sh\n" + shellScript + '\n') &&
           QFile::setPermissions(python3, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Null when the file cannot be read.
QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// A message ending in ": " stands for itself followed by the platform's description.
bool matchesMessage(const QString& actual, const QString& expected) {
    if (expected.endsWith(": "_L1)) {
        return actual.startsWith(expected) && actual.size() > expected.size();
    }
    return actual == expected;
}

std::optional<HttpReply> fetch(PlatformServices& platform, const QUrl& url,
                               std::chrono::milliseconds idleTimeout = 5s,
                               qint64 maxBodyBytes = 1024 * 1024) {
    QObject receiver;
    std::optional<HttpReply> reply;
    platform.get({url, idleTimeout, maxBodyBytes, std::nullopt}, &receiver,
                 [&reply](const HttpReply& answer) { reply = answer; });
    if (!QTest::qWaitFor([&reply] { return reply.has_value(); }, 10000)) {
        return std::nullopt;
    }
    return reply;
}

// Answers the manifest request with a manifest naming `version` and the server's
// `scriptPathAndQuery`, and every other request with `scriptAnswer`.
void serveManifestThenScript(HttpTestServer& server, const QString& version,
                             const QString& scriptPathAndQuery, const QByteArray& scriptAnswer) {
    const QByteArray manifest =
        uR"({"version":"%1","script_url":"%2"})"_s
            .arg(version, server.url(scriptPathAndQuery).toString(QUrl::FullyEncoded))
            .toUtf8();
    server.setHandler(
        [manifest, scriptAnswer](const HttpTestServer::Request& request, QTcpSocket& socket) {
            socket.write(request.target == manifestTarget ? HttpTestServer::answer(200, manifest)
                                                          : scriptAnswer);
        });
}

} // namespace

// The installer core over the real platform: real child processes found on a test PATH, real
// files below a temporary HOME, and HTTP against a server on this machine.
class TestContentViewOnQtPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void pythonProbe_data();
    void pythonProbe();
    void probeSearchesItsFoldersBeforePath();

    void getOutcomes_data();
    void getOutcomes();
    void steadyTrickleIsNotIdle();
    void bodyPastTheLimitStopsTheDownload();
    void everyGetReachesTheServer();
    void completionIsDroppedWithItsReceiver();

    void scriptRequestLine_data();
    void scriptRequestLine();
    void installScript_data();
    void installScript();

    void saveToken_data();
    void saveToken();
    void saveTokenWithAFileInPlaceOfTheFolder();
    void refusedTokenWriteKeepsTheOldFile();
    void openTokenFileCreatesAPrivateEmptyFile();
    void loadSavedToken_data();
    void loadSavedToken();

private:
    QString inHome(const QString& relativePath) const;
    // Loads the manifest from `server`, installs the script it names and checks the outcome.
    void installFrom(HttpTestServer& server, const QString& statusText, bool installs);

    QByteArray originalHome;
    QByteArray originalPath;
    std::unique_ptr<QTemporaryDir> home;
};

void TestContentViewOnQtPlatform::initTestCase() {
    originalHome = qgetenv("HOME");
    originalPath = qgetenv("PATH");
}

void TestContentViewOnQtPlatform::init() {
    home = std::make_unique<QTemporaryDir>();
    QVERIFY(home->isValid());
    qputenv("HOME", QFile::encodeName(home->path()));
}

void TestContentViewOnQtPlatform::cleanup() {
    // Without this, a user other than root could not remove the read-only folder's contents.
    QFile::setPermissions(inHome(scriptsFolderPath),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    home.reset();
    qputenv("PATH", originalPath);
}

void TestContentViewOnQtPlatform::cleanupTestCase() {
    qputenv("HOME", originalHome);
}

QString TestContentViewOnQtPlatform::inHome(const QString& relativePath) const {
    return QDir(home->path()).filePath(relativePath);
}

// ---- Python probe ----

void TestContentViewOnQtPlatform::pythonProbe_data() {
    QTest::addColumn<QByteArray>("fakePython"); // a shell script; null: no python3 on PATH
    QTest::addColumn<bool>("detected");
    QTest::addColumn<QString>("pythonStatus");
    QTest::addColumn<bool>("hangs");

    QTest::newRow("version on stdout")
        << "printf 'Python 3.12.1\\n'"_ba << true << u"Python 3.12.1"_s << false;
    QTest::newRow("version on stderr")
        << "printf 'Python 3.11.4\\n' >&2"_ba << true << u"Python 3.11.4"_s << false;
    QTest::newRow("version split over both streams")
        << "printf 'Python '; printf '3.10.0\\n' >&2"_ba << true << u"Python 3.10.0"_s << false;
    QTest::newRow("several MiB after the version")
        << "printf 'Python 3.12.1\\n'; head -c 8388608 /dev/zero | tr '\\0' ' '"_ba << true
        << u"Python 3.12.1"_s << false;
    QTest::newRow("python named, exit 1")
        << "echo 'python3: cannot start' >&2; exit 1"_ba << false << u"Python not found"_s << false;
    QTest::newRow("exit 0, nothing printed")
        << "exit 0"_ba << false << u"Python not found"_s << false;
    QTest::newRow("invalid UTF-8")
        << "printf 'Python 3.12.1 \\377\\n'"_ba << false << u"Python not found"_s << false;
    QTest::newRow("crashes") << "printf 'Python 3.12.1\\n'; kill -SEGV $$"_ba << false
                             << u"Python not found"_s << false;
    QTest::newRow("python3 not on PATH") << QByteArray() << false << u"Python not found"_s << false;
    QTest::newRow("hangs, deaf to SIGTERM")
        << "trap '' TERM; exec sleep 30"_ba << false << u"Python not found"_s << true;
    // A python3 that is a wrapper script may leave something running in the background; its copy
    // of the output pipe must not hold the probe until it ends.
    QTest::newRow("exits, leaving a child that holds the output open")
        << "printf 'Python 3.12.1\\n'; sleep 8 &"_ba << true << u"Python 3.12.1"_s << false;
}

void TestContentViewOnQtPlatform::pythonProbe() {
    QFETCH(QByteArray, fakePython);
    QFETCH(bool, detected);
    QFETCH(QString, pythonStatus);
    QFETCH(bool, hangs);

    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    if (fakePython.isNull()) {
        qputenv("PATH", QFile::encodeName(bin.path()));
    } else {
        QVERIFY(installFakePython(bin.path(), fakePython));
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + originalPath);
    }

    QtPlatformServices platform;
    ContentView view(platform);
    QElapsedTimer clock;
    clock.start();
    view.checkPython();
    const qint64 elapsedMs = clock.elapsed();

    QCOMPARE(view.state().pythonInstalled, detected);
    QCOMPARE(view.state().pythonStatus, pythonStatus);
    QCOMPARE(view.state().statusText,
             detected ? u"Python detected."_s : u"Python not found. Install Python to continue."_s);
    // A hanging child costs the window ten seconds, never more; any other child far less.
    if (hangs) {
        QVERIFY2(elapsedMs >= 9500 && elapsedMs < 15000, QByteArray::number(elapsedMs));
    } else {
        QVERIFY2(elapsedMs < 5000, QByteArray::number(elapsedMs));
    }
}

void TestContentViewOnQtPlatform::probeSearchesItsFoldersBeforePath() {
    QTemporaryDir onPath;
    QTemporaryDir preferred;
    QVERIFY(installFakePython(onPath.path(), "echo 'Python 3.9.0'"_ba));
    QVERIFY(installFakePython(preferred.path(), "echo 'Python 3.13.0'"_ba));
    qputenv("PATH", QFile::encodeName(onPath.path()) + ':' + originalPath);

    QtPlatformServices platform;
    const ProcessResult probe =
        platform.run({u"/usr/bin/env"_s, {u"python3"_s, u"--version"_s}, {preferred.path()}, 5s});
    QCOMPARE(probe.outcome, ProcessResult::Outcome::Exited);
    QCOMPARE(probe.output, "Python 3.13.0\n"_ba);
    // Only the child's search path changes, not the installer's own.
    QCOMPARE(qgetenv("PATH"), QFile::encodeName(onPath.path()) + ':' + originalPath);
}

// ---- HTTP over the real platform ----

void TestContentViewOnQtPlatform::getOutcomes_data() {
    QTest::addColumn<QByteArray>("serverWrites");
    QTest::addColumn<bool>("serverCloses");
    QTest::addColumn<HttpReply::Outcome>("outcome");
    QTest::addColumn<int>("statusCode");
    QTest::addColumn<QByteArray>("body");     // null: no body
    QTest::addColumn<QString>("description"); // empty: any description will do

    const auto answered = HttpReply::Outcome::Answered;
    const auto failed = HttpReply::Outcome::Failed;
    const QByteArray tenOfHundred = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"_ba;
    const QString timedOut = u"The request timed out."_s;

    QTest::newRow("200") << HttpTestServer::answer(200, "hello"_ba) << false << answered << 200
                         << "hello"_ba << QString();
    QTest::newRow("404 with a page") << HttpTestServer::answer(404, "<html>gone</html>"_ba) << false
                                     << answered << 404 << "<html>gone</html>"_ba << QString();
    QTest::newRow("500 with a page") << HttpTestServer::answer(500, "oops"_ba) << false << answered
                                     << 500 << "oops"_ba << QString();
    QTest::newRow("200, empty body")
        << HttpTestServer::answer(200) << false << answered << 200 << ""_ba << QString();
    QTest::newRow("204 has no body")
        << HttpTestServer::answer(204) << false << answered << 204 << QByteArray() << QString();
    QTest::newRow("malformed JSON untouched")
        << HttpTestServer::answer(200, R"({"version": )"_ba) << false << answered << 200
        << R"({"version": )"_ba << QString();
    QTest::newRow("body ended by closing")
        << "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil the end"_ba << true << answered << 200
        << "until the end"_ba << QString();
    QTest::newRow("stall before the status line")
        << QByteArray() << false << failed << 0 << QByteArray() << timedOut;
    QTest::newRow("stall mid-body")
        << tenOfHundred << false << failed << 0 << QByteArray() << timedOut;
    QTest::newRow("dropped mid-body")
        << tenOfHundred << true << failed << 0 << QByteArray() << QString();
    QTest::newRow("dropped without an answer")
        << QByteArray() << true << failed << 0 << QByteArray() << QString();
}

void TestContentViewOnQtPlatform::getOutcomes() {
    QFETCH(QByteArray, serverWrites);
    QFETCH(bool, serverCloses);
    QFETCH(HttpReply::Outcome, outcome);
    QFETCH(int, statusCode);
    QFETCH(QByteArray, body);
    QFETCH(QString, description);

    HttpTestServer server;
    server.setHandler([&](const HttpTestServer::Request&, QTcpSocket& socket) {
        socket.write(serverWrites);
        if (serverCloses) {
            socket.disconnectFromHost();
        }
    });
    QtPlatformServices platform;
    const std::optional<HttpReply> reply = fetch(platform, server.url(u"/latest.json"_s), 500ms);

    QVERIFY(reply);
    QCOMPARE(reply->outcome, outcome);
    QCOMPARE(reply->statusCode, statusCode);
    QCOMPARE(reply->body.has_value(), !body.isNull());
    QCOMPARE(reply->body.value_or(QByteArray()), body);
    if (outcome == HttpReply::Outcome::Failed) {
        QVERIFY(!reply->errorDescription.isEmpty());
        if (!description.isEmpty()) {
            QCOMPARE(reply->errorDescription, description);
        }
    }
}

void TestContentViewOnQtPlatform::steadyTrickleIsNotIdle() {
    // The whole answer takes far longer than the idle timeout, but no gap between bytes does.
    const QByteArray body(20, 'x');
    HttpTestServer server;
    server.setHandler([&](const HttpTestServer::Request&, QTcpSocket& socket) {
        socket.write("HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n"_ba);
        HttpTestServer::drip(socket, body, 1, 50ms);
    });
    QtPlatformServices platform;
    const std::optional<HttpReply> reply = fetch(platform, server.url(u"/s.py"_s), 500ms);
    QVERIFY(reply);
    QCOMPARE(reply->outcome, HttpReply::Outcome::Answered);
    QCOMPARE(reply->body, body);
}

void TestContentViewOnQtPlatform::bodyPastTheLimitStopsTheDownload() {
    const QByteArray endless(32 * 1024 * 1024, 'x');
    QPointer<QTcpSocket> connection;
    qint64 bytesSent = 0;
    HttpTestServer server;
    server.setHandler([&](const HttpTestServer::Request&, QTcpSocket& socket) {
        connection = &socket;
        connect(&socket, &QTcpSocket::bytesWritten, &socket,
                [&bytesSent](qint64 written) { bytesSent += written; });
        HttpTestServer::drip(socket, HttpTestServer::answer(200, endless), 64 * 1024, 1ms);
    });
    QtPlatformServices platform;
    const std::optional<HttpReply> reply = fetch(platform, server.url(u"/s.py"_s), 5s, 1024 * 1024);

    QVERIFY(reply);
    QCOMPARE(reply->outcome, HttpReply::Outcome::TooLarge);
    // The client hung up while the server still had most of the body to send.
    QTRY_VERIFY(connection.isNull());
    QVERIFY2(bytesSent < endless.size() / 2, QByteArray::number(bytesSent));
}

void TestContentViewOnQtPlatform::everyGetReachesTheServer() {
    HttpTestServer server;
    server.setHandler([](const HttpTestServer::Request&, QTcpSocket& socket) {
        socket.write(HttpTestServer::answer(
            200, "fresh"_ba,
            "Cache-Control: max-age=3600\r\nLast-Modified: Mon, 01 Jan 2024 00:00:00 GMT\r\n"_ba));
    });
    QtPlatformServices platform;
    for (int attempt = 1; attempt <= 2; ++attempt) {
        const std::optional<HttpReply> reply = fetch(platform, server.url(u"/latest.json"_s));
        QVERIFY(reply);
        QCOMPARE(reply->body, "fresh"_ba);
        QCOMPARE(server.requests().size(), attempt);
    }
    // Not a revalidation of a stored copy either: a plain second request.
    QVERIFY(server.requests().last().header("If-Modified-Since").isEmpty());
}

void TestContentViewOnQtPlatform::completionIsDroppedWithItsReceiver() {
    QPointer<QTcpSocket> lateConnection;
    HttpTestServer server;
    server.setHandler([&](const HttpTestServer::Request& request, QTcpSocket& socket) {
        if (request.target == "/late") {
            lateConnection = &socket;
        } else {
            socket.write(HttpTestServer::answer(200, "now"_ba));
        }
    });
    QtPlatformServices platform;
    bool lateCompletionRan = false;
    auto receiver = std::make_unique<QObject>();
    platform.get({server.url(u"/late"_s), 5s, 1024, std::nullopt}, receiver.get(),
                 [&lateCompletionRan](const HttpReply&) { lateCompletionRan = true; });
    QTRY_VERIFY(lateConnection);

    receiver.reset();
    lateConnection->write(HttpTestServer::answer(200, "too late"_ba, "Connection: close\r\n"_ba));
    // The client hangs up once it has read the whole answer; a later request then completes
    // after the late one has been handled.
    QTRY_VERIFY(lateConnection.isNull());
    const std::optional<HttpReply> later = fetch(platform, server.url(u"/now"_s));
    QVERIFY(later);
    QCOMPARE(later->body, "now"_ba);
    QVERIFY(!lateCompletionRan);
}

// ---- Script installation, manifest to disk ----

void TestContentViewOnQtPlatform::installFrom(HttpTestServer& server, const QString& statusText,
                                              bool installs) {
    QtPlatformServices qtPlatform;
    LoopbackRedirect platform(qtPlatform, server);
    ContentView view(platform);
    view.checkInstalledScript();
    const bool installedBefore = view.state().installedScript;

    view.fetchManifest();
    QTRY_COMPARE(view.state().manifestStatus, u"Latest available script."_s);
    QCOMPARE(server.requests().first().target, manifestTarget);
    view.installScript();
    QVERIFY(view.state().isWorking);
    QTRY_VERIFY(!view.state().isWorking);

    QVERIFY2(matchesMessage(view.state().statusText, statusText),
             qPrintable(view.state().statusText));
    QCOMPARE(view.state().installedScript, installs || installedBefore);
}

void TestContentViewOnQtPlatform::scriptRequestLine_data() {
    QTest::addColumn<QString>("scriptPathAndQuery");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QByteArray>("requestLine");
    QTest::addColumn<QString>("statusText");

    QTest::newRow("version appended") << u"/s.py"_s << u"1.4.0"_s << "GET /s.py?v=1.4.0 HTTP/1.1"_ba
                                      << u"Installed script v1.4.0. Restart Resolve to load it."_s;
    QTest::newRow("after an existing query")
        << u"/s.py?id=7"_s << u"1.4.0"_s << "GET /s.py?id=7?v=1.4.0 HTTP/1.1"_ba
        << u"Installed script v1.4.0. Restart Resolve to load it."_s;
    QTest::newRow("version that spoils the address")
        << u"/s.py"_s << u"1.4 beta"_s << "GET /s.py HTTP/1.1"_ba
        << u"Installed script v1.4 beta. Restart Resolve to load it."_s;
}

void TestContentViewOnQtPlatform::scriptRequestLine() {
    QFETCH(QString, scriptPathAndQuery);
    QFETCH(QString, version);
    QFETCH(QByteArray, requestLine);
    QFETCH(QString, statusText);

    HttpTestServer server;
    serveManifestThenScript(server, version, scriptPathAndQuery,
                            HttpTestServer::answer(200, scriptBytes));
    installFrom(server, statusText, true);
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(server.requests().size(), 2);
    QCOMPARE(server.requests().last().requestLine, requestLine);
}

void TestContentViewOnQtPlatform::installScript_data() {
    QTest::addColumn<HomeSetup>("setup");
    QTest::addColumn<QByteArray>("scriptAnswer");
    QTest::addColumn<QString>("statusText");
    QTest::addColumn<bool>("installs");
    QTest::addColumn<QByteArray>("fileAfter"); // null: no script file

    const QByteArray script = HttpTestServer::answer(200, scriptBytes);
    const QString installed = u"Installed script v1.4.0. Restart Resolve to load it."_s;
    const QString cannotInstall = u"Error installing script: "_s;

    QTest::newRow("into a new home")
        << HomeSetup::Empty << script << installed << true << scriptBytes;
    QTest::newRow("over an earlier script")
        << HomeSetup::EarlierScript << script << installed << true << scriptBytes;
    QTest::newRow("HTTP 404 page")
        << HomeSetup::EarlierScript << HttpTestServer::answer(404, "<html>Not Found</html>"_ba)
        << u"Error downloading script: the server answered with HTTP status 404."_s << false
        << earlierScript;
    QTest::newRow("200, empty body")
        << HomeSetup::EarlierScript << HttpTestServer::answer(200)
        << u"Error: downloaded script is empty."_s << false << earlierScript;
    QTest::newRow("a file where Library should be")
        << HomeSetup::LibraryIsAFile << script << cannotInstall << false << QByteArray();
    QTest::newRow("read-only scripts folder")
        << HomeSetup::ReadOnlyScriptsFolder << script << cannotInstall << false << earlierScript;
    QTest::newRow("write refused by the disk")
        << HomeSetup::WritesRefused << script << cannotInstall << false << earlierScript;
}

void TestContentViewOnQtPlatform::installScript() {
    QFETCH(HomeSetup, setup);
    QFETCH(QByteArray, scriptAnswer);
    QFETCH(QString, statusText);
    QFETCH(bool, installs);
    QFETCH(QByteArray, fileAfter);

    const QString folder = inHome(scriptsFolderPath);
    if (setup == HomeSetup::LibraryIsAFile) {
        QVERIFY(writeFile(inHome(u"Library"_s), "not a folder"_ba));
    } else if (setup != HomeSetup::Empty) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeFile(inHome(scriptFilePath), earlierScript));
    }
    if (setup == HomeSetup::ReadOnlyScriptsFolder) {
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner |
                                                  QFile::ReadGroup | QFile::ExeGroup |
                                                  QFile::ReadOther | QFile::ExeOther));
        if (writeFile(QDir(folder).filePath(u"probe"_s), {})) {
            QSKIP("This user writes into read-only folders (root).");
        }
    }
    std::optional<FileSizeLimit> refusal;
    if (setup == HomeSetup::WritesRefused) {
        refusal.emplace(0);
    }

    HttpTestServer server;
    serveManifestThenScript(server, u"1.4.0"_s, u"/s.py"_s, scriptAnswer);
    installFrom(server, statusText, installs);
    refusal.reset();
    if (QTest::currentTestFailed()) {
        return;
    }

    QCOMPARE(contentsOf(inHome(scriptFilePath)), fileAfter);
    // Nothing beside the script, not even a temporary file from a failed write.
    QCOMPARE(entriesOf(folder),
             fileAfter.isNull() ? QStringList() : QStringList{u"ZEPH_Export_Gallery_Stills.py"_s});
}

// ---- Token file ----

void TestContentViewOnQtPlatform::saveToken_data() {
    QTest::addColumn<QByteArray>("earlierToken"); // null: no token file yet

    QTest::newRow("first save") << QByteArray();
    QTest::newRow("over a file everyone may read") << "old-token"_ba;
}

void TestContentViewOnQtPlatform::saveToken() {
    QFETCH(QByteArray, earlierToken);
    if (!earlierToken.isNull()) {
        QVERIFY(
            QDir(home->path())
                .mkdir(tokenFolderPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(writeFile(inHome(tokenFilePath), earlierToken));
        QVERIFY(::chmod(QFile::encodeName(inHome(tokenFilePath)).constData(), 0644) == 0);
    }

    QtPlatformServices platform;
    ContentView view(platform);
    view.setToken(u" \ttok-123 \n"_s);
    view.saveToken();

    QCOMPARE(view.state().statusText, u"Token saved."_s);
    QVERIFY(view.state().savedToken);
    QVERIFY(!view.state().isWorking);
    QCOMPARE(contentsOf(inHome(tokenFilePath)), "tok-123"_ba);
    QCOMPARE(modeOf(inHome(tokenFolderPath)), 0700);
    QCOMPARE(modeOf(inHome(tokenFilePath)), 0600);
    QCOMPARE(entriesOf(inHome(tokenFolderPath)), QStringList{u"resolve_token.txt"_s});
}

void TestContentViewOnQtPlatform::saveTokenWithAFileInPlaceOfTheFolder() {
    QVERIFY(writeFile(inHome(tokenFolderPath), "not a folder"_ba));
    QtPlatformServices platform;
    ContentView view(platform);
    view.setToken(u"tok"_s);
    view.saveToken();

    QVERIFY2(matchesMessage(view.state().statusText, u"Error saving token: "_s),
             qPrintable(view.state().statusText));
    QVERIFY(!view.state().savedToken);
    QVERIFY(!view.state().isWorking);
    QCOMPARE(contentsOf(inHome(tokenFolderPath)), "not a folder"_ba);
}

void TestContentViewOnQtPlatform::refusedTokenWriteKeepsTheOldFile() {
    QtPlatformServices platform;
    ContentView view(platform);
    view.setToken(u"old-token"_s);
    view.saveToken();
    QVERIFY(view.state().savedToken);

    view.setToken(u"new-token"_s);
    {
        FileSizeLimit refusal(0);
        view.saveToken();
    }
    QVERIFY2(matchesMessage(view.state().statusText, u"Error saving token: "_s),
             qPrintable(view.state().statusText));
    QVERIFY(view.state().savedToken);
    QVERIFY(!view.state().isWorking);
    QCOMPARE(contentsOf(inHome(tokenFilePath)), "old-token"_ba);
    QCOMPARE(modeOf(inHome(tokenFilePath)), 0600);
    QCOMPARE(entriesOf(inHome(tokenFolderPath)), QStringList{u"resolve_token.txt"_s});
}

void TestContentViewOnQtPlatform::openTokenFileCreatesAPrivateEmptyFile() {
    QtPlatformServices platform;
    ContentView view(platform);
    view.openTokenFile();

    QCOMPARE(view.state().statusText, u"Opened token file."_s);
    QVERIFY(!view.state().savedToken);
    QCOMPARE(contentsOf(inHome(tokenFilePath)), ""_ba);
    QCOMPARE(modeOf(inHome(tokenFolderPath)), 0700);
    QCOMPARE(modeOf(inHome(tokenFilePath)), 0600);
}

void TestContentViewOnQtPlatform::loadSavedToken_data() {
    QTest::addColumn<QByteArray>("fileContents"); // null: a folder stands at the file's path
    QTest::addColumn<QString>("token");
    QTest::addColumn<bool>("savedToken");

    QTest::newRow("blanks and a line break around") << "  tok\n"_ba << u"tok"_s << true;
    QTest::newRow("two lines") << "first\nsecond\n"_ba << u"first\nsecond"_s << true;
    QTest::newRow("only blanks") << " \t\r\n"_ba << QString() << false;
    QTest::newRow("invalid UTF-8") << "tok\xff\xfe"_ba << QString() << false;
    QTest::newRow("a folder at the file's path") << QByteArray() << QString() << false;
}

void TestContentViewOnQtPlatform::loadSavedToken() {
    QFETCH(QByteArray, fileContents);
    QFETCH(QString, token);
    QFETCH(bool, savedToken);

    QVERIFY(QDir().mkpath(inHome(tokenFolderPath)));
    if (fileContents.isNull()) {
        QVERIFY(QDir().mkpath(inHome(tokenFilePath)));
    } else {
        QVERIFY(writeFile(inHome(tokenFilePath), fileContents));
    }
    QtPlatformServices platform;
    ContentView view(platform);
    view.loadSavedToken();

    QCOMPARE(view.state().token, token);
    QCOMPARE(view.state().savedToken, savedToken);
    QCOMPARE(view.state().statusText, u"Ready."_s);
}

QTEST_MAIN(TestContentViewOnQtPlatform)
#include "TestContentViewOnQtPlatform.moc"
