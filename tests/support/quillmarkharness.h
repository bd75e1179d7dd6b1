#pragma once

// The main window of quillmark with every seam scripted, on a program folder of its own.

#include "analysis/shell/mainwindow.h"
#include "analysis/shell/quillmark.h"
#include "support/doubles.h"
#include "support/testenv.h"
#include "webhost/localweb.h"

#include <memory>

namespace testsupport {

class QuillmarkHarness {
public:
    QuillmarkHarness();
    ~QuillmarkHarness();

    TestEnv env;
    ScriptedDialogs dialogs;
    ScriptedFileDialogs fileDialogs;
    RecordingShell shell;
    RecordingHelp help;
    PdfPrinter printer;
    RecordingMail mail;
    std::unique_ptr<webhost::LocalWeb> web;
    std::unique_ptr<FaultyHost> host;
    quillmark::Services services;
    std::unique_ptr<quillmark::MainWindow> form;

    // Runs the program entry's start-up (the window is not shown).
    quillmark::MainWindow* start();
    // Start-up, then shows the window and waits until it is exposed.
    quillmark::MainWindow* startShown();
    // Closes the window as the user would.
    void close();
    // Points the host at a web folder of the test's own and opens a page there.
    void openWeb(const QString& folder, const QString& page = QString());
};

} // namespace testsupport
