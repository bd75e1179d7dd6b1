// "Check Current File": the page open in the web host through the head pipeline, the policy
// check and the keyword checks into the three panes, then the report offer.
#include "brindle.h"
#include "checktexts.h"
#include "platform/waitcursor.h"

#include "analysis/engine/pagecheck.h"
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
        engine::checkPage(m_page, grid1, m_rules, address, workingFile, out, {}, hooks);
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
