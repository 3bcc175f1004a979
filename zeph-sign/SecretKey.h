#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// The Ed25519 key pair that signs released scripts, made from its 32-byte seed, which is all its
// file holds. The file is text: the line "zeph-sign secret key", then the base64 of the seed on a
// line of its own. The first line tells it from a public key, the base64 of 32 bytes on one line,
// which is what a secret key file in the old format looks like too.
class SecretKey {
public:
    // Which file format load() takes: the current one, or the old one that upgrade-key rewrites.
    enum class Format { Current, Old };

    static SecretKey generate();
    // Throws a Failure naming what is wrong with the file: not a key file, a public key or an
    // old secret key where the current format is wanted, or a secret that others can read.
    static SecretKey load(const QString& path, Format format);
    // The seed does not stay behind in freed memory.
    ~SecretKey();

    static const QLatin1StringView fileHeader;

    // The file in the current format. Its holder forgets it once written (forget()).
    QByteArray fileContent() const;
    // The base64 of the public key, as the build setting and `verify` take it.
    QString publicKey() const;
    // The base64 of the detached signature of `message`.
    QString sign(const QByteArray& message) const;

    static void forget(QByteArray& secret);

private:
    std::array<unsigned char, 32> seed{};
};
