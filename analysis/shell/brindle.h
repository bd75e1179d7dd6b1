#pragma once

#include "analysis/engine/pagestate.h"
#include "analysis/engine/rulebase.h"
#include "services.h"

#include <QMainWindow>
#include <QStringList>

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
} // namespace webhost

namespace quillmark {

class TAboutBox;
class Tupbf;
class TSrchFrm;
class Tedpwdfrm;

// The main window of quillmark.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    using Handler = void (TForm1::*)();

    static const QString kCaption;
    static const QString kAppTitle;

    explicit TForm1(const Services& services, QWidget* parent = nullptr);
    ~TForm1() override;

    // Program entry, in the order the entry calls them.
    bool LMDOneInstance1Custom(); // true when another copy is running (the message is shown)
    void FormCreate();
    void createLongLivedWindows();
    // The application was asked to end during start-up (second copy, no link to the web host).
    bool terminated() const { return m_terminated; }

    void GetDefaults();
    void SetDefaults();
    void FormClose();

    int Percent() const { return m_percent; }
    void setPercent(int percent);

    // Commands.
    void SpeedButton2Click(); // "Rule Base ...": the editor, then the reload
    void About1Click();
    void Exit1Click();
    void OpenWebFolder1Click();
    void OpenPage1Click();
    void showHelpTopic(int topic);

    // The check of the page open in the web host ("Check Current File").
    void SpeedButton5Click();
    // The report offer at the end of a check or run.
    void reportOffer();
    // Empties the three panes and writes their heading lines.
    void preparePanes();
    // Appends what a check wrote to the panes.
    void flushPanes(engine::PaneOutput& out);

    // Batch verification: the two batch commands, the gathering with its selection dialog, and
    // the run over batchfiles.
    void BatchCheckAllFiles1Click();
    void BatchCheckSelectFolder1Click();
    void DirFileList();
    void batmeta();
    QStringList batchget; // one folder's listing without duplicates, while pages are gathered

    // Results commands: clipboard, clearing, results files, printing, mail, browser view.
    void Cut1Click();
    void Copy1Click();
    void Paste1Click();
    void CopyFilesthatPassed1Click();
    void CopyFilesthatFailed1Click();
    void CopyKeywordDensityResults1Click();
    void CopyAllResults1Click();
    void ClearPassed1Click();
    void ClearFailed1Click();
    void ClearKeyword1Click();
    void ClearAll1Click();
    void SaveCurrentResults1Click();
    void OpenResultsFile1Click();
    void Print1Click();
    void PrintPassedReport1Click();
    void PrintFailedReport1Click();
    void PrintKeywordDensityResults1Click();
    void PrinterSetup1Click();
    void SendResults1Click();
    void PassedURLs1Click();
    void FailedURLs1Click();
    void SendKeywordResults1Click();
    void OpenCurrentResultsinBrowser1Click();
    // The pane that holds the keyboard focus, or none.
    QPlainTextEdit* focusedPane() const;
    // Ctrl+X, Ctrl+C and Ctrl+V in a pane run the menu's commands rather than the pane's own.
    void routePaneShortcuts();
    QStringList ResultSave; // the buffer a results file is written and read through
    QStringList call;       // all results put together for the clipboard and mail

    // Proxy settings (brindle_proxy.cpp).
    void ProxySettings1Click();

    // Keyword tools: the keyword builder with the generator, and the body check tester.
    void RzToolbarButton4Click();
    void buildKeyWdsVal();
    void Showbodycheckcharacters1Click();
    QStringList Memo2;         // the noise words between their file and the generator window

    // Runs a command unless a check or run holds commands off; errors it does not catch reach
    // the standard error box.
    void runCommand(Handler handler);
    bool busy() const { return m_busy; }

    // While it lives, commands are held off and the panes cannot be edited; a close of the
    // window waits until it ends. Scopes nest: the outermost one ends the busy state.
    class BusyScope {
    public:
        explicit BusyScope(TForm1& form);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        TForm1& m_form;
        bool m_outer;
    };

    void setStatusText(const QString& text);
    QString statusText() const;

    // Controls.
    QToolBar* ToolBar1 = nullptr;
    QSplitter* sp1 = nullptr;
    QGroupBox* GroupBox1 = nullptr; // passed
    QGroupBox* GroupBox2 = nullptr; // failed
    QGroupBox* GroupBox3 = nullptr; // keyword
    QPlainTextEdit* SubmitReady = nullptr;
    QPlainTextEdit* failedurls = nullptr;
    QPlainTextEdit* memo3 = nullptr;
    QLabel* StatusBar1 = nullptr; // the status bar's one panel

    // Hidden members and program-wide state.
    std::unique_ptr<webhost::Explorer> m_explorer;
    std::unique_ptr<webhost::Editor> m_editor;
    QStringList batchfiles;
    QStringList batchfolders;
    // The page under analysis: working copy htmlrichedit, head tag, pending lines `failed`, tag list.
    engine::PageState m_page;
    engine::RuleValues m_rules;
    QStringList memo1;
    engine::RuleTable grid1;
    QStringList htmloutput;
    // The hidden open button: the address of a file for the shell's "open" action.
    struct {
        QString address;
    } oresult;
    QString m_programFolder;
    QString m_helpFile;

    // Long-lived windows, owned by the main window.
    TAboutBox* AboutBox = nullptr;
    Tupbf* upbf = nullptr;
    TSrchFrm* SrchFrm = nullptr;
    Tedpwdfrm* edpwdfrm = nullptr;

    const Services& services() const { return m_services; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildWindow();
    void buildCommands();
    void buildRuleTable();
    void applyPercent();

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
