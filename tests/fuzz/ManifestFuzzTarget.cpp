#include "ResolveManifest.h"

#include <cstdint>
#include <cstdlib>

// Any body decodes to a manifest or to the reason it is none: never both, never neither.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ResolveManifest::Decoding decoding = ResolveManifest::decode(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (decoding.manifest.has_value() != decoding.errorDescription.isEmpty()) {
        std::abort();
    }
    return 0;
}
