#include "PythonSearchPath.h"

using namespace Qt::StringLiterals;

namespace PythonSearchPath {

OperatingSystem current() {
#ifdef Q_OS_MACOS
    return OperatingSystem::MacOS;
#else
    return OperatingSystem::Other;
#endif
}

QStringList preferredFolders(OperatingSystem system) {
    if (system != OperatingSystem::MacOS) {
        return {};
    }
    return {
        u"/Library/Frameworks/Python.framework/Versions/Current/bin"_s, // python.org installer
        u"/usr/local/bin"_s,                                            // Homebrew on Intel, others
        u"/opt/homebrew/bin"_s,                                         // Homebrew on Apple silicon
    };
}

QString preferring(const QStringList& folders, const QString& inheritedPath) {
    QStringList entries;
    const auto add = [&entries](const QString& entry) {
        if (!entries.contains(entry)) {
            entries << entry;
        }
    };
    for (const QString& folder : folders) {
        add(folder);
    }
    if (!inheritedPath.isEmpty()) {
        for (const QString& entry : inheritedPath.split(u':')) {
            add(entry);
        }
    }
    return entries.join(u':');
}

} // namespace PythonSearchPath
