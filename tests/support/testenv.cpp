#include "testenv.h"

#include "platform/registrystore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

namespace testsupport {

QString builtProgramFolder() {
    return QStringLiteral(QM_PROGRAM_DIR "/");
}

QString fixturePath(const QString& relative) {
    return QStringLiteral(QM_FIXTURES_DIR "/") + relative;
}

void copyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString rel = QDir(from).relativeFilePath(it.filePath());
        const QString target = to + QLatin1Char('/') + rel;
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else {
            QDir().mkpath(QFileInfo(target).absolutePath());
            QFile::remove(target);
            QFile::copy(it.filePath(), target);
        }
    }
}

WriteBlock::WriteBlock(const QString& path) : m_folder(path + QStringLiteral(".lock")) {
    QDir().mkpath(m_folder);
}

WriteBlock::~WriteBlock() {
    lift();
}

bool WriteBlock::isSet() const {
    return QFileInfo(m_folder).isDir();
}

void WriteBlock::lift() {
    QDir(m_folder).removeRecursively();
}

TestEnv::TestEnv(Layout layout) {
    m_programFolder = m_dir.path() + QStringLiteral("/program/");
    m_folders = platform::oneFolder(m_programFolder);
    if (layout == Layout::Separate) {
        m_folders.cache = m_dir.path() + QStringLiteral("/cache/");
        m_folders.userData = m_dir.path() + QStringLiteral("/userdata/");
    }
    m_registry = m_dir.path() + QStringLiteral("/config/VRNH/registry.reg");
    // The delivered data as the repository holds it: a program folder that was run by hand
    // holds files the programs wrote, which no test should start from.
    const QString built = QStringLiteral(QM_DATA_DIR "/");
    QDir().mkpath(m_programFolder);
    for (const char* sub : {"Required", "dorazo", "sampleweb"})
        copyTree(built + QLatin1String(sub), m_programFolder + QLatin1String(sub));
    for (const QFileInfo& f :
         QDir(built).entryInfoList({QStringLiteral("*.hlp"), QStringLiteral("*.txt")}, QDir::Files))
        QFile::copy(f.filePath(), m_programFolder + f.fileName());
}

QString TestEnv::path(const QString& relative) const {
    return m_dir.path() + QLatin1Char('/') + relative;
}

void TestEnv::writeFile(const QString& relative, const QByteArray& bytes) const {
    const QString p = QDir::isAbsolutePath(relative) ? relative : path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(p));
    f.write(bytes);
}

QByteArray TestEnv::readFile(const QString& relative) const {
    QFile f(QDir::isAbsolutePath(relative) ? relative : path(relative));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void TestEnv::setValue(const QString& key, const QString& name, const QString& value) const {
    platform::RegistryStore reg(m_registry);
    QVERIFY(reg.openKey(key, true));
    QVERIFY(reg.writeString(name, value));
}

bool TestEnv::valueExists(const QString& key, const QString& name) const {
    platform::RegistryStore reg(m_registry);
    return reg.openKeyReadOnly(key) && reg.valueExists(name);
}

QString TestEnv::value(const QString& key, const QString& name) const {
    platform::RegistryStore reg(m_registry);
    return reg.openKeyReadOnly(key) ? reg.readString(name) : QString();
}

bool TestEnv::keyExists(const QString& key) const {
    platform::RegistryStore reg(m_registry);
    return reg.keyExists(key);
}

QProcessEnvironment programEnvironment(const TestEnv& env, const QString& platform) {
    QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
    pe.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    pe.insert(QStringLiteral("XDG_CONFIG_HOME"), env.path(QStringLiteral("config")));
    const QString runtime = env.path(QStringLiteral("run"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    pe.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    pe.insert(QStringLiteral("QM_PROGRAM_FOLDER"), env.programFolder());
    return pe;
}

ProcessOutcome runProgram(const QString& program, const QStringList& args,
                          const QString& configHome, int timeoutMs) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

mode_t fileMode(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace testsupport
