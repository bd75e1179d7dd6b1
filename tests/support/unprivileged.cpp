#include "unprivileged.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

namespace {

constexpr int kNobody = 65534;

void addMode(const QString& path, mode_t bits) {
    struct stat info;
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) == 0 && !S_ISLNK(info.st_mode))
        ::chmod(name.constData(), (info.st_mode & 07777) | bits);
}

QString copyInto(const QString& file, const QString& folder) {
    const QString copy = QDir(folder).filePath(QFileInfo(file).fileName());
    QFile::remove(copy);
    QFile::copy(file, copy);
    addMode(copy, 0555);
    return copy;
}

} // namespace

bool runningAsRoot() {
    return ::geteuid() == 0;
}

void shareFolder(const QString& folder, bool writable) {
    for (QDir up(QFileInfo(folder).absoluteFilePath()); up.cdUp();) {
        if (QFileInfo(up.absolutePath()).ownerId() == ::geteuid())
            addMode(up.absolutePath(), 0111);
        if (up.isRoot())
            break;
    }
    const mode_t dirBits = writable ? 0777 : 0555;
    const mode_t fileBits = writable ? 0666 : 0444;
    addMode(folder, dirBits);
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        addMode(it.filePath(), it.fileInfo().isDir() ? dirBits : fileBits);
    }
}

void startUnprivileged(QProcess& process, const QString& program, const QStringList& args,
                       const QString& sharedFolder) {
    QProcessEnvironment env = process.processEnvironment();
    if (env.isEmpty())
        env = QProcessEnvironment::systemEnvironment();
    const QString copy = copyInto(program, sharedFolder);
    // The leak checker stops a program whose suppressions file it cannot read.
    QString lsan = env.value(QStringLiteral("LSAN_OPTIONS"));
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("suppressions=([^:]+)")).match(lsan);
    if (m.hasMatch() && QFileInfo(m.captured(1)).isFile()) {
        lsan.replace(m.capturedStart(1), m.capturedLength(1),
                     copyInto(m.captured(1), sharedFolder));
        env.insert(QStringLiteral("LSAN_OPTIONS"), lsan);
    }
    process.setProcessEnvironment(env);
    if (!runningAsRoot()) {
        process.start(copy, args);
        return;
    }
    process.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=%1").arg(kNobody),
                                                         QStringLiteral("--regid=%1").arg(kNobody),
                                                         QStringLiteral("--clear-groups"), copy} +
                                                 args);
}

} // namespace testsupport
