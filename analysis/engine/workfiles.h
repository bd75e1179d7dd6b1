#pragma once

#include <QDir>
#include <QString>

namespace engine {

// The working file that the web host writes each page's source into.
inline QString workingFile(const QString& programFolder) {
    return QDir(programFolder).filePath(QStringLiteral("dorazo/temp.tgf"));
}

// The HTML report file.
inline QString reportFile(const QString& programFolder) {
    return QDir(programFolder).filePath(QStringLiteral("dorazo/temp.html"));
}

} // namespace engine
