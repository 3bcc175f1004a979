#include "PythonSearchPath.h"

#include <QTest>

using namespace Qt::StringLiterals;
using OperatingSystem = PythonSearchPath::OperatingSystem;

class TestPythonSearchPath : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void probeSearchPath_data();
    void probeSearchPath();
};

void TestPythonSearchPath::probeSearchPath_data() {
    QTest::addColumn<OperatingSystem>("system");
    QTest::addColumn<QString>("inherited");
    QTest::addColumn<QString>("searched");

    const QString macFirst = u"/Library/Frameworks/Python.framework/Versions/Current/bin:"
                             "/usr/local/bin:/opt/homebrew/bin"_s;
    QTest::newRow("mac, opened from the Finder")
        << OperatingSystem::MacOS << u"/usr/bin:/bin:/usr/sbin:/sbin"_s
        << macFirst + u":/usr/bin:/bin:/usr/sbin:/sbin"_s;
    QTest::newRow("mac, inherited already has them")
        << OperatingSystem::MacOS << u"/opt/homebrew/bin:/usr/bin:/usr/local/bin"_s
        << macFirst + u":/usr/bin"_s;
    QTest::newRow("mac, duplicates in the inherited path")
        << OperatingSystem::MacOS << u"/usr/bin:/bin:/usr/bin"_s << macFirst + u":/usr/bin:/bin"_s;
    QTest::newRow("mac, no inherited path") << OperatingSystem::MacOS << QString() << macFirst;
    QTest::newRow("elsewhere, kept as inherited")
        << OperatingSystem::Other << u"/home/u/bin:/usr/bin:/bin"_s
        << u"/home/u/bin:/usr/bin:/bin"_s;
}

void TestPythonSearchPath::probeSearchPath() {
    QFETCH(OperatingSystem, system);
    QFETCH(QString, inherited);
    QFETCH(QString, searched);

    QCOMPARE(PythonSearchPath::preferring(PythonSearchPath::preferredFolders(system), inherited),
             searched);
}

QTEST_GUILESS_MAIN(TestPythonSearchPath)
#include "TestPythonSearchPath.moc"
