#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The version manifest published next to the script: which version is the latest, where to
// download it and, for builds that check it, the script's signature. Field names are the JSON keys.
struct ResolveManifest {
    QString version;
    QString script_url;
    // Absent when the manifest has no "signature"; empty when its value is not a string, so that
    // it never verifies.
    std::optional<QString> signature;

    struct Decoding;
    // Decodes a manifest body: a JSON object whose "version" and "script_url" are strings, with an
    // optional "signature". Further keys are ignored; nothing is trimmed or checked beyond the
    // types.
    static Decoding decode(const QByteArray& body);
};

struct ResolveManifest::Decoding {
    std::optional<ResolveManifest> manifest;
    // Why the body is not a manifest; empty when it is one.
    QString errorDescription;
};
