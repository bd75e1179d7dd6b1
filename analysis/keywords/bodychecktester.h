#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QMenuBar;
class QPlainTextEdit;
class QToolBar;
class QToolButton;

namespace platform {
class Dialogs;
class Help;
} // namespace platform

namespace quillmark {

// The Body Check Tester, created hidden at start-up and kept for the whole program run: shows
// the stretch of the working file that follows its "<body" tag, cut to the count in the box.
class BodyCheckTester : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpTopic = 1200;

    explicit BodyCheckTester(QWidget* parent = nullptr);

    // What the window reaches the platform through; the main window sets it before each
    // opening (the window is only ever shown from there).
    void setServices(platform::Dialogs& dialogs, platform::Help& help, const QString& workingFile,
                     const QString& helpFile);

    // "Run Tester".
    void testBodyCheck();
    void showHelp();

    QToolBar* toolBar = nullptr;
    QComboBox* countBox = nullptr;
    QToolButton* testButton = nullptr;
    QToolButton* CutButton = nullptr;
    QToolButton* CopyButton = nullptr;
    QToolButton* PasteButton = nullptr;
    QToolButton* CloseButton = nullptr;
    QToolButton* HelpButton = nullptr;
    QPlainTextEdit* textPane = nullptr;
    QMenuBar* menuBar = nullptr;

private:
    void guarded(void (BodyCheckTester::*command)());

    platform::Dialogs* m_dialogs = nullptr;
    platform::Help* m_help = nullptr;
    QString m_workingFile;
    QString m_helpFile;
};

} // namespace quillmark
