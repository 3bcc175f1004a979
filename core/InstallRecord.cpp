#include "InstallRecord.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

QByteArray digest(const QByteArray& script) {
    return QCryptographicHash::hash(script, QCryptographicHash::Sha256);
}

} // namespace

InstallRecord InstallRecord::of(const QString& version, const QByteArray& script) {
    return {version, digest(script)};
}

std::optional<InstallRecord> InstallRecord::decode(const QByteArray& bytes) {
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    const QJsonValue version = object.value("version"_L1);
    const QByteArray sha256 = QByteArray::fromHex(object.value("sha256"_L1).toString().toLatin1());
    if (!version.isString() ||
        sha256.size() != QCryptographicHash::hashLength(QCryptographicHash::Sha256)) {
        return std::nullopt;
    }
    return InstallRecord{version.toString(), sha256};
}

QByteArray InstallRecord::encode() const {
    return QJsonDocument(QJsonObject{{u"version"_s, version},
                                     {u"sha256"_s, QString::fromLatin1(sha256.toHex())}})
        .toJson();
}

bool InstallRecord::isOf(const QByteArray& script) const {
    return digest(script) == sha256;
}
