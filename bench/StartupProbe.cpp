#include "StartupProbe.h"

#include "MonotonicClock.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QWidget>

#include <algorithm>
#include <cstdio>

namespace {

// VmHWM from /proc/self/status, in KiB.
qint64 peakResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

} // namespace

StartupProbe::StartupProbe(QObject* parent)
    : QObject(parent) {
    QCoreApplication::instance()->installEventFilter(this);
}

void StartupProbe::manifestApplied() {
    if (manifestAppliedAt == 0) {
        manifestAppliedAt = monotonicNanoseconds();
        finishWhenComplete();
    }
}

// The filter sees the window's paint before the window does, so a call queued here runs after
// the whole frame has been painted and flushed, and ahead of whatever the window itself queues
// from its paint; a call queued from that one then runs after the window's queued work.
bool StartupProbe::eventFilter(QObject* watched, QEvent* event) {
    if (!paintSeen && event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow()) {
        paintSeen = true;
        QMetaObject::invokeMethod(this, &StartupProbe::painted, Qt::QueuedConnection);
    }
    return false;
}

void StartupProbe::painted() {
    paintedAt = monotonicNanoseconds();
    QMetaObject::invokeMethod(this, &StartupProbe::queuedWorkRan, Qt::QueuedConnection);
}

void StartupProbe::queuedWorkRan() {
    queuedWorkRanAt = monotonicNanoseconds();
    finishWhenComplete();
}

void StartupProbe::finishWhenComplete() {
    if (queuedWorkRanAt == 0 || manifestAppliedAt == 0) {
        return;
    }
    std::printf("paint %lld\nready %lld\npeak %lld\n", static_cast<long long>(paintedAt),
                static_cast<long long>(std::max(queuedWorkRanAt, manifestAppliedAt)),
                static_cast<long long>(peakResidentKiB()));
    std::fflush(stdout);
    Q_EMIT finished();
}
