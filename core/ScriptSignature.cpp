#include "ScriptSignature.h"

#include <sodium.h>

namespace {

const unsigned char* bytes(const QByteArray& data) {
    return reinterpret_cast<const unsigned char*>(data.constData());
}

} // namespace

QByteArray ScriptSignature::signedBytes(const QString& version, const QByteArray& script) {
    return version.toUtf8() + '\n' + script;
}

bool ScriptSignature::isSignable(const QString& version) {
    return !version.contains(u'\n');
}

std::optional<QByteArray> ScriptSignature::decodeBase64(QStringView text, qsizetype size) {
    // The decoder itself is lenient; encoding its result again must give back the very text.
    QByteArray decoded = QByteArray::fromBase64(text.toLatin1());
    if (decoded.size() != size || QLatin1StringView(decoded.toBase64()) != text) {
        return std::nullopt;
    }
    return decoded;
}

bool ScriptSignature::verifies(const QByteArray& publicKey, const QString& signature,
                               const QString& version, const QByteArray& script) {
    if (sodium_init() < 0 || publicKey.size() != crypto_sign_PUBLICKEYBYTES ||
        !isSignable(version)) {
        return false;
    }
    const std::optional<QByteArray> signatureBytes = decodeBase64(signature, crypto_sign_BYTES);
    if (!signatureBytes) {
        return false;
    }
    const QByteArray message = signedBytes(version, script);
    return crypto_sign_verify_detached(bytes(*signatureBytes), bytes(message),
                                       static_cast<unsigned long long>(message.size()),
                                       bytes(publicKey)) == 0;
}
