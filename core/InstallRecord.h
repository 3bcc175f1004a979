#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What the installer last installed: the version and a digest of the bytes written. Kept in the
// installer's own data folder, so that a later window can tell an older release, and a script the
// user changed since, from what it installed itself.
struct InstallRecord {
    QString version;
    // SHA-256 of the installed script.
    QByteArray sha256;

    static InstallRecord of(const QString& version, const QByteArray& script);
    // Nothing for anything that is not a record this installer wrote.
    static std::optional<InstallRecord> decode(const QByteArray& bytes);
    QByteArray encode() const;
    bool isOf(const QByteArray& script) const;
};
