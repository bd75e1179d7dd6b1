#pragma once

// The main window of quillmark with every seam scripted, on folders of its own.

#include "analysis/shell/mainwindow.h"
#include "analysis/shell/quillmark.h"
#include "support/doubles.h"
#include "support/testenv.h"
#include "webhost/localweb.h"

#include <memory>

class QPlainTextEdit;

// The main window's state that its commands and controls do not show.
struct quillmark::MainWindow::TestAccess {
    explicit TestAccess(MainWindow& form)
        : rules(form.m_rules), ruleTable(form.m_ruleTable), page(form.m_page),
          editor(form.m_editor), reportLines(form.m_reportLines), helpFile(form.m_helpFile),
          batchPages(form.m_batchPages), batchFolders(form.m_batchFolders),
          resultsBuffer(form.m_resultsBuffer), allResults(form.m_allResults),
          noiseWords(form.m_noiseWords) {}

    engine::RuleValues& rules;
    engine::RuleTable& ruleTable;
    engine::PageState& page;
    std::unique_ptr<webhost::Editor>& editor;
    QStringList& reportLines;
    QString& helpFile;
    QStringList& batchPages;
    QStringList& batchFolders;
    QStringList& resultsBuffer;
    QStringList& allResults;
    QStringList& noiseWords;
};

namespace testsupport {

inline quillmark::MainWindow::TestAccess state(quillmark::MainWindow* form) {
    return quillmark::MainWindow::TestAccess(*form);
}

// The three result panes, found by their object names.
QPlainTextEdit* passedPane(const quillmark::MainWindow* form);
QPlainTextEdit* failedPane(const quillmark::MainWindow* form);
QPlainTextEdit* keywordPane(const quillmark::MainWindow* form);

class QuillmarkHarness {
public:
    explicit QuillmarkHarness(TestEnv::Layout layout = TestEnv::Layout::OneFolder);
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
    quillmark::Services services; // the seams above; start() wires them
    std::unique_ptr<quillmark::WiredServices> wired;
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
