#pragma once

// tidewell's main window on a data folder, cache folder and registry file of its own, every seam
// scripted, pointed at an FTP server on 127.0.0.1. Header only: the tests that use it
// link tidewell_ui already.

#include "support/doubles.h"
#include "support/testenv.h"
#include "updater/mainwindow.h"
#include "updater/services.h"
#include "updater/tidewell.h"

#include <QDir>

#include <memory>

namespace testsupport {

class TidewellHarness {
public:
    explicit TidewellHarness(int port) {
        services.dialogs = &dialogs;
        services.fileDialogs = &fileDialogs;
        services.help = &help;
        services.shell = &shell;
        services.installer = &installer;
        services.registryPath = env.registryPath();
        services.folders = env.folders();
        services.updateHost = QStringLiteral("127.0.0.1");
        services.updatePort = port;
        installer.systemDir = env.path(QStringLiteral("system"));
        QDir().mkpath(installer.systemDir);
    }

    TestEnv env{TestEnv::Layout::Separate};
    ScriptedDialogs dialogs;
    ScriptedFileDialogs fileDialogs;
    RecordingHelp help;
    RecordingShell shell;
    ScriptedInstaller installer;
    tidewell::Services services;
    std::unique_ptr<tidewell::MainWindow> window;

    // Runs the program entry's start-up (the window is not shown).
    tidewell::MainWindow* start() {
        window = tidewell::startTidewell(services);
        return window.get();
    }
};

} // namespace testsupport
