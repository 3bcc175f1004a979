#include "SecretKey.h"

#include "Failure.h"
#include "ScriptSignature.h"
#include "ToolFiles.h"

#include <QScopeGuard>

#include <sodium.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// A key file is some 70 bytes: anything much larger is some other file, not read on.
constexpr qint64 maxKeyFileBytes = 4096;

static_assert(crypto_sign_SEEDBYTES == 32);

QString base64(const unsigned char* data, size_t size) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).toBase64());
}

std::optional<QByteArray> decodeSeed(QByteArrayView line) {
    return ScriptSignature::decodeBase64(QString::fromLatin1(line), crypto_sign_SEEDBYTES);
}

} // namespace

const QLatin1StringView SecretKey::fileHeader = "zeph-sign secret key"_L1;

SecretKey SecretKey::generate() {
    SecretKey key;
    randombytes_buf(key.seed.data(), key.seed.size());
    return key;
}

SecretKey SecretKey::load(const QString& path, Format format) {
    ToolFiles::Content content = ToolFiles::readAtMost(path, maxKeyFileBytes);
    std::optional<QByteArray> seed;
    const auto forgetAll = qScopeGuard([&] {
        forget(content.bytes);
        if (seed) {
            forget(*seed);
        }
    });
    if (content.bytes.size() > maxKeyFileBytes) {
        throw Failure{u"%1 is larger than 4 KiB: it is not a key file."_s.arg(path)};
    }
    const QByteArray currentStart = QByteArray(fileHeader.data(), fileHeader.size()) + '\n';
    const bool isCurrent = content.bytes.startsWith(currentStart);
    const QByteArrayView rest =
        QByteArrayView(content.bytes).sliced(isCurrent ? currentStart.size() : 0).trimmed();
    seed = decodeSeed(rest);
    if (format == Format::Current && !isCurrent && seed) {
        throw Failure{u"%1 holds a public key; sign with the secret key file. Or, if it is a "
                      "secret key in the old format, which looks the same, rewrite it first: "
                      "zeph-sign upgrade-key %1"_s.arg(path)};
    }
    if (!seed || isCurrent != (format == Format::Current)) {
        throw Failure{format == Format::Current
                          ? u"%1 is not a zeph-sign secret key file."_s.arg(path)
                          : u"%1 is not a secret key in the old format (the base64 of a 32-byte "
                            "seed on one line)."_s.arg(path)};
    }
    // As SSH does with a private key: one that others could read may have been copied already.
    if ((content.permissions & 077) != 0) {
        throw Failure{u"permissions %1 for %2 are too open: a secret key file must be readable by "
                      "you alone. Run: chmod 600 %2"_s.arg(content.permissions, 4, 8, QChar(u'0'))
                          .arg(path)};
    }
    SecretKey key;
    std::copy(seed->cbegin(), seed->cend(), key.seed.begin());
    return key;
}

SecretKey::~SecretKey() {
    sodium_memzero(seed.data(), seed.size());
}

QByteArray SecretKey::fileContent() const {
    return QByteArray(fileHeader.data(), fileHeader.size()) + '\n' +
           base64(seed.data(), seed.size()).toLatin1() + '\n';
}

QString SecretKey::publicKey() const {
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    crypto_sign_seed_keypair(publicKey, secretKey, seed.data());
    sodium_memzero(secretKey, sizeof secretKey);
    return base64(publicKey, sizeof publicKey);
}

QString SecretKey::sign(const QByteArray& message) const {
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_seed_keypair(publicKey, secretKey, seed.data());
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                         static_cast<unsigned long long>(message.size()), secretKey);
    sodium_memzero(secretKey, sizeof secretKey);
    return base64(signature, sizeof signature);
}

void SecretKey::forget(QByteArray& secret) {
    sodium_memzero(secret.data(), static_cast<size_t>(secret.size()));
}
