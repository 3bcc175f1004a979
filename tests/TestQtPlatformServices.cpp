#include "HttpTestServer.h"
#include "QtPlatformServices.h"

#include <QElapsedTimer>
#include <QProcess>
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
    const QString unframed = reply.lengthKnown ? QString() : u" (length unknown)"_s;
    return reply.body
               ? outcome.arg(reply.statusCode).arg(QString::fromLatin1(*reply.body)) + unframed
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
    QString host{};     // NAME.zeph.test instead of 127.0.0.1, with the lookup of "stuck" hanging
    QByteArray proxy{}; // http_proxy; PAC: the port of a server that never answers
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
        QTRY_COMPARE_WITH_TIMEOUT(::read(fifo, &byte, 1), 0, 30000);
        ::close(fifo);
    }

    // What the platform's answer to the request came to, as shown().
    QString fetched(const HttpRequest& request) {
        QObject window;
        std::optional<HttpReply> reply;
        platform->get(request, &window, [&reply](const HttpReply& answer) { reply = answer; });
        return QTest::qWaitFor([&] { return bool(reply); }, 30000) ? shown(*reply) : QString();
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
        // First, so that Qt's cache, which keeps a name for a minute, has never seen "stuck".
        const QString timedOut = u"failed: The request timed out."_s;
        QTest::newRow("a lookup that never answers") << Served{.host = u"stuck"_s} << timedOut << 0;
        QTest::newRow("a silent name server") << Served{.host = u"silent"_s} << timedOut << 0;
        QTest::newRow("a name that does not exist")
            << Served{.host = u"nowhere"_s} << u"failed: Host nowhere.zeph.test not found"_s << 0;
        QTest::newRow("a PAC file that never comes")
            << Served{.host = u"stuck"_s, .proxy = "pac+http://127.0.0.1:PAC"}
            << u"failed: the proxy configuration did not answer in time."_s << 0;
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
        QTest::newRow("chunks, whole") << Served{"HTTP/1.1 200 OK\r\nTransfer-Encoding: "
                                                 "chunked\r\n\r\n5\r\nprint\r\n0\r\n\r\n"}
                                       << u"200 “print”"_s << 1;
        QTest::newRow("ended by closing")
            << Served{.answer = "HTTP/1.1 200 OK\r\n\r\nprint", .hangUp = true}
            << u"200 “print” (length unknown)"_s << 1;
        QTest::newRow("two lengths")
            << Served{"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nprint"}
            << u"failed: the answer announced different lengths: 5, 6."_s << 1;
        // Every gap is shorter than the idle timeout, the whole far longer: it arrives.
        QTest::newRow("chunks cut off")
            << Served{.answer =
                          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nprint\r\n",
                      .hangUp = true}
            << u"failed: Connection closed"_s << 1;
        QTest::newRow("trickle") << Served{Server::answer(200, QByteArray(200, '#')), 1000, 0, true}
                                 << u"200 “%1”"_s.arg(QString(200, u'#')) << 1;
        QTest::newRow("trickle past its deadline")
            << Served{Server::answer(200, QByteArray(900, '#')), 5000, 300, true} << u"overdue"_s
            << 1;
        QTest::newRow("two hops") << Served{redirectTo("/d")} << u"200 “arrived”"_s << 3;
        QTest::newRow("a redirect loop")
            << Served{redirectTo("/e")} << u"failed: the server redirected too often."_s << 21;
        // 0.0.0.0 is this machine too: were the hop taken, the server would see it.
        QTest::newRow("redirect refused")
            << Served{redirectTo("http://0.0.0.0:PORT/b")} << u"redirect refused"_s << 1;
    }
    // Every request asks for the body as it is, without an encoding, and holds each redirect hop
    // to a rule: here that it leaves from where the one before led, to 127.0.0.1. Finding its
    // proxy and looking up its name end within its idle time. Whatever came before, a request
    // by name goes through at once once the name resolves again, whatever still hangs.
    void answers() {
        QFETCH(Served, served);
        auto pac = std::make_unique<Server>();
        served.answer.replace("PORT", QByteArray::number(server.serverPort()));
        qputenv("http_proxy", served.proxy.replace("PAC", QByteArray::number(pac->serverPort())));
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
        request.url.setHost(served.host.isEmpty() ? u"127.0.0.1"_s : served.host + u".zeph.test"_s);
        QVERIFY(QFile(u"stuck.zeph.test"_s).open(QIODevice::WriteOnly));
        QTEST(fetched(request), "reply");
        QTEST(int(server.requests.size()), "requests");
        QCOMPARE(server.requests.join().count("accept-encoding: identity"), server.requests.size());
        pac.reset(); // and with it the PAC file's request
        qunsetenv("http_proxy");
        QFile::remove(u"stuck.zeph.test"_s);
        request.url = QUrl(u"http://stuck.zeph.test:%1/b"_s.arg(server.serverPort()));
        QCOMPARE(fetched(request), u"200 “arrived”"_s);
    }

    // A window closed while its answer is coming in: the completion never runs, and nothing
    // crashes. (The installer leaves at once when it quits, with answers still coming.)
    void answersForAClosedWindowAreDropped() {
        bool answered = false, completed = false;
        server.handler = [&answered](const QByteArray&, QTcpSocket& socket) {
            socket.write("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nla");
            QTimer::singleShot(300ms, &socket, [&] { answered = socket.write("te") == 2; });
        };
        auto window = std::make_unique<QObject>();
        platform->get({server.url(u"/a"_s), 30s, 1000, {}, {}}, window.get(),
                      [&completed](const HttpReply&) { completed = true; });
        QTRY_COMPARE_WITH_TIMEOUT(server.requests.size(), 1, 30000);
        window.reset();
        QTRY_VERIFY_WITH_TIMEOUT(answered, 30000);
        QTest::qWait(200);
        QVERIFY(!completed);
    }

    // Qt sends six requests to a host at a time; the others wait their turn, which is no idle
    // time. Each is answered a second after it is asked, well within its idle time, the last three
    // waves after more than that in all; the last request never.
    void queuedRequestsAreTimedFromTheWire() {
        constexpr int answeredRequests = 18;
        server.handler = [this](const QByteArray&, QTcpSocket& socket) {
            if (server.requests.size() <= answeredRequests) {
                QTimer::singleShot(1s, &socket,
                                   [&socket] { socket.write(Server::answer(200, "late")); });
            }
        };
        QObject window;
        QStringList replies;
        for (int request = 0; request <= answeredRequests; ++request) {
            platform->get({server.url(u"/a"_s), 2200ms, 1000, {}, {}}, &window,
                          [&replies](const HttpReply& reply) { replies << shown(reply); });
        }
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), answeredRequests + 1, 60000);
        QCOMPARE(replies, QStringList(answeredRequests, u"200 “late”"_s)
                              << u"failed: The request timed out."_s);
    }

    void probe_data() {
        QTest::addColumn<QByteArray>("python3"); // its body; it may hold "$HOME/fifo" open
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<ProcessResult>("result");
        using Run = ProcessResult::Outcome;
        QTest::newRow("exit code")
            << "echo no python; exit 3"_ba << 30000 << ProcessResult{Run::Exited, 3, "no python\n"};
        // Deaf to SIGTERM, with a child of its own holding the FIFO open: both must go.
        QTest::newRow("hangs, with a child")
            << "sleep 60 >\"$HOME/fifo\" & trap '' TERM; printf 'Python '; exec sleep 60"_ba << 3000
            << ProcessResult{Run::TimedOut, -1, "Python "};
    }
    // Every run returns within its timeout, with everything it wrote to either stream (up to
    // 1 MiB), and leaves nothing running that holds the FIFO open.
    void probe() {
        QFETCH(QByteArray, python3);
        QFETCH(int, timeoutMs);
        QFETCH(ProcessResult, result);
        const int fifo = addPython(python3);
        QVERIFY(fifo >= 0);
        ProcessRequest request{u"/usr/bin/env"_s,
                               {u"python3"_s, u"--version"_s},
                               {},
                               std::chrono::milliseconds(timeoutMs)};
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
        QTest::newRow("a folder of another user's")
            << "mkdir -m 700 z; chown nobody z || exit 77"_ba << 3 << 0
            << u"“HOME/z” belongs to another user."_s;
        QTest::newRow("another user's leftover")
            << "mkdir z; printf x >z/f.tmp-old; chown nobody z/f.tmp-old || exit 77; touch -d '2 "
               "minutes ago' z/f.tmp-old"_ba
            << 3 << 0 << u"z 700|z/f 600 tok|z/f.tmp-old 644 x"_s;
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

    // The installer's own folder follows the system's rule for application data; only regular
    // files are listed in a folder, and a link is removed, never its target.
    void folders() {
        skipUnless("mkdir -p d/sub; printf x >d/f; ln -s f d/link");
        qputenv("XDG_DATA_HOME", QFile::encodeName(home->filePath(u"data"_s)));
        QCOMPARE(platform->dataFolder(), home->filePath(u"data/TestQtPlatformServices"_s));
        QCOMPARE(platform->filesIn(home->filePath(u"d"_s)), QStringList{u"f"_s});
        platform->removeFile(home->filePath(u"d/link"_s));
        QCOMPARE(shell(home->path(), ::listing), "d 755|d/f 644 x|d/sub 755"_ba);
        // Only an absolute HOME that is a folder is taken as the home folder, else the account's.
        const QByteArray account = shell(u"/"_s, "getent passwd \"$(id -u)\" | cut -d: -f6");
        for (const QByteArray& relativeEmptyOrMissing : {"."_ba, ""_ba, "/nonexistent/zeph"_ba}) {
            qputenv("HOME", relativeEmptyOrMissing);
            QCOMPARE(platform->homeDirectory(), QFile::decodeName(account));
        }
    }

    // Reading the token never blocks on a FIFO and never takes more than it may.
    void read() {
        skipUnless("mkfifo fifo; head -c 65537 /dev/zero >big; head -c 65536 /dev/zero >whole");
        QCOMPARE(platform->readFile(home->filePath(u"fifo"_s), 65536), std::nullopt);
        QCOMPARE(platform->readFile(home->filePath(u"big"_s), 65536), std::nullopt);
        QCOMPARE(platform->readFile(home->filePath(u"whole"_s), 65536), QByteArray(65536, '\0'));
    }

    void probeEndsWithTheInstaller_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QByteArray>("python3"); // holds "$HOME/fifo" open
        // Asked to end, the installer ends the probe's whole group, whatever it started.
        QTest::newRow("asked to end")
            << SIGTERM
            << "sleep 60 >\"$HOME/fifo\" & touch \"$HOME/probing\"; exec sleep 60 "
               ">\"$HOME/fifo\""_ba;
        // Killed, it can do nothing: the kernel ends the probe itself.
        QTest::newRow("killed") << SIGKILL
                                << "touch \"$HOME/probing\"; exec sleep 60 >\"$HOME/fifo\""_ba;
    }
    // The real installer, ended while its probe hangs: nothing of the probe may hold the FIFO
    // after.
    void probeEndsWithTheInstaller() {
        QFETCH(int, signal);
        QFETCH(QByteArray, python3);
        const int fifo = addPython(python3);
        QProcess installer;
        installer.start(QStringLiteral(ZEPH_INSTALLER_EXECUTABLE), {});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(home->filePath(u"probing"_s)), 30000);
        ::kill(static_cast<pid_t>(installer.processId()), signal);
        QVERIFY(installer.waitForFinished());
        released(fifo);
    }

    // The real installer, all set, its manifest sent on to an address whose PAC file never comes:
    // Return on "Close", typed through Qt's VNC screen, ends it at once with exit status 0, though
    // Qt would wait for libproxy's thread as it ends.
    void closeEndsTheInstaller() {
        ::close(addPython("echo Python 3.12.0"));
        skipUnless("mkdir -p .zeph 'Library/Application Support/Blackmagic Design/DaVinci Resolve/"
                   "Fusion/Scripts/Utility'; echo tok >.zeph/resolve_token.txt; "
                   "cd Library/*/*/*/*/*/*; touch ZEPH_Export_Gallery_Stills.py");
        Server pac;
        qputenv("http_proxy", "pac+http://127.0.0.1:" + QByteArray::number(pac.serverPort()));
        const QByteArray from = QByteArray::number(QUrl(u"" ZEPH_MANIFEST_URL ""_s).port());
        qputenv("ZEPH_CONNECT_INSTEAD", from + ' ' + QByteArray::number(server.serverPort()));
        server.handler = [](const QByteArray&, QTcpSocket& socket) {
            socket.write(redirectTo("http://stuck.zeph.test/latest.json"));
        };
        const quint16 vncPort = Server().serverPort(); // free once the server is gone
        qputenv("QT_QPA_PLATFORM", "vnc:port=" + QByteArray::number(vncPort));
        QProcess installer;
        installer.start(QStringLiteral(ZEPH_INSTALLER_EXECUTABLE), {});
        QTRY_VERIFY_WITH_TIMEOUT(!pac.requests.isEmpty(), 20000);
        // The screen's version and no authentication, then its size and name: a version, a shared
        // screen, then Return pressed and let go.
        QTcpSocket vnc;
        vnc.connectToHost(QHostAddress::LocalHost, vncPort);
        for (const QByteArray& answer : {"RFB 003.003\n"_ba, "\x01"_ba,
                                         QByteArray::fromHex("040100000000ff0d040000000000ff0d")}) {
            QTRY_VERIFY_WITH_TIMEOUT(vnc.bytesAvailable() > 0, 20000);
            vnc.readAll();
            vnc.write(answer);
        }
        QTRY_COMPARE_WITH_TIMEOUT(std::pair(installer.state(), installer.exitCode()),
                                  std::pair(QProcess::NotRunning, 0), 20000);
    }
};

QTEST_GUILESS_MAIN(TestQtPlatformServices)
#include "TestQtPlatformServices.moc"
