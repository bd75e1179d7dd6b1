#include "folders.h"

#include "errors.h"
#include "filenames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#ifndef QM_INSTALL_DATADIR
#define QM_INSTALL_DATADIR "share"
#endif

namespace platform {

namespace {

QString withSlash(const QString& folder) {
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    return clean.endsWith(QLatin1Char('/')) ? clean : clean + QLatin1Char('/');
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why the folder cannot take files, or an empty text when it can.
QString folderProblem(const QString& folder) {
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    // Each missing folder on the way is made private: the cache holds copies of the user's pages.
    qsizetype from = 1;
    for (;;) {
        const qsizetype slash = clean.indexOf(QLatin1Char('/'), from);
        const QString step = slash < 0 ? clean : clean.left(slash);
        const QByteArray native = nativePath(step);
        struct stat st;
        if (::stat(native.constData(), &st) != 0) {
            if (errno != ENOENT || (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST))
                return QStringLiteral("The folder \"%1\" cannot be made: %2")
                    .arg(step, errnoText(errno));
        } else if (!S_ISDIR(st.st_mode)) {
            return QStringLiteral("The folder \"%1\" cannot be made: %2")
                .arg(step, errnoText(ENOTDIR));
        }
        if (slash < 0)
            break;
        from = slash + 1;
    }
    if (::access(nativePath(clean).constData(), W_OK | X_OK) != 0)
        return QStringLiteral("The folder \"%1\" cannot be written: %2")
            .arg(clean, errnoText(errno));
    return QString();
}

} // namespace

QString Folders::listToRead(const QString& relative) const {
    const QString own = userData + relative;
    return QFileInfo::exists(own) ? own : data + relative;
}

QString Folders::listToWrite(const QString& relative) const {
    return prepareFolderOf(userData + relative);
}

QString Folders::cacheFile(const QString& relative) const {
    return prepareFolderOf(cache + relative);
}

Folders programFolders(const QString& program, const QString& executableFolder) {
    const QString helpFile = program + QStringLiteral(".hlp");
    const QString dataDir = QStringLiteral(QM_INSTALL_DATADIR);
    QStringList candidates;
    candidates << (QDir::isAbsolutePath(dataDir)
                       ? QDir(dataDir).filePath(program)
                       : QDir(executableFolder)
                             .filePath(QStringLiteral("../%1/%2").arg(dataDir, program)));
    // A build tree's own data comes before a copy installed elsewhere on the machine.
    candidates << executableFolder;
    for (const QString& d : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        candidates << QDir(d).filePath(program);

    Folders f;
    f.data = withSlash(executableFolder);
    for (const QString& c : std::as_const(candidates))
        if (QFileInfo(QDir(c).filePath(helpFile)).isFile()) {
            f.data = withSlash(c);
            break;
        }
    f.cache = withSlash(QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
                            .filePath(program));
    f.userData =
        withSlash(QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                      .filePath(program));
    return f;
}

Folders programFolders(const QString& program) {
    return programFolders(program, QCoreApplication::applicationDirPath());
}

Folders oneFolder(const QString& folder) {
    const QString f = withSlash(folder);
    return {f, f, f};
}

QString prepareFolderOf(const QString& file) {
    const QString problem = folderProblem(QFileInfo(file).absolutePath());
    if (!problem.isEmpty())
        throw EFCreateError(file, problem);
    return file;
}

void prepareFolder(const QString& folder) {
    const QString problem = folderProblem(folder);
    if (!problem.isEmpty())
        throw EFCreateError(folder, problem);
}

QString dialogStartFolder(const QString& lastUsed) {
    if (!lastUsed.isEmpty())
        return lastUsed;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

} // namespace platform
