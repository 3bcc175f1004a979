#include "ReleaseRules.h"

#include "ScriptSignature.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The numbers of a dotted version, each without its leading zeros, so that numbers of any length
// compare without overflowing: the longer is the larger, and equal lengths compare as text.
std::optional<QList<QStringView>> numbersOf(QStringView version) {
    QList<QStringView> numbers;
    for (QStringView number : version.split(u'.')) {
        if (number.isEmpty() || !std::all_of(number.begin(), number.end(), isDigit)) {
            return std::nullopt;
        }
        while (number.size() > 1 && number.front() == u'0') {
            number = number.sliced(1);
        }
        numbers << number;
    }
    return numbers;
}

std::strong_ordering compareNumbers(QStringView left, QStringView right) {
    if (const auto byLength = left.size() <=> right.size(); byLength != 0) {
        return byLength;
    }
    return left.compare(right) <=> 0;
}

} // namespace

bool ReleaseRules::isLoopbackHost(const QString& host) {
    if (host.compare("localhost"_L1, Qt::CaseInsensitive) == 0 || host == "::1"_L1) {
        return true;
    }
    const QStringList octets = host.split(u'.');
    if (octets.size() != 4 || octets.first() != "127"_L1) {
        return false;
    }
    return std::all_of(octets.begin(), octets.end(), [](const QString& octet) {
        bool isNumber = false;
        const int value = octet.toInt(&isNumber);
        return isNumber && value >= 0 && value <= 255;
    });
}

bool ReleaseRules::isTrustedScriptAddress(const QUrl& url, bool plainHttpHere) {
    if (url.scheme() == "https"_L1) {
        return !url.host().isEmpty();
    }
    return plainHttpHere && url.scheme() == "http"_L1 && isLoopbackHost(url.host());
}

// A page in UTF-16 starts with its byte order mark, and has a zero byte beside each of its ASCII
// characters; no Python script holds a zero byte before its first line.
bool ReleaseRules::looksLikeWebPage(QByteArrayView body) {
    for (const QByteArrayView mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
        if (body.startsWith(mark)) {
            body = body.sliced(mark.size());
            break;
        }
    }
    const auto first = std::find_if(body.begin(), body.end(), [](char c) {
        return c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != '\v' &&
               c != '\0';
    });
    return first != body.end() && *first == '<';
}

std::optional<std::strong_ordering> ReleaseRules::compareVersions(QStringView left,
                                                                  QStringView right) {
    const auto leftNumbers = numbersOf(left);
    const auto rightNumbers = numbersOf(right);
    if (!leftNumbers || !rightNumbers) {
        return std::nullopt;
    }
    const qsizetype count = std::max(leftNumbers->size(), rightNumbers->size());
    for (qsizetype index = 0; index < count; ++index) {
        const auto order =
            compareNumbers(leftNumbers->value(index, u"0"), rightNumbers->value(index, u"0"));
        if (order != 0) {
            return order;
        }
    }
    return std::strong_ordering::equal;
}

bool ReleaseRules::isDottedVersion(QStringView version) {
    return numbersOf(version).has_value();
}

std::optional<ReleaseRules::Breach> ReleaseRules::firstBreach(const QString& version,
                                                              const QString& scriptAddress,
                                                              QByteArrayView script,
                                                              bool plainHttpHere) {
    // Checked before the dotted numbers, which a line feed breaks too, for it has a reason of its
    // own: a signature must not be re-split between version and script.
    if (!ScriptSignature::isSignable(version)) {
        return Breach::LineFeedInVersion;
    }
    if (!isDottedVersion(version)) {
        return Breach::VersionNotDotted;
    }
    const QUrl address(scriptAddress, QUrl::StrictMode);
    if (!address.isValid() || !isTrustedScriptAddress(address, plainHttpHere)) {
        return Breach::UntrustedScriptAddress;
    }
    if (script.isEmpty()) {
        return Breach::EmptyScript;
    }
    if (script.size() > maxScriptBytes) {
        return Breach::ScriptTooLarge;
    }
    if (looksLikeWebPage(script)) {
        return Breach::ScriptIsWebPage;
    }
    return std::nullopt;
}
