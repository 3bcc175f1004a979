#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The release tool run for real, by /bin/sh as $ZEPH, in a fresh folder that holds a key pair made
// under umask 0 ($KEY is its public half) and a release signed with it: script.py, signed.json.
class TestZephSign : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> folder;

    // The exit status of `commands`, then the first line they printed: to standard output when
    // they succeeded, else to standard error.
    QString run(const QString& commands) {
        QProcess sh;
        sh.setWorkingDirectory(folder->path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"ZEPH"_s, QStringLiteral(ZEPH_SIGN_EXECUTABLE));
        sh.setProcessEnvironment(environment);
        sh.start(u"/bin/sh"_s, {u"-c"_s, commands});
        sh.waitForFinished();
        const QByteArray printed =
            sh.exitCode() == 0 ? sh.readAllStandardOutput() : sh.readAllStandardError();
        return QString::number(sh.exitCode()) + u' ' + QString::fromUtf8(printed.split('\n')[0]);
    }

private Q_SLOTS:
    void init() {
        folder.emplace();
        QCOMPARE(run(u"umask 0; $ZEPH keygen secret.key >public.key && printf \"print('ZEPH')\\n\" "
                     ">script.py && $ZEPH manifest --key secret.key --version 1.4.0 --script-url u "
                     "script.py >signed.json && ls -l secret.key | cut -c1-10"_s),
                 u"0 -rw-------"_s);
    }

    void commands_data() {
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QString>("outcome");
        const QString verify =
            u"$ZEPH verify --public-key $(cat public.key) signed.json script.py"_s;
        const QString sign = u"$ZEPH manifest --script-url u --version 1 script.py --key "_s;
        QTest::newRow("a signed release verifies") << verify << u"0 The signature verifies."_s;
        QTest::newRow("an existing key file is never replaced")
            << u"cp secret.key kept; $ZEPH keygen secret.key; s=$?; cmp -s secret.key kept || s=9; "
               "exit $s"_s
            << u"2 zeph-sign: cannot create secret.key: File exists"_s;
        // Output that cannot be written is a failure, not a release without its signature.
        QTest::newRow("a manifest lost") << sign + u"secret.key >/dev/full"_s
                                         << u"1 zeph-sign: cannot write to standard output: No "
                                            "space left on device"_s;
        QTest::newRow("a public key lost: no key is kept")
            << u"$ZEPH keygen lost.key >/dev/full; s=$?; test -e lost.key && s=9; exit $s"_s
            << u"1 zeph-sign: cannot write the public key to standard output (No space left on "
               "device); no key was kept."_s;
    }
    void commands() {
        QFETCH(QString, commands);
        QTEST(run(commands), "outcome");
    }
};

QTEST_GUILESS_MAIN(TestZephSign)
#include "TestZephSign.moc"
