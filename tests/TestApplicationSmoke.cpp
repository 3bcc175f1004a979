#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The installer as shipped: started with an empty home and a Python that answers at once, it
// opens its window and keeps running until it is closed.
class TestApplicationSmoke : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void staysUpAfterStarting();
};

void TestApplicationSmoke::staysUpAfterStarting() {
    QTemporaryDir home;
    QTemporaryDir bin;
    QVERIFY(home.isValid() && bin.isValid());
    QFile python(bin.filePath(u"python3"_s));
    QVERIFY(python.open(QIODevice::WriteOnly));
    python.write("#!/bin/sh\necho 'Python 3.12.1'\n");
    python.close();
    QVERIFY(python.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"HOME"_s, home.path());
    environment.insert(u"PATH"_s, bin.path() + u":/usr/bin:/bin"_s);
    QProcess installer;
    installer.setProcessEnvironment(environment);
    installer.setProcessChannelMode(QProcess::ForwardedChannels);
    installer.start(QString::fromUtf8(ZEPH_INSTALLER_EXECUTABLE), {});
    QVERIFY(installer.waitForStarted());

    QVERIFY2(!installer.waitForFinished(2000), "the installer ended on its own");
    QCOMPARE(installer.state(), QProcess::Running);
    installer.kill();
    QVERIFY(installer.waitForFinished());
}

QTEST_GUILESS_MAIN(TestApplicationSmoke)
#include "TestApplicationSmoke.moc"
