#include "Commands.h"

#include "Failure.h"
#include "ReleaseRules.h"
#include "ResolveManifest.h"
#include "ScriptSignature.h"
#include "SecretKey.h"
#include "ToolFiles.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>

#include <cerrno>

using namespace Qt::StringLiterals;

namespace {

// The rules are an installer's: anything else would be signed, then refused by every installer.
// Plain http to this machine stays possible, for test builds that read their manifest there.
void refuseWhatInstallersRefuse(const QString& version, const QString& scriptAddress,
                                const QByteArray& script) {
    const auto breach = ReleaseRules::firstBreach(version, scriptAddress, script, true);
    if (!breach) {
        return;
    }
    QString rule;
    switch (*breach) {
    case ReleaseRules::Breach::LineFeedInVersion:
        rule = u"the version must not contain a line feed."_s;
        break;
    case ReleaseRules::Breach::VersionNotDotted:
        rule = u"the version must be dotted numbers, such as 1.4.0: installers compare versions "
               "number by number."_s;
        break;
    case ReleaseRules::Breach::UntrustedScriptAddress:
        rule = u"the script address must be an absolute https:// address (plain http:// only to "
               "this machine): installers download a script from nowhere else."_s;
        break;
    case ReleaseRules::Breach::EmptyScript:
        rule = u"the script is empty: installers refuse an empty script."_s;
        break;
    case ReleaseRules::Breach::ScriptTooLarge:
        rule = u"the script is larger than 64 MiB: installers read no more."_s;
        break;
    case ReleaseRules::Breach::ScriptIsWebPage:
        rule = u"the script starts with “<”, as a web page does: installers refuse such a "
               "script."_s;
        break;
    }
    throw Failure{rule, Failure::rejected};
}

QByteArray readScript(const QString& path) {
    return ToolFiles::readAtMost(path, ReleaseRules::maxScriptBytes).bytes;
}

int keygen(const QStringList& values) {
    const SecretKey key = SecretKey::generate();
    QByteArray content = key.fileContent();
    const auto forgetContent = qScopeGuard([&] { SecretKey::forget(content); });
    ToolFiles::createPrivateFile(values[0], content);
    // A key pair whose public half nobody saw is of no use, and its file would block the name.
    if (!ToolFiles::print(stdout, key.publicKey())) {
        const int error = errno;
        QFile::remove(values[0]);
        throw Failure{
            u"cannot write the public key to standard output (%1); no key was kept."_s.arg(
                ToolFiles::systemError(error)),
            Failure::rejected};
    }
    return 0;
}

int publicKey(const QStringList& values) {
    ToolFiles::printResult(SecretKey::load(values[0], SecretKey::Format::Current).publicKey());
    return 0;
}

int upgradeKey(const QStringList& values) {
    const SecretKey key = SecretKey::load(values[0], SecretKey::Format::Old);
    QByteArray content = key.fileContent();
    const auto forgetContent = qScopeGuard([&] { SecretKey::forget(content); });
    ToolFiles::replaceAtomically(values[0], content, ToolFiles::Readers::OwnerAlone);
    ToolFiles::printResult(key.publicKey());
    return 0;
}

int manifest(const QStringList& values) {
    const SecretKey key = SecretKey::load(values[0], SecretKey::Format::Current);
    const QString& version = values[1];
    const QString& scriptAddress = values[2];
    const QByteArray script = readScript(values[4]);
    refuseWhatInstallersRefuse(version, scriptAddress, script);
    const QJsonObject object{
        {u"version"_s, version},
        {u"script_url"_s, scriptAddress},
        {u"signature"_s, key.sign(ScriptSignature::signedBytes(version, script))}};
    ToolFiles::replaceAtomically(values[3], QJsonDocument(object).toJson(),
                                 ToolFiles::Readers::AsTheUmaskAllows);
    return 0;
}

int verify(const QStringList& values) {
    // Said without repeating the value, which is the secret.
    if (values[0].contains(SecretKey::fileHeader)) {
        throw Failure{u"--public-key was given the secret key: the secret must never be given "
                      "out nor built into an installer. Give its public key, which "
                      "zeph-sign public-key prints."_s};
    }
    const std::optional<QByteArray> publicKey = ScriptSignature::decodeBase64(values[0], 32);
    if (!publicKey) {
        throw Failure{u"the public key is not the base64 of 32 bytes."_s};
    }
    const QByteArray body = ToolFiles::readAtMost(values[1], ReleaseRules::maxManifestBytes).bytes;
    if (body.size() > ReleaseRules::maxManifestBytes) {
        throw Failure{
            u"%1 is larger than 1 MiB: installers refuse such a manifest."_s.arg(values[1]),
            Failure::rejected};
    }
    const ResolveManifest::Decoding decoding = ResolveManifest::decode(body);
    const QByteArray script = readScript(values[2]);
    if (!decoding.manifest) {
        throw Failure{values[1] + u": "_s + decoding.errorDescription};
    }
    refuseWhatInstallersRefuse(decoding.manifest->version, decoding.manifest->script_url, script);
    if (!decoding.manifest->signature) {
        throw Failure{u"the manifest carries no signature."_s, Failure::rejected};
    }
    if (!ScriptSignature::verifies(*publicKey, *decoding.manifest->signature,
                                   decoding.manifest->version, script)) {
        throw Failure{u"the signature does not verify."_s, Failure::rejected};
    }
    ToolFiles::printResult(u"The signature verifies."_s);
    return 0;
}

} // namespace

const QList<Command>& Commands::all() {
    static const QList<Command> commands{
        {u"keygen"_s,
         {},
         1,
         u"keygen SECRET_KEY_FILE"_s,
         u"Makes a key pair: writes the secret key into SECRET_KEY_FILE, a new file readable by "
         "you alone, and prints the public key, for the installers' build setting."_s,
         keygen},
        {u"public-key"_s,
         {},
         1,
         u"public-key SECRET_KEY_FILE"_s,
         u"Prints the public key of a secret key file."_s,
         publicKey},
        {u"upgrade-key"_s,
         {},
         1,
         u"upgrade-key OLD_SECRET_KEY_FILE"_s,
         u"Rewrites a secret key file of the old format (the base64 of the seed alone) in the "
         "current one, readable by you alone, and prints its public key: compare it with the one "
         "built into the installers."_s,
         upgradeKey},
        {u"manifest"_s,
         {u"key"_s, u"version"_s, u"script-url"_s, u"output"_s},
         1,
         u"manifest --key SECRET_KEY_FILE --version VERSION --script-url URL --output "
         "MANIFEST_FILE SCRIPT_FILE"_s,
         u"Signs SCRIPT_FILE as VERSION, to be downloaded from URL, and writes the manifest to "
         "MANIFEST_FILE, replacing it only once all went well. A release that installers would "
         "refuse is not signed."_s,
         manifest},
        {u"verify"_s,
         {u"public-key"_s},
         2,
         u"verify --public-key PUBLIC_KEY MANIFEST_FILE SCRIPT_FILE"_s,
         u"Checks that installers built with PUBLIC_KEY take the release that MANIFEST_FILE "
         "describes, with SCRIPT_FILE as its script."_s,
         verify},
    };
    return commands;
}
