// The probe's child: one at a time, run to its end in a process group of its own that ends with
// the application, however the application ends.

#include "QtPlatformServices.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QScopeGuard>

#include <csignal>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// A version line is a few dozen bytes; a child that prints more than this is drained but only
// this much of its output is kept.
constexpr qsizetype maxOutputBytes = 1024 * 1024;

// The process group of the child under way, if any: what ends with the application.
volatile std::sig_atomic_t runningGroup = 0;

void endRunningGroupFirst(int signal) {
    if (runningGroup > 0) {
        ::kill(-runningGroup, SIGKILL);
    }
    ::raise(signal);
}

} // namespace

// Only where the signal would end the application at once anyway: a disposition someone else
// chose is left alone. The handler resets itself, so the raised signal takes its default course.
void QtPlatformServices::endChildrenWithTheApplication() {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction handler {};
            handler.sa_handler = endRunningGroupFirst;
            handler.sa_flags = SA_RESETHAND;
            ::sigaction(signal, &handler, nullptr);
        }
    }
}

ProcessResult QtPlatformServices::run(const ProcessRequest& request) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    if (request.searchPath) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"PATH"_s, request.searchPath(environment.value(u"PATH"_s)));
        process.setProcessEnvironment(environment);
    }
    // A group of its own, so that the timeout, or the application's end, also ends whatever the
    // child started.
    const pid_t application = ::getpid();
    process.setChildProcessModifier([application] {
        ::setpgid(0, 0);
#ifdef Q_OS_LINUX
        // The kernel ends the child with the application, however the application ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != application) {
            ::_exit(127);
        }
#else
        Q_UNUSED(application);
#endif
    });
    process.start(request.program, request.arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted()) {
        return {ProcessResult::Outcome::FailedToStart, -1, {}};
    }
    runningGroup = static_cast<std::sig_atomic_t>(process.processId());
    const auto childEnded = qScopeGuard([] { runningGroup = 0; });

    QByteArray output;
    const auto drain = [&] {
        const QByteArray chunk = process.readAll();
        output.append(chunk.left(maxOutputBytes - output.size()));
    };
    // Keep reading while waiting: a child whose output fills the pipe would otherwise stall.
    const QDeadlineTimer deadline(request.timeout);
    bool timedOut = false;
    while (process.state() != QProcess::NotRunning) {
        const int remaining = static_cast<int>(deadline.remainingTime());
        const bool readSome = process.waitForReadyRead(remaining);
        drain();
        if (deadline.hasExpired() ||
            (!readSome && !process.waitForFinished(static_cast<int>(deadline.remainingTime())))) {
            timedOut = process.state() != QProcess::NotRunning;
            break;
        }
    }
    if (timedOut) {
        ::kill(-static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished();
        return {ProcessResult::Outcome::TimedOut, -1, output};
    }
    drain();
    if (process.exitStatus() == QProcess::CrashExit) {
        return {ProcessResult::Outcome::Crashed, -1, output};
    }
    return {ProcessResult::Outcome::Exited, process.exitCode(), output};
}
