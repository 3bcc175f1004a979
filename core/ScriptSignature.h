#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// Ed25519 signatures of released scripts. A signature covers the manifest's version as well as the
// script, so that an old script cannot be served again under a newer version's name.
namespace ScriptSignature {

// What is signed: the version in UTF-8, a line feed, then the script exactly as served.
QByteArray signedBytes(const QString& version, const QByteArray& script);

// A version with a line feed of its own is never signed nor verified: the signature of one split
// between version and script would otherwise also cover another, with the script's first lines
// moved into the version.
bool isSignable(const QString& version);

// Standard base64 with padding that decodes to exactly `size` bytes. Every value has one spelling
// only: whitespace, the URL alphabet, missing padding or stray bits in the last character give
// nothing.
std::optional<QByteArray> decodeBase64(QStringView text, qsizetype size);

// `signature` is the base64 of the detached signature of signedBytes() made with the secret half
// of the 32-byte `publicKey`. False for a key or a signature that is malformed, and for a version
// that is not signable.
bool verifies(const QByteArray& publicKey, const QString& signature, const QString& version,
              const QByteArray& script);

} // namespace ScriptSignature
