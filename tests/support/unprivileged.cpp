#include "unprivileged.h"

#include "testenv.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

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

// Makes the folders on the way to `path` that the test owns searchable, not readable.
void openWayTo(const QString& path) {
    for (QDir up(QFileInfo(path).absoluteFilePath()); up.cdUp();) {
        if (QFileInfo(up.absolutePath()).ownerId() == ::geteuid())
            addMode(up.absolutePath(), 0111);
        if (up.isRoot())
            break;
    }
}

} // namespace

bool runningAsRoot() {
    return ::geteuid() == 0;
}

void shareFolder(const QString& folder, bool writable) {
    openWayTo(folder);
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

bool runsUnprivileged(const char* testFunction) {
    if (::geteuid() != 0)
        return true;
    QTemporaryDir home;
    [&] {
        QVERIFY2(home.isValid() &&
                     ::chown(QFile::encodeName(home.path()).constData(), kNobody, kNobody) == 0,
                 "no home for the unprivileged run");
    }();
    if (QTest::currentTestFailed())
        return false;
    for (const char* sub : {"config", "run", "tmp"}) {
        const QString dir = home.path() + QLatin1Char('/') + QLatin1String(sub);
        QDir().mkpath(dir);
        (void)::chown(QFile::encodeName(dir).constData(), kNobody, kNobody);
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
    }
    // The build tree and the sources may lie below folders that nobody may search.
    openWayTo(QCoreApplication::applicationDirPath());
    openWayTo(fixturePath(QString()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path() + QStringLiteral("/run"));
    env.insert(QStringLiteral("TMPDIR"), home.path() + QStringLiteral("/tmp"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=%1").arg(kNobody),
                 QStringLiteral("--regid=%1").arg(kNobody), QStringLiteral("--clear-groups"),
                 QCoreApplication::applicationFilePath(), QLatin1String(testFunction)});
    const bool finished = child.waitForFinished(240000);
    if (!finished)
        child.kill();
    child.waitForFinished();
    const QByteArray output = child.readAll();
    [&] {
        QVERIFY2(finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 output.constData());
    }();
    return false;
}

} // namespace testsupport
