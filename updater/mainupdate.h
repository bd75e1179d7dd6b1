#pragma once

#include "services.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

class QDialog;
class QGroupBox;
class QLabel;
class QProgressBar;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace ftp {
class TickFTP;
}

namespace tidewell {

// A process starter: a command with parameters, started through the platform; with Wait set,
// a start blocks until the program ends.
struct TProcessStarter {
    QString Command;
    QString Parameters;
    QString DefaultDir;
    bool Wait = false;
};

// The main window of tidewell.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    static const QString kAppTitle;
    static const QString kUpdaterKey;

    explicit TForm1(const Services& services, QWidget* parent = nullptr);
    ~TForm1() override;

    void FormCreate();

    // Toolbar commands.
    void BtnAcceptClick();   // Check
    void BtnExecuteClick();  // Get Update
    void BtnFinishClick();   // Install
    void BtnSettingsClick(); // Settings
    void BtnNoteClick();     // About
    void BtnExitClick();
    void BtnHelpClick();
    void produpdSelectItem() {}

    void DisableAllButtons();
    void EnableAllButtons();
    void ShowProgBar();
    void HideProgBar();

    // Runs a command; errors it does not catch reach the standard error box.
    void runCommand(void (TForm1::*handler)());

    // The row's caption and its seven sub-items (0 to 6).
    QString subItem(int row, int index) const;
    void setSubItem(int row, int index, const QString& text);
    int rowCount() const;
    bool isTicked(int row) const;
    void setTicked(int row, bool ticked);

    // The proxy settings in memory.
    QString pxa, pxu, pxp;
    void loadProxySettings();

    // Controls.
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QTreeWidget* produpd = nullptr;
    QWidget* progressRow = nullptr;
    QLabel* bytesdown = nullptr;
    QLabel* bytesnum = nullptr;
    QProgressBar* RzProgressBar1 = nullptr;
    QLabel* bytestotal = nullptr;
    QLabel* totalnum = nullptr;
    QToolBar* RzToolbar1 = nullptr;
    QToolButton* BtnAccept = nullptr;
    QToolButton* BtnExecute = nullptr;
    QToolButton* BtnFinish = nullptr;
    QToolButton* BtnSettings = nullptr;
    QToolButton* BtnNote = nullptr;
    QToolButton* BtnExit = nullptr;
    QToolButton* BtnHelp = nullptr;

    std::unique_ptr<ftp::TickFTP> getverFTP;
    std::unique_ptr<ftp::TickFTP> getupdateFTP;
    TProcessStarter uninstall;
    TProcessStarter test;

    QString m_programFolder;
    QString m_helpFile;
    // The download folder beside the program (program folder + "tidewell-downloads").
    QString downloadFolder() const;
    QString packagePath(const QString& package) const;

    // Shows a modal dialog; tests replace it to fill in and close the dialog themselves.
    std::function<int(QDialog&)> execDialog;
    // The uninstall poll: at most this many looks at the uninstall key, one pause apart.
    int uninstallPolls = 360;
    int uninstallPollMs = 500;

    const Services& services() const { return m_services; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    QToolButton* addButton(const char* name, const QString& caption, const QString& tip,
                           const QString& icon);
    void setHourglass(bool on);
    void wireFtpEvents();
    void checkAllFetched();
    void uninstallExecute();
    void testExecute();

    // Get Update's state while it runs.
    enum class Phase { Listing, Download };
    Phase m_phase = Phase::Listing;
    int m_currentRow = -1;
    qint64 m_totalBytes = 0;

    Services m_services;
    bool m_hourglass = false;
    bool m_closed = false;
};

} // namespace tidewell
