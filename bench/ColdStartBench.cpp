#include "ColdStartBench.h"

#include "MonotonicClock.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <cstdio>

using namespace Qt::StringLiterals;

ColdStartBench::ColdStartBench(QString childProgram)
    : childProgram(std::move(childProgram)) {}

ColdStartBench::Comparison ColdStartBench::compare(const QString& platform, int runs,
                                                   bool withStyledFloor) const {
    const int subjects = withStyledFloor ? SubjectCount : Styled;
    const auto warmInstaller = launch(platform, Installer, {});
    if (!warmInstaller) {
        return {};
    }
    const QSize size = warmInstaller->window;
    for (int subject = Bare; subject < subjects; ++subject) {
        if (!launch(platform, Subject(subject), size)) {
            return {};
        }
    }
    // Rotating which goes first evens out any drift over the series.
    Comparison result;
    for (int run = 0; run < runs; ++run) {
        for (int turn = 0; turn < subjects; ++turn) {
            const auto subject = Subject((run + turn) % subjects);
            const auto measured = launch(platform, subject, size);
            if (!measured) {
                return {};
            }
            result[subject].append(*measured);
        }
    }
    return result;
}

std::optional<ColdStartBench::Launch> ColdStartBench::launch(const QString& platform,
                                                             Subject subject, QSize size) const {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, platform);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString mode = std::array{u"installer"_s, u"bare"_s, u"styled"_s}.at(subject);
    const QStringList arguments =
        subject == Installer
            ? QStringList{mode}
            : QStringList{mode, QString::number(size.width()), QString::number(size.height())};
    const qint64 launchedAt = monotonicNanoseconds();
    child.start(childProgram, arguments);
    if (!child.waitForFinished(30'000) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0) {
        std::fprintf(stderr, "zeph_bench: the %s launch on %s failed (exit code %d)\n",
                     qPrintable(mode), qPrintable(platform), child.exitCode());
        return std::nullopt;
    }
    Launch measured;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qint64 value = fields.value(1).toLongLong();
        if (fields.first() == "paint") {
            measured.firstPaintMs = millisecondsBetween(launchedAt, value);
        } else if (fields.first() == "ready") {
            measured.startUpMs = millisecondsBetween(launchedAt, value);
        } else if (fields.first() == "peak") {
            measured.peakMiB = static_cast<double>(value) / 1024.0;
        } else if (fields.first() == "widgets") {
            measured.widgets = static_cast<int>(value);
        } else if (fields.first() == "width") {
            measured.window.setWidth(static_cast<int>(value));
        } else if (fields.first() == "height") {
            measured.window.setHeight(static_cast<int>(value));
        }
    }
    return measured;
}
