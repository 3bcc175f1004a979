#include "HttpTestServer.h"
#include "QtPlatformServices.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <pwd.h>
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
    return sh.exitCode() == 0
               ? sh.readAllStandardOutput().trimmed()
               : "exit " + QByteArray::number(sh.exitCode()) + ": " + sh.readAllStandardError();
}

// Every entry below the folder with its mode and content, links listed and never followed.
const QByteArray listing = "find . -mindepth 1 -type l -printf '%P -> %l\\n' -o -type f -printf "
                           "'%P %m ' -exec cat {} \\; -printf '\\n' -o -printf '%P %m\\n' | "
                           "LC_ALL=C sort | paste -sd '|'";

// What a reply amounts to, in one line: "STATUS “BODY”", "STATUS (no body)", or how it failed.
QString shown(const HttpReply& reply) {
    switch (reply.outcome) {
    case HttpReply::Outcome::Answered:
        return QString::number(reply.statusCode) +
               (reply.body ? u" “%1”"_s.arg(QString::fromLatin1(*reply.body)) : u" (no body)"_s);
    case HttpReply::Outcome::Failed:
        return u"failed: "_s + reply.errorDescription;
    case HttpReply::Outcome::TooLarge:
        return u"too large"_s;
    case HttpReply::Outcome::DeadlineExceeded:
        return u"overdue"_s;
    case HttpReply::Outcome::RedirectRefused:
        return u"redirect refused"_s;
    }
    return {};
}

QByteArray redirectTo(const QByteArray& location) {
    return Server::answer(302, {}, "Location: " + location + "\r\n");
}

} // namespace

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
        if (result.startsWith("exit 77")) {
            QSKIP("This user may not do what the row needs (mount a tmpfs, give a file away).");
        }
        QCOMPARE(result, QByteArray());
    }
    // A python3 that runs `body`, in `folder` below the home folder.
    void addPython(const QString& folder, const QByteArray& body) {
        QFile file(home->filePath(folder + u"/python3"_s));
        QVERIFY(body.isEmpty() ||
                (QDir(home->path()).mkpath(folder) && file.open(QIODevice::WriteOnly) &&
                 file.write("#!/bin/sh\n" + body + '\n') > 0 &&
                 file.setPermissions(file.permissions() | QFile::ExeOwner)));
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
        if (QFileInfo(home->filePath(u"mnt"_s)).isDir()) {
            QProcess::execute(u"umount"_s, {home->filePath(u"mnt"_s)});
        }
    }

    void answers_data() {
        QTest::addColumn<QByteArray>("served"); // for /a; /b answers "arrived", /c nothing, /d
                                                // sends on to /b; PORT: the server's
        QTest::addColumn<QString>("pace"); // "hang up" after, or "drip" the body 10 bytes a time
        QTest::addColumn<int>("idleMs");
        QTest::addColumn<int>("deadlineMs"); // 0: none
        QTest::addColumn<bool>("onlyHere");  // redirect hops must stay on 127.0.0.1
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("requests");
        const QString notAsked = u"failed: the server sent the answer encoded as “gzip”, which was "
                                 "not asked for."_s;
        const QString timedOut = u"failed: The request timed out."_s;
        QTest::newRow("404 with a page")
            << Server::answer(404, "gone") << u""_s << 1000 << 0 << false << u"404 “gone”"_s << 1;
        QTest::newRow("past the limit") << Server::answer(200, QByteArray(1001, 'x')) << u""_s
                                        << 1000 << 0 << false << u"too large"_s << 1;
        QTest::newRow("labelled gzip")
            << Server::answer(200, "print()", "Content-Encoding: gzip\r\n") << u""_s << 1000 << 0
            << false << notAsked << 1;
        // Qt decodes no transfer coding but chunked, and passes the bytes on as they came.
        QTest::newRow("gzip as a transfer coding")
            << Server::answer(200, "print()", "Transfer-Encoding: gzip\r\n") << u""_s << 1000 << 0
            << false << notAsked << 1;
        // Qt reads the chunks and reports no error, though the announced length never came.
        QTest::newRow("shorter than announced")
            << "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nTransfer-Encoding: chunked\r\n\r\n"
               "5\r\nprint\r\n0\r\n\r\n"_ba
            << u""_s << 1000 << 0 << false
            << u"failed: the answer's 5 bytes are not the 100 it announced."_s << 1;
        // Qt takes the first.
        QTest::newRow("two lengths")
            << Server::answer(200, "print('hi')", "Content-Length: 5\r\n") << u""_s << 1000 << 0
            << false << u"failed: the answer announced different lengths: 11, 5."_s << 1;
        QTest::newRow("dropped mid-body")
            << "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nprint("_ba << u"hang up"_s << 1000
            << 0 << false << u"failed: Connection closed"_s << 1;
        QTest::newRow("silent from the start")
            << ""_ba << u""_s << 300 << 0 << false << timedOut << 1;
        // The hop after a redirect is timed too.
        QTest::newRow("stall after a redirect")
            << redirectTo("/c") << u""_s << 300 << 0 << false << timedOut << 2;
        // Every gap is shorter than the idle timeout, the whole far longer: it arrives.
        QTest::newRow("trickle") << Server::answer(200, QByteArray(50, '#')) << u"drip"_s << 300
                                 << 0 << false << u"200 “%1”"_s.arg(QString(50, u'#')) << 1;
        QTest::newRow("trickle past its deadline")
            << Server::answer(200, QByteArray(900, '#')) << u"drip"_s << 1000 << 300 << false
            << u"overdue"_s << 1;
        QTest::newRow("two hops") << redirectTo("/d") << u""_s << 1000 << 0 << true
                                  << u"200 “arrived”"_s << 3;
        // 0.0.0.0 is this machine too: should the hop be taken, the request still stays here.
        QTest::newRow("redirect refused") << redirectTo("http://0.0.0.0:PORT/b") << u""_s << 1000
                                          << 0 << true << u"redirect refused"_s << 1;
    }
    // Every request asks for the body as it is, without an encoding.
    void answers() {
        QFETCH(QByteArray, served);
        QFETCH(QString, pace);
        QFETCH(int, idleMs);
        QFETCH(int, deadlineMs);
        QFETCH(bool, onlyHere);
        served.replace("PORT", QByteArray::number(server.serverPort()));
        server.setHandler([&](const Server::Request& request, QTcpSocket& socket) {
            const qsizetype body = served.indexOf("\r\n\r\n") + 4;
            if (request.target == "/b") {
                socket.write(Server::answer(200, "arrived"));
            } else if (request.target == "/d") {
                socket.write(redirectTo("/b"));
            } else if (request.target == "/a") {
                socket.write(pace == "drip"_L1 ? served.left(body) : served);
            }
            if (pace == "drip"_L1) {
                Server::drip(socket, served.mid(body), 10, 100ms);
            } else if (pace == "hang up"_L1) {
                socket.disconnectFromHost();
            }
        });
        HttpRequest request{server.url(u"/a"_s), std::chrono::milliseconds(idleMs), 1000, {}, {}};
        if (deadlineMs > 0) {
            request.deadline = std::chrono::milliseconds(deadlineMs);
        }
        if (onlyHere) {
            // Each hop must leave from where the one before led.
            request.acceptsRedirect = [last = request.url](const QUrl& from,
                                                           const QUrl& to) mutable {
                const bool followsOn = from == last && to.host() == "127.0.0.1"_L1;
                last = to;
                return followsOn;
            };
        }
        std::optional<HttpReply> reply;
        QObject window;
        platform->get(request, &window, [&reply](const HttpReply& answer) { reply = answer; });
        QTRY_VERIFY_WITH_TIMEOUT(reply, 10000);
        QTEST(shown(*reply), "reply");
        QTEST(int(server.requests.size()), "requests");
        QVERIFY(server.requests.first().head.contains("\r\naccept-encoding: identity\r\n"));
    }

    // A window closed before its answer arrives, then one closed just before the installer quits
    // mid-answer: the completion never runs, and nothing crashes.
    void answersForAClosedWindowAreDropped() {
        server.setHandler([](const Server::Request&, QTcpSocket& socket) {
            socket.write("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n");
            Server::drip(socket, "late", 1, 100ms);
        });
        int completions = 0;
        for (const int wait : {1000, 100}) {
            auto window = std::make_unique<QObject>();
            platform->get({server.url(u"/a"_s), 5s, 1000, {}, {}}, window.get(),
                          [&completions](const HttpReply&) { ++completions; });
            window.reset();
            QTest::qWait(wait);
        }
        platform.reset();
        QTest::qWait(300);
        QCOMPARE(std::pair(int(server.requests.size()), completions), std::pair(2, 0));
    }

    // Qt sends six requests to a host at a time; the others wait their turn, which is no idle
    // time. The seventh is answered as late as the first six, the eighth never.
    void queuedRequestsAreTimedFromTheWire() {
        server.setHandler([this](const Server::Request&, QTcpSocket& socket) {
            if (server.requests.size() < 8) {
                QTimer::singleShot(600ms, &socket,
                                   [&socket] { socket.write(Server::answer(200, "late")); });
            }
        });
        QObject window;
        QStringList replies;
        for (int request = 0; request < 8; ++request) {
            platform->get({server.url(u"/a"_s), 1s, 1000, {}, {}}, &window,
                          [&replies](const HttpReply& reply) { replies << shown(reply); });
        }
        QTRY_COMPARE(replies.size(), 8);
        QCOMPARE(replies, QStringList(7, u"200 “late”"_s) << u"failed: The request timed out."_s);
    }

    void probe_data() {
        QTest::addColumn<QByteArray>("python3");       // its body, in bin/ at the head of PATH
        QTest::addColumn<QByteArray>("searchedFirst"); // a python3 put first by the search path
        QTest::addColumn<QString>("program");
        QTest::addColumn<ProcessResult::Outcome>("outcome");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output");
        using Run = ProcessResult::Outcome;
        const QString env = u"/usr/bin/env"_s;
        QTest::newRow("both streams, as written")
            << "printf 'Python '; printf '3.1\\n' >&2"_ba
            << ""_ba << env << Run::Exited << 0 << "Python 3.1\n"_ba;
        QTest::newRow("exit code") << "echo no python; exit 3"_ba
                                   << ""_ba << env << Run::Exited << 3 << "no python\n"_ba;
        QTest::newRow("MiBs after the version")
            << "printf 'Python 3.12.1\\n'; head -c 8388608 /dev/zero"_ba
            << ""_ba << env << Run::Exited << 0
            << "Python 3.12.1\n"_ba + QByteArray(1024 * 1024 - 14, '\0');
        // A background process holds the output pipe open; it must not hold the caller too.
        QTest::newRow("leaves a child behind")
            << "echo Python 3; sleep 20 &"_ba
            << ""_ba << env << Run::Exited << 0 << "Python 3\n"_ba;
        // Deaf to SIGTERM, with a child of its own holding the FIFO open: both must go.
        QTest::newRow("hangs, with a child")
            << "sleep 20 >\"$HOME/fifo\" & trap '' TERM; printf 'Python '; exec sleep 20"_ba
            << ""_ba << env << Run::TimedOut << -1 << "Python "_ba;
        QTest::newRow("a folder searched first")
            << "echo Python 3.9"_ba
            << "echo Python 3.13"_ba << env << Run::Exited << 0 << "Python 3.13\n"_ba;
    }
    // Every run returns within its timeout, leaves the caller's PATH as it was and leaves nothing
    // holding the FIFO open.
    void probe() {
        QFETCH(QByteArray, python3);
        QFETCH(QByteArray, searchedFirst);
        QFETCH(QString, program);
        addPython(u"bin"_s, python3);
        addPython(u"first"_s, searchedFirst);
        skipUnless("mkfifo fifo");
        const QByteArray searchPath =
            QFile::encodeName(home->filePath(u"bin"_s)) + ":/usr/bin:/bin";
        const auto restore = qScopeGuard([saved = qgetenv("PATH")] { qputenv("PATH", saved); });
        qputenv("PATH", searchPath);
        const int fifo =
            ::open(QFile::encodeName(home->filePath(u"fifo"_s)), O_RDONLY | O_NONBLOCK);
        ProcessRequest request{program, {u"python3"_s, u"--version"_s}, {}, 500ms};
        if (!searchedFirst.isEmpty()) {
            request.searchPath = [first = home->filePath(u"first"_s)](const QString& inherited) {
                return first + u':' + inherited;
            };
        }
        QElapsedTimer clock;
        clock.start();
        const ProcessResult ran = platform->run(request);
        QVERIFY2(clock.elapsed() < 10000, "waited for a child the probe started");
        QTEST(ran.outcome, "outcome");
        QTEST(ran.exitCode, "exitCode");
        QTEST(ran.output, "output");
        char byte = 0;
        QTRY_COMPARE(::read(fifo, &byte, 1), 0);
        ::close(fifo);
    }

    void read_data() {
        QTest::addColumn<QByteArray>("setup"); // makes f below the home folder
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("read"); // "(nothing)": nothing read
        const QByteArray nothing = "(nothing)";
        QTest::newRow("the limit")
            << "head -c 65536 /dev/zero | tr '\\0' t >f"_ba << true << QByteArray(65536, 't');
        QTest::newRow("past the limit") << "head -c 65537 /dev/zero >f"_ba << true << nothing;
        // Opening does not wait for a writer; only a regular file is read.
        QTest::newRow("a FIFO") << "mkfifo f"_ba << true << nothing;
    }
    void read() {
        QFETCH(QByteArray, setup);
        skipUnless(setup);
        const QString path = home->filePath(u"f"_s);
        QTEST(platform->exists(path), "exists");
        QTEST(platform->readFile(path, 65536).value_or("(nothing)"), "read");
    }

    void write_data() {
        QTest::addColumn<QByteArray>("setup"); // run in the home folder; exit 77 skips the row
        QTest::addColumn<QString>("path"); // written with its folder, or the folder alone (…/)
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ownerOnly");
        QTest::addColumn<QString>("error");   // HOME: the home folder
        QTest::addColumn<QString>("listing"); // every entry below home, links as "-> target"
        const QString unchanged = u"unchanged"_s;
        QTest::newRow("new folders and a file") << ""_ba << u"a/b/f"_s << "x\r\0\x01"_ba << false
                                                << u""_s << u"a 755|a/b 755|a/b/f 644 x\r\0\x01"_s;
        QTest::newRow("private, over open ones")
            << "mkdir -m 777 z; printf old >z/f; chmod 666 z/f"_ba << u"z/f"_s << "tok"_ba << true
            << u""_s << u"z 700|z/f 600 tok"_s;
        QTest::newRow("private, a folder of another user")
            << "mkdir z; chown 65534 z || exit 77"_ba << u"z/"_s << ""_ba << true
            << u"“HOME/z” belongs to another user."_s << unchanged;
        QTest::newRow("a link at the file is replaced, its target kept")
            << "mkdir z out; printf old >out/t; ln -s ../out/t z/f"_ba << u"z/f"_s << "tok"_ba
            << true << u""_s << u"out 755|out/t 644 old|z 700|z/f 600 tok"_s;
        QTest::newRow("a linked folder of the user's is used as it is")
            << "mkdir out; ln -s out z"_ba << u"z/f"_s << "tok"_ba << true << u""_s
            << u"out 755|out/f 600 tok|z -> out"_s;
        QTest::newRow("a linked folder others can write to")
            << "mkdir -m 775 out; ln -s out z"_ba << u"z/f"_s << "tok"_ba << true
            << u"“HOME/z” leads to a folder that others can change."_s << unchanged;
        QTest::newRow("a linked folder of another user")
            << "mkdir out; chown 65534 out || exit 77; ln -s out z"_ba << u"z/"_s << ""_ba << true
            << u"“HOME/z” leads to a folder that others can change."_s << unchanged;
        // A write killed before its rename left z/f.tmp-old; only that one is the next write's.
        QTest::newRow("leftovers of a killed write")
            << "mkdir z; cd z; for f in f.tmp-old f.tmp-new f.tmp-o.py g.tmp-old; do printf x >$f;"
               " done; touch -d '2 minutes ago' f.tmp-old f.tmp-o.py g.tmp-old"_ba
            << u"z/f"_s << "tok"_ba << false << u""_s
            << u"z 755|z/f 644 tok|z/f.tmp-new 644 x|z/f.tmp-o.py 644 x|z/g.tmp-old 644 x"_s;
        QTest::newRow("a leftover of another user")
            << "mkdir z; printf x >z/f.tmp-old; chown 65534 z/f.tmp-old || exit 77; "
               "touch -d '2 minutes ago' z/f.tmp-old"_ba
            << u"z/f"_s << "tok"_ba << false << u""_s << u"z 755|z/f 644 tok|z/f.tmp-old 644 x"_s;
        QTest::newRow("a disk full part-way")
            << "mkdir mnt; mount -t tmpfs -o size=16k tmpfs mnt || exit 77; printf old >mnt/f"_ba
            << u"mnt/f"_s << QByteArray(65536, '#') << false
            << u"“HOME/mnt/f” could not be written: No space left on device."_s << unchanged;
    }
    // A failure names its reason and leaves everything as it was, no temporary file included.
    void write() {
        QFETCH(QByteArray, setup);
        QFETCH(QString, path);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ownerOnly);
        skipUnless(setup);
        const QByteArray before = shell(home->path(), ::listing);
        const FileAccess access = ownerOnly ? FileAccess::OwnerOnly : FileAccess::Default;
        const QString target = home->filePath(path);
        FileStatus status = platform->createFolder(QFileInfo(target).path(), access);
        if (status.ok && !path.endsWith(u'/')) {
            status = platform->writeFileAtomically(target, bytes, access);
        }
        QTEST(status.errorDescription.replace(home->path(), u"HOME"_s), "error");
        QCOMPARE(status.ok, status.errorDescription.isEmpty());
        const QByteArray after = shell(home->path(), ::listing);
        QTEST(after == before ? u"unchanged"_s : QString::fromLatin1(after), "listing");
    }

    // Under a file size limit, as `ulimit -f` sets one, a write fails with its reason instead of
    // ending the installer, and leaves the old file and no temporary one.
    void writePastASizeLimit() {
        skipUnless("printf old >f");
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit low{100, saved.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &low), 0);
        const FileStatus status =
            platform->writeFileAtomically(home->filePath(u"f"_s), QByteArray(1000, '#'), {});
        ::setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(status.errorDescription,
                 u"“%1” could not be written: File too large."_s.arg(home->filePath(u"f"_s)));
        QCOMPARE(shell(home->path(), ::listing), "f 644 old");
    }

    void keepPrivate_data() {
        QTest::addColumn<QByteArray>("setup"); // z/f, open to others
        QTest::addColumn<QString>("listing");
        QTest::newRow("closed") << "mkdir z; printf tok >z/f"_ba << u"z 700|z/f 600 tok"_s;
        QTest::newRow("a link at the file")
            << "mkdir z out; printf tok >out/t; ln -s ../out/t z/f"_ba
            << u"out 755|out/t 644 tok|z 755|z/f -> ../out/t"_s;
        QTest::newRow("a linked folder") << "mkdir out; printf tok >out/f; ln -s out z"_ba
                                         << u"out 755|out/f 644 tok|z -> out"_s;
        QTest::newRow("a file of another user")
            << "mkdir z; printf tok >z/f; chown 65534 z/f || exit 77"_ba << u"z 755|z/f 644 tok"_s;
    }
    // What start-up and "Open Token File" find open to others is closed as a save would leave
    // it, unless it is not all the user's own; no byte changes.
    void keepPrivate() {
        QFETCH(QByteArray, setup);
        skipUnless(setup);
        platform->keepPrivate(home->filePath(u"z/f"_s));
        QTEST(QString::fromLatin1(shell(home->path(), ::listing)), "listing");
    }

    void homeFolder_data() {
        QTest::addColumn<QByteArray>("value"); // of HOME; TMP: a folder of the test's
        QTest::addColumn<bool>("taken");       // or else the account's home folder
        QTest::newRow("an existing folder") << "TMP"_ba << true;
        QTest::newRow("as given, with its ..") << "TMP/sub/.."_ba << true;
        QTest::newRow("unset") << QByteArray() << false;
        QTest::newRow("relative") << "."_ba << false;
        QTest::newRow("missing") << "TMP/missing"_ba << false;
    }
    void homeFolder() {
        QFETCH(QByteArray, value);
        QFETCH(bool, taken);
        QVERIFY(QDir(home->path()).mkdir(u"sub"_s));
        value.replace("TMP", QFile::encodeName(home->path()));
        if (value.isNull()) {
            qunsetenv("HOME");
        } else {
            qputenv("HOME", value);
        }
        QCOMPARE(platform->homeDirectory(),
                 QFile::decodeName(taken ? value.constData() : ::getpwuid(::getuid())->pw_dir));
    }

    void probeEndsWithTheInstaller_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QByteArray>("python3"); // it touches "probing" once it holds the FIFO
        QTest::newRow("SIGTERM") << SIGTERM
                                 << "sleep 60 >\"$HOME/fifo\" & touch \"$HOME/probing\"; "
                                    "exec sleep 60 >\"$HOME/fifo\""_ba;
        // Killed outright, the installer can do nothing: the kernel ends the probe, not its
        // children.
        QTest::newRow("SIGKILL") << SIGKILL
                                 << "touch \"$HOME/probing\"; exec sleep 60 >\"$HOME/fifo\""_ba;
    }
    // The real installer, ended while its probe hangs: nothing of the probe may hold the FIFO
    // after.
    void probeEndsWithTheInstaller() {
        QFETCH(int, signal);
        QFETCH(QByteArray, python3);
        addPython(u"bin"_s, python3);
        skipUnless("mkfifo fifo");
        const int fifo =
            ::open(QFile::encodeName(home->filePath(u"fifo"_s)), O_RDONLY | O_NONBLOCK);
        QProcess installer;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"PATH"_s, home->filePath(u"bin"_s) + u":/usr/bin:/bin"_s);
        installer.setProcessEnvironment(environment);
        installer.start(QStringLiteral(ZEPH_INSTALLER_EXECUTABLE), {});
        QTRY_VERIFY(QFile::exists(home->filePath(u"probing"_s)));
        ::kill(static_cast<pid_t>(installer.processId()), signal);
        QVERIFY(installer.waitForFinished());
        char byte = 0;
        QTRY_COMPARE(::read(fifo, &byte, 1), 0);
        ::close(fifo);
    }
};

QTEST_GUILESS_MAIN(TestQtPlatformServices)
#include "TestQtPlatformServices.moc"
