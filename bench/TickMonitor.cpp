#include "TickMonitor.h"

#include "MonotonicClock.h"

#include <algorithm>

TickMonitor::TickMonitor(QObject* parent)
    : QObject(parent) {
    timer.setInterval(5);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &TickMonitor::tick);
}

void TickMonitor::start() {
    longestGapNs = 0;
    lastTickAt = monotonicNanoseconds();
    timer.start();
}

double TickMonitor::stop() {
    tick();
    timer.stop();
    return static_cast<double>(longestGapNs) / 1e6;
}

void TickMonitor::tick() {
    const qint64 now = monotonicNanoseconds();
    longestGapNs = std::max(longestGapNs, now - lastTickAt);
    lastTickAt = now;
}
