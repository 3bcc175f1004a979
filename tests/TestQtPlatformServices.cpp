#include "CaseFile.h"
#include "HttpTestServer.h"
#include "QtPlatformServices.h"

#include <QElapsedTimer>
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

namespace {

// Runs `script` with /bin/sh in `folder`: what it printed, or its exit status and errors.
QByteArray shell(const QString& folder, const QByteArray& script) {
    QProcess sh;
    sh.setWorkingDirectory(folder);
    sh.start(u"/bin/sh"_s, {u"-ec"_s, QString::fromUtf8(script)});
    sh.waitForFinished();
    return sh.exitCode() == 0
               ? sh.readAllStandardOutput()
               : "exit " + QByteArray::number(sh.exitCode()) + ": " + sh.readAllStandardError();
}

// Every entry below the folder with its mode and content, links listed and never followed.
const QByteArray listing = "find . -mindepth 1 -type l -printf '%P -> %l\\n' -o -type f -printf "
                           "'%P %m ' -exec cat {} \\; -printf '\\n' -o -printf '%P %m\\n' | "
                           "LC_ALL=C sort | paste -sd '|'";

} // namespace

// The platform seam against the real thing, case by case from data/QtPlatformServices.cases.
class TestQtPlatformServices : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void cases_data();
    void cases();

private:
    void play(const QByteArray& verb, const QByteArray& argument);
    QStringList shown() const;

    HttpTestServer server;
    // For each path ("*": any other), the verb that serves it and the bytes it answers.
    QMap<QByteArray, std::pair<QByteArray, QByteArray>> routes;
    std::optional<QTemporaryDir> home;
    std::unique_ptr<QtPlatformServices> platform;
    std::optional<HttpReply> reply;
    int completions = 0;
    ProcessResult ran;
    FileStatus status;
    std::optional<std::optional<QByteArray>> read;
    bool exists = false;
    QByteArray before;
};

void TestQtPlatformServices::init() {
    home.emplace();
    qputenv("HOME", QFile::encodeName(home->path()));
    ::umask(022);
    platform = std::make_unique<QtPlatformServices>();
    server.requests.clear();
    routes.clear();
    server.setHandler([this](const HttpTestServer::Request& request, QTcpSocket& socket) {
        const auto [verb, bytes] = routes.value(request.target, routes.value("*"));
        if (verb == "serve-slowly") {
            const qsizetype body = bytes.indexOf("\r\n\r\n") + 4;
            socket.write(bytes.left(body));
            HttpTestServer::drip(socket, bytes.mid(body), 10, 100ms);
        } else {
            socket.write(bytes);
        }
        if (verb == "serve-and-hang-up") {
            socket.disconnectFromHost();
        }
    });
    reply.reset();
    completions = 0;
    read.reset();
    status = {};
}

// A mount left by a failed case would keep the temporary home from being removed.
void TestQtPlatformServices::cleanup() {
    if (QFileInfo(home->filePath(u"mnt"_s)).isDir()) {
        QProcess::execute(u"umount"_s, {home->filePath(u"mnt"_s)});
    }
}

void TestQtPlatformServices::cases_data() {
    addCaseRows(u"QtPlatformServices.cases"_s);
}

void TestQtPlatformServices::cases() {
    QFETCH(Case, testCase);
    for (const auto& [verb, argument] : testCase.steps) {
        const QByteArray setup = verb == "setup" ? shell(home->path(), argument) : QByteArray();
        if (setup.startsWith("exit 77")) {
            QSKIP("This user may not do what the case needs (mount a tmpfs, give a folder away).");
        }
        QCOMPARE(setup, QByteArray());
        play(verb, argument);
        if (QTest::currentTestFailed()) {
            return;
        }
    }
}

void TestQtPlatformServices::play(const QByteArray& verb, const QByteArray& argument) {
    const QList<QByteArray> words = Case::words(argument, 2);
    if (verb.startsWith("serve")) {
        QByteArray bytes = words.value(1);
        if (verb == "serve-deflate-bomb") {
            const QByteArray bomb = qCompress(QByteArray(16 * 1024 * 1024, '\0')).mid(4);
            bytes += "Content-Length: " + QByteArray::number(bomb.size()) + "\r\n\r\n" + bomb;
        }
        routes.insert(words[0],
                      {verb, bytes.replace("PORT", QByteArray::number(server.serverPort()))});
    } else if (verb == "get" || verb == "get-from-a-window-that-closes") {
        const QList<QByteArray> options = argument.split(' ');
        HttpRequest request{server.url(u"/a"_s),
                            std::chrono::milliseconds(options[0].toInt()),
                            options[1].toLongLong(),
                            std::nullopt,
                            {}};
        if (const qsizetype deadline = options.indexOf("deadline"); deadline > 0) {
            request.deadline = std::chrono::milliseconds(options[deadline + 1].toInt());
        }
        if (options.contains("only-here")) {
            request.acceptsRedirect = [](const QUrl& to) {
                return to.host() == "127.0.0.1"_L1;
            };
        }
        auto window = std::make_unique<QObject>();
        platform->get(request, window.get(), [this](const HttpReply& answer) {
            reply = answer;
            ++completions;
        });
        if (verb == "get") {
            QTRY_VERIFY_WITH_TIMEOUT(reply, 10000);
            QVERIFY(server.requests.first().head.contains("\r\naccept-encoding: identity\r\n"));
        }
    } else if (verb == "wait") {
        QTest::qWait(argument.toInt());
    } else if (verb == "quit") {
        platform.reset();
    } else if (verb == "python3") {
        QCOMPARE(shell(home->path(), "mkdir -p " + words[0] + "; cat >" + words[0] +
                                         "/python3 <<'END'\n#!/bin/sh\n" + words.value(1) +
                                         "\nEND\nchmod +x */python3"),
                 QByteArray());
    } else if (verb == "run") {
        const QByteArray searchPath =
            QFile::encodeName(home->filePath(u"bin"_s)) + ":/usr/bin:/bin";
        const auto restore = qScopeGuard([saved = qgetenv("PATH")] { qputenv("PATH", saved); });
        qputenv("PATH", searchPath);
        const int fifo =
            ::open(QFile::encodeName(home->filePath(u"fifo"_s)), O_RDONLY | O_NONBLOCK);
        QElapsedTimer clock;
        clock.start();
        const bool first = QFile::exists(home->filePath(u"first"_s));
        ran = platform->run({argument.isEmpty() ? u"/usr/bin/env"_s : QString::fromUtf8(argument),
                             {u"python3"_s, u"--version"_s},
                             first ? QStringList{home->filePath(u"first"_s)} : QStringList{},
                             500ms});
        QVERIFY(ran.output.size() <= 1024 * 1024);
        QVERIFY2(clock.elapsed() < 10000, "waited for a child the probe started");
        QCOMPARE(qgetenv("PATH"), searchPath); // only the child's search path changes
        // End of file once no process holds the FIFO open any more.
        char byte = 0;
        QTRY_VERIFY(fifo < 0 || ::read(fifo, &byte, 1) == 0);
        ::close(fifo);
    } else if (verb == "expect") {
        const QStringList lines = shown();
        const QString text = QString::fromUtf8(argument);
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [&](const QString& line) { return line.startsWith(text); }),
                 qPrintable(text + u"\nnot in:\n"_s + lines.join(u'\n')));
    } else if (verb != "setup") {
        // read, exists, folder, write: each with a path below home and, for write, the bytes.
        before = shell(home->path(), listing);
        const FileAccess access =
            verb.startsWith("private-") ? FileAccess::OwnerOnly : FileAccess::Default;
        const QString target = home->filePath(QString::fromUtf8(words[0]));
        if (verb == "read") {
            read = platform->readFile(target, 65536);
        } else if (verb == "exists") {
            exists = platform->exists(target);
        } else {
            QVERIFY2(verb.endsWith("folder") || verb.endsWith("write"), verb.constData());
            status = platform->createFolder(
                verb.endsWith("folder") ? target : QFileInfo(target).path(), access);
            if (status.ok && verb.endsWith("write")) {
                status = platform->writeFileAtomically(target, words.value(1), access);
            }
        }
    }
}

QStringList TestQtPlatformServices::shown() const {
    const char* const replies[] = {"Answered", "Failed", "TooLarge", "DeadlineExceeded",
                                   "RedirectRefused"};
    const char* const runs[] = {"Exited", "FailedToStart", "Crashed", "TimedOut"};
    const QByteArray now = shell(home->path(), listing);
    QStringList lines{
        u"outcome: "_s + QString::fromLatin1(runs[int(ran.outcome)]),
        u"exit: %1"_s.arg(ran.exitCode),
        u"output: "_s + QString::fromLatin1(ran.output),
        u"completions: %1"_s.arg(completions),
        u"requests: %1"_s.arg(server.requests.size()),
        u"read: "_s + (read && *read ? QString::fromLatin1(**read) : u"(nothing)"_s),
        u"exists: "_s + (exists ? u"yes"_s : u"no"_s),
        u"error: "_s + (status.ok
                            ? u"(none)"_s
                            : QString(status.errorDescription).replace(home->path(), u"HOME"_s)),
        u"listing: "_s + (now == before ? u"unchanged"_s : QString::fromLatin1(now).trimmed())};
    if (reply) {
        lines << u"outcome: "_s + QString::fromLatin1(replies[int(reply->outcome)])
              << u"status: %1"_s.arg(reply->statusCode)
              << u"body: "_s + (reply->body ? QString::fromLatin1(*reply->body) : u"(none)"_s)
              << u"body size: %1"_s.arg(reply->body.value_or(QByteArray()).size())
              << u"error: "_s + reply->errorDescription;
    }
    return lines;
}

QTEST_GUILESS_MAIN(TestQtPlatformServices)
#include "TestQtPlatformServices.moc"
