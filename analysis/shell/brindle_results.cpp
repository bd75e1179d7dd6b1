// The results commands of the main window: clipboard, clearing, results files, printing, mail
// and the browser view of the panes.
#include "brindle.h"

#include "analysis/engine/report.h"
#include "analysis/results/printing.h"
#include "analysis/results/resultpane.h"
#include "analysis/results/resultsfile.h"
#include "analysis/results/resultstexts.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/filedialogs.h"
#include "platform/mail.h"
#include "platform/printer.h"
#include "platform/shell.h"
#include "platform/textfile.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPlainTextEdit>

namespace quillmark {

namespace {

// The hourglass while the mail program is reached, restored on every way out.
class MailCursor {
public:
    MailCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~MailCursor() { QApplication::restoreOverrideCursor(); }
    MailCursor(const MailCursor&) = delete;
    MailCursor& operator=(const MailCursor&) = delete;
};

// Keeps the panes from taking the keys of the Cut, Copy and Paste menu items for themselves, so
// that the keys do what the commands do (Paste leaves the keyword pane alone) and are held off
// while a check runs.
class PaneShortcuts : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() == Qt::ControlModifier &&
                (key->key() == Qt::Key_X || key->key() == Qt::Key_C || key->key() == Qt::Key_V))
                return true; // left unaccepted: the menu's shortcut gets the key
        }
        return QObject::eventFilter(watched, event);
    }
};

// Lines with a line break after each, as the panes hold them.
QString clipboardText(const QStringList& lines) {
    QString text;
    for (const QString& l : lines)
        text += l + QLatin1Char('\n');
    return text;
}

void copyWholePane(QPlainTextEdit* pane) {
    pane->selectAll();
    QGuiApplication::clipboard()->setText(pane->toPlainText());
}

platform::FileDialogs::Options resultsDialog(const QString& programFolder) {
    platform::FileDialogs::Options o;
    o.defaultSuffix = results::kDefaultExtension;
    o.folder = results::resultsFolder(programFolder);
    return o;
}

} // namespace

QPlainTextEdit* TForm1::focusedPane() const {
    QWidget* w = focusWidget();
    for (QPlainTextEdit* pane : {SubmitReady, failedurls, memo3})
        if (w && w == pane)
            return pane;
    return nullptr;
}

void TForm1::routePaneShortcuts() {
    auto* filter = new PaneShortcuts(this);
    for (QPlainTextEdit* pane : {SubmitReady, failedurls, memo3})
        pane->installEventFilter(filter);
}

void TForm1::Cut1Click() {
    if (QPlainTextEdit* pane = focusedPane())
        pane->cut();
}

void TForm1::Copy1Click() {
    if (QPlainTextEdit* pane = focusedPane())
        pane->copy();
}

void TForm1::Paste1Click() {
    QPlainTextEdit* pane = focusedPane();
    if (pane == SubmitReady || pane == failedurls)
        pane->paste();
}

void TForm1::CopyFilesthatPassed1Click() {
    copyWholePane(SubmitReady);
}

void TForm1::CopyFilesthatFailed1Click() {
    copyWholePane(failedurls);
}

void TForm1::CopyKeywordDensityResults1Click() {
    copyWholePane(memo3);
}

void TForm1::CopyAllResults1Click() {
    call = results::allResultsLines(results::paneLines(SubmitReady), results::paneLines(failedurls),
                                    results::paneLines(memo3));
    QGuiApplication::clipboard()->setText(clipboardText(call));
}

void TForm1::ClearPassed1Click() {
    results::clearPane(SubmitReady);
}

void TForm1::ClearFailed1Click() {
    results::clearPane(failedurls);
}

void TForm1::ClearKeyword1Click() {
    results::clearPane(memo3);
}

void TForm1::ClearAll1Click() {
    results::clearPane(SubmitReady);
    results::clearPane(failedurls);
    results::clearPane(memo3);
}

void TForm1::SaveCurrentResults1Click() {
    ResultSave = results::resultsFileLines(
        results::paneLines(SubmitReady), results::paneLines(failedurls), results::paneLines(memo3));
    platform::FileDialogs::Options o = resultsDialog(m_services.programFolder);
    o.filter = results::kSaveFilter;
    o.fileName = results::kDefaultFileName;
    const QString path = m_services.fileDialogs->saveFileName(o);
    if (path.isEmpty())
        return;
    results::writeResultsFile(path, ResultSave);
    m_services.dialogs->information(results::kResultsSaved + path);
}

void TForm1::OpenResultsFile1Click() {
    platform::FileDialogs::Options o = resultsDialog(m_services.programFolder);
    o.title = results::kOpenTitle;
    o.filter = results::kOpenFilter;
    const QString path = m_services.fileDialogs->openFileName(o);
    if (path.isEmpty())
        return;
    ClearAll1Click();
    ResultSave = results::readResultsFile(path);
    // Each part goes straight into its pane; the clipboard is left as the user had it.
    const results::PaneTexts parts = results::splitResults(platform::joinLines(ResultSave));
    ResultSave.clear();
    results::setPaneText(SubmitReady, parts.passed);
    results::setPaneText(failedurls, parts.failed);
    results::setPaneText(memo3, parts.keyword);
}

namespace {

void printOne(platform::Dialogs& dialogs, platform::Printer& printer, const QPlainTextEdit* pane,
              const QString& title) {
    if (results::paneIsEmpty(pane)) {
        dialogs.information(results::kNothingToPrint);
        return;
    }
    results::printPane(printer, *pane, title);
}

} // namespace

void TForm1::Print1Click() {
    const std::pair<QPlainTextEdit*, QString> jobs[] = {
        {SubmitReady, results::kPassedJob},
        {failedurls, results::kFailedJob},
        {memo3, results::kKeywordJob},
    };
    for (const auto& [pane, title] : jobs)
        if (!results::paneIsEmpty(pane))
            results::printPane(*m_services.printer, *pane, title);
}

void TForm1::PrintPassedReport1Click() {
    printOne(*m_services.dialogs, *m_services.printer, SubmitReady, results::kPassedJob);
}

void TForm1::PrintFailedReport1Click() {
    printOne(*m_services.dialogs, *m_services.printer, failedurls, results::kFailedJob);
}

void TForm1::PrintKeywordDensityResults1Click() {
    printOne(*m_services.dialogs, *m_services.printer, memo3, results::kKeywordJob);
}

void TForm1::PrinterSetup1Click() {
    m_services.printer->setup(this);
}

namespace {

void sendResults(const Services& services, const QString& subject, const QStringList& lines) {
    const QString body = platform::joinLines(lines);
    int code = platform::kMailSuccess;
    {
        MailCursor cursor;
        code = services.mail->sendMail(subject, body);
    }
    switch (code) {
    case platform::kMailSuccess:
    case platform::kMailUserAbort:
        return;
    case platform::kMailNoProgram:
        services.dialogs->warning(results::kNoMailProgram);
        return;
    default:
        throw platform::Error(platform::mailErrorMessage(code), code);
    }
}

} // namespace

void TForm1::SendResults1Click() {
    call = results::allResultsLines(results::paneLines(SubmitReady), results::paneLines(failedurls),
                                    results::paneLines(memo3));
    sendResults(m_services, results::kMailSubject, call);
}

void TForm1::PassedURLs1Click() {
    sendResults(m_services, results::kMailSubject, results::paneLines(SubmitReady));
}

void TForm1::FailedURLs1Click() {
    sendResults(m_services, results::kMailSubject, results::paneLines(failedurls));
}

void TForm1::SendKeywordResults1Click() {
    sendResults(m_services, results::kKeywordMailSubject, results::paneLines(memo3));
}

void TForm1::OpenCurrentResultsinBrowser1Click() {
    const QString folder = m_services.programFolder;
    htmloutput = engine::reportHead(folder);
    htmloutput +=
        engine::browserViewBody(results::paneLines(failedurls), results::paneLines(SubmitReady),
                                results::paneLines(memo3), m_rules.bodychk);
    const QString file = engine::reportFile(folder);
    engine::writeReport(file, htmloutput);
    m_services.shell->open(platform::fileUrl(file));
}

} // namespace quillmark
