// Batch verification: the two batch commands, the gathering of the pages into the selection
// dialog (choosePages) and the run over the chosen pages (runBatch).
#include "checktexts.h"
#include "mainwindow.h"
#include "platform/waitcursor.h"

#include "analysis/batch/batchprogress.h"
#include "analysis/batch/batchrun.h"
#include "analysis/batch/folderchooser.h"
#include "analysis/batch/gathering.h"
#include "analysis/batch/pageselection.h"
#include "analysis/engine/report.h"
#include "analysis/engine/workfiles.h"
#include "platform/dialogs.h"
#include "webhost/host.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>
#include <memory>

namespace quillmark {

using namespace checktexts;

namespace {

QString progressText(const char* what, int i, int n, const QString& address) {
    return QLatin1String(what) + QString::number(i + 1) + QStringLiteral(" of ") +
           QString::number(n) + QLatin1Char(' ') + address;
}

// Lets the window answer, repaint and show the progress every so often rather than after every
// step: the run writes what it has gathered to the panes in one edit each, then processes the
// pending events. Never a pause of its own.
class Breather {
public:
    static constexpr int kIntervalMs = 25;

    explicit Breather(std::function<void()> refresh) : m_refresh(std::move(refresh)) {}
    void operator()() {
        if (m_clock.isValid() && m_clock.elapsed() < kIntervalMs)
            return;
        now();
    }
    void now() {
        m_refresh();
        QCoreApplication::processEvents();
        m_clock.start();
    }

private:
    std::function<void()> m_refresh;
    QElapsedTimer m_clock;
};

// The progress window closes on every way out of the run.
class ProgressScope {
public:
    ProgressScope(BatchProgressWindow& window, int total) : m_window(window) {
        m_window.startRun(total);
    }
    ~ProgressScope() { close(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    void close() {
        if (m_window.running())
            m_window.finishRun();
    }

private:
    BatchProgressWindow& m_window;
};

// The window's part in each page of a run: the progress window's texts, the host's copy of the
// page into the working file, the breather and the error boxes.
class WindowSteps : public batch::PageSteps {
public:
    WindowSteps(BatchProgressWindow& progress, webhost::Explorer& explorer,
                platform::Dialogs& dialogs, QString workingFile, int pages, Breather& breathe,
                std::function<void()> flush,
                std::function<QString(const std::exception&)> describeFailure)
        : m_progress(progress), m_explorer(explorer), m_dialogs(dialogs),
          m_workingFile(std::move(workingFile)), m_pages(pages), m_breathe(breathe),
          m_flush(std::move(flush)), m_describeFailure(std::move(describeFailure)) {}

    // The box's text for the fetch that ended the run.
    QString failureText() const { return m_failureText; }

    bool fetch(int index, const QString& address, QString& file, QString& failure) override {
        m_progress.setText(progressText("Opening File: ", index, m_pages, address));
        try {
            QString a = address;
            m_explorer.copyListedPage(a, m_workingFile);
        } catch (const webhost::PageFailure& e) {
            failure = e.message();
            return true;
        } catch (const std::exception& e) {
            m_failureText = m_describeFailure(e);
            return false;
        }
        file = m_workingFile;
        return true;
    }
    void between() override { m_breathe(); }
    void pageError(const QString& address, const QString& message, bool notOpened) override {
        m_flush();
        if (notOpened)
            m_dialogs.error(cannotOpen(address));
        else
            m_dialogs.plain(message);
    }
    void pageDone(int index, const QString& address) override {
        m_progress.setText(progressText("Completed File: ", index, m_pages, address));
        m_progress.setCompleted(index + 1);
        m_breathe();
    }

private:
    BatchProgressWindow& m_progress;
    webhost::Explorer& m_explorer;
    platform::Dialogs& m_dialogs;
    const QString m_workingFile;
    const int m_pages;
    Breather& m_breathe;
    std::function<void()> m_flush;
    std::function<QString(const std::exception&)> m_describeFailure;
    QString m_failureText;
};

} // namespace

void MainWindow::batchCheckAllFiles() {
    BusyScope busy(*this);
    {
        platform::WaitCursor cursor;
        QStringList folders;
        // A site is listed here, its progress window shown meanwhile.
        if (!withSiteListing([&] { folders = m_explorer->webFolders(); }, true))
            return;
        m_batchFolders = QStringList{batch::kWebRootEntry};
        for (const QString& f : folders)
            m_batchFolders.append(batch::folderEntry(f));
    }
    choosePages();
}

void MainWindow::batchCheckSelectedFolders() {
    BusyScope busy(*this);
    QStringList folders;
    {
        platform::WaitCursor cursor;
        if (!withSiteListing([&] { folders = m_explorer->webFolders(); }, true))
            return;
    }
    FolderChooser chooser(folders, this);
    if (chooser.exec() != QDialog::Accepted)
        return;
    const QStringList chosen = chooser.chosenEntries();
    if (chosen.isEmpty())
        return;
    m_batchFolders = chosen;
    choosePages();
}

void MainWindow::choosePages() {
    BusyScope busy(*this);
    platform::WaitCursor cursor;
    m_batchPages.clear();
    // Destroyed on every way out, an error of the host's listing included.
    auto dialog =
        std::make_unique<PageSelectionDialog>(m_batchPages, *m_services.help, m_helpFile, this);
    QList<webhost::UnlistedName> unlisted;
    QStringList rows;
    const bool gathered = withSiteListing(
        [&] {
            rows = batch::gatherRows(
                m_batchFolders,
                [this](const QString& folder) {
                    return m_explorer->vtigetpagesinfolder(folder, 1);
                },
                m_folderListing, &unlisted);
        },
        false);
    m_batchFolders.clear();
    if (!gathered)
        return;
    dialog->addRows(rows);
    // The hourglass is for the gathering; the user chooses with the normal cursor.
    cursor.restore();
    if (!unlisted.isEmpty()) {
        QStringList lines;
        for (const webhost::UnlistedName& u : unlisted)
            lines.append(batch::unlistedMessage(u));
        m_services.dialogs->warning(lines.join(QLatin1Char('\n')));
    }
    if (dialog->rowCount() == 0) {
        m_services.dialogs->information(batch::kNoWebFiles);
        return;
    }
    dialog->exec();
    if (!m_batchPages.isEmpty())
        runBatch();
}

void MainWindow::runBatch() {
    BusyScope busy(*this);
    platform::WaitCursor cursor;
    platform::Dialogs& dialogs = *m_services.dialogs;
    const QString workingFile = m_services.folders.cacheFile(engine::kWorkingFile);
    // Commands are held off, so the list cannot change under the run.
    batch::BatchRun run(m_batchPages, m_rules, m_ruleTable);
    const int n = int(run.pages().size());

    preparePanes();
    m_page.resetPage();
    m_reportLines = engine::reportHead(m_services.folders.data);
    ProgressScope progress(*m_batchProgress, n);

    engine::PaneOutput out;
    Breather breathe([&] {
        flushPanes(out);
        m_batchProgress->refresh();
    });
    WindowSteps steps(
        *m_batchProgress, *m_explorer, dialogs, workingFile, n, breathe, [&] { flushPanes(out); },
        [this](const std::exception& e) { return fetchFailure(e); });
    breathe.now();

    try {
        if (!run.runHere(m_page, m_ruleTable, steps, out)) {
            flushPanes(out);
            m_batchProgress->refresh();
            progress.close();
            dialogs.error(steps.failureText());
            return;
        }
    } catch (...) {
        // Any other error ends the run; what it wrote stays in the panes.
        flushPanes(out);
        throw;
    }

    run.addSummary(out);
    setStatusText(kReady);
    breathe.now();
    progress.close();
    cursor.restore();
    reportOffer();
}

} // namespace quillmark
