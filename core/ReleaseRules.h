#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <compare>
#include <optional>

// What a release must be for an installer to take it: where its script may come from, what the
// script may hold and how its versions compare. The installer applies these rules to what it
// downloads, and the release tool to what it signs, so that nothing is signed that would then be
// refused.
namespace ReleaseRules {

// A script is read only up to this many bytes, a manifest up to this many.
inline constexpr qint64 maxScriptBytes = 64 * 1024 * 1024;
inline constexpr qint64 maxManifestBytes = 1024 * 1024;

// 127.0.0.0/8, "localhost" or ::1: this machine.
bool isLoopbackHost(const QString& host);

// The script lands where Resolve runs it, so it must not travel in the clear: an https address
// with a host, or, only where `plainHttpHere` allows it (builds that read their manifest from
// this machine, as the test builds do), a plain http address of this machine.
bool isTrustedScriptAddress(const QUrl& url, bool plainHttpHere);

// No Python script starts with "<" (blanks, zero bytes and a UTF-8 or UTF-16 byte order mark
// aside): such a body is an HTML or XML document, such as the sign-in page of a network that
// answers in the server's place.
bool looksLikeWebPage(QByteArrayView body);

// Versions are dotted numbers ("1.10.0"), compared number by number, a missing one counting as 0
// ("1.4" is "1.4.0"). Nothing when either is not made of dotted numbers.
std::optional<std::strong_ordering> compareVersions(QStringView left, QStringView right);
bool isDottedVersion(QStringView version);

// The rule a release breaks, for the release tool to name.
enum class Breach {
    LineFeedInVersion,
    VersionNotDotted,
    UntrustedScriptAddress,
    EmptyScript,
    ScriptTooLarge,
    ScriptIsWebPage,
};

// The first rule that a release of `script` as `version`, downloaded from `scriptAddress` (the
// manifest's text), breaks; nothing when an installer would take it. `plainHttpHere` is as for
// isTrustedScriptAddress.
std::optional<Breach> firstBreach(const QString& version, const QString& scriptAddress,
                                  QByteArrayView script, bool plainHttpHere);

} // namespace ReleaseRules
