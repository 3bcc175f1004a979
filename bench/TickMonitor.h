#pragma once

#include <QObject>
#include <QTimer>

// A 5 ms timer on the main thread; the longest time between two of its ticks is the longest the
// event loop was kept from running, which the user sees as a frozen window.
class TickMonitor : public QObject {
    Q_OBJECT

public:
    explicit TickMonitor(QObject* parent = nullptr);

    void start();
    // The longest gap since start(), in milliseconds, the gap up to this call included.
    double stop();

private:
    void tick();

    QTimer timer;
    qint64 lastTickAt = 0;
    qint64 longestGapNs = 0;
};
