#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The release tool run for real, by /bin/sh as $ZEPH, in a fresh folder that holds a key pair made
// under umask 0 (secret.key, public.key) and a release signed with it: script.py, signed.json.
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
        QCOMPARE(
            run(u"umask 0; $ZEPH keygen secret.key >public.key && printf \"print('ZEPH')\\n\" "
                ">script.py && $ZEPH manifest --key secret.key --version 1.4.0 --script-url "
                "https://example.com/s.py --output signed.json script.py && ls -l secret.key | "
                "cut -c1-10"_s),
            u"0 -rw-------"_s);
    }

    void commands_data() {
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QString>("outcome");
        const QString verify = u"$ZEPH verify --public-key $(cat public.key) "_s;
        const QString sign = u"$ZEPH manifest --key secret.key --output signed.json "_s;
        const QString from = u"--script-url https://example.com/s.py "_s;
        const QString release = u"--version 1.4.0 "_s + from;
        // A secret key file in the format of the first releases: the seed of 32 zero bytes.
        const QString oldKey =
            u"printf 'AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=\\n' >old.key; chmod 600 old.key; "_s;
        const QString zeroSeedPublicKey = u"O2onvM62pC1io6jQKm8Nc2UyFXcd4kOmOsBIoYtZ2ik="_s;
        const auto refused = [](const QString& rule) {
            return u"1 zeph-sign: "_s + rule;
        };
        QTest::newRow("a signed release verifies")
            << verify + u"signed.json script.py"_s << u"0 The signature verifies."_s;
        QTest::newRow("an existing key file is never replaced")
            << u"cp secret.key kept; $ZEPH keygen secret.key; s=$?; cmp -s secret.key kept || s=9; "
               "exit $s"_s
            << u"2 zeph-sign: cannot create secret.key: File exists"_s;
        // The reader is gone before keygen writes: SIGPIPE would end it with the key kept.
        QTest::newRow("a public key lost: no key is kept")
            << u"mkfifo f; { read x <f; $ZEPH keygen k.key; echo $? >s; } | { exec <&-; echo >f; "
               u"}; "
               "test -e k.key && exit 9; exit $(cat s)"_s
            << u"1 zeph-sign: cannot write the public key to standard output (Broken pipe); no key "
               "was kept."_s;
        // Output that cannot be written is a failure, not a result that a script would take.
        QTest::newRow("a public key printed nowhere")
            << u"$ZEPH public-key secret.key >/dev/full"_s
            << u"1 zeph-sign: cannot write to standard output: No space left on device"_s;
        QTest::newRow("an old secret key upgraded in place")
            << oldKey + u"p=$($ZEPH upgrade-key old.key) && echo $p $($ZEPH public-key old.key) "
                        "$(ls -l old.key | cut -c1-10)"_s
            << u"0 %1 %1 -rw-------"_s.arg(zeroSeedPublicKey);
        QTest::newRow("an old key that cannot be rewritten stays")
            << oldKey + u"cp old.key kept; (ulimit -f 0; $ZEPH upgrade-key old.key); s=$?; cmp -s "
                        "old.key kept || s=9; exit $s"_s
            << u"1 zeph-sign: cannot write old.key: File too large"_s;
        QTest::newRow("a public key, or an old secret key, signs nothing")
            << u"$ZEPH manifest --key public.key --output m.json "_s + release + u"script.py"_s
            << u"2 zeph-sign: public.key holds a public key; sign with the secret key file. Or, if "
               "it is a secret key in the old format, which looks the same, rewrite it first: "
               "zeph-sign upgrade-key public.key"_s;
        QTest::newRow("a file that is no key")
            << u"$ZEPH public-key script.py"_s
            << u"2 zeph-sign: script.py is not a zeph-sign secret key file."_s;
        QTest::newRow("a current key needs no upgrade")
            << u"$ZEPH upgrade-key secret.key"_s
            << u"2 zeph-sign: secret.key is not a secret key in the old format (the base64 of a "
               "32-byte seed on one line)."_s;
        QTest::newRow("a secret key others can read")
            << u"chmod 640 secret.key; $ZEPH public-key secret.key"_s
            << u"2 zeph-sign: permissions 0640 for secret.key are too open: a secret key file must "
               "be readable by you alone. Run: chmod 600 secret.key"_s;
        QTest::newRow("a key file is read up to 4 KiB")
            << u"head -c 4097 /dev/zero >big.key; $ZEPH public-key big.key"_s
            << u"2 zeph-sign: big.key is larger than 4 KiB: it is not a key file."_s;
        QTest::newRow("the secret key is not a public key")
            << u"$ZEPH verify --public-key \"$(cat secret.key)\" signed.json script.py"_s
            << u"2 zeph-sign: --public-key was given the secret key: the secret must never be "
               u"given "
               "out nor built into an installer. Give its public key, which zeph-sign public-key "
               "prints."_s;
        // A failed write, here past a file size limit, leaves the published manifest as it was.
        QTest::newRow("a manifest that cannot be written: the old one stays")
            << u"cp signed.json kept; (ulimit -f 0; "_s + sign + release +
                   u"script.py); s=$?; cmp -s signed.json kept || s=9; ls | grep -q tmp && s=8; "
                   "exit $s"_s
            << refused(u"cannot write signed.json: File too large"_s);
        const QString address = refused(
            u"the script address must be an absolute https:// address (plain http:// only to this "
            "machine): installers download a script from nowhere else."_s);
        QTest::newRow("http to this machine, not elsewhere")
            << sign +
                   u"--version 1 --script-url http://127.0.0.1:47813/s.py script.py || exit 7; "_s +
                   sign + u"--version 1 --script-url http://example.com/s.py script.py"_s
            << address;
        QTest::newRow("an address installers cannot read")
            << sign + u"--version 1 --script-url 'https://example.com/a b' script.py"_s << address;
        const QString dotted = refused(u"the version must be dotted numbers, such as 1.4.0: "
                                       "installers compare versions number by number."_s);
        QTest::newRow("an empty version")
            << sign + u"--version '' "_s + from + u"script.py"_s << dotted;
        QTest::newRow("a version with a line feed")
            << sign + u"--version \"$(printf '1\\n2')\" "_s + from + u"script.py"_s
            << refused(u"the version must not contain a line feed."_s);
        QTest::newRow("an empty script")
            << u": >e.py; "_s + sign + release + u"e.py"_s
            << refused(u"the script is empty: installers refuse an empty script."_s);
        QTest::newRow("a script over 64 MiB")
            << u"head -c 67108865 /dev/zero >big.py; "_s + sign + release + u"big.py"_s
            << refused(u"the script is larger than 64 MiB: installers read no more."_s);
        QTest::newRow("a web page")
            << u"echo '<html>' >page.py; "_s + sign + release + u"page.py"_s
            << refused(u"the script starts with “<”, as a web page does: installers refuse such a "
                       "script."_s);
        QTest::newRow("verify refuses what installers refuse")
            << u"sed s/https/http/ signed.json >http.json; "_s + verify + u"http.json script.py"_s
            << address;
        QTest::newRow("a manifest over 1 MiB")
            << u"head -c 1048577 /dev/zero >big.json; "_s + verify + u"big.json script.py"_s
            << refused(u"big.json is larger than 1 MiB: installers refuse such a manifest."_s);
        QTest::newRow("help") << u"$ZEPH --help"_s
                              << u"0 usage: zeph-sign keygen SECRET_KEY_FILE"_s;
        QTest::newRow("a command's help")
            << u"$ZEPH upgrade-key --help"_s
            << u"0 usage: zeph-sign upgrade-key OLD_SECRET_KEY_FILE"_s;
        QTest::newRow("one file argument")
            << u"$ZEPH public-key"_s << u"2 zeph-sign: expected 1 file argument."_s;
    }
    void commands() {
        QFETCH(QString, commands);
        QTEST(run(commands), "outcome");
    }
};

QTEST_GUILESS_MAIN(TestZephSign)
#include "TestZephSign.moc"
