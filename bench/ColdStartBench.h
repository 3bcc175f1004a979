#pragma once

#include <QList>
#include <QSize>
#include <QString>

#include <array>
#include <optional>

// Cold starts of the installer and of the bare window, each a fresh process of
// zeph_bench_window, launched in turn so that all meet the same machine.
class ColdStartBench {
public:
    enum Subject {
        Installer,
        Bare,   // the bare window in the application font: the floor
        Styled, // the bare window in the installer's text styles
        SubjectCount,
    };
    struct Launch {
        double firstPaintMs = 0; // from just before the launch to the first painted frame
        double startUpMs = 0;    // to the end of start-up, the manifest applied
        double peakMiB = 0;      // VmHWM at that point
        int widgets = 0;
        QSize window;
    };
    using Comparison = std::array<QList<Launch>, SubjectCount>;

    explicit ColdStartBench(QString childProgram);

    // `runs` launches of each subject on the Qt platform plugin `platform`, in rotating order,
    // after one unmeasured launch of each to warm the disk and font caches; the styled floor only
    // when asked for. Empty lists when a launch failed.
    Comparison compare(const QString& platform, int runs, bool withStyledFloor) const;

private:
    // The bare windows are given the size the installer's window took on the same platform.
    std::optional<Launch> launch(const QString& platform, Subject subject, QSize size) const;

    QString childProgram;
};
