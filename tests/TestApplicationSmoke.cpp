#include "HttpTestServer.h"
#include "InstallerWindow.h"
#include "QtPlatformServices.h"
#include "ZEPHInstallerApp.h"

#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The installer as shipped, built with a manifest address on this machine, started with an empty
// home and a Python that answers at once.
class TestApplicationSmoke : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsUpAndShowsTheServedVersion();
};

void TestApplicationSmoke::startsUpAndShowsTheServedVersion() {
    const QUrl manifest(QString::fromUtf8(ZEPH_MANIFEST_URL));
    if (manifest.host() != "127.0.0.1"_L1) {
        QSKIP("Configure with -DZEPH_MANIFEST_URL=http://127.0.0.1:<port>/… to run the smoke.");
    }
    HttpTestServer server(static_cast<quint16>(manifest.port()));
    server.setHandler([](const HttpTestServer::Request&, QTcpSocket& socket) {
        socket.write(HttpTestServer::answer(200, R"({"version":"9.8.7","script_url":""})"));
    });
    QTemporaryDir home;
    QFile python(home.filePath(u"python3"_s));
    QVERIFY(python.open(QIODevice::WriteOnly));
    python.write("#!/bin/sh\ntouch \"$HOME/probed\"; echo 'Python 3.12.1'\n");
    python.close();
    QVERIFY(python.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("PATH", QFile::encodeName(home.path()) + ":/usr/bin:/bin");

    // The executable: it probes Python, asks this server for the manifest and keeps its window.
    QProcess installer;
    installer.start(QString::fromUtf8(ZEPH_INSTALLER_EXECUTABLE), {});
    QTRY_COMPARE(server.requests.size(), 1);
    QCOMPARE(server.requests.first().target, manifest.path().toUtf8());
    QTRY_VERIFY(QFile::exists(home.filePath(u"probed"_s)));
    QCOMPARE(installer.state(), QProcess::Running);
    installer.kill();
    QVERIFY(installer.waitForFinished());

    // What its main() builds, in this process so that the window can be read.
    QtPlatformServices platform;
    ZEPHInstallerApp application(platform);
    const InstallerWindow* window = application.openWindow();
    QTRY_COMPARE(window->findChild<QLabel*>(u"manifestVersion"_s)->text(), u"9.8.7"_s);
    QCOMPARE(window->findChild<QLabel*>(u"pythonStatus"_s)->text(), u"Python 3.12.1"_s);
}

QTEST_MAIN(TestApplicationSmoke)
#include "TestApplicationSmoke.moc"
