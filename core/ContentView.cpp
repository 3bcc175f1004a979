#include "ContentView.h"

#include "BuildSettings.h"
#include "InstallRecord.h"
#include "PythonSearchPath.h"
#include "ReleaseRules.h"
#include "ResolveManifest.h"
#include "ScriptSignature.h"

#include <QDateTime>
#include <QDir>
#include <QStringDecoder>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

constexpr auto manifestIdleTimeout = 20s;
constexpr auto scriptIdleTimeout = 30s;
// A server that drips bytes just often enough to beat the idle timeout must not hold the
// installer busy for ever.
constexpr auto scriptDownloadDeadline = 5min;
constexpr auto manifestDeadline = 1min;
// `python3 --version` answers at once; a child still running after this is not a usable Python.
constexpr auto pythonProbeTimeout = 10s;

// Like Foundation's URL(string:): nothing for an empty or malformed text.
std::optional<QUrl> parseUrl(const QString& text) {
    if (text.isEmpty()) {
        return std::nullopt;
    }
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        return std::nullopt;
    }
    return url;
}

bool isPlainHttpHere(const QUrl& url) {
    return url.scheme() == "http"_L1 && ReleaseRules::isLoopbackHost(url.host());
}

// No redirect goes from https to anything less, not even to this machine.
bool staysSecure(const QUrl& from, const QUrl& to) {
    return from.scheme() != "https"_L1 || to.scheme() == "https"_L1;
}

const QString downloadError = u"Error downloading script: "_s;
const QString notHttpsMessage = downloadError + u"the script address must use HTTPS."_s;
// In the installer's data folder.
const QString installRecordName = u"installed-script.json"_s;
const QString tokenFileName = u"resolve_token.txt"_s;
// Copies of replaced scripts kept at most.
constexpr qsizetype keptCopies = 5;

// Strict UTF-8: any malformed sequence gives nothing.
std::optional<QString> decodeUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

} // namespace

// Configuring refuses a key that does not decode, so only an empty setting gives no key.
ContentView::ContentView(PlatformServices& platform, QObject* parent)
    : ContentView(
          platform, QUrl(QString::fromUtf16(BuildSettings::manifestUrl), QUrl::StrictMode),
          QUrl(QString::fromUtf16(BuildSettings::pythonDownloadsUrl), QUrl::StrictMode),
          ScriptSignature::decodeBase64(QString::fromLatin1(BuildSettings::scriptSigningKey), 32)
              .value_or(QByteArray()),
          parent) {}

ContentView::ContentView(PlatformServices& platform, QUrl manifestURL, QUrl pythonDownloadURL,
                         QByteArray scriptSigningKey, QObject* parent)
    : QObject(parent)
    , manifestURL(std::move(manifestURL))
    , pythonDownloadURL(std::move(pythonDownloadURL))
    , scriptSigningKey(std::move(scriptSigningKey))
    , platform(platform) {}

const InstallerState& ContentView::state() const {
    return fields;
}

QString ContentView::scriptsFolderURL() const {
    return QDir(platform.homeDirectory())
        .filePath(u"Library/Application Support/Blackmagic Design/DaVinci Resolve/Fusion/"
                  "Scripts/Utility"_s);
}

QString ContentView::scriptFileURL() const {
    return QDir(scriptsFolderURL()).filePath(scriptFileName);
}

QString ContentView::tokenFolder() const {
    return QDir(platform.homeDirectory()).filePath(u".zeph"_s);
}

QString ContentView::tokenFileURL() const {
    return QDir(tokenFolder()).filePath(tokenFileName);
}

void ContentView::setToken(const QString& token) {
    if (token == fields.token) {
        return;
    }
    fields.token = token;
    Q_EMIT changed();
}

void ContentView::startUp() {
    fetchManifest();
    checkPython();
    loadSavedToken();
    checkInstalledScript();
    refreshAllSet();
}

void ContentView::refreshAllSet() {
    if (!fields.pythonInstalled || !fields.installedScript) {
        fields.allSet = false;
    } else {
        fields.allSet = fields.savedToken || !fields.token.trimmed().isEmpty();
    }
    Q_EMIT changed();
}

void ContentView::checkStatus() {
    refreshAllSet();
    fields.statusText =
        fields.allSet ? u"All set. You can close this installer."_s : u"Not finished yet."_s;
    Q_EMIT changed();
}

void ContentView::closeInstaller() {
    platform.quit();
}

// ---- Version manifest ----

void ContentView::fetchManifest() {
    fields.manifestStatus = u"Loading…"_s;
    fields.manifestVersion = u"—"_s;
    fields.manifestScriptURL.reset();
    fields.manifestSignature.reset();
    // Fetches may overlap: each applies its own answer when it arrives, the last one wins.
    platform.get({manifestURL, manifestIdleTimeout, ReleaseRules::maxManifestBytes,
                  manifestDeadline, staysSecure},
                 this, [this](const HttpReply& reply) { applyManifestReply(reply); });
    Q_EMIT changed();
}

void ContentView::applyManifestReply(const HttpReply& reply) {
    if (reply.outcome != HttpReply::Outcome::Answered) {
        fields.manifestStatus = u"Could not load latest version (network)."_s;
        fields.statusText =
            u"Manifest error: "_s + (reply.outcome == HttpReply::Outcome::TooLarge
                                         ? u"the response is larger than 1 MiB."_s
                                     : reply.outcome == HttpReply::Outcome::RedirectRefused
                                         ? u"the manifest address must use HTTPS."_s
                                     : reply.outcome == HttpReply::Outcome::DeadlineExceeded
                                         ? u"the manifest did not arrive within 1 minute."_s
                                         : reply.errorDescription);
    } else if (!reply.body) {
        fields.manifestStatus = u"Could not load latest version."_s;
        fields.statusText = u"Manifest error: empty response."_s;
    } else if (auto decoding = ResolveManifest::decode(*reply.body); !decoding.manifest) {
        // An HTTP error status is no failure by itself: its body simply is no manifest.
        fields.manifestStatus = u"Could not parse version file."_s;
        fields.statusText = u"Manifest parse error: "_s + decoding.errorDescription;
    } else {
        fields.manifestVersion = decoding.manifest->version;
        fields.manifestScriptURL = parseUrl(decoding.manifest->script_url);
        fields.manifestSignature = decoding.manifest->signature;
        fields.manifestStatus = u"Latest available script."_s;
        fields.statusText = u"Loaded script version "_s + fields.manifestVersion + u'.';
    }
    Q_EMIT changed();
}

// ---- Script installation ----

void ContentView::installScript() {
    if (!fields.manifestScriptURL) {
        fields.statusText = u"Script URL not available yet. Try Refresh version."_s;
        Q_EMIT changed();
        return;
    }
    // The version and the signature are read once: the request, both messages and the check of
    // the answer use those of this click.
    const QString version = fields.manifestVersion;
    const QString signature = fields.manifestSignature.value_or(QString());
    const QUrl scriptUrl = *fields.manifestScriptURL;
    const QUrl requestUrl =
        parseUrl(scriptUrl.toString(QUrl::FullyEncoded) + u"?v="_s + version).value_or(scriptUrl);
    const bool plainHttpHere = isPlainHttpHere(manifestURL);
    if (!ReleaseRules::isTrustedScriptAddress(requestUrl, plainHttpHere)) {
        fields.statusText = notHttpsMessage;
        Q_EMIT changed();
        return;
    }
    // Nothing could vouch for the script, so it is not even fetched.
    if (!scriptSigningKey.isEmpty() && !fields.manifestSignature) {
        fields.statusText = downloadError + u"the manifest carries no signature."_s;
        Q_EMIT changed();
        return;
    }
    // Only dotted numbers tell whether a release is older than the one installed.
    if (!scriptSigningKey.isEmpty() && !ReleaseRules::isDottedVersion(version)) {
        fields.statusText =
            downloadError + u"the version “%1” is not made of dotted numbers."_s.arg(version);
        Q_EMIT changed();
        return;
    }
    fields.isWorking = true;
    fields.statusText = u"Downloading script v"_s + version + u'…';
    // Each redirect hop is held to the same rule as the address itself.
    const auto acceptsHop = [plainHttpHere](const QUrl& from, const QUrl& to) {
        return staysSecure(from, to) && ReleaseRules::isTrustedScriptAddress(to, plainHttpHere);
    };
    platform.get({requestUrl, scriptIdleTimeout, ReleaseRules::maxScriptBytes,
                  scriptDownloadDeadline, acceptsHop},
                 this, [this, version, signature](const HttpReply& reply) {
                     applyScriptReply(reply, version, signature);
                 });
    Q_EMIT changed();
}

void ContentView::applyScriptReply(const HttpReply& reply, const QString& capturedVersion,
                                   const QString& capturedSignature) {
    switch (reply.outcome) {
    case HttpReply::Outcome::Failed:
        return failInstall(downloadError + reply.errorDescription);
    case HttpReply::Outcome::TooLarge:
        return failInstall(downloadError + u"the script is larger than 64 MiB."_s);
    case HttpReply::Outcome::DeadlineExceeded:
        return failInstall(downloadError + u"the download did not finish within 5 minutes."_s);
    case HttpReply::Outcome::RedirectRefused:
        return failInstall(notHttpsMessage);
    case HttpReply::Outcome::Answered:
        break;
    }
    // An error page or a part of the script is no script: installing it would replace a working
    // one. A plain GET asks for the whole, so only 200 brings it.
    if (reply.statusCode != 200) {
        return failInstall(downloadError +
                           u"the server answered with HTTP status %1."_s.arg(reply.statusCode));
    }
    if (!reply.body || reply.body->isEmpty()) {
        return failInstall(u"Error: downloaded script is empty."_s);
    }
    const QByteArray& script = *reply.body;
    // Whatever it is labelled: a misconfigured server may call a real script text/html, and a
    // network that answers in the server's place calls its page whatever it likes.
    if (ReleaseRules::looksLikeWebPage(script)) {
        return failInstall(downloadError + u"the server sent a web page instead of the script; a "
                                           "network that asks you to sign in may be in the way."_s);
    }
    if (!reply.lengthKnown) {
        return failInstall(downloadError + u"the server did not say how long the script is, so a "
                                           "cut-off download cannot be told from a whole one."_s);
    }
    if (!scriptSigningKey.isEmpty() &&
        !ScriptSignature::verifies(scriptSigningKey, capturedSignature, capturedVersion, script)) {
        return recheckManifest(capturedVersion, capturedSignature);
    }
    const std::optional<InstallRecord> record = readInstallRecord();
    // Whoever can replace the published files could otherwise bring back a signed release with a
    // known hole. A build without a key takes whatever is published, older or not.
    if (!scriptSigningKey.isEmpty() && record &&
        ReleaseRules::compareVersions(capturedVersion, record->version) ==
            std::strong_ordering::less) {
        return failInstall(downloadError + u"%1 is older than the installed %2."_s.arg(
                                               capturedVersion, record->version));
    }
    FileStatus written = keepChangedScript(script, record);
    if (written.ok) {
        written = writeInto(scriptsFolderURL(), scriptFileName, script, FileAccess::Default);
    }
    if (!written.ok) {
        return failInstall(u"Error installing script: "_s + written.errorDescription);
    }
    // Without a record the next install only knows less: it keeps a copy of the script, and
    // refuses no older release. The script itself is installed either way.
    writeInto(platform.dataFolder(), installRecordName,
              InstallRecord::of(capturedVersion, script).encode(), FileAccess::OwnerOnly);
    fields.installedScript = true;
    fields.isWorking = false;
    fields.statusText =
        u"Installed script v"_s + capturedVersion + u". Restart Resolve to load it."_s;
    refreshAllSet();
}

void ContentView::failInstall(const QString& message) {
    fields.isWorking = false;
    fields.statusText = message;
    Q_EMIT changed();
}

// A script that no longer verifies may only be one that the publisher replaced while it was on
// its way: the manifest, read again, then names another version or signature.
void ContentView::recheckManifest(const QString& capturedVersion,
                                  const QString& capturedSignature) {
    platform.get(
        {manifestURL, manifestIdleTimeout, ReleaseRules::maxManifestBytes, manifestDeadline,
         staysSecure},
        this, [this, capturedVersion, capturedSignature](const HttpReply& reply) {
            const auto decoding = reply.outcome == HttpReply::Outcome::Answered && reply.body
                                      ? ResolveManifest::decode(*reply.body)
                                      : ResolveManifest::Decoding{};
            const auto& latest = decoding.manifest;
            // Only a release no older than the one clicked, or the same one signed anew, can be
            // what the publisher put in its place.
            const auto order = latest
                                   ? ReleaseRules::compareVersions(latest->version, capturedVersion)
                                   : std::nullopt;
            if (!order || *order < 0 ||
                (*order == 0 && latest->signature.value_or(QString()) == capturedSignature)) {
                return failInstall(downloadError + u"the script's signature does not verify."_s);
            }
            applyManifestReply(reply);
            failInstall(
                u"A new version, %1, was published while downloading. Press %2 again."_s.arg(
                    latest->version,
                    fields.installedScript ? u"Update Script"_s : u"Install Script"_s));
        });
}

std::optional<InstallRecord> ContentView::readInstallRecord() const {
    const auto bytes = platform.readFile(QDir(platform.dataFolder()).filePath(installRecordName),
                                         ReleaseRules::maxManifestBytes);
    return bytes ? InstallRecord::decode(*bytes) : std::nullopt;
}

// A script that is neither what is about to be installed nor what was installed last has been
// changed by someone, most likely the user: a copy is kept, named so that Resolve, which lists
// every .py file of its folder, does not list it, and never over another copy. A script that
// cannot be read cannot be copied, and so is not replaced. The last few copies are kept, the new
// one always, whatever the clock said when the others were made.
FileStatus ContentView::keepChangedScript(const QByteArray& incoming,
                                          const std::optional<InstallRecord>& record) {
    const QString path = scriptFileURL();
    const auto current = platform.readFile(path, ReleaseRules::maxScriptBytes);
    if (!current) {
        return platform.exists(path)
                   ? FileStatus{false, u"“%1” could not be read to keep a copy of it."_s.arg(path)}
                   : FileStatus{};
    }
    if (*current == incoming || (record && record->isOf(*current))) {
        return {};
    }
    const QDir folder(QDir(platform.dataFolder()).filePath(u"replaced"_s));
    const QString suffix = u" "_s + scriptFileName + u".txt"_s;
    const QString stamp = QDateTime::currentDateTime().toString(u"yyyy-MM-ddTHH-mm-ss"_s);
    QString name = stamp + suffix;
    for (int taken = 2; platform.exists(folder.filePath(name)); ++taken) {
        name = stamp + u'-' + QString::number(taken) + suffix;
    }
    const FileStatus kept = writeInto(folder.path(), name, *current, FileAccess::OwnerOnly);
    QStringList others;
    for (const QString& copy : platform.filesIn(folder.path())) {
        if (copy.endsWith(suffix) && copy != name) {
            others << copy;
        }
    }
    others.sort();
    for (const QString& old :
         others.mid(0, std::max<qsizetype>(0, others.size() - keptCopies + 1))) {
        platform.removeFile(folder.filePath(old));
    }
    return kept;
}

FileStatus ContentView::writeInto(const QString& folder, const QString& name,
                                  const QByteArray& bytes, FileAccess access) {
    FileStatus written = platform.createFolder(folder, access);
    if (written.ok) {
        written = platform.writeFileAtomically(QDir(folder).filePath(name), bytes, access);
    }
    return written;
}

void ContentView::checkInstalledScript() {
    fields.installedScript = platform.exists(scriptFileURL());
    Q_EMIT changed();
}

void ContentView::openScriptsFolder() {
    platform.openInDefaultApplication(QUrl::fromLocalFile(scriptsFolderURL()));
    fields.statusText = u"Opened Resolve scripts folder."_s;
    Q_EMIT changed();
}

// ---- Python probe ----

void ContentView::checkPython() {
    fields.pythonStatus = u"Checking…"_s;
    fields.pythonInstalled = false;
    refreshAllSet();

    const auto searchPath = [](const QString& inheritedPath) {
        return PythonSearchPath::preferring(
            PythonSearchPath::preferredFolders(PythonSearchPath::current()), inheritedPath);
    };
    const ProcessResult probe = platform.run(
        {u"/usr/bin/env"_s, {u"python3"_s, u"--version"_s}, searchPath, pythonProbeTimeout});
    std::optional<QString> output;
    if (probe.outcome == ProcessResult::Outcome::Exited && probe.exitCode == 0) {
        output = decodeUtf8(probe.output);
    }
    if (output && output->toLower().contains("python"_L1)) {
        fields.pythonInstalled = true;
        fields.pythonStatus = output->trimmed();
        fields.statusText = u"Python detected."_s;
    } else {
        fields.pythonInstalled = false;
        fields.pythonStatus = u"Python not found"_s;
        fields.statusText = u"Python not found. Install Python to continue."_s;
    }
    refreshAllSet();
}

void ContentView::openPythonDownloads() {
    platform.openInDefaultApplication(pythonDownloadURL);
    fields.statusText = u"Opened Python downloads page."_s;
    Q_EMIT changed();
}

// ---- Token file ----

void ContentView::loadSavedToken() {
    const QString path = tokenFileURL();
    if (!platform.exists(path)) {
        return;
    }
    // A token file that an older tool, a backup or a hand edit left readable by others is closed
    // to them before its token is taken up again.
    platform.keepPrivate(path);
    const std::optional<QByteArray> bytes = platform.readFile(path, maxTokenBytes);
    if (!bytes) {
        return;
    }
    const std::optional<QString> text = decodeUtf8(*bytes);
    if (!text || text->trimmed().isEmpty()) {
        return;
    }
    fields.token = text->trimmed();
    fields.savedToken = true;
    Q_EMIT changed();
}

void ContentView::saveToken() {
    const QString trimmedToken = fields.token.trimmed();
    if (trimmedToken.isEmpty()) {
        fields.statusText = u"Token is empty."_s;
        Q_EMIT changed();
        return;
    }
    // A token file that start-up would not read back is not written at all.
    const QByteArray bytes = trimmedToken.toUtf8();
    if (bytes.size() > maxTokenBytes) {
        fields.statusText = u"Error saving token: the token is longer than 64 KiB."_s;
        Q_EMIT changed();
        return;
    }
    fields.isWorking = true;
    fields.statusText = u"Saving token…"_s;
    const FileStatus written =
        writeInto(tokenFolder(), tokenFileName, bytes, FileAccess::OwnerOnly);
    if (!written.ok) {
        fields.isWorking = false;
        fields.statusText = u"Error saving token: "_s + written.errorDescription;
        Q_EMIT changed();
        return;
    }
    fields.savedToken = true;
    fields.isWorking = false;
    fields.statusText = u"Token saved."_s;
    refreshAllSet();
}

void ContentView::openTokenFile() {
    const QString path = tokenFileURL();
    if (platform.exists(path)) {
        platform.keepPrivate(path);
    } else {
        const FileStatus created =
            writeInto(tokenFolder(), tokenFileName, {}, FileAccess::OwnerOnly);
        if (!created.ok) {
            fields.statusText = u"Error creating token file: "_s + created.errorDescription;
            Q_EMIT changed();
            return;
        }
    }
    platform.openInDefaultApplication(QUrl::fromLocalFile(path));
    fields.statusText = u"Opened token file."_s;
    Q_EMIT changed();
}
