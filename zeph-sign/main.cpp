// zeph-sign: makes the key pair that signs released scripts, writes the signed manifest of each
// release and checks a manifest against its script.

#include "ResolveManifest.h"
#include "ScriptSignature.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>

#include <sodium.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int rejected = 1;
constexpr int usageError = 2;

const QString usage =
    u"usage: zeph-sign keygen SECRET_KEY_FILE\n"
    "       zeph-sign manifest --key SECRET_KEY_FILE --version V --script-url URL "
    "SCRIPT_FILE\n"
    "       zeph-sign verify --public-key KEY MANIFEST_FILE SCRIPT_FILE"_s;

// Ends the command: main prints the message and exits with the status.
struct Failure {
    QString message;
    int status = usageError;
};

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// False when the text could not be written out whole (a closed or full standard output).
bool print(std::FILE* stream, const QString& text) {
    return std::fputs((text + u'\n').toLocal8Bit().constData(), stream) >= 0 &&
           std::fflush(stream) == 0;
}

// Standard output is what a release script keeps: it must have taken everything.
void printResult(const QString& text) {
    if (!print(stdout, text)) {
        throw Failure{u"cannot write to standard output: %1"_s.arg(systemError(errno)), rejected};
    }
}

// The values of `options`, each required, then exactly `fileCount` further arguments.
QStringList parse(const QStringList& arguments, const QStringList& options, qsizetype fileCount) {
    QCommandLineParser parser;
    for (const QString& option : options) {
        parser.addOption({option, QString(), option});
    }
    if (!parser.parse(arguments)) {
        throw Failure{parser.errorText() + u'\n' + usage};
    }
    QStringList values;
    for (const QString& option : options) {
        if (!parser.isSet(option)) {
            throw Failure{u"--%1 is missing.\n"_s.arg(option) + usage};
        }
        if (parser.values(option).size() > 1) {
            throw Failure{u"--%1 is given more than once.\n"_s.arg(option) + usage};
        }
        values << parser.value(option);
    }
    if (parser.positionalArguments().size() != fileCount) {
        throw Failure{u"expected %1 file arguments.\n"_s.arg(fileCount) + usage};
    }
    return values + parser.positionalArguments();
}

QByteArray readFile(const QString& path) {
    // Reading a FIFO or a device could wait for ever or never end.
    if (QFileInfo::exists(path) && !QFileInfo(path).isFile()) {
        throw Failure{u"%1 is not a regular file."_s.arg(path)};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw Failure{u"cannot read %1: %2"_s.arg(path, file.errorString())};
    }
    return file.readAll();
}

const unsigned char* bytes(const QByteArray& data) {
    return reinterpret_cast<const unsigned char*>(data.constData());
}

QString base64(const unsigned char* data, size_t size) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).toBase64());
}

bool writeAll(int fd, QByteArrayView data) {
    while (!data.isEmpty()) {
        const ssize_t written = ::write(fd, data.data(), static_cast<size_t>(data.size()));
        if (written <= 0 && errno != EINTR) {
            return false;
        }
        data = data.sliced(qMax<ssize_t>(written, 0));
    }
    return true;
}

// The secret key file holds the base64 of the 32-byte seed on one line; the seed alone makes
// both halves of the key pair.
int keygen(const QStringList& values) {
    unsigned char seed[crypto_sign_SEEDBYTES];
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    // Whichever way the command ends, the secret does not stay behind in freed memory.
    const auto forget = qScopeGuard([&] {
        sodium_memzero(seed, sizeof seed);
        sodium_memzero(secretKey, sizeof secretKey);
    });
    randombytes_buf(seed, sizeof seed);
    crypto_sign_seed_keypair(publicKey, secretKey, seed);
    const QByteArray path = QFile::encodeName(values[0]);
    // O_EXCL: an existing key, perhaps the one every shipped installer trusts, is never replaced.
    const int fd =
        ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw Failure{u"cannot create %1: %2"_s.arg(values[0], systemError(errno))};
    }
    // The umask may have taken bits from the mode open() was given.
    bool written = ::fchmod(fd, 0600) == 0 &&
                   writeAll(fd, (base64(seed, sizeof seed) + u'\n').toLatin1()) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(path.constData());
        throw Failure{u"cannot write %1: %2"_s.arg(values[0], systemError(error)), rejected};
    }
    // A key pair whose public half nobody saw is of no use, and its file would block the name.
    if (!print(stdout, base64(publicKey, sizeof publicKey))) {
        const int error = errno;
        ::unlink(path.constData());
        throw Failure{
            u"cannot write the public key to standard output (%1); no key was kept."_s.arg(
                systemError(error)),
            rejected};
    }
    return 0;
}

int manifest(const QStringList& values) {
    std::optional<QByteArray> seed = ScriptSignature::decodeBase64(
        QString::fromLatin1(readFile(values[0]).trimmed()), crypto_sign_SEEDBYTES);
    const auto forgetSeed = qScopeGuard([&] {
        if (seed) {
            sodium_memzero(seed->data(), static_cast<size_t>(seed->size()));
        }
    });
    if (!seed) {
        throw Failure{
            u"%1 is not a secret key file (the base64 of a 32-byte seed)."_s.arg(values[0])};
    }
    if (!ScriptSignature::isSignable(values[1])) {
        throw Failure{u"the version must not contain a line feed."_s};
    }
    const QByteArray message = ScriptSignature::signedBytes(values[1], readFile(values[3]));
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    unsigned char signature[crypto_sign_BYTES];
    const auto forget = qScopeGuard([&] { sodium_memzero(secretKey, sizeof secretKey); });
    crypto_sign_seed_keypair(publicKey, secretKey, bytes(*seed));
    crypto_sign_detached(signature, nullptr, bytes(message),
                         static_cast<unsigned long long>(message.size()), secretKey);
    const QJsonObject object{{u"version"_s, values[1]},
                             {u"script_url"_s, values[2]},
                             {u"signature"_s, base64(signature, sizeof signature)}};
    printResult(QString::fromUtf8(QJsonDocument(object).toJson()).trimmed());
    return 0;
}

int verify(const QStringList& values) {
    const std::optional<QByteArray> publicKey = ScriptSignature::decodeBase64(values[0], 32);
    if (!publicKey) {
        throw Failure{u"the public key is not the base64 of 32 bytes: %1"_s.arg(values[0])};
    }
    const ResolveManifest::Decoding decoding = ResolveManifest::decode(readFile(values[1]));
    const QByteArray script = readFile(values[2]);
    if (!decoding.manifest) {
        throw Failure{values[1] + u": "_s + decoding.errorDescription};
    }
    if (!decoding.manifest->signature) {
        throw Failure{u"the manifest carries no signature."_s, rejected};
    }
    if (!ScriptSignature::verifies(*publicKey, *decoding.manifest->signature,
                                   decoding.manifest->version, script)) {
        throw Failure{u"the signature does not verify."_s, rejected};
    }
    printResult(u"The signature verifies."_s);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // What follows the command is parsed as a command line of its own, program name first.
    const QString command = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    QStringList arguments{QString::fromLocal8Bit(argv[0])};
    for (int index = 2; index < argc; ++index) {
        arguments << QString::fromLocal8Bit(argv[index]);
    }
    try {
        if (sodium_init() < 0) {
            throw Failure{u"libsodium cannot start."_s, rejected};
        }
        if (command == "keygen"_L1) {
            return keygen(parse(arguments, {}, 1));
        }
        if (command == "manifest"_L1) {
            return manifest(parse(arguments, {u"key"_s, u"version"_s, u"script-url"_s}, 1));
        }
        if (command == "verify"_L1) {
            return verify(parse(arguments, {u"public-key"_s}, 2));
        }
        throw Failure{
            (command.isEmpty() ? u"no command given."_s : u"unknown command “%1”."_s.arg(command)) +
            u'\n' + usage};
    } catch (const Failure& failure) {
        print(stderr, u"zeph-sign: "_s + failure.message);
        return failure.status;
    }
}
