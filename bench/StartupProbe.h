#pragma once

#include <QObject>

// Watches a freshly started application from outside, through an event filter on it. It notes
// when the first window has been painted and when the work that the paint queued has run, and
// waits for the caller to report the manifest applied; then it prints the monotonic time of the
// paint and of the whole start-up on stdout, followed by the process's peak resident set, and
// emits finished().
class StartupProbe : public QObject {
    Q_OBJECT

public:
    explicit StartupProbe(QObject* parent = nullptr);

    void manifestApplied();

    bool eventFilter(QObject* watched, QEvent* event) override;

Q_SIGNALS:
    void finished();

private:
    void painted();
    void queuedWorkRan();
    void finishWhenComplete();

    bool paintSeen = false;
    qint64 paintedAt = 0;
    qint64 queuedWorkRanAt = 0;
    qint64 manifestAppliedAt = 0;
};
