#include "HttpTestServer.h"
#include "QtPlatformServices.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

using Server = HttpTestServer;

// Runs `script` with /bin/sh in `folder`: what it printed, or its exit status and errors.
QByteArray shell(const QString& folder, const QByteArray& script) {
    QProcess sh;
    sh.setWorkingDirectory(folder);
    sh.start(u"/bin/sh"_s, {u"-ec"_s, QString::fromUtf8(script)});
    sh.waitForFinished();
    return sh.exitCode() == 0 ? sh.readAllStandardOutput().trimmed()
                              : "exit " + QByteArray::number(sh.exitCode());
}

// Every entry below the folder with its mode and content, links listed and never followed.
const QByteArray listing = "find . -mindepth 1 -type l -printf '%P -> %l\\n' -o -type f -printf "
                           "'%P %m ' -exec cat {} \\; -printf '\\n' -o -printf '%P %m\\n' | "
                           "LC_ALL=C sort | paste -sd '|'";

// What a reply amounts to: "STATUS “BODY”", or how it failed.
QString shown(const HttpReply& reply) {
    const QStringList outcomes{u"%1 “%2”"_s, u"failed: "_s, u"too large"_s, u"overdue"_s,
                               u"redirect refused"_s};
    const QString outcome = outcomes.at(int(reply.outcome)) + reply.errorDescription;
    return reply.body ? outcome.arg(reply.statusCode).arg(QString::fromLatin1(*reply.body))
                      : outcome;
}

QByteArray redirectTo(const QByteArray& location) {
    return Server::answer(302, {}, "Location: " + location + "\r\n");
}

// How the server answers /a; /b answers "arrived", /d sends on to /b, /e to itself. PORT: its own.
struct Served {
    QByteArray answer{};
    int idleMs = 1000;
    int deadlineMs = 0; // 0: none
    bool drip = false;  // the body 10 bytes every 100 ms
    bool hangUp = false;
};

} // namespace

Q_DECLARE_METATYPE(Served)

// The platform seam against the real thing: a server on 127.0.0.1, real child processes and real
// files below a fresh temporary home (umask 022).
class TestQtPlatformServices : public QObject {
    Q_OBJECT

    Server server;
    std::optional<QTemporaryDir> home;
    std::unique_ptr<QtPlatformServices> platform;

    // Runs a row's setup in the home folder; a setup that exits 77 needs what this user may not do.
    void skipUnless(const QByteArray& setup) {
        const QByteArray result = shell(home->path(), setup);
        if (result == "exit 77") {
            QSKIP("This user may not do what the row needs (mount a tmpfs, give a file away).");
        }
        QCOMPARE(result, QByteArray());
    }
    // A python3 at the head of PATH that runs `body`, and a FIFO for it to hold open.
    int addPython(const QByteArray& body) {
        QFile file(home->filePath(u"bin/python3"_s));
        const bool made = QDir(home->path()).mkdir(u"bin"_s) && file.open(QIODevice::WriteOnly) &&
                          file.write("#!/bin/sh\n" + body + '\n') > 0 &&
                          file.setPermissions(file.permissions() | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(home->filePath(u"bin"_s)) + ":/usr/bin:/bin");
        return made && shell(home->path(), "mkfifo fifo").isEmpty()
                   ? ::open(QFile::encodeName(home->filePath(u"fifo"_s)), O_RDONLY | O_NONBLOCK)
                   : -1;
    }
    // Nothing holds the FIFO open any longer.
    void released(int fifo) {
        char byte = 0;
        QTRY_COMPARE(::read(fifo, &byte, 1), 0);
        ::close(fifo);
    }

private Q_SLOTS:
    void initTestCase() {
        QtPlatformServices::handleSignals();
    }
    void init() {
        home.emplace();
        qputenv("HOME", QFile::encodeName(home->path()));
        ::umask(022);
        platform = std::make_unique<QtPlatformServices>();
        server.requests.clear();
    }
    // A mount left by a failed row would keep the temporary home from being removed.
    void cleanup() {
        shell(home->path(), "umount z 2>/dev/null || true");
    }

    void answers_data() {
        QTest::addColumn<Served>("served");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("requests"); // that the server saw
        const QString gzip = u"failed: the server sent the answer encoded as “gzip”, which was "
                             "not asked for."_s;
        QTest::newRow("past the limit")
            << Served{Server::answer(200, QByteArray(1001, 'x'))} << u"too large"_s << 1;
        QTest::newRow("labelled gzip")
            << Served{Server::answer(200, "print()", "Content-Encoding: gzip\r\n")} << gzip << 1;
        // Qt decodes no transfer coding but chunked, and passes the bytes on as they came.
        QTest::newRow("gzip as a transfer coding")
            << Served{Server::answer(200, "print()", "Transfer-Encoding: gzip\r\n")} << gzip << 1;
        // Qt reads the chunks and reports no error, though the announced length never came.
        QTest::newRow("shorter than announced")
            << Served{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\nTransfer-Encoding: chunked\r\n\r\n"
                      "5\r\nprint\r\n0\r\n\r\n"}
            << u"failed: the answer's 5 bytes are not the 100 it announced."_s << 1;
        // Every gap is shorter than the idle timeout, the whole far longer: it arrives.
        QTest::newRow("chunks cut off")
            << Served{.answer =
                          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nprint\r\n",
                      .hangUp = true}
            << u"failed: Connection closed"_s << 1;
        QTest::newRow("trickle") << Served{Server::answer(200, QByteArray(50, '#')), 300, 0, true}
                                 << u"200 “%1”"_s.arg(QString(50, u'#')) << 1;
        QTest::newRow("trickle past its deadline")
            << Served{Server::answer(200, QByteArray(900, '#')), 1000, 300, true} << u"overdue"_s
            << 1;
        QTest::newRow("two hops") << Served{redirectTo("/d")} << u"200 “arrived”"_s << 3;
        QTest::newRow("a redirect loop")
            << Served{redirectTo("/e")} << u"failed: the server redirected too often."_s << 21;
        // 0.0.0.0 is this machine too: were the hop taken, the server would see it.
        QTest::newRow("redirect refused")
            << Served{redirectTo("http://0.0.0.0:PORT/b")} << u"redirect refused"_s << 1;
    }
    // Every request asks for the body as it is, without an encoding, and holds each redirect hop
    // to a rule: here that it leaves from where the one before led, to 127.0.0.1.
    void answers() {
        QFETCH(Served, served);
        served.answer.replace("PORT", QByteArray::number(server.serverPort()));
        const qsizetype body = served.answer.indexOf("\r\n\r\n") + 4;
        server.handler = [&](const QByteArray& target, QTcpSocket& socket) {
            if (target == "/b" || target == "/d" || target == "/e") {
                socket.write(target == "/b" ? Server::answer(200, "arrived")
                                            : redirectTo(target.mid(1) == "d" ? "/b" : "/e"));
            } else if (target == "/a") {
                socket.write(served.drip ? served.answer.left(body) : served.answer);
            }
            if (served.drip) {
                Server::drip(socket, served.answer.mid(body), 10, 100ms);
            } else if (served.hangUp) {
                socket.disconnectFromHost();
            }
        };
        HttpRequest request{server.url(u"/a"_s),
                            std::chrono::milliseconds(served.idleMs),
                            1000,
                            {},
                            [last = server.url(u"/a"_s)](const QUrl& from, const QUrl& to) mutable {
                                return std::exchange(last, to) == from &&
                                       to.host() == "127.0.0.1"_L1;
                            }};
        if (served.deadlineMs > 0) {
            request.deadline = std::chrono::milliseconds(served.deadlineMs);
        }
        std::optional<HttpReply> reply;
        QObject window;
        platform->get(request, &window, [&reply](const HttpReply& answer) { reply = answer; });
        QTRY_VERIFY_WITH_TIMEOUT(reply, 10000);
        QTEST(shown(*reply), "reply");
        QTEST(int(server.requests.size()), "requests");
        QVERIFY(server.requests.first().contains("\r\naccept-encoding: identity\r\n"));
    }

    // A window closed while its answer is coming in, then one closed as the installer quits
    // mid-answer: the completion never runs, and nothing crashes.
    void answersForAClosedWindowAreDropped() {
        server.handler = [](const QByteArray&, QTcpSocket& socket) {
            socket.write("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n");
            Server::drip(socket, "late", 1, 100ms);
        };
        bool completed = false;
        for (const int wait : {700, 100}) {
            auto window = std::make_unique<QObject>();
            platform->get({server.url(u"/a"_s), 5s, 1000, {}, {}}, window.get(),
                          [&completed](const HttpReply&) { completed = true; });
            window.reset();
            QTest::qWait(wait);
        }
        platform.reset();
        QTest::qWait(300);
        QCOMPARE(std::pair(int(server.requests.size()), completed), std::pair(2, false));
    }

    // Qt sends six requests to a host at a time; the others wait their turn, which is no idle
    // time. The seventh is answered as late as the first six, the eighth never.
    void queuedRequestsAreTimedFromTheWire() {
        server.handler = [this](const QByteArray&, QTcpSocket& socket) {
            if (server.requests.size() < 8) {
                QTimer::singleShot(600ms, &socket,
                                   [&socket] { socket.write(Server::answer(200, "late")); });
            }
        };
        QObject window;
        QStringList replies;
        for (int request = 0; request < 8; ++request) {
            platform->get({server.url(u"/a"_s), 1s, 1000, {}, {}}, &window,
                          [&replies](const HttpReply& reply) { replies << shown(reply); });
        }
        QTRY_COMPARE(replies.size(), 8);
        QCOMPARE(replies, QStringList(7, u"200 “late”"_s) << u"failed: The request timed out."_s);
    }

    void routes_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QByteArray>("proxy"); // http_proxy; PORT: a server that never answers
        QTest::addColumn<QString>("reply");
        const QString timedOut = u"failed: The request timed out."_s;
        QTest::newRow("a lookup that never answers") << u"stuck"_s << ""_ba << timedOut;
        QTest::newRow("a name server that did not answer") << u"silent"_s << ""_ba << timedOut;
        QTest::newRow("a name that does not exist")
            << u"nowhere"_s << ""_ba << u"failed: Host nowhere.zeph.test not found"_s;
        QTest::newRow("a PAC file that never comes")
            << u"stuck"_s << "pac+http://127.0.0.1:PORT/proxy.pac"_ba
            << u"failed: the proxy configuration did not answer in time."_s;
    }
    // Finding the proxy and looking up the name end within the request's idle time; once the name
    // resolves again, a new request goes through at once, whatever still hangs.
    void routes() {
        QFETCH(QString, host);
        QFETCH(QByteArray, proxy);
        auto silent = std::make_unique<Server>();
        silent->handler = [](const QByteArray&, QTcpSocket&) {
        };
        qputenv("http_proxy", proxy.replace("PORT", QByteArray::number(silent->serverPort())));
        const QString stuck = home->filePath(u"stuck"_s);
        qputenv("ZEPH_STUCK_LOOKUP", QFile::encodeName(stuck));
        QVERIFY(QFile(stuck).open(QIODevice::WriteOnly));
        server.handler = [](const QByteArray&, QTcpSocket& socket) {
            socket.write(Server::answer(200, "arrived"));
        };
        QObject window;
        std::optional<HttpReply> reply;
        const auto get = [&](const QString& name, std::chrono::milliseconds idle) {
            reply.reset();
            QUrl url = server.url(u"/b"_s);
            url.setHost(name + u".zeph.test"_s);
            platform->get({url, idle, 1000, {}, {}}, &window,
                          [&reply](const HttpReply& answer) { reply = answer; });
        };
        get(host, 500ms);
        QTRY_VERIFY_WITH_TIMEOUT(reply, 20000);
        QTEST(shown(*reply), "reply");
        silent.reset();
        qunsetenv("http_proxy");
        QFile::remove(stuck);
        get(u"stuck"_s, 20s);
        QTRY_VERIFY_WITH_TIMEOUT(reply, 20000);
        QCOMPARE(shown(*reply), u"200 “arrived”"_s);
    }

    void probe_data() {
        QTest::addColumn<QByteArray>("python3"); // its body; it may hold "$HOME/fifo" open
        QTest::addColumn<ProcessResult>("result");
        using Run = ProcessResult::Outcome;
        QTest::newRow("exit code")
            << "echo no python; exit 3"_ba << ProcessResult{Run::Exited, 3, "no python\n"};
        // Deaf to SIGTERM, with a child of its own holding the FIFO open: both must go.
        QTest::newRow("hangs, with a child")
            << "sleep 20 >\"$HOME/fifo\" & trap '' TERM; printf 'Python '; exec sleep 20"_ba
            << ProcessResult{Run::TimedOut, -1, "Python "};
    }
    // Every run returns within its timeout, with everything it wrote to either stream (up to
    // 1 MiB), and leaves nothing running that holds the FIFO open.
    void probe() {
        QFETCH(QByteArray, python3);
        QFETCH(ProcessResult, result);
        const int fifo = addPython(python3);
        QVERIFY(fifo >= 0);
        ProcessRequest request{u"/usr/bin/env"_s, {u"python3"_s, u"--version"_s}, {}, 500ms};
        QElapsedTimer clock;
        clock.start();
        const ProcessResult ran = platform->run(request);
        QVERIFY2(clock.elapsed() < 10000, "waited for a child the probe started");
        QCOMPARE(std::tuple(ran.outcome, ran.exitCode, ran.output),
                 std::tuple(result.outcome, result.exitCode, result.output));
        released(fifo);
    }

    // The script's folders, each level made as needed, and its file, with the platform's modes.
    void scriptFolders() {
        const QString target = home->filePath(u"a/b/f"_s);
        QVERIFY(platform->createFolder(home->filePath(u"a/b"_s), FileAccess::Default).ok);
        QVERIFY(platform->writeFileAtomically(target, "x\r\0\x01"_ba, FileAccess::Default).ok);
        QCOMPARE(shell(home->path(), ::listing), "a 755|a/b 755|a/b/f 644 x\r\0\x01"_ba);
    }

    void files_data() {
        QTest::addColumn<QByteArray>("setup"); // run in the home folder; exit 77 skips the row
        QTest::addColumn<int>("bytes");        // "tok", then "#" up to this many
        QTest::addColumn<int>("sizeLimit");    // for files, as `ulimit -f` sets one; 0: none
        QTest::addColumn<QString>("outcome");  // the listing after, or the error (HOME: the home)
        const QString othersCanChange = u"“HOME/z” leads to a folder that others can change."_s;
        QTest::newRow("private, over open ones")
            << "mkdir -m 777 z; printf old >z/f; chmod 666 z/f"_ba << 3 << 0
            << u"z 700|z/f 600 tok"_s;
        QTest::newRow("a link at the file is replaced, its target kept")
            << "mkdir z out; printf old >out/t; ln -s ../out/t z/f"_ba << 3 << 0
            << u"out 755|out/t 644 old|z 700|z/f 600 tok"_s;
        QTest::newRow("a linked folder others can write to")
            << "mkdir -m 775 out; ln -s out z"_ba << 3 << 0 << othersCanChange;
        // A write killed before its rename left z/f.tmp-old; only that one is the next write's.
        QTest::newRow("a folder in the way of the file")
            << "mkdir -m 700 z; mkdir z/f"_ba << 3 << 0
            << u"“HOME/z/f” could not be written: Is a directory."_s;
        QTest::newRow("leftovers of a killed write")
            << "mkdir z; cd z; for f in f.tmp-old f.tmp-new f.tmp-o.py g.tmp-old; do printf x >$f; "
               "done; touch -d '2 minutes ago' f.tmp-old f.tmp-o.py g.tmp-old"_ba
            << 3 << 0
            << u"z 700|z/f 600 tok|z/f.tmp-new 644 x|z/f.tmp-o.py 644 x|z/g.tmp-old 644 x"_s;
        QTest::newRow("a disk full part-way")
            << "mkdir z; mount -t tmpfs -o size=4k,mode=700 tmpfs z || exit 77; printf old >z/f"_ba
            << 8000 << 0 << u"“HOME/z/f” could not be written: No space left on device."_s;
        QTest::newRow("past a file size limit")
            << "mkdir -m 700 z; printf old >z/f; chmod 600 z/f"_ba << 8000 << 100
            << u"“HOME/z/f” could not be written: File too large."_s;
    }
    // The token's folder and file, readable by the user alone: a failure names its reason and
    // leaves everything as it was, no temporary file included; past a size limit too, instead of
    // ending the installer.
    void files() {
        QFETCH(QByteArray, setup);
        QFETCH(int, bytes);
        QFETCH(int, sizeLimit);
        skipUnless(setup);
        const QByteArray before = shell(home->path(), ::listing);
        FileStatus status = platform->createFolder(home->filePath(u"z"_s), FileAccess::OwnerOnly);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit saved = limit;
        limit.rlim_cur = sizeLimit > 0 ? rlim_t(sizeLimit) : limit.rlim_cur;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (status.ok) {
            status = platform->writeFileAtomically(home->filePath(u"z/f"_s),
                                                   "tok" + QByteArray(bytes - 3, '#'),
                                                   FileAccess::OwnerOnly);
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
        const QByteArray after = shell(home->path(), ::listing);
        QCOMPARE(status.ok, after != before);
        QTEST(status.ok ? QString::fromLatin1(after)
                        : status.errorDescription.replace(home->path(), u"HOME"_s),
              "outcome");
    }

    void keepPrivate_data() {
        QTest::addColumn<QByteArray>("setup"); // z/f, open to the group
        QTest::addColumn<QString>("listing");
        QTest::newRow("closed") << "mkdir -m 750 z; printf tok >z/f; chmod 640 z/f"_ba
                                << u"z 700|z/f 600 tok"_s;
        QTest::newRow("a linked folder") << "mkdir out; printf tok >out/f; ln -s out z"_ba
                                         << u"out 755|out/f 644 tok|z -> out"_s;
    }
    // What start-up and "Open Token File" find open to others is closed as a save would leave
    // it, unless it is reached through a link; no byte changes.
    void keepPrivate() {
        QFETCH(QByteArray, setup);
        skipUnless(setup);
        platform->keepPrivate(home->filePath(u"z/f"_s));
        QTEST(QString::fromLatin1(shell(home->path(), ::listing)), "listing");
    }

    // Reading the token never blocks on a FIFO and never takes more than it may.
    void read() {
        skipUnless("mkfifo fifo; head -c 65537 /dev/zero >big; head -c 65536 /dev/zero >whole");
        QCOMPARE(platform->readFile(home->filePath(u"fifo"_s), 65536), std::nullopt);
        QCOMPARE(platform->readFile(home->filePath(u"big"_s), 65536), std::nullopt);
        QCOMPARE(platform->readFile(home->filePath(u"whole"_s), 65536), QByteArray(65536, '\0'));
    }

    void closeEndsTheInstaller_data() {
        QTest::addColumn<QByteArray>("proxy"); // http_proxy; PORT: a server that never answers
        QTest::newRow("a lookup that never answers") << ""_ba;
        QTest::newRow("a PAC file that never comes") << "pac+http://127.0.0.1:PORT/proxy.pac"_ba;
    }
    // The real installer, all set, its manifest sent on to a name whose lookup or proxy hangs:
    // Return on "Close", typed through Qt's VNC screen, ends it, with exit status 0.
    void closeEndsTheInstaller() {
        QFETCH(QByteArray, proxy);
        ::close(addPython("echo Python 3.12.0"));
        skipUnless("touch stuck; mkdir -p .zeph 'Library/Application Support/Blackmagic Design/"
                   "DaVinci Resolve/Fusion/Scripts/Utility'; echo tok >.zeph/resolve_token.txt; "
                   "cd Library/*/*/*/*/*/*; touch ZEPH_Export_Gallery_Stills.py");
        Server silent;
        silent.handler = [](const QByteArray&, QTcpSocket&) {
        };
        qputenv("http_proxy", proxy.replace("PORT", QByteArray::number(silent.serverPort())));
        qputenv("ZEPH_STUCK_LOOKUP", QFile::encodeName(home->filePath(u"stuck"_s)));
        const QByteArray port = QByteArray::number(server.serverPort());
        qputenv("ZEPH_CONNECT_INSTEAD",
                QByteArray::number(QUrl(u"" ZEPH_MANIFEST_URL ""_s).port()) + ' ' + port);
        server.handler = [&port](const QByteArray&, QTcpSocket& socket) {
            socket.write(redirectTo("http://stuck.zeph.test:" + port + "/latest.json"));
        };
        QTcpServer free;
        free.listen(QHostAddress::LocalHost);
        const quint16 vncPort = free.serverPort();
        free.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"vnc:port=%1"_s.arg(vncPort));
        QProcess installer;
        installer.setProcessEnvironment(environment);
        installer.start(QStringLiteral(ZEPH_INSTALLER_EXECUTABLE), {});
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo(home->filePath(u"stuck"_s)).size() == 1 || !silent.requests.isEmpty(), 20000);
        // The screen's greeting, a version and no authentication, its size and name.
        QTcpSocket vnc;
        vnc.connectToHost(QHostAddress::LocalHost, vncPort);
        for (const auto& [greeting, answer] : {std::pair(12, "RFB 003.003\n"_ba),
                                               {4, "\x01"_ba}, // shared
                                               {24, QByteArray::fromHex("040100000000ff0d"
                                                                        "040000000000ff0d")}}) {
            QTRY_VERIFY_WITH_TIMEOUT(vnc.bytesAvailable() >= greeting, 20000);
            vnc.readAll();
            vnc.write(answer); // last: Return pressed and let go
        }
        QVERIFY(vnc.waitForBytesWritten());
        QVERIFY(installer.waitForFinished(20000));
        QCOMPARE(std::pair(installer.exitStatus(), installer.exitCode()),
                 std::pair(QProcess::NormalExit, 0));
        qunsetenv("http_proxy");
    }

    // The real installer, asked to end while its probe hangs: nothing of the probe may hold the
    // FIFO after.
    void probeEndsWithTheInstaller() {
        const int fifo = addPython("sleep 60 >\"$HOME/fifo\" & touch \"$HOME/probing\"; "
                                   "exec sleep 60 >\"$HOME/fifo\"");
        QProcess installer;
        installer.start(QStringLiteral(ZEPH_INSTALLER_EXECUTABLE), {});
        QTRY_VERIFY(QFile::exists(home->filePath(u"probing"_s)));
        ::kill(static_cast<pid_t>(installer.processId()), SIGTERM);
        QVERIFY(installer.waitForFinished());
        released(fifo);
    }
};

QTEST_GUILESS_MAIN(TestQtPlatformServices)
#include "TestQtPlatformServices.moc"
