// "Check Current File": the page open in the web host through the head pipeline, the policy
// check and the keyword checks into the three panes, then the report offer.
#include "checktexts.h"
#include "mainwindow.h"
#include "platform/waitcursor.h"

#include "analysis/batch/batchrun.h"
#include "analysis/engine/pagecheck.h"
#include "analysis/engine/report.h"
#include "analysis/engine/workfiles.h"
#include "analysis/results/resultpane.h"
#include "platform/dialogs.h"
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
    const QString workingFile = m_services.folders.cacheFile(engine::kWorkingFile);
    try {
        m_explorer->vtiGetDocToFile(address, workingFile);
    } catch (const webhost::PageFailure& e) {
        // A page the host cannot give is a failed page, as in a batch.
        m_reportLines = engine::reportHead(m_services.folders.data);
        preparePanes();
        engine::PaneOutput out;
        out.failed = batch::cannotCheckEntry(address, e.message());
        flushPanes(out);
        setStatusText(kReady);
        cursor.restore();
        reportOffer();
        return;
    } catch (const std::exception& e) {
        dialogs.error(fetchFailure(e));
        return;
    }

    m_reportLines = engine::reportHead(m_services.folders.data);
    preparePanes();
    engine::PaneOutput out;
    engine::PageHooks hooks;
    // A page the host wrote but that cannot be read ends the command.
    hooks.loadErrorEnds = true;
    hooks.onError = [&](const QString& message, bool notOpened) {
        flushPanes(out);
        if (notOpened)
            dialogs.error(cannotOpen(address));
        else
            dialogs.plain(message);
    };
    hooks.after = [&](engine::PageStep step) {
        if (step == engine::PageStep::PolicyChecked || step == engine::PageStep::KeywordsChecked)
            flushPanes(out);
        if (step == engine::PageStep::Loaded || engine::isBetweenHeadSteps(step) ||
            step == engine::PageStep::PolicyChecked)
            breathe();
    };
    try {
        engine::checkPage(m_page, m_ruleTable, m_rules, address, workingFile, out, {}, hooks);
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
    const QString file = m_services.folders.cacheFile(engine::kReportFile);
    engine::writeReport(file, m_reportLines);
    m_reportLink.address = file;
    cursor.restore();
    openInBrowser(m_reportLink.address);
}

} // namespace quillmark
