#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The version manifest published next to the script: which version is the latest and where to
// download it. Field names are the JSON keys.
struct ResolveManifest {
    QString version;
    QString script_url;

    struct Decoding;
    // Decodes a manifest body: a JSON object whose "version" and "script_url" are strings.
    // Further keys are ignored; nothing is trimmed or checked beyond the types.
    static Decoding decode(const QByteArray& body);
};

struct ResolveManifest::Decoding {
    std::optional<ResolveManifest> manifest;
    // Why the body is not a manifest; empty when it is one.
    QString errorDescription;
};
