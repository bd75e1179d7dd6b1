// "Check Current File": the page open in the web host through the head pipeline, the policy
// check and the keyword checks into the three panes, then the report offer.
#include "brindle.h"
#include "checktexts.h"
#include "platform/waitcursor.h"

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

void TForm1::preparePanes() {
    for (QPlainTextEdit* pane : {failedurls, memo3, SubmitReady})
        results::clearPane(pane);
    results::addPaneLine(SubmitReady, engine::kPassedHeading);
    results::addPaneLines(failedurls, {engine::kFailedHeading, QString()});
    results::addPaneLine(memo3, engine::kKeywordHeading);
}

void TForm1::flushPanes(engine::PaneOutput& out) {
    results::addPaneLines(SubmitReady, out.passed);
    results::addPaneLines(failedurls, out.failed);
    results::addPaneLines(memo3, out.keyword);
    out.clear();
}

void TForm1::SpeedButton5Click() {
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

    htmloutput = engine::reportHead(m_programFolder);
    preparePanes();
    m_page.resetPage();
    engine::loadWorkingCopy(m_page, workingFile);
    breathe();

    engine::PaneOutput out;
    try {
        engine::runHeadPipeline(m_page, grid1, m_rules, out, breathe);
    } catch (const platform::EFOpenError&) {
        flushPanes(out);
        dialogs.error(cannotOpen(address));
    } catch (const platform::Error& e) {
        flushPanes(out);
        dialogs.plain(e.message());
    }
    try {
        engine::policyCheck(m_page, address, workingFile, m_rules, grid1, out);
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

void TForm1::reportOffer() {
    if (!m_services.dialogs->confirm(kReportQuestion))
        return;
    platform::WaitCursor cursor;
    htmloutput += engine::reportBody(results::paneLines(failedurls), results::paneLines(SubmitReady),
                                     results::paneLines(memo3), m_rules.bodychk);
    const QString file = engine::reportFile(m_programFolder);
    engine::writeReport(file, htmloutput);
    oresult.address = file;
    cursor.restore();
    m_services.shell->open(platform::fileUrl(oresult.address));
}

} // namespace quillmark
