#include "ContentView.h"
#include "FakePlatformServices.h"
#include "ResolveManifest.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

// One body through the decoder alone, then through the manifest fetch as the window sees it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const ResolveManifest::Decoding decoding = ResolveManifest::decode(body);
    require(decoding.manifest.has_value() == decoding.errorDescription.isEmpty());

    FakePlatformServices platform;
    ContentView view(platform);
    view.fetchManifest();
    platform.answer(0, FakePlatformServices::answered(200, body));

    const InstallerState& state = view.state();
    if (decoding.manifest) {
        require(state.manifestStatus == u"Latest available script."_s);
        require(state.manifestVersion == decoding.manifest->version);
        require(state.statusText ==
                u"Loaded script version "_s + decoding.manifest->version + u'.');
        // Installing must either refuse the address or request exactly one download.
        view.installScript();
        require(platform.gets.size() == (state.isWorking ? 2u : 1u));
    } else {
        require(state.manifestStatus == u"Could not parse version file."_s);
        require(state.manifestVersion == u"\u2014"_s);
        require(!state.manifestScriptURL);
        require(state.statusText.startsWith(u"Manifest parse error: "_s));
    }
    return 0;
}
