#pragma once

#include <QtGlobal>

#include <chrono>

// CLOCK_MONOTONIC is one clock for every process of the machine, so a time taken by the driver
// before a launch and one printed by the child can be subtracted.
inline qint64 monotonicNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline double millisecondsBetween(qint64 startNs, qint64 endNs) {
    return static_cast<double>(endNs - startNs) / 1e6;
}
