#pragma once

// A program folder and a registry file of a test's own, in a temporary folder.

#include "platform/folders.h"

#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

namespace testsupport {

// The program folder the build made (executables and delivered data).
QString builtProgramFolder();
// A fixture file under tests/fixtures.
QString fixturePath(const QString& relative);

class TestEnv {
public:
    // Where the programs write: into the copy of the delivered data, for tests that need one
    // folder only, or into a cache and a user data folder of their own (not made beforehand).
    enum class Layout { OneFolder, Separate };
    explicit TestEnv(Layout layout = Layout::OneFolder);
    // A copy of the delivered data (Required/, dorazo/, sampleweb/, help and noise-word files).
    QString programFolder() const { return m_programFolder; }     // ends in '/'
    QString cacheFolder() const { return m_folders.cache; }       // ends in '/'
    QString userDataFolder() const { return m_folders.userData; } // ends in '/'
    // The data folder is programFolder().
    platform::Folders folders() const { return m_folders; }
    QString registryPath() const { return m_registry; }
    QString root() const { return m_dir.path(); }
    QString path(const QString& relative) const;
    void writeFile(const QString& relative, const QByteArray& bytes) const;
    QByteArray readFile(const QString& relative) const;
    // Writes a registry value (the key is created).
    void setValue(const QString& key, const QString& name, const QString& value) const;
    bool valueExists(const QString& key, const QString& name) const;
    QString value(const QString& key, const QString& name) const;
    bool keyExists(const QString& key) const;

private:
    QTemporaryDir m_dir;
    QString m_programFolder;
    QString m_registry;
    platform::Folders m_folders;
};

// The environment of a program process a test starts on `platform` ("offscreen", "xcb"): the
// test's own settings, runtime folder (mode 0700) and program folder (QM_PROGRAM_FOLDER, read by
// the test host).
QProcessEnvironment programEnvironment(const TestEnv& env, const QString& platform);

// A program run to its end with the test's own settings folder (XDG_CONFIG_HOME): its exit
// status (-1 when it crashed or was killed after the timeout) and what it wrote.
struct ProcessOutcome {
    int status = -1;
    QByteArray out;
    QByteArray err;
};
ProcessOutcome runProgram(const QString& program, const QStringList& args,
                          const QString& configHome, int timeoutMs = 240000);

// The permission bits of a file, 0 when it is not there.
mode_t fileMode(const QString& path);

// Copies a folder tree.
void copyTree(const QString& from, const QString& to);

// A folder where the lock file of the file at `path` goes: no write of that file can take its
// lock, so every write fails, even as root. The folder goes when the block is lifted or ends.
class WriteBlock {
public:
    explicit WriteBlock(const QString& path);
    ~WriteBlock();
    WriteBlock(const WriteBlock&) = delete;
    WriteBlock& operator=(const WriteBlock&) = delete;

    bool isSet() const; // the folder is there
    void lift();

private:
    QString m_folder;
};

} // namespace testsupport
