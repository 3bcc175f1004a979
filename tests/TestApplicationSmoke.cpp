#include "HttpTestServer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The installer as shipped, built with a manifest address on this machine: started with an
// empty home and a Python that answers at once, it probes Python, asks this server for the
// manifest and keeps its window open.
class TestApplicationSmoke : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsUpAgainstTheConfiguredServer();
};

void TestApplicationSmoke::startsUpAgainstTheConfiguredServer() {
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

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, home.path());
    environment.insert(u"PATH"_s, home.path() + u":/usr/bin:/bin"_s);
    QProcess installer;
    installer.setProcessEnvironment(environment);
    installer.start(QString::fromUtf8(ZEPH_INSTALLER_EXECUTABLE), {});
    QVERIFY(installer.waitForStarted());
    QTRY_COMPARE(server.requests.size(), 1);
    QCOMPARE(server.requests.first().target, manifest.path().toUtf8());
    QTRY_VERIFY(QFile::exists(home.filePath(u"probed"_s)));
    QCOMPARE(installer.state(), QProcess::Running);
    installer.kill();
    QVERIFY(installer.waitForFinished());
}

QTEST_GUILESS_MAIN(TestApplicationSmoke)
#include "TestApplicationSmoke.moc"
