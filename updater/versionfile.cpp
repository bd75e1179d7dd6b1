#include "versionfile.h"

namespace tidewell {

bool isPlainFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name.contains(QLatin1String("..")))
        return false;
    for (QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c.unicode() < 32)
            return false;
    return true;
}

bool parseVersionFile(const QStringList& lines, VersionInfo& info) {
    if (lines.size() < 2)
        return false;
    const QString& version = lines.at(0);
    const QString& package = lines.at(1);
    if (version.isEmpty() || version == QLatin1String("html") || package.isEmpty())
        return false;
    if (!isPlainFileName(package))
        return false;
    info.version = version;
    info.package = package;
    return true;
}

} // namespace tidewell
