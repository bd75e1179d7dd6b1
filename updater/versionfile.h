#pragma once

#include <QString>
#include <QStringList>

namespace tidewell {

// A product's version file on the update server: line 1 the offered version, line 2 the file
// name of its update package in the same folder; later lines are ignored.
struct VersionInfo {
    QString version;
    QString package;
};

// False when the file breaks the rules: fewer than two lines, line 1 empty or exactly "html",
// line 2 empty, or line 2 not a plain file name.
bool parseVersionFile(const QStringList& lines, VersionInfo& info);

// A name taken from the server names a file in the download folder and nothing else: no path
// separator, no "..", no drive letter, no control character.
bool isPlainFileName(const QString& name);

} // namespace tidewell
