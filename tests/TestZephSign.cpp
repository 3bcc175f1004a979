#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

// The release tool run for real in a fresh folder that holds a key pair made under umask 0 and
// a release signed with it: script.py and signed.json.
class TestZephSign : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void keygenMakesAPrivateKey();
    void commands_data();
    void commands();
    void lostOutputFails_data();
    void lostOutputFails();

private:
    struct Run {
        int exitCode = -1;
        QByteArray out, err;
    };
    Run zephSign(const QStringList& arguments, const QString& standardOutput = {});

    std::optional<QTemporaryDir> folder;
    QByteArray publicKey, secretKey;
};

TestZephSign::Run TestZephSign::zephSign(const QStringList& arguments,
                                         const QString& standardOutput) {
    QProcess process;
    process.setWorkingDirectory(folder->path());
    if (!standardOutput.isEmpty()) {
        process.setStandardOutputFile(standardOutput);
    }
    process.start(QStringLiteral(ZEPH_SIGN_EXECUTABLE), arguments);
    process.waitForFinished();
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

void TestZephSign::init() {
    folder.emplace();
    const mode_t umask = ::umask(0);
    publicKey = zephSign({u"keygen"_s, u"secret.key"_s}).out.trimmed();
    ::umask(umask);
    QFile secret(folder->filePath(u"secret.key"_s)), script(folder->filePath(u"script.py"_s));
    QVERIFY(secret.open(QIODevice::ReadOnly) && script.open(QIODevice::WriteOnly));
    secretKey = secret.readAll();
    script.write("print('ZEPH')\n");
    script.close();
    QFile manifest(folder->filePath(u"signed.json"_s));
    QVERIFY(manifest.open(QIODevice::WriteOnly));
    manifest.write(zephSign({u"manifest"_s, u"--key"_s, u"secret.key"_s, u"--version"_s, u"1.4.0"_s,
                             u"--script-url"_s, u"https://h.invalid/s.py"_s, u"script.py"_s})
                       .out);
}

void TestZephSign::keygenMakesAPrivateKey() {
    QCOMPARE(publicKey.size(), 44);
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(folder->filePath(u"secret.key"_s)).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
}

void TestZephSign::commands_data() {
    QTest::addColumn<QByteArray>("setup");  // run by /bin/sh in the folder first
    QTest::addColumn<QString>("arguments"); // split at blanks; KEY: the public key
    QTest::addColumn<QString>("outcome");   // the exit status, then what it printed first
    const QString verify = u"verify --public-key KEY signed.json script.py"_s;
    const QString sign = u"manifest --key secret.key --script-url u script.py --version "_s;
    QTest::newRow("a signed release verifies") << ""_ba << verify << u"0 The signature verifies."_s;
    QTest::newRow("a flipped byte") << "printf \"print('ZEPh')\\n\" >script.py"_ba << verify
                                    << u"1 zeph-sign: the signature does not verify."_s;
    QTest::newRow("no signature")
        << R"(printf '{"version":"1.4.0","script_url":"u"}' >signed.json)"_ba << verify
        << u"1 zeph-sign: the manifest carries no signature."_s;
    QTest::newRow("a public key that is no key")
        << ""_ba << u"verify --public-key c2VjcmV0 signed.json script.py"_s
        << u"2 zeph-sign: the public key is not the base64 of 32 bytes: c2VjcmV0"_s;
    QTest::newRow("an option given twice")
        << ""_ba << u"verify --public-key KEY --public-key KEY s j"_s
        << u"2 zeph-sign: --public-key is given more than once."_s;
    // Without its padding the seed still decodes to 32 bytes, for a lenient decoder.
    QTest::newRow("a key file without its padding")
        << "sed -i s/=// secret.key"_ba << sign + u"1.4.0"_s
        << u"2 zeph-sign: secret.key is not a secret key file (the base64 of a 32-byte seed)."_s;
    QTest::newRow("a version with a line feed")
        << ""_ba << sign + u"1.4\n0"_s
        << u"2 zeph-sign: the version must not contain a line feed."_s;
    QTest::newRow("a FIFO as the key file")
        << "mkfifo pipe.key"_ba << u"manifest --key pipe.key --script-url u --version 1 script.py"_s
        << u"2 zeph-sign: pipe.key is not a regular file."_s;
    QTest::newRow("an existing key file is never replaced")
        << ""_ba << u"keygen secret.key"_s
        << u"2 zeph-sign: cannot create secret.key: File exists"_s;
}

void TestZephSign::commands() {
    QFETCH(QByteArray, setup);
    QFETCH(QString, arguments);
    QCOMPARE(QProcess::execute(u"/bin/sh"_s, {u"-ec"_s, u"cd \"$0\"; "_s + QString::fromUtf8(setup),
                                              folder->path()}),
             0);
    const Run run =
        zephSign(arguments.replace(u"KEY"_s, QString::fromLatin1(publicKey)).split(u' '));
    const QByteArray printed = run.exitCode == 0 ? run.out : run.err;
    QTEST(QString::number(run.exitCode) + u' ' + QString::fromUtf8(printed.split('\n').first()),
          "outcome");
    QCOMPARE(run.out.isEmpty(), run.exitCode != 0);
    QFile secret(folder->filePath(u"secret.key"_s));
    QVERIFY(secret.open(QIODevice::ReadOnly));
    QCOMPARE(secret.readAll() == secretKey, !setup.contains("secret.key"));
}

void TestZephSign::lostOutputFails_data() {
    QTest::addColumn<QString>("arguments");
    QTest::newRow("a signed manifest")
        << u"manifest --key secret.key --version 1 --script-url u script.py"_s;
    QTest::newRow("a public key: no key is kept") << u"keygen lost.key"_s;
}

void TestZephSign::lostOutputFails() {
    QFETCH(QString, arguments);
    QCOMPARE(zephSign(arguments.split(u' '), u"/dev/full"_s).exitCode, 1);
    QVERIFY(!QFile::exists(folder->filePath(u"lost.key"_s)));
}

QTEST_GUILESS_MAIN(TestZephSign)
#include "TestZephSign.moc"
