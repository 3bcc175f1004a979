#pragma once

#include <QByteArray>
#include <QList>

// Throughput of ResolveManifest::decode over a fixed set of bodies.
class DecodeBench {
public:
    // A manifest as published, and bodies that are no manifest: a proxy's error page, broken JSON,
    // a missing key and a value of the wrong type.
    static QList<QByteArray> validBodies();
    static QList<QByteArray> invalidBodies();

    // Decodes the bodies in turn for about `milliseconds`; bodies decoded per second.
    static double perSecond(const QList<QByteArray>& bodies, int milliseconds);
};
