// The results commands of the main window: clipboard, clearing, results files, printing, mail
// and the browser view of the panes.
#include "mainwindow.h"

#include "analysis/engine/report.h"
#include "analysis/results/printing.h"
#include "analysis/results/resultpane.h"
#include "analysis/results/resultsfile.h"
#include "analysis/results/resultstexts.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/filedialogs.h"
#include "platform/folders.h"
#include "platform/mail.h"
#include "platform/printer.h"
#include "platform/shell.h"
#include "platform/textfile.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
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

platform::FileDialogs::Options resultsDialog(const QString& lastFolder) {
    platform::FileDialogs::Options o;
    o.defaultSuffix = results::kDefaultExtension;
    o.folder = platform::dialogStartFolder(lastFolder);
    return o;
}

} // namespace

QPlainTextEdit* MainWindow::focusedPane() const {
    QWidget* w = focusWidget();
    for (QPlainTextEdit* pane : {m_passedPane, m_failedPane, m_keywordPane})
        if (w && w == pane)
            return pane;
    return nullptr;
}

void MainWindow::routePaneShortcuts() {
    auto* filter = new PaneShortcuts(this);
    for (QPlainTextEdit* pane : {m_passedPane, m_failedPane, m_keywordPane})
        pane->installEventFilter(filter);
}

void MainWindow::cutText() {
    if (QPlainTextEdit* pane = focusedPane())
        pane->cut();
}

void MainWindow::copyText() {
    if (QPlainTextEdit* pane = focusedPane())
        pane->copy();
}

void MainWindow::pasteText() {
    QPlainTextEdit* pane = focusedPane();
    if (pane == m_passedPane || pane == m_failedPane)
        pane->paste();
}

void MainWindow::copyPassed() {
    copyWholePane(m_passedPane);
}

void MainWindow::copyFailed() {
    copyWholePane(m_failedPane);
}

void MainWindow::copyKeywordResults() {
    copyWholePane(m_keywordPane);
}

void MainWindow::copyAllResults() {
    m_allResults =
        results::allResultsLines(results::paneLines(m_passedPane), results::paneLines(m_failedPane),
                                 results::paneLines(m_keywordPane));
    QGuiApplication::clipboard()->setText(clipboardText(m_allResults));
}

void MainWindow::clearPassed() {
    results::clearPane(m_passedPane);
}

void MainWindow::clearFailed() {
    results::clearPane(m_failedPane);
}

void MainWindow::clearKeyword() {
    results::clearPane(m_keywordPane);
}

void MainWindow::clearAll() {
    results::clearPane(m_passedPane);
    results::clearPane(m_failedPane);
    results::clearPane(m_keywordPane);
}

void MainWindow::saveResults() {
    m_resultsBuffer = results::resultsFileLines(results::paneLines(m_passedPane),
                                                results::paneLines(m_failedPane),
                                                results::paneLines(m_keywordPane));
    platform::FileDialogs::Options o = resultsDialog(m_resultsFolder);
    o.filter = results::kSaveFilter;
    o.fileName = results::kDefaultFileName;
    const QString path = m_services.fileDialogs->saveFileName(o);
    if (path.isEmpty())
        return;
    m_resultsFolder = QFileInfo(path).absolutePath();
    results::writeResultsFile(path, m_resultsBuffer);
    m_services.dialogs->information(results::kResultsSaved + path);
}

void MainWindow::openResultsFile() {
    platform::FileDialogs::Options o = resultsDialog(m_resultsFolder);
    o.title = results::kOpenTitle;
    o.filter = results::kOpenFilter;
    const QString path = m_services.fileDialogs->openFileName(o);
    if (path.isEmpty())
        return;
    m_resultsFolder = QFileInfo(path).absolutePath();
    clearAll();
    m_resultsBuffer = results::readResultsFile(path);
    // Each part goes straight into its pane; the clipboard is left as the user had it.
    const results::PaneTexts parts = results::splitResults(platform::joinLines(m_resultsBuffer));
    m_resultsBuffer.clear();
    results::setPaneText(m_passedPane, parts.passed);
    results::setPaneText(m_failedPane, parts.failed);
    results::setPaneText(m_keywordPane, parts.keyword);
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

void MainWindow::printAllResults() {
    const std::pair<QPlainTextEdit*, QString> jobs[] = {
        {m_passedPane, results::kPassedJob},
        {m_failedPane, results::kFailedJob},
        {m_keywordPane, results::kKeywordJob},
    };
    for (const auto& [pane, title] : jobs)
        if (!results::paneIsEmpty(pane))
            results::printPane(*m_services.printer, *pane, title);
}

void MainWindow::printPassed() {
    printOne(*m_services.dialogs, *m_services.printer, m_passedPane, results::kPassedJob);
}

void MainWindow::printFailed() {
    printOne(*m_services.dialogs, *m_services.printer, m_failedPane, results::kFailedJob);
}

void MainWindow::printKeywordResults() {
    printOne(*m_services.dialogs, *m_services.printer, m_keywordPane, results::kKeywordJob);
}

void MainWindow::printerSetup() {
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

void MainWindow::mailAllResults() {
    m_allResults =
        results::allResultsLines(results::paneLines(m_passedPane), results::paneLines(m_failedPane),
                                 results::paneLines(m_keywordPane));
    sendResults(m_services, results::kMailSubject, m_allResults);
}

void MainWindow::mailPassed() {
    sendResults(m_services, results::kMailSubject, results::paneLines(m_passedPane));
}

void MainWindow::mailFailed() {
    sendResults(m_services, results::kMailSubject, results::paneLines(m_failedPane));
}

void MainWindow::mailKeywordResults() {
    sendResults(m_services, results::kKeywordMailSubject, results::paneLines(m_keywordPane));
}

void MainWindow::viewResultsInBrowser() {
    m_reportLines = engine::reportHead(m_services.folders.data);
    m_reportLines +=
        engine::browserViewBody(results::paneLines(m_failedPane), results::paneLines(m_passedPane),
                                results::paneLines(m_keywordPane), m_rules.bodychk);
    const QString file = m_services.folders.cacheFile(engine::kReportFile);
    engine::writeReport(file, m_reportLines);
    openInBrowser(file);
}

void MainWindow::openInBrowser(const QString& file) {
    if (!m_services.shell->open(platform::fileUrl(file)))
        m_services.dialogs->warning(results::kReportNotOpened.arg(QDir::toNativeSeparators(file)));
}

} // namespace quillmark
