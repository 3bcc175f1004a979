#include "FloodServer.h"
#include "HttpTestServer.h"
#include "QtPlatformServices.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Handler = HttpTestServer::Handler;
using Outcome = HttpReply::Outcome;

Q_DECLARE_METATYPE(Handler)
Q_DECLARE_METATYPE(HttpRequest)
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(ProcessResult::Outcome)

namespace {

constexpr qint64 mebibyte = 1024 * 1024;

Handler writes(const QByteArray& bytes, bool hangUp = false) {
    return [bytes, hangUp](const HttpTestServer::Request&, QTcpSocket& socket) {
        socket.write(bytes);
        if (hangUp) {
            socket.disconnectFromHost();
        }
    };
}

// `head` at once, then `body` two bytes every 100 ms.
Handler drips(const QByteArray& head, const QByteArray& body) {
    return [head, body](const HttpTestServer::Request&, QTcpSocket& socket) {
        socket.write(head);
        HttpTestServer::drip(socket, body, 2, 100ms);
    };
}

// "/a" redirects to `location`; everything else is answered "arrived".
Handler redirects(const QByteArray& location) {
    return [location](const HttpTestServer::Request& request, QTcpSocket& socket) {
        socket.write(request.target == "/a"
                         ? HttpTestServer::answer(302, {}, "Location: " + location + "\r\n")
                         : HttpTestServer::answer(200, "arrived"));
    };
}

std::optional<HttpReply> fetch(PlatformServices& platform, HttpRequest request) {
    QObject receiver;
    std::optional<HttpReply> reply;
    platform.get(request, &receiver, [&reply](const HttpReply& answer) { reply = answer; });
    (void)QTest::qWaitFor([&reply] { return reply.has_value(); }, 10000);
    return reply;
}

// Every entry below `root` with its mode and what it holds: equal listings mean that nothing was
// changed, replaced, added or left behind. Links are listed, never followed.
QString listing(const QString& root) {
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        QString entry = QDir(root).relativeFilePath(path) + u' ';
        if (S_ISLNK(info.st_mode)) {
            char target[4096] = {};
            ::readlink(QFile::encodeName(path).constData(), target, sizeof target - 1);
            entry += u"-> "_s + QFile::decodeName(target);
            entries << entry;
            continue;
        }
        entry += QString::number(info.st_mode & 07777, 8);
        if (QFile file(path); S_ISREG(info.st_mode) && file.open(QIODevice::ReadOnly)) {
            entry += u' ' + QString::fromLatin1(file.readAll());
        }
        entries << entry;
    }
    entries.sort();
    return entries.join(u" | "_s);
}

} // namespace

// The platform seam against the real thing: a server on this machine, real child processes and
// real files below a temporary home.
class TestQtPlatformServices : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void get_data();
    void get();
    void floodStopsAtTheLimit();
    void answerForAGoneReceiverIsDropped_data();
    void answerForAGoneReceiverIsDropped();

    void run_data();
    void run();

    void files_data();
    void files();

private:
    HttpTestServer server;
    std::optional<QTemporaryDir> home;
};

void TestQtPlatformServices::init() {
    home.emplace();
    QVERIFY(home->isValid());
    qputenv("HOME", QFile::encodeName(home->path()));
    ::umask(022);
    server.requests.clear();
}

// A mount left by a failed row would keep the temporary home from being removed.
void TestQtPlatformServices::cleanup() {
    if (QFileInfo(home->filePath(u"mnt"_s)).isDir()) {
        QProcess::execute(u"umount"_s, {home->filePath(u"mnt"_s)});
    }
}

void TestQtPlatformServices::get_data() {
    QTest::addColumn<Handler>("handler");
    QTest::addColumn<HttpRequest>("request"); // the url's path; the rest as sent
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("statusCode");
    QTest::addColumn<QByteArray>("body");     // null: no body
    QTest::addColumn<QString>("description"); // part of it
    QTest::addColumn<int>("requests");        // how many reached the server; 0: Qt's retries

    const auto answer = [](int status, const QByteArray& body = {},
                           const QByteArray& headers = {}) {
        return HttpTestServer::answer(status, body, headers);
    };
    const HttpRequest plain{QUrl(u"/a"_s), 1s, 1000, std::nullopt, {}};
    HttpRequest quick = plain;
    quick.idleTimeout = 300ms;
    HttpRequest onlyHere = plain;
    onlyHere.acceptsRedirect = [](const QUrl& url) {
        return url.host() == "127.0.0.1"_L1;
    };
    HttpRequest roomy = plain;
    roomy.maxBodyBytes = mebibyte;
    HttpRequest overdue = plain;
    overdue.deadline = 300ms;
    const QByteArray gzip =
        "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x2b\x28\xca\xcc\x2b\xd1\x50"
        "\xaf\x4a\x2d\xc8\x50\xd7\xe4\x02\x00\xc3\x8e\xed\xed\x0e\x00\x00\x00"_ba;
    const QByteArray asGzip = "Content-Encoding: gzip\r\n"_ba;
    const QByteArray partOfHundred = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nprint("_ba;
    const QString timedOut = u"The request timed out."_s;
    const QString encoded = u"encoded as “"_s;
    const QByteArray none;
    const auto row = [](const char* name) {
        return &QTest::newRow(name);
    };

    *row("404 with a page") << writes(answer(404, "<html>gone</html>")) << plain
                            << Outcome::Answered << 404 << "<html>gone</html>"_ba << QString() << 1;
    *row("500, empty") << writes(answer(500)) << plain << Outcome::Answered << 500 << ""_ba
                       << QString() << 1;
    *row("204 has no body") << writes(answer(204)) << plain << Outcome::Answered << 204 << none
                            << QString() << 1;
    *row("body ended by closing")
        << writes("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil the end", true) << plain
        << Outcome::Answered << 200 << "until the end"_ba << QString() << 1;
    *row("exactly at the limit") << writes(answer(200, QByteArray(1000, 'x'))) << plain
                                 << Outcome::Answered << 200 << QByteArray(1000, 'x') << QString()
                                 << 1;
    *row("one byte past the limit") << writes(answer(200, QByteArray(1001, 'x'))) << plain
                                    << Outcome::TooLarge << 0 << none << QString() << 1;
    *row("identity encoding") << writes(answer(200, "plain", "Content-Encoding: identity\r\n"))
                              << plain << Outcome::Answered << 200 << "plain"_ba << QString() << 1;
    *row("gzip") << writes(answer(200, gzip, asGzip)) << plain << Outcome::Failed << 0 << none
                 << encoded + u"gzip”"_s << 1;
    *row("gzip cut in half, its length the cut's")
        << writes(answer(200, gzip.left(17), asGzip)) << plain << Outcome::Failed << 0 << none
        << encoded << 1;
    *row("plain bytes labelled gzip") << writes(answer(200, "print('zeph')\n", asGzip)) << plain
                                      << Outcome::Failed << 0 << none << encoded << 1;
    *row("deflate bomb") << writes(answer(200, qCompress(QByteArray(16 * mebibyte, '\0')).mid(4),
                                          "Content-Encoding: deflate\r\n"))
                         << roomy << Outcome::Failed << 0 << none << encoded + u"deflate”"_s << 1;
    *row("dropped mid-body") << writes(partOfHundred, true) << plain << Outcome::Failed << 0 << none
                             << QString() << 1;
    *row("dropped before answering")
        << writes({}, true) << plain << Outcome::Failed << 0 << none << QString() << 0;
    *row("not HTTP at all") << writes("SSH-2.0-OpenSSH_9.2p1\r\n", true) << plain << Outcome::Failed
                            << 0 << none << QString() << 0;
    *row("stall before the head") << writes({}) << quick << Outcome::Failed << 0 << none << timedOut
                                  << 1;
    *row("stall mid-body") << writes(partOfHundred) << quick << Outcome::Failed << 0 << none
                           << timedOut << 1;
    // Every gap is shorter than the idle timeout, the whole far longer: it arrives.
    *row("trickle just under the idle timeout")
        << drips("HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n", QByteArray(20, '#')) << quick
        << Outcome::Answered << 200 << QByteArray(20, '#') << QString() << 1;
    *row("trickle unfinished at its deadline")
        << drips("HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\n", QByteArray(900, '#')) << overdue
        << Outcome::DeadlineExceeded << 0 << none << QString() << 1;
    *row("redirect followed") << redirects("/b") << onlyHere << Outcome::Answered << 200
                              << "arrived"_ba << QString() << 2;
    *row("redirect loop") << redirects("/a") << plain << Outcome::Failed << 0 << none << QString()
                          << 51;
    // 0.0.0.0 is this machine too: should the hop be taken, the request still stays here.
    *row("redirect refused") << redirects("http://0.0.0.0:" +
                                          QByteArray::number(server.serverPort()) + "/b")
                             << onlyHere << Outcome::RedirectRefused << 0 << none << QString() << 1;
}

void TestQtPlatformServices::get() {
    QFETCH(Handler, handler);
    QFETCH(HttpRequest, request);
    QFETCH(Outcome, outcome);
    QFETCH(int, statusCode);
    QFETCH(QByteArray, body);
    QFETCH(QString, description);
    QFETCH(int, requests);

    server.setHandler(handler);
    request.url = server.url(request.url.path());
    QtPlatformServices platform;
    const std::optional<HttpReply> reply = fetch(platform, request);

    QVERIFY(reply);
    QCOMPARE(reply->outcome, outcome);
    QCOMPARE(reply->statusCode, statusCode);
    QCOMPARE(reply->body.has_value(), !body.isNull());
    QCOMPARE(reply->body.value_or(QByteArray()), body);
    QVERIFY2(reply->errorDescription.contains(description), qPrintable(reply->errorDescription));
    QCOMPARE(reply->errorDescription.isEmpty(), outcome != Outcome::Failed);
    if (requests > 0) {
        QCOMPARE(server.requests.size(), requests);
    }
    QVERIFY(server.requests.first().head.contains("\r\naccept-encoding: identity\r\n"));
}

// A server writing as fast as the socket takes it is read no further than the limit, and not far
// ahead of the reader: what Qt reads, it holds.
void TestQtPlatformServices::floodStopsAtTheLimit() {
    constexpr qint64 limit = 64 * mebibyte;
    FloodServer flood;
    QtPlatformServices platform;
    const std::optional<HttpReply> reply = fetch(platform, {flood.url(), 5s, limit, {}, {}});
    QVERIFY(reply);
    QCOMPARE(reply->outcome, Outcome::TooLarge);
    QVERIFY2(flood.sent < limit + 32 * mebibyte, QByteArray::number(flood.sent.load()));
}

void TestQtPlatformServices::answerForAGoneReceiverIsDropped_data() {
    QTest::addColumn<bool>("platformGoesToo");
    QTest::newRow("window closed") << false;
    QTest::newRow("window closed, then the installer quits") << true;
}

void TestQtPlatformServices::answerForAGoneReceiverIsDropped() {
    QFETCH(bool, platformGoesToo);
    QPointer<QTcpSocket> held;
    server.setHandler(
        [&held](const HttpTestServer::Request&, QTcpSocket& socket) { held = &socket; });
    auto platform = std::make_unique<QtPlatformServices>();
    auto receiver = std::make_unique<QObject>();
    bool completed = false;
    platform->get({server.url(u"/a"_s), 5s, 1000, {}, {}}, receiver.get(),
                  [&completed](const HttpReply&) { completed = true; });
    QTRY_VERIFY(held);
    receiver.reset();
    if (platformGoesToo) {
        platform.reset();
    }
    held->write(HttpTestServer::answer(200, "late", "Connection: close\r\n"));
    // The client hangs up once it has read the answer, or at once when it has quit.
    QTRY_VERIFY(held.isNull());
    QTest::qWait(50);
    QVERIFY(!completed);
}

void TestQtPlatformServices::run_data() {
    QTest::addColumn<QByteArray>("python3"); // shell script of bin/python3, bin first on PATH
    QTest::addColumn<bool>("preferred");     // also a python3 in a folder searched first
    QTest::addColumn<ProcessResult::Outcome>("outcome");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output"); // how it begins

    using O = ProcessResult::Outcome;
    // The interleaving of both streams, as written.
    QTest::newRow("both streams") << "printf 'Python '; printf '3.10.0\\n' >&2"_ba << false
                                  << O::Exited << 0 << "Python 3.10.0\n"_ba;
    QTest::newRow("exit code") << "echo python3: error; exit 3"_ba << false << O::Exited << 3
                               << "python3: error\n"_ba;
    QTest::newRow("several MiB after the version")
        << "printf 'Python 3.12.1\\n'; head -c 8388608 /dev/zero"_ba << false << O::Exited << 0
        << "Python 3.12.1\n"_ba;
    QTest::newRow("crashes") << "printf 'Python 3.12.1\\n'; kill -SEGV $$"_ba << false << O::Crashed
                             << -1 << "Python 3.12.1\n"_ba;
    // A background process holds the output pipe open; it must not hold the caller too.
    QTest::newRow("exits, leaving a child behind")
        << "printf 'Python 3.12.1\\n'; sleep 20 &"_ba << false << O::Exited << 0
        << "Python 3.12.1\n"_ba;
    // Deaf to SIGTERM, and with a child of its own holding the FIFO open: both must go.
    QTest::newRow("hangs, with a child")
        << "sleep 20 >\"$HOME/fifo\" & trap '' TERM; printf 'Python '; exec sleep 20"_ba << false
        << O::TimedOut << -1 << "Python "_ba;
    QTest::newRow("folder searched first")
        << "echo Python 3.9.0"_ba << true << O::Exited << 0 << "Python 3.13.0\n"_ba;
    QTest::newRow("inherited PATH still searched")
        << "echo Python 3.9.0"_ba << false << O::Exited << 0 << "Python 3.9.0\n"_ba;
    QTest::newRow("no such program") << QByteArray() << false << O::FailedToStart << -1 << ""_ba;
}

void TestQtPlatformServices::run() {
    QFETCH(QByteArray, python3);
    QFETCH(bool, preferred);
    QFETCH(ProcessResult::Outcome, outcome);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);

    const auto install = [this](const QString& folder, const QByteArray& script) {
        QVERIFY(QDir(home->path()).mkpath(folder));
        QFile file(home->filePath(folder + u"/python3"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n" + script + '\n') > 0);
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    };
    install(u"bin"_s, python3);
    install(u"preferred"_s, "echo Python 3.13.0"_ba);
    const QByteArray path = QFile::encodeName(home->filePath(u"bin"_s)) + ":/usr/bin:/bin";
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", path);
    const auto restorePath = qScopeGuard([&savedPath] { qputenv("PATH", savedPath); });
    QVERIFY(::mkfifo(QFile::encodeName(home->filePath(u"fifo"_s)).constData(), 0600) == 0);
    const int fifo =
        ::open(QFile::encodeName(home->filePath(u"fifo"_s)).constData(), O_RDONLY | O_NONBLOCK);

    QtPlatformServices platform;
    QElapsedTimer clock;
    clock.start();
    const ProcessResult result =
        platform.run({python3.isNull() ? u"/no/such/program"_s : u"/usr/bin/env"_s,
                      {u"python3"_s, u"--version"_s},
                      preferred ? QStringList{home->filePath(u"preferred"_s)} : QStringList{},
                      500ms});

    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.output.startsWith(output), result.output.left(100).constData());
    QVERIFY(result.output.size() <= mebibyte);
    QVERIFY2(clock.elapsed() < 10000, "waited for a child the probe started");
    QCOMPARE(qgetenv("PATH"), path); // only the child's search path changes
    // End of file once no process holds the FIFO open any more.
    char byte = 0;
    QTRY_COMPARE(::read(fifo, &byte, 1), ssize_t(0));
    ::close(fifo);
}

void TestQtPlatformServices::files_data() {
    QTest::addColumn<QByteArray>("setup");  // shell commands run in home; exit 77 skips
    QTest::addColumn<QString>("operation"); // read, exists, folder, write; "private " first
    QTest::addColumn<QString>("path");      // below home
    QTest::addColumn<QByteArray>("bytes");  // written, or read (null: nothing read)
    QTest::addColumn<QString>("error");     // part of the failure; null: success
    QTest::addColumn<QString>("after");     // the listing afterwards; "=": unchanged

    const auto row = [](const char* name) {
        return &QTest::newRow(name);
    };
    const QByteArray none;
    const QByteArray bigger = "head -c 65537 /dev/zero | tr '\\0' t >f"_ba;
    *row("read a file") << "printf ' tok\\n' >f"_ba << u"read"_s << u"f"_s << " tok\n"_ba
                        << QString() << u"="_s;
    *row("read a file through a link")
        << "printf tok >f; ln -s f l"_ba << u"read"_s << u"l"_s << "tok"_ba << QString() << u"="_s;
    *row("read exactly the limit") << "head -c 65536 /dev/zero | tr '\\0' t >f"_ba << u"read"_s
                                   << u"f"_s << QByteArray(65536, 't') << QString() << u"="_s;
    *row("read past the limit") << bigger << u"read"_s << u"f"_s << none << QString() << u"="_s;
    *row("read a FIFO") << "mkfifo f"_ba << u"read"_s << u"f"_s << none << QString() << u"="_s;
    *row("read a link to /dev/zero")
        << "ln -s /dev/zero f"_ba << u"read"_s << u"f"_s << none << QString() << u"="_s;
    *row("read a folder") << "mkdir f"_ba << u"read"_s << u"f"_s << none << QString() << u"="_s;
    *row("read nothing") << ""_ba << u"read"_s << u"f"_s << none << QString() << u"="_s;
    *row("exists: folder") << "mkdir f"_ba << u"exists"_s << u"f"_s << "yes"_ba << QString()
                           << u"="_s;
    *row("exists: dangling link") << "ln -s nowhere f"_ba << u"exists"_s << u"f"_s << "no"_ba
                                  << QString() << u"="_s;
    *row("new folders and file") << ""_ba << u"write"_s << u"a/b/f"_s << "x\r\n\0\xff"_ba
                                 << QString() << u"a 755 | a/b 755 | a/b/f 644 x\r\n\0\xff"_s;
    *row("replace a file") << "mkdir a; printf old >a/f; chmod 600 a/f"_ba << u"write"_s << u"a/f"_s
                           << "new"_ba << QString() << u"a 755 | a/f 644 new"_s;
    *row("private, new") << ""_ba << u"private write"_s << u"z/f"_s << "tok"_ba << QString()
                         << u"z 700 | z/f 600 tok"_s;
    *row("private, over open ones")
        << "mkdir -m 777 z; printf old >z/f; chmod 666 z/f"_ba << u"private write"_s << u"z/f"_s
        << "tok"_ba << QString() << u"z 700 | z/f 600 tok"_s;
    *row("private folder of another user")
        << "mkdir z; chown 65534 z || exit 77"_ba << u"private folder"_s << u"z"_s << none
        << u"belongs to another user."_s << u"="_s;
    *row("a link at the file is replaced, its target kept")
        << "mkdir z out; printf old >out/t; ln -s ../out/t z/f"_ba << u"private write"_s << u"z/f"_s
        << "tok"_ba << QString() << u"out 755 | out/t 644 old | z 700 | z/f 600 tok"_s;
    *row("a dangling link is replaced, nothing made outside")
        << "mkdir z; ln -s ../out/t z/f"_ba << u"private write"_s << u"z/f"_s << "tok"_ba
        << QString() << u"z 700 | z/f 600 tok"_s;
    *row("a linked folder is followed")
        << "mkdir out; ln -s out z"_ba << u"private write"_s << u"z/f"_s << "tok"_ba << QString()
        << u"out 700 | out/f 600 tok | z -> out"_s;
    *row("a file in the way of a folder") << "printf mine >a"_ba << u"write"_s << u"a/b/f"_s
                                          << "x"_ba << u"/a” is not a folder."_s << u"="_s;
    *row("a folder in the way of the file") << "mkdir -p a/f/keep"_ba << u"write"_s << u"a/f"_s
                                            << "x"_ba << u"could not be written"_s << u"="_s;
    *row("read-only disk")
        << "mkdir mnt; mount -t tmpfs -o size=16k tmpfs mnt || exit 77; printf old >mnt/f; "
           "mount -o remount,ro mnt"_ba
        << u"write"_s << u"mnt/f"_s << "new"_ba << u"Read-only file system"_s << u"="_s;
    *row("disk full part-way")
        << "mkdir mnt; mount -t tmpfs -o size=16k tmpfs mnt || exit 77; printf old >mnt/f"_ba
        << u"write"_s << u"mnt/f"_s << QByteArray(64 * 1024, '#') << u"No space left on device"_s
        << u"="_s;
}

void TestQtPlatformServices::files() {
    QFETCH(QByteArray, setup);
    QFETCH(QString, operation);
    QFETCH(QString, path);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    QFETCH(QString, after);

    QProcess shell;
    shell.setWorkingDirectory(home->path());
    shell.start(u"/bin/sh"_s, {u"-ec"_s, QString::fromUtf8(setup)});
    QVERIFY(shell.waitForFinished());
    if (shell.exitCode() == 77) {
        QSKIP("This user may not do what the case needs (mount a tmpfs, give a folder away).");
    }
    QCOMPARE(shell.exitCode(), 0);
    const QString before = listing(home->path());

    QtPlatformServices platform;
    QCOMPARE(platform.homeDirectory(), home->path());
    const QString fullPath = home->filePath(path);
    const FileAccess access =
        operation.startsWith(u"private"_s) ? FileAccess::OwnerOnly : FileAccess::Default;
    FileStatus status;
    if (operation == "read"_L1) {
        QCOMPARE(platform.readFile(fullPath, 65536).value_or(QByteArray()), bytes);
    } else if (operation == "exists"_L1) {
        QCOMPARE(platform.exists(fullPath), bytes == "yes");
    } else {
        status = platform.createFolder(
            operation.endsWith(u"folder"_s) ? fullPath : QFileInfo(fullPath).path(), access);
        if (status.ok && operation.endsWith(u"write"_s)) {
            status = platform.writeFileAtomically(fullPath, bytes, access);
        }
    }
    QCOMPARE(status.ok, error.isNull());
    QVERIFY2(status.errorDescription.contains(error), qPrintable(status.errorDescription));
    QCOMPARE(listing(home->path()), after == "="_L1 ? before : after);
}

QTEST_GUILESS_MAIN(TestQtPlatformServices)
#include "TestQtPlatformServices.moc"
