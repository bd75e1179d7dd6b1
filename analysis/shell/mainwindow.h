#pragma once

#include "analysis/engine/pagestate.h"
#include "analysis/engine/rulebase.h"
#include "services.h"

#include <QMainWindow>
#include <QStringList>

#include <exception>
#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QToolBar;

namespace platform {
class RegistryWriteHold;
class SingleInstance;
} // namespace platform

namespace webhost {
class Explorer;
class Editor;
class SiteWeb;
} // namespace webhost

namespace quillmark {

class AboutBox;
class BatchProgressWindow;
class BodyCheckTester;
class PasswordWindow;
class SiteListingWindow;

// The main window of quillmark.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    using Handler = void (MainWindow::*)();

    static const QString kCaption;
    static const QString kAppTitle;

    explicit MainWindow(const Services& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Program entry, in the order the entry calls them.
    bool anotherInstanceRunning(); // true when another copy is running (the message is shown)
    void initialize();
    void createLongLivedWindows();
    // The application was asked to end during start-up (second copy, no link to the web host).
    bool terminated() const { return m_terminated; }

    // The share of the height the passed pane takes, in percent.
    int panePercent() const { return m_percent; }

    // Commands.
    void editRuleBase(); // "Rule Base ...": the editor, then the reload
    void showAbout();
    void exitProgram();
    void openWebFolder();
    void openSite();
    void openPage();
    // The caption, followed by the page and the web open in the host when there is one.
    void showOpenPage();
    void showHelpTopic(int topic);

    // The check of the page open in the web host ("Check Current File").
    void checkCurrentFile();
    // The report offer at the end of a check or run.
    void reportOffer();
    // Empties the three panes and writes their heading lines.
    void preparePanes();
    // Appends what a check wrote to the panes.
    void flushPanes(engine::PaneOutput& out);

    // Batch verification: the two batch commands, the gathering with its selection dialog, and
    // the run over m_batchPages.
    void batchCheckAllFiles();
    void batchCheckSelectedFolders();
    void choosePages();
    void runBatch();

    // Results commands: clipboard, clearing, results files, printing, mail, browser view.
    void cutText();
    void copyText();
    void pasteText();
    void copyPassed();
    void copyFailed();
    void copyKeywordResults();
    void copyAllResults();
    void clearPassed();
    void clearFailed();
    void clearKeyword();
    void clearAll();
    void saveResults();
    void openResultsFile();
    void printAllResults();
    void printPassed();
    void printFailed();
    void printKeywordResults();
    void printerSetup();
    void mailAllResults();
    void mailPassed();
    void mailFailed();
    void mailKeywordResults();
    void viewResultsInBrowser();
    // The pane that holds the keyboard focus, or none.
    QPlainTextEdit* focusedPane() const;

    // Proxy settings (mainwindow_proxy.cpp).
    void editProxySettings();

    // Keyword tools: the keyword builder with the generator, and the body check tester.
    void openKeywordBuilder();
    void buildKeyWdsVal();
    void showBodyCheckTester();

    // Runs a command unless a check or run holds commands off; errors it does not catch reach
    // the standard error box.
    void runCommand(Handler handler);
    bool busy() const { return m_busy; }

    // While it lives, commands are held off and the panes cannot be edited; a close of the
    // window waits until it ends. Scopes nest: the outermost one ends the busy state.
    class BusyScope {
    public:
        explicit BusyScope(MainWindow& form);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        MainWindow& m_form;
        bool m_outer;
    };

    void setStatusText(const QString& text);
    QString statusText() const;

    // What tests read of the state, and set where a command's starting point is tested
    // (tests/support/quillmarkharness.h).
    struct TestAccess;

private:
    // Controls.
    QToolBar* m_toolBar = nullptr;
    QSplitter* m_splitter = nullptr;
    QGroupBox* m_passedBox = nullptr;  // passed
    QGroupBox* m_failedBox = nullptr;  // failed
    QGroupBox* m_keywordBox = nullptr; // keyword
    QLabel* m_statusPanel = nullptr;   // the status bar's one panel
    // The result panes; tests find them by their object names.
    QPlainTextEdit* m_passedPane = nullptr;
    QPlainTextEdit* m_failedPane = nullptr;
    QPlainTextEdit* m_keywordPane = nullptr;

    // Hidden members and program-wide state.
    std::unique_ptr<webhost::Explorer> m_explorer;
    std::unique_ptr<webhost::Editor> m_editor;
    QStringList m_batchPages;
    QStringList m_batchFolders;
    QStringList
        m_folderListing; // one folder's listing without duplicates, while pages are gathered
    // The page under analysis: the working copy, head tag, pending lines `failed`, tag
    // list.
    engine::PageState m_page;
    engine::RuleValues m_rules;
    QStringList m_requiredTags;
    engine::RuleTable m_ruleTable;
    QStringList m_reportLines;
    // The hidden open button: the address of a file for the shell's "open" action.
    struct {
        QString address;
    } m_reportLink;
    QString m_helpFile;
    // The folder both results file dialogs start in after the first was used in this run.
    QString m_resultsFolder;

    // Long-lived windows, owned by the main window.
    AboutBox* m_aboutBox = nullptr;
    BatchProgressWindow* m_batchProgress = nullptr;
    BodyCheckTester* m_bodyCheckTester = nullptr;
    PasswordWindow* m_passwordWindow = nullptr;
    SiteListingWindow* m_siteListing = nullptr; // made when a site is first listed

    QStringList m_resultsBuffer; // the buffer a results file is written and read through
    QStringList m_allResults;    // all results put together for the clipboard and mail
    QStringList m_noiseWords;    // the noise words between their file and the generator window

    const Services& services() const { return m_services; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildWindow();
    void buildCommands();
    // The toolbar's pictures for the window's palette.
    void showToolbarPictures();
    void buildRuleTable();
    void loadSettings();
    void saveSettings();
    void finishClosing();
    void setPanePercent(int percent);
    void applyPercent();
    // Ctrl+X, Ctrl+C and Ctrl+V in a pane run the menu's commands rather than the pane's own.
    void routePaneShortcuts();
    // The report in the desktop's web browser, or a box naming it when none takes it.
    void openInBrowser(const QString& file);

    // The site open in the window; null while a folder is open (mainwindow_web.cpp).
    webhost::SiteWeb* openSiteHost() const;
    // Runs `work`, which may list the open site, with the listing's progress window: shown at
    // once, or when the listing first reports. False when the user cancelled the listing (nothing
    // is shown then) or the site could not be reached (Error 3001's box with the cause). Without
    // a site, runs `work` as it is.
    bool withSiteListing(const std::function<void()>& work, bool showAtOnce);
    // Error 3001's text, followed by the cause where the open web is a site.
    QString fetchFailure(const std::exception& e) const;
    // The keyword builder's words on a site, which cannot take them: the box that says so.
    void keywordsNotWritten(const QString& address, const QStringList& words);

    Services m_services;
    std::unique_ptr<platform::SingleInstance> m_instance;
    // Set when the registry file could not be read: nothing of this run writes it.
    std::unique_ptr<platform::RegistryWriteHold> m_registryHold;
    int m_percent = 46;
    bool m_terminated = false;
    bool m_closed = false;
    bool m_busy = false;
    bool m_closeRequested = false;
    bool m_applyingPercent = false;
};

} // namespace quillmark
