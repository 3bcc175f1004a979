#include "DecodeBench.h"

#include "MonotonicClock.h"
#include "ResolveManifest.h"

#include <cstdio>

QList<QByteArray> DecodeBench::validBodies() {
    return {R"({"version":"1.4.0","script_url":"https://zeph-resolve.supabase.co/storage/v1/)"
            R"(object/public/resolve/ZEPH_Export_Gallery_Stills.py"})"};
}

QList<QByteArray> DecodeBench::invalidBodies() {
    return {"<html><head><title>502 Bad Gateway</title></head><body>Bad Gateway</body></html>",
            R"({"version":"1.4.0","script_url":"https://zeph-resolve.supabase.co/s)",
            R"({"version":"1.4.0"})", R"({"version":140,"script_url":"https://example.com/s.py"})"};
}

double DecodeBench::perSecond(const QList<QByteArray>& bodies, int milliseconds) {
    constexpr int batch = 256;
    qint64 decoded = 0;
    qsizetype accepted = 0;
    const qint64 startedAt = monotonicNanoseconds();
    qint64 now = startedAt;
    while (millisecondsBetween(startedAt, now) < milliseconds) {
        for (int i = 0; i < batch; ++i) {
            accepted +=
                ResolveManifest::decode(bodies.at(decoded++ % bodies.size())).manifest.has_value();
        }
        now = monotonicNanoseconds();
    }
    // Used, so that no decoding can be left out as dead code.
    if (accepted > decoded) {
        std::puts("");
    }
    return static_cast<double>(decoded) / (static_cast<double>(now - startedAt) / 1e9);
}
