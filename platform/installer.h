#pragma once

#include <QString>

namespace platform {

// The platform's uninstall key under HKEY_LOCAL_MACHINE: one subkey per installed product,
// named by its product code. It lives in the registry file like any key.
inline const QString kUninstallKey =
    QStringLiteral("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");

// What the updater's Install needs of the platform: the system directory (where the installer
// engine would be) and starting a program with parameters, optionally waiting for it.
class Installer {
public:
    virtual ~Installer() = default;
    // The system directory, without a trailing separator. A failed platform call raises
    // platform::Error with the platform's text.
    virtual QString systemDirectory() = 0;
    // Starts `command` with `parameters` (split like a command line) in `directory` (empty: the
    // current one). With `wait` it blocks until the program ends, processing no events. False
    // when the program cannot be started.
    virtual bool start(const QString& command, const QString& parameters, const QString& directory,
                       bool wait) = 0;
    // Pauses the calling thread, processing no events (the wait between two looks at the
    // uninstall key).
    virtual void pause(int milliseconds) = 0;
};

// Starts a real process (QProcess).
bool startProgram(const QString& command, const QString& parameters, const QString& directory,
                  bool wait);

// The real one. Linux has no installer engine: the system directory is the folder of the
// system's programs, where "msiexec.exe" is not found.
class QtInstaller : public Installer {
public:
    QString systemDirectory() override;
    bool start(const QString& command, const QString& parameters, const QString& directory,
               bool wait) override;
    void pause(int milliseconds) override;
};

} // namespace platform
