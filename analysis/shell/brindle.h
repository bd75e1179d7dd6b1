#pragma once

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
class SingleInstance;
}

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

    // Keyword tools: the keyword builder with the generator, and the body check tester.
    void RzToolbarButton4Click();
    void buildKeyWdsVal();
    void Showbodycheckcharacters1Click();
    QStringList Memo2;         // the noise words between their file and the generator window
    QString m_keywordsContent; // the page's keywords content (shared with the checks)

    // Runs a command unless a check or run holds commands off; errors it does not catch reach
    // the standard error box.
    void runCommand(Handler handler);
    bool busy() const { return m_busy; }

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
    QStringList m_tagList;
    QStringList m_sortList;
    QString m_headTag;
    engine::RuleValues m_rules;
    QStringList memo1;
    engine::RuleTable grid1;
    QStringList failed;
    QStringList htmloutput;
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
    int m_percent = 46;
    bool m_terminated = false;
    bool m_closed = false;
    bool m_busy = false;
    bool m_applyingPercent = false;
};

} // namespace quillmark
