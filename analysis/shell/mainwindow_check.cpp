// "Check Current File": the page open in the web host through the head pipeline, the policy
// check and the keyword checks into the three panes, then the report offer.
#include "checktexts.h"
#include "mainwindow.h"
#include "platform/waitcursor.h"

#include "analysis/batch/batchrun.h"
#include "analysis/engine/checks.h"
#include "analysis/engine/headpipeline.h"
#include "analysis/engine/report.h"
#include "analysis/engine/workfiles.h"
#include "analysis/results/resultpane.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "webhost/host.h"

#include <QCoreApplication>
#include <QPlainTextEdit>

namespace quillmark {

using namespace checktexts;

namespace {

// Lets the window repaint and answer between the steps; commands stay held off meanwhile.
void breathe() {
    QCoreApplication::processEvents();
}

} // namespace

void MainWindow::preparePanes() {
    for (QPlainTextEdit* pane : {m_failedPane, m_keywordPane, m_passedPane})
        results::clearPane(pane);
    engine::PaneOutput headings = batch::paneHeadings();
    flushPanes(headings);
}

void MainWindow::flushPanes(engine::PaneOutput& out) {
    results::addPaneLines(m_passedPane, out.passed);
    results::addPaneLines(m_failedPane, out.failed);
    results::addPaneLines(m_keywordPane, out.keyword);
    out.clear();
}

void MainWindow::checkCurrentFile() {
    BusyScope busy(*this);
    platform::WaitCursor cursor;
    platform::Dialogs& dialogs = *m_services.dialogs;

    QString address;
    try {
        address = m_editor->vtiGetTopPageURL();
    } catch (const std::exception&) {
        dialogs.error(kError3002);
        return;
    }
    const QString workingFile = engine::workingFile(m_programFolder);
    try {
        m_explorer->vtiGetDocToFile(address, workingFile);
    } catch (const std::exception&) {
        dialogs.error(kError3001);
        return;
    }

    m_reportLines = engine::reportHead(m_programFolder);
    preparePanes();
    m_page.resetPage();
    engine::loadWorkingCopy(m_page, workingFile);
    breathe();

    engine::PaneOutput out;
    try {
        engine::runHeadPipeline(m_page, m_ruleTable, m_rules, out, breathe);
    } catch (const platform::EFOpenError&) {
        flushPanes(out);
        dialogs.error(cannotOpen(address));
    } catch (const platform::Error& e) {
        flushPanes(out);
        dialogs.plain(e.message());
    }
    try {
        engine::policyCheck(m_page, address, workingFile, m_rules, m_ruleTable, out);
        flushPanes(out);
        breathe();
        engine::keywordChecks(m_page, address, workingFile, m_rules, out);
        flushPanes(out);
    } catch (...) {
        // A rule value that is not a number ends the check; what it wrote stays in the panes.
        flushPanes(out);
        throw;
    }
    setStatusText(kReady);
    cursor.restore();
    reportOffer();
}

void MainWindow::reportOffer() {
    if (!m_services.dialogs->confirm(kReportQuestion))
        return;
    platform::WaitCursor cursor;
    m_reportLines +=
        engine::reportBody(results::paneLines(m_failedPane), results::paneLines(m_passedPane),
                           results::paneLines(m_keywordPane), m_rules.bodychk);
    const QString file = engine::reportFile(m_programFolder);
    engine::writeReport(file, m_reportLines);
    m_reportLink.address = file;
    cursor.restore();
    m_services.shell->open(platform::fileUrl(m_reportLink.address));
}

} // namespace quillmark
