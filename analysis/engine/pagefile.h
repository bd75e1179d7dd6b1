#pragma once

#include <QDir>
#include <QString>

namespace engine {

// The working file that the web host writes each page's source into, and the HTML report file;
// both live in the cache folder.
inline const QString kWorkingFile = QStringLiteral("dorazo/temp.tgf");
inline const QString kReportFile = QStringLiteral("dorazo/temp.html");

inline QString workingFile(const QString& cacheFolder) {
    return QDir(cacheFolder).filePath(kWorkingFile);
}

inline QString reportFile(const QString& cacheFolder) {
    return QDir(cacheFolder).filePath(kReportFile);
}

// The largest page the checks read.
constexpr qint64 kMaxPageBytes = qint64(64) << 20;

// A page file's text, decoded (UTF-8, else Windows-1252). Opened without waiting, so that a FIFO
// among the pages cannot hold the check. Raises EFOpenError, also for a page larger than
// kMaxPageBytes.
QString readPageFile(const QString& path);
// A page's text from bytes read already (a site's copy), decoded as readPageFile decodes; raises
// EFOpenError naming `name` for more than kMaxPageBytes.
QString decodePageBytes(const QByteArray& bytes, const QString& name);

} // namespace engine
