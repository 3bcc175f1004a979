#include "ResolveManifest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

using namespace Qt::StringLiterals;

namespace {

// Reads one required string member; on failure says why in `error`.
std::optional<QString> requiredString(const QJsonObject& object, QLatin1StringView key,
                                      QString& error) {
    const auto member = object.constFind(key);
    if (member == object.constEnd()) {
        error = u"The key “%1” is missing."_s.arg(key);
        return std::nullopt;
    }
    if (member->isNull()) {
        error = u"The value of “%1” is null."_s.arg(key);
        return std::nullopt;
    }
    if (!member->isString()) {
        error = u"The value of “%1” is not a string."_s.arg(key);
        return std::nullopt;
    }
    return member->toString();
}

} // namespace

ResolveManifest::Decoding ResolveManifest::decode(const QByteArray& body) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return {std::nullopt,
                u"The data is not valid JSON (%1 at offset %2)."_s.arg(parseError.errorString())
                    .arg(parseError.offset)};
    }
    if (!document.isObject()) {
        return {std::nullopt, u"The top-level value is not a JSON object."_s};
    }
    const QJsonObject object = document.object();
    QString error;
    // "version" is looked at first, so a document lacking both keys fails on it.
    auto version = requiredString(object, "version"_L1, error);
    if (!version) {
        return {std::nullopt, error};
    }
    auto scriptUrl = requiredString(object, "script_url"_L1, error);
    if (!scriptUrl) {
        return {std::nullopt, error};
    }
    std::optional<QString> signature;
    if (const auto member = object.constFind("signature"_L1); member != object.constEnd()) {
        signature = member->toString();
    }
    return {ResolveManifest{std::move(*version), std::move(*scriptUrl), std::move(signature)}, {}};
}
