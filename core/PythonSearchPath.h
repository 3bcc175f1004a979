#pragma once

#include <QString>
#include <QStringList>

// Where the probe looks for `python3`. An application opened from the macOS Finder inherits the
// bare system PATH, whose python3 is the developer-tools stub: without the tools it fails, so a
// Python installed from python.org or Homebrew would never be found. On macOS the standard
// interpreter folders are therefore searched first; elsewhere the inherited PATH is used as is.
namespace PythonSearchPath {

enum class OperatingSystem { MacOS, Other };

OperatingSystem current();

// The folders searched before the inherited PATH.
QStringList preferredFolders(OperatingSystem system);

// `folders` first, then the inherited PATH's entries; each entry once, in first-seen order.
QString preferring(const QStringList& folders, const QString& inheritedPath);

} // namespace PythonSearchPath
