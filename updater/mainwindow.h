#pragma once

#include "services.h"
#include "versionfile.h"

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

// A program to start through the platform: a command with parameters; with wait set, a start
// blocks until the program ends.
struct ProcessStarter {
    QString command;
    QString parameters;
    QString defaultDir;
    bool wait = false;
};

// The main window of tidewell.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static const QString kAppTitle;
    static const QString kUpdaterKey;

    // The product list's columns; only the first three are shown.
    enum class Column {
        Name,             // the product's subkey name
        InstalledVersion, // "version1", or "Not Installed"
        OfferedVersion,   // from the version file on the server ("version2" before a check)
        Folder,           // "f": the product's folder on the server
        VersionFile,      // "p": the version file in that folder
        Package,          // "fn": the update package
        ProductCode,      // "productcode": its key under the uninstall key
        PackageSize,      // the package's size in the server's listing
        Signature,        // "signed" or "not signed" after a check, else empty
        SignedSize,       // the package's size as its signed version file states it
        SignedSha256,     // and its SHA-256, in hex
        Count
    };

    explicit MainWindow(const Services& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: the help file, the proxy settings, the product list from the registry and
    // "regversioninfo.txt".
    void loadProducts();

    // Toolbar commands.
    void checkForUpdates(); // Check
    void getUpdates();      // Get Update
    void installSelected(); // Install
    void editSettings();    // Settings
    void showAbout();       // About
    void closeWindow();     // Exit
    // Esc while Check or Get Update transfers: stops the transfer and ends the command, leaving
    // no partial file behind and showing nothing more.
    void cancelTransfer();
    void showHelp(); // Help
    void productSelectionChanged() {}

    void disableAllButtons();
    void enableAllButtons();
    void showProgress();
    void hideProgress();

    // Runs a command; errors it does not catch reach the standard error box.
    void runCommand(void (MainWindow::*handler)());

    // The product list: a row's text in a column; a row that does not exist reads as empty.
    QString cellText(int row, Column column) const;
    void setCellText(int row, Column column, const QString& text);
    int rowCount() const;
    bool isTicked(int row) const;
    void setTicked(int row, bool ticked);

    // The text a cell shows: the offered version of an unsigned file says so.
    QString shownText(int row, Column column) const;
    static QString offeredCaption(const QString& version, const QString& signature);

    // The proxy settings in memory, and whether unsigned version files are refused.
    QString proxyServer, proxyUser, proxyPassword;
    bool requireTls = false;
    QString caFile;
    bool signedOnly = false;
    void loadProxySettings();

    // Controls.
    QGroupBox* infoBox = nullptr;
    QLabel* explanation = nullptr;
    QTreeWidget* productList = nullptr;
    QWidget* progressRow = nullptr;
    QLabel* downloadedCaption = nullptr;
    QLabel* downloadedBytes = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* totalCaption = nullptr;
    QLabel* totalBytes = nullptr;
    QToolBar* toolbar = nullptr;
    QToolButton* checkButton = nullptr;
    QToolButton* getUpdateButton = nullptr;
    QToolButton* installButton = nullptr;
    QToolButton* settingsButton = nullptr;
    QToolButton* aboutButton = nullptr;
    QToolButton* exitButton = nullptr;
    QToolButton* helpButton = nullptr;

    std::unique_ptr<ftp::TickFTP> versionFtp;
    std::unique_ptr<ftp::TickFTP> packageFtp;

    QString m_helpFile;
    // The download folder in the cache folder (cache + "tidewell-downloads").
    QString downloadFolder() const;
    QString packagePath(const QString& package) const;

    // Shows a modal dialog; tests replace it to fill in and close the dialog themselves.
    std::function<int(QDialog&)> execDialog;
    // The version file is small; a server that sends more is cut off there.
    static constexpr qint64 kMaxVersionFile = 64 * 1024;
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
    void runUninstaller();
    void openPackage();
    // The signed values Check found for a row.
    VersionInfo signedValues(int row) const;

    // Get Update's state while it runs.
    enum class Phase { Listing, Download };
    Phase m_phase = Phase::Listing;
    int m_currentRow = -1;
    qint64 m_packageSize = 0;
    qint64 m_listedSize = -1;    // the package's size in the listing; -1 when it was not listed
    bool m_transferring = false; // Check or Get Update runs
    bool m_cancelled = false;

    ProcessStarter m_uninstaller;
    ProcessStarter m_packageStarter;
    Services m_services;
    bool m_hourglass = false;
    bool m_closed = false;
};

} // namespace tidewell
