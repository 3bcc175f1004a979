#include "ContentView.h"
#include "HttpTestServer.h"
#include "LoopbackRedirect.h"
#include "QtPlatformServices.h"
#include "TemporaryHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTest>

#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// Line endings, a NUL and a byte that is no UTF-8: an install must not convert anything.
const QByteArray scriptBytes = "print('v1.4.0')\r\n\0\xff\n"_ba;

int modeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return -1;
    }
    return static_cast<int>(info.st_mode & 07777);
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

    void pythonProbe_data();
    void pythonProbe();
    void probeSearchesItsFoldersBeforePath();

    void getOutcomes_data();
    void getOutcomes();

    void installScript_data();
    void installScript();

    void tokenFileIsPrivate_data();
    void tokenFileIsPrivate();
    void loadSavedToken_data();
    void loadSavedToken();

private:
    std::optional<TemporaryHome> home;
};

// The previous test's home goes first, putting HOME and PATH back.
void TestContentViewOnQtPlatform::init() {
    home.emplace();
    QVERIFY(home->isValid());
}

// ---- Python probe ----

void TestContentViewOnQtPlatform::pythonProbe_data() {
    QTest::addColumn<QByteArray>("fakePython"); // a shell script; null: no python3 on PATH
    QTest::addColumn<QString>("pythonStatus");
    QTest::addColumn<bool>("hangs");

    // Both streams are read, together and in the order written.
    QTest::newRow("version split over both streams")
        << "printf 'Python '; printf '3.10.0\\n' >&2"_ba << u"Python 3.10.0"_s << false;
    QTest::newRow("several MiB after the version")
        << "printf 'Python 3.12.1\\n'; head -c 8388608 /dev/zero | tr '\\0' ' '"_ba
        << u"Python 3.12.1"_s << false;
    QTest::newRow("invalid UTF-8")
        << "printf 'Python 3.12.1 \\377\\n'"_ba << u"Python not found"_s << false;
    QTest::newRow("crashes") << "printf 'Python 3.12.1\\n'; kill -SEGV $$"_ba
                             << u"Python not found"_s << false;
    // env then names python3 in its complaint: only the exit status tells.
    QTest::newRow("python3 not on PATH") << QByteArray() << u"Python not found"_s << false;
    QTest::newRow("hangs, deaf to SIGTERM")
        << "trap '' TERM; exec sleep 30"_ba << u"Python not found"_s << true;
    // A python3 that is a wrapper script may leave something running in the background; its copy
    // of the output pipe must not hold the probe until it ends.
    QTest::newRow("exits, leaving a child that holds the output open")
        << "printf 'Python 3.12.1\\n'; sleep 8 &"_ba << u"Python 3.12.1"_s << false;
}

void TestContentViewOnQtPlatform::pythonProbe() {
    QFETCH(QByteArray, fakePython);
    QFETCH(QString, pythonStatus);
    QFETCH(bool, hangs);

    const QByteArray bin = QFile::encodeName(home->inHome(u"bin"_s));
    QVERIFY(fakePython.isNull() || home->installFakePython(u"bin"_s, fakePython));
    qputenv("PATH", fakePython.isNull() ? bin : bin + ':' + home->originalPath);

    QtPlatformServices platform;
    ContentView view(platform);
    QElapsedTimer clock;
    clock.start();
    view.checkPython();
    const qint64 elapsedMs = clock.elapsed();

    QCOMPARE(view.state().pythonInstalled, pythonStatus != u"Python not found"_s);
    QCOMPARE(view.state().pythonStatus, pythonStatus);
    // A hanging child costs the window ten seconds, never more; any other child far less.
    if (hangs) {
        QVERIFY2(elapsedMs >= 9500 && elapsedMs < 15000, QByteArray::number(elapsedMs));
    } else {
        QVERIFY2(elapsedMs < 5000, QByteArray::number(elapsedMs));
    }
}

void TestContentViewOnQtPlatform::probeSearchesItsFoldersBeforePath() {
    QVERIFY(home->installFakePython(u"on-path"_s, "echo 'Python 3.9.0'"_ba));
    QVERIFY(home->installFakePython(u"preferred"_s, "echo 'Python 3.13.0'"_ba));
    const QByteArray path =
        QFile::encodeName(home->inHome(u"on-path"_s)) + ':' + home->originalPath;
    qputenv("PATH", path);

    QtPlatformServices platform;
    const ProcessResult probe = platform.run(
        {u"/usr/bin/env"_s, {u"python3"_s, u"--version"_s}, {home->inHome(u"preferred"_s)}, 5s});
    QCOMPARE(probe.outcome, ProcessResult::Outcome::Exited);
    QCOMPARE(probe.output, "Python 3.13.0\n"_ba);
    // Only the child's search path changes, not the installer's own.
    QCOMPARE(qgetenv("PATH"), path);
}

// ---- HTTP over the real platform ----

void TestContentViewOnQtPlatform::getOutcomes_data() {
    QTest::addColumn<QByteArray>("serverWrites");
    QTest::addColumn<bool>("serverCloses");
    QTest::addColumn<int>("statusCode");
    QTest::addColumn<QByteArray>("body"); // null: no body

    const QByteArray cacheable =
        "Cache-Control: max-age=3600\r\nLast-Modified: Mon, 01 Jan 2024 00:00:00 GMT\r\n"_ba;
    QTest::newRow("200, cacheable")
        << HttpTestServer::answer(200, "hello"_ba, cacheable) << false << 200 << "hello"_ba;
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
    // Every request reaches the server: none is answered from a stored copy, or revalidated.
    for (int attempt = 1; attempt <= 2; ++attempt) {
        const std::optional<HttpReply> reply = fetch(platform, server.url(u"/latest.json"_s));
        QVERIFY(reply);
        QCOMPARE(reply->outcome, HttpReply::Outcome::Answered);
        QCOMPARE(reply->statusCode, statusCode);
        QCOMPARE(reply->body.has_value(), !body.isNull());
        QCOMPARE(reply->body.value_or(QByteArray()), body);
        QCOMPARE(server.requests().size(), attempt);
    }
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

    if (earlierScript) {
        QVERIFY(home->write(scriptFilePath, "print('earlier')\n"_ba));
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
    const QMap<QString, QByteArray> files = home->snapshot();
    QCOMPARE(files.value(scriptFilePath), scriptBytes);
    // Nothing beside the script, not even a temporary file.
    QCOMPARE(files.keys().filter(scriptsFolderPath + u'/'), QStringList{scriptFilePath});
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
        QVERIFY(QDir().mkdir(home->inHome(tokenFolderPath),
                             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(home->write(tokenFilePath, earlierToken));
        QVERIFY(::chmod(QFile::encodeName(home->inHome(tokenFilePath)).constData(), 0644) == 0);
    }

    QtPlatformServices platform;
    ContentView view(platform);
    view.setToken(u" \ttok-123 \n"_s);
    save ? view.saveToken() : view.openTokenFile();

    QCOMPARE(view.state().statusText, save ? u"Token saved."_s : u"Opened token file."_s);
    // The file and its folder, nothing beside them.
    QCOMPARE(home->snapshot(), (QMap<QString, QByteArray>{{tokenFolderPath, "<folder>"_ba},
                                                          {tokenFilePath, fileAfter}}));
    QCOMPARE(modeOf(home->inHome(tokenFolderPath)), 0700);
    QCOMPARE(modeOf(home->inHome(tokenFilePath)), 0600);
}

void TestContentViewOnQtPlatform::loadSavedToken_data() {
    QTest::addColumn<QByteArray>("fileContents"); // null: a folder stands at the file's path
    QTest::addColumn<QString>("token");

    QTest::newRow("blanks and a line break around") << "  tok\n"_ba << u"tok"_s;
    QTest::newRow("a folder at the file's path") << QByteArray() << QString();
}

void TestContentViewOnQtPlatform::loadSavedToken() {
    QFETCH(QByteArray, fileContents);
    QFETCH(QString, token);

    QVERIFY(fileContents.isNull() ? QDir().mkpath(home->inHome(tokenFilePath))
                                  : home->write(tokenFilePath, fileContents));
    QtPlatformServices platform;
    ContentView view(platform);
    view.loadSavedToken();

    QCOMPARE(view.state().token, token);
    QCOMPARE(view.state().savedToken, !token.isEmpty());
}

QTEST_MAIN(TestContentViewOnQtPlatform)
#include "TestContentViewOnQtPlatform.moc"
