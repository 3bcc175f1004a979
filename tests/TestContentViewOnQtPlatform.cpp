#include "ContentView.h"
#include "HttpTestServer.h"
#include "LoopbackRedirect.h"
#include "QtPlatformServices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString scriptsFolderPath =
    u"Library/Application Support/Blackmagic Design/DaVinci Resolve/Fusion/Scripts/Utility"_s;
const QString scriptFilePath = scriptsFolderPath + u"/ZEPH_Export_Gallery_Stills.py"_s;
const QString tokenFolderPath = u".zeph"_s;
const QString tokenFilePath = u".zeph/resolve_token.txt"_s;
const QByteArray manifestTarget = "/storage/v1/object/public/resolve/latest.json"_ba;
// Line endings, a NUL and a byte that is no UTF-8: an install must not convert anything.
const QByteArray scriptBytes = "print('v1.4.0')\r\n\0\xff\n"_ba;

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

std::optional<HttpReply> fetch(PlatformServices& platform, const QUrl& url) {
    QObject receiver;
    std::optional<HttpReply> reply;
    platform.get({url, 5s, 1024 * 1024, std::nullopt}, &receiver,
                 [&reply](const HttpReply& answer) { reply = answer; });
    if (!QTest::qWaitFor([&reply] { return reply.has_value(); }, 10000)) {
        return std::nullopt;
    }
    return reply;
}

} // namespace

// The installer core over the real platform: real child processes found on a test PATH, real
// files below a temporary HOME, and HTTP against a server on this machine.
class TestContentViewOnQtPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void pythonProbe_data();
    void pythonProbe();
    void probeSearchesItsFoldersBeforePath();

    void getOutcomes_data();
    void getOutcomes();
    void everyGetReachesTheServer();

    void installScript_data();
    void installScript();

    void tokenFileIsPrivate_data();
    void tokenFileIsPrivate();
    void loadSavedToken_data();
    void loadSavedToken();

private:
    QString inHome(const QString& relativePath) const;

    QByteArray originalHome;
    QByteArray originalPath;
    std::unique_ptr<QTemporaryDir> home;
};

void TestContentViewOnQtPlatform::init() {
    originalHome = qgetenv("HOME");
    originalPath = qgetenv("PATH");
    home = std::make_unique<QTemporaryDir>();
    QVERIFY(home->isValid());
    qputenv("HOME", QFile::encodeName(home->path()));
}

void TestContentViewOnQtPlatform::cleanup() {
    home.reset();
    qputenv("HOME", originalHome);
    qputenv("PATH", originalPath);
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

    // Both streams are read, together and in the order written.
    QTest::newRow("version split over both streams")
        << "printf 'Python '; printf '3.10.0\\n' >&2"_ba << true << u"Python 3.10.0"_s << false;
    QTest::newRow("several MiB after the version")
        << "printf 'Python 3.12.1\\n'; head -c 8388608 /dev/zero | tr '\\0' ' '"_ba << true
        << u"Python 3.12.1"_s << false;
    QTest::newRow("invalid UTF-8")
        << "printf 'Python 3.12.1 \\377\\n'"_ba << false << u"Python not found"_s << false;
    QTest::newRow("crashes") << "printf 'Python 3.12.1\\n'; kill -SEGV $$"_ba << false
                             << u"Python not found"_s << false;
    // env then names python3 in its complaint: only the exit status tells.
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
    QTest::addColumn<int>("statusCode");
    QTest::addColumn<QByteArray>("body"); // null: no body

    QTest::newRow("200") << HttpTestServer::answer(200, "hello"_ba) << false << 200 << "hello"_ba;
    QTest::newRow("404 with a page") << HttpTestServer::answer(404, "<html>gone</html>"_ba) << false
                                     << 404 << "<html>gone</html>"_ba;
    QTest::newRow("200, empty body") << HttpTestServer::answer(200) << false << 200 << ""_ba;
    QTest::newRow("204 has no body") << HttpTestServer::answer(204) << false << 204 << QByteArray();
    QTest::newRow("body ended by closing")
        << "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil the end"_ba << true << 200
        << "until the end"_ba;
}

// What the server answered, whatever its status; the faults that leave no answer are proved in
// TestFaults.
void TestContentViewOnQtPlatform::getOutcomes() {
    QFETCH(QByteArray, serverWrites);
    QFETCH(bool, serverCloses);
    QFETCH(int, statusCode);
    QFETCH(QByteArray, body);

    HttpTestServer server;
    server.setHandler([&](const HttpTestServer::Request&, QTcpSocket& socket) {
        socket.write(serverWrites);
        if (serverCloses) {
            socket.disconnectFromHost();
        }
    });
    QtPlatformServices platform;
    const std::optional<HttpReply> reply = fetch(platform, server.url(u"/latest.json"_s));

    QVERIFY(reply);
    QCOMPARE(reply->outcome, HttpReply::Outcome::Answered);
    QCOMPARE(reply->statusCode, statusCode);
    QCOMPARE(reply->body.has_value(), !body.isNull());
    QCOMPARE(reply->body.value_or(QByteArray()), body);
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

// ---- Script installation, manifest to disk ----

void TestContentViewOnQtPlatform::installScript_data() {
    QTest::addColumn<bool>("earlierScript");
    QTest::addColumn<QString>("scriptPathAndQuery");
    QTest::addColumn<QByteArray>("requestLine");

    QTest::newRow("into a new home") << false << u"/s.py"_s << "GET /s.py?v=1.4.0 HTTP/1.1"_ba;
    QTest::newRow("over an earlier script, after an existing query")
        << true << u"/s.py?id=7"_s << "GET /s.py?id=7?v=1.4.0 HTTP/1.1"_ba;
}

void TestContentViewOnQtPlatform::installScript() {
    QFETCH(bool, earlierScript);
    QFETCH(QString, scriptPathAndQuery);
    QFETCH(QByteArray, requestLine);

    const QString folder = inHome(scriptsFolderPath);
    if (earlierScript) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeFile(inHome(scriptFilePath), "print('earlier')\n"_ba));
    }
    HttpTestServer server;
    const QByteArray manifest =
        uR"({"version":"1.4.0","script_url":"%1"})"_s
            .arg(server.url(scriptPathAndQuery).toString(QUrl::FullyEncoded))
            .toUtf8();
    server.setHandler([&manifest](const HttpTestServer::Request& request, QTcpSocket& socket) {
        socket.write(
            HttpTestServer::answer(200, request.target == manifestTarget ? manifest : scriptBytes));
    });
    QtPlatformServices qtPlatform;
    LoopbackRedirect platform(qtPlatform, server);
    ContentView view(platform);
    view.fetchManifest();
    QTRY_COMPARE(view.state().manifestStatus, u"Latest available script."_s);
    view.installScript();
    QVERIFY(view.state().isWorking);
    QTRY_VERIFY(!view.state().isWorking);

    QCOMPARE(view.state().statusText, u"Installed script v1.4.0. Restart Resolve to load it."_s);
    QVERIFY(view.state().installedScript);
    QCOMPARE(server.requests().size(), 2);
    QCOMPARE(server.requests().first().target, manifestTarget);
    QCOMPARE(server.requests().last().requestLine, requestLine);
    QCOMPARE(contentsOf(inHome(scriptFilePath)), scriptBytes);
    // Nothing beside the script, not even a temporary file.
    QCOMPARE(entriesOf(folder), QStringList{u"ZEPH_Export_Gallery_Stills.py"_s});
}

// ---- Token file ----

void TestContentViewOnQtPlatform::tokenFileIsPrivate_data() {
    QTest::addColumn<bool>("save");               // else "Open token file"
    QTest::addColumn<QByteArray>("earlierToken"); // null: no token file yet
    QTest::addColumn<QByteArray>("fileAfter");

    QTest::newRow("first save") << true << QByteArray() << "tok-123"_ba;
    QTest::newRow("save over a file everyone may read") << true << "old-token"_ba
                                                        << "tok-123"_ba;
    QTest::newRow("open creates an empty file") << false << QByteArray() << ""_ba;
}

void TestContentViewOnQtPlatform::tokenFileIsPrivate() {
    QFETCH(bool, save);
    QFETCH(QByteArray, earlierToken);
    QFETCH(QByteArray, fileAfter);
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
    save ? view.saveToken() : view.openTokenFile();

    QCOMPARE(view.state().statusText, save ? u"Token saved."_s : u"Opened token file."_s);
    QCOMPARE(view.state().savedToken, save);
    QVERIFY(!view.state().isWorking);
    QCOMPARE(contentsOf(inHome(tokenFilePath)), fileAfter);
    QCOMPARE(modeOf(inHome(tokenFolderPath)), 0700);
    QCOMPARE(modeOf(inHome(tokenFilePath)), 0600);
    QCOMPARE(entriesOf(inHome(tokenFolderPath)), QStringList{u"resolve_token.txt"_s});
}

void TestContentViewOnQtPlatform::loadSavedToken_data() {
    QTest::addColumn<QByteArray>("fileContents"); // null: a folder stands at the file's path
    QTest::addColumn<QString>("token");
    QTest::addColumn<bool>("savedToken");

    QTest::newRow("blanks and a line break around") << "  tok\n"_ba << u"tok"_s << true;
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
