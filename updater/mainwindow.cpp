#include "mainwindow.h"

#include "settingswindow.h"
#include "signing.h"
#include "updater/ftp/ineterrors.h"
#include "updater/ftp/tickftp.h"
#include "versionfile.h"

#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/help.h"
#include "platform/installer.h"
#include "platform/registrystore.h"
#include "platform/shell.h"
#include "platform/textcodec.h"
#include "platform/textfile.h"
#include "platform/windowsize.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QShortcut>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <utility>

namespace tidewell {

const QString MainWindow::kAppTitle = QStringLiteral("Varnholt Tidewell");
const QString MainWindow::kUpdaterKey = QStringLiteral("\\SOFTWARE\\VRNH\\Updater");

namespace {

// The window's texts.
const QString kGroupCaption = QStringLiteral(" Update Information ");
const QString kExplanation = QStringLiteral(
    "This program is used to check for periodic updates from Varnholt.  Products supporting this "
    "feature are listed below.");
const QString kNotInstalled = QStringLiteral("Not Installed");
const QString kVersionsFile = QStringLiteral("regversioninfo.txt");
const QString kVersionFile = QStringLiteral("wversion.txt");
const QString kHelpFileName = QStringLiteral("tidewell.hlp");
// The download folder, in the cache folder.
const QString kDownloadFolderName = QStringLiteral("tidewell-downloads");
const QString kServerUser = QStringLiteral("qmzvb");
const QString kServerPassword = QStringLiteral("qmz7719");
const QString kFeedFolder = QStringLiteral("tidefeed/");
const QString kSelfName = QStringLiteral("Tidewell");
const QString kInstallerEngine = QStringLiteral("msiexec.exe");
const QString kKeyFile = QStringLiteral("keys.pub");
const QString kSigned = QStringLiteral("signed");
const QString kNotSigned = QStringLiteral("not signed");
const QString kNotSignedSuffix = QStringLiteral(" (not signed)");
// A package arrives under this name in the download folder and gets its own only when
// complete: short and fixed, so that a package name as long as the file system allows fits.
const QString kPartName = QStringLiteral(".download.part");

// A wrapped text that is never narrower than two lines of it need, and asks for the height of
// the lines it has at that width: the main window's layout reckons with one line only.
class WrappedLabel : public QLabel {
public:
    WrappedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) { setWordWrap(true); }
    QSize minimumSizeHint() const override {
        const QFontMetrics m = fontMetrics();
        const QMargins frame = contentsMargins();
        const int width = qMax(QLabel::minimumSizeHint().width(), m.horizontalAdvance(text()) / 2 +
                                                                      4 * m.averageCharWidth() +
                                                                      frame.left() + frame.right());
        return {width, heightForWidth(width)};
    }
};

// Shows the offered version of an unsigned version file with a word that says so; the cell's
// own text stays the version, which the other commands compare and store.
class OfferedDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString signature =
            index.siblingAtColumn(int(MainWindow::Column::Signature)).data().toString();
        option->text = MainWindow::offeredCaption(option->text, signature);
    }
};

// Check.
const QString kNoProductsToCheck = QStringLiteral("There are no products to check.");
const QString kUnableToAttach = QStringLiteral("Unable to attach to update server for ");
const QString kUnableToGetInfo = QStringLiteral("Unable to get update information for ");
const QString kUnableToGetFile = QStringLiteral("Unable to get update file for ");
const QString kBadVersionFile =
    QStringLiteral("Update File does not contains the correct information");
const QString kUpdateAvailable = QStringLiteral("An update is available for %1.");
const QString kNoUpdate = QStringLiteral("No update is available for %1.");

// Get Update.
const QString kNoProductsInstalled = QStringLiteral("You have no product(s) installed.");
const QString kTickFirst = QStringLiteral("You need to first select a program by clicking in the "
                                          "checkbox to the left of the product name.");
const QString kNoRegistryKey = QStringLiteral("Could not open registry key");
const QString kCannotCreateDir = QStringLiteral("Cannot create directory ");
const QString kCannotDelete = QStringLiteral("Could not delete previous version of . ");
const QString kUnableToLocate = QStringLiteral("Unable to locate update on server");
const QString kUnableToDisconnect = QStringLiteral("Unable to disconnect,");
const QString kSelectInstall = QStringLiteral("Select \"Install\" to install the update.");
const QString kGettingUpdate = QStringLiteral("Getting Update, Please wait");
const QString kGettingUpdateFor = QStringLiteral("Getting update for %1.");

// Install.
const QString kNotSignedQuestion =
    QStringLiteral("%1 is not signed by the maker. Install it anyway?");
const QString kUnsignedRefused =
    QStringLiteral("It is not signed, and only signed updates are accepted.");
const QString kTickOne =
    QStringLiteral("Please click in the checkbox for the file you want to install.");
const QString kOnlyOne = QStringLiteral("You cannot install more than one product at a time.");
const QString kAlreadyLatest = QStringLiteral("You already have the latest version installed.  Do "
                                              "you want exit the installation? (recommended)");
const QString kNoInstallFile =
    QStringLiteral("The install file is not available. Please use \"Get Update\".");
const QString kSelfUpdate = QStringLiteral(
    "Tidewell needs to first be closed before upgrading.\n\rFirst, close Tidewell and then run the "
    "installation \n\rfile named %1\n\rlocated at %2");
const QString kSilentUninstall = QStringLiteral(
    "It is recommended that you uninstall before proceding.  Do you want perform a silent "
    "uninstallation? (recommended)");
const QString kNoUninstallString = QStringLiteral(
    "Could not read uninstall string from registry. Please uninstall product using the Add/Remove "
    "Programs icon in the Windows Control Panel.");
const QString kNoInstallerEngine = QStringLiteral(
    "Could not locate the Windows Installer Engine. Please uninstall product using the Add/Remove "
    "Programs icon in the Windows Control Panel ");
const QString kNotUninstalled = QStringLiteral("Product was not uninstalled successfully.");
const QString kUninstalled = QStringLiteral("Product was uninstalled successfully.");
const QString kInstallNowHead = QStringLiteral("Information:");
const QString kInstallNow = QStringLiteral(
    "Would you like to install the update now?  Make sure that %1 is closed before updating");
const QString kPackageNotOpened = QStringLiteral(
    "The install file \"%1\" could not be opened.\r\n\r\n"
    "Install a program for this type of file or choose a default one on this computer and try "
    "again, or open the file by hand.");

// About.
const QString kAbout = QStringLiteral(
    "Varnholt Tidewell\n\nKeeps the Varnholt products on this computer up to date from the "
    "Varnholt update server.");

// Sets the remote path ahead of the Logon. An instance still connected after a failed download
// would change directory there, relative to the old product's folder; that change is of no use
// (the Logon replaces the connection and sets the path again), and its failure must not end the
// command with the toolbar locked.
// Makes the folder when missing (private to the user, as the cache is).
bool canWriteFolder(const QString& folder) {
    try {
        platform::prepareFolder(folder);
        return true;
    } catch (const platform::EFCreateError&) {
        return false;
    }
}

// The described message, with its cause as a second sentence.
QString withCause(const QString& message, const QString& cause) {
    return cause.isEmpty() ? message : message + QStringLiteral(". ") + cause;
}

// What a failure of the FTP client adds to the described message: the cause of a safeguard's
// failure (TLS, a stall, bytes that do not belong); nothing for the failures described.
QString causeOf(const std::exception& e) {
    const auto* f = dynamic_cast<const ftp::EickFTP*>(&e);
    return f && f->isSafeguard() ? f->description() : QString();
}

// Raised by a step of Check or Get Update after a Cancel: the command ends quietly.
struct Cancelled {};

// One step with the FTP client; after a Cancel its outcome, error or not, is Cancelled.
void step(const bool& cancelled, const std::function<void()>& run) {
    try {
        run();
    } catch (const std::exception&) {
        if (cancelled)
            throw Cancelled{};
        throw;
    }
    if (cancelled)
        throw Cancelled{};
}

void storeRemotePath(ftp::TickFTP& f, const QString& path) {
    try {
        f.setRemotePath(path);
    } catch (const ftp::EickFTP&) {
    }
}

} // namespace

MainWindow::MainWindow(const Services& services, QWidget* parent)
    : QMainWindow(parent), m_services(services) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(kAppTitle);
    execDialog = [](QDialog& d) { return d.exec(); };
    buildWindow();

    versionFtp = std::make_unique<ftp::TickFTP>(services.updatePort);
    versionFtp->setUseCache(false);
    versionFtp->setMaxSize(kMaxVersionFile);
    packageFtp = std::make_unique<ftp::TickFTP>(services.updatePort);
    packageFtp->setUseCache(false);
    packageFtp->setTransferMode(ftp::icktmBinary);
    wireFtpEvents();
}

MainWindow::~MainWindow() {
    setHourglass(false);
}

QToolButton* MainWindow::addButton(const char* name, const QString& caption, const QString& tip,
                                   const QString& icon) {
    auto* b = new QToolButton(toolbar);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    if (caption.isEmpty()) {
        b->setIcon(
            QIcon::fromTheme(icon, style()->standardIcon(icon == QLatin1String("help-contents")
                                                             ? QStyle::SP_DialogHelpButton
                                                             : QStyle::SP_DialogCloseButton)));
        b->setAccessibleName(tip);
    } else {
        b->setText(caption);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    toolbar->addWidget(b);
    return b;
}

void MainWindow::buildWindow() {
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(6, 6, 6, 2);
    infoBox = new QGroupBox(kGroupCaption, central);
    infoBox->setObjectName(QStringLiteral("infoBox"));
    auto* box = new QVBoxLayout(infoBox);
    box->setContentsMargins(6, 4, 6, 4);
    box->setSpacing(4);
    explanation = new WrappedLabel(kExplanation, infoBox);
    explanation->setObjectName(QStringLiteral("explanation"));
    explanation->setWordWrap(true);
    box->addWidget(explanation);

    productList = new QTreeWidget(infoBox);
    productList->setObjectName(QStringLiteral("productList"));
    productList->setRootIsDecorated(false);
    productList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    productList->setSortingEnabled(false);
    productList->setColumnCount(int(Column::Count));
    productList->setHeaderLabels({QStringLiteral("Product"), QStringLiteral("Current Version"),
                                  QStringLiteral("Available Version")});
    for (int c = int(Column::Folder); c < int(Column::Count); ++c)
        productList->setColumnHidden(c, true);
    productList->header()->setStretchLastSection(false);
    productList->header()->setSectionResizeMode(int(Column::Name), QHeaderView::Stretch);
    // The version columns keep their own widths unless their headings need more, with any font.
    platform::keepColumnWidths(productList->header(), {{int(Column::InstalledVersion), 90},
                                                       {int(Column::OfferedVersion), 109}});
    productList->setItemDelegateForColumn(int(Column::OfferedVersion),
                                          new OfferedDelegate(productList));
    connect(productList, &QTreeWidget::itemSelectionChanged, this,
            [this] { productSelectionChanged(); });
    box->addWidget(productList, 1);

    progressRow = new QWidget(infoBox);
    progressRow->setObjectName(QStringLiteral("progressRow"));
    auto* row = new QHBoxLayout(progressRow);
    row->setContentsMargins(0, 0, 0, 0);
    downloadedCaption = new QLabel(QStringLiteral("Downloaded"), progressRow);
    downloadedCaption->setObjectName(QStringLiteral("downloadedCaption"));
    downloadedBytes = new QLabel(progressRow);
    downloadedBytes->setObjectName(QStringLiteral("downloadedBytes"));
    progressBar = new QProgressBar(progressRow);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setFixedWidth(145);
    progressBar->setRange(0, 0);
    progressBar->setValue(0);
    totalCaption = new QLabel(QStringLiteral("Total Bytes"), progressRow);
    totalCaption->setObjectName(QStringLiteral("totalCaption"));
    totalBytes = new QLabel(progressRow);
    totalBytes->setObjectName(QStringLiteral("totalBytes"));
    row->addWidget(downloadedCaption);
    row->addWidget(downloadedBytes, 1);
    row->addWidget(progressBar);
    row->addWidget(totalCaption);
    row->addWidget(totalBytes, 1);
    progressRow->setVisible(false);
    box->addWidget(progressRow);
    outer->addWidget(infoBox);
    setCentralWidget(central);

    toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    addToolBar(Qt::BottomToolBarArea, toolbar);
    platform::keepToolbarWhole(toolbar);
    checkButton = addButton("checkButton", QStringLiteral("&Check"),
                            QStringLiteral("Check for Updates"), QString());
    toolbar->addSeparator();
    getUpdateButton =
        addButton("getUpdateButton", QStringLiteral("&Get Update"),
                  QStringLiteral("Get the available update for the selected product."), QString());
    installButton = addButton("installButton", QStringLiteral("&Install"),
                              QStringLiteral("Install an update"), QString());
    toolbar->addSeparator();
    settingsButton =
        addButton("settingsButton", QStringLiteral("&Settings"),
                  QStringLiteral("Select this to set proxy server settings."), QString());
    aboutButton = addButton("aboutButton", QStringLiteral("&About"),
                            QStringLiteral("About this software"), QString());
    exitButton = addButton("exitButton", QString(), QStringLiteral("Close Tidewell"),
                           QStringLiteral("application-exit"));
    helpButton = addButton("helpButton", QString(), QStringLiteral("Help with Tidewell"),
                           QStringLiteral("help-contents"));
    getUpdateButton->setEnabled(false);
    installButton->setEnabled(false);

    connect(checkButton, &QToolButton::clicked, this,
            [this] { runCommand(&MainWindow::checkForUpdates); });
    connect(getUpdateButton, &QToolButton::clicked, this,
            [this] { runCommand(&MainWindow::getUpdates); });
    connect(installButton, &QToolButton::clicked, this,
            [this] { runCommand(&MainWindow::installSelected); });
    connect(settingsButton, &QToolButton::clicked, this,
            [this] { runCommand(&MainWindow::editSettings); });
    connect(aboutButton, &QToolButton::clicked, this,
            [this] { runCommand(&MainWindow::showAbout); });
    connect(exitButton, &QToolButton::clicked, this,
            [this] { runCommand(&MainWindow::closeWindow); });
    connect(helpButton, &QToolButton::clicked, this, [this] { runCommand(&MainWindow::showHelp); });
    auto* cancel = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    cancel->setObjectName(QStringLiteral("cancelShortcut"));
    connect(cancel, &QShortcut::activated, this, [this] { cancelTransfer(); });

    // Client area 421 by 212 to start with, centred on the screen; larger where a large font
    // needs more room.
    platform::startSize(this, QSize(421, 212));
}

void MainWindow::runCommand(void (MainWindow::*handler)()) {
    platform::runGuarded(*m_services.dialogs, [&] { (this->*handler)(); });
}

void MainWindow::setHourglass(bool on) {
    if (on == m_hourglass)
        return;
    m_hourglass = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

// ---- product list

int MainWindow::rowCount() const {
    return productList->topLevelItemCount();
}

QString MainWindow::cellText(int row, Column column) const {
    const QTreeWidgetItem* item = productList->topLevelItem(row);
    return item ? item->text(int(column)) : QString();
}

void MainWindow::setCellText(int row, Column column, const QString& text) {
    if (QTreeWidgetItem* item = productList->topLevelItem(row))
        item->setText(int(column), text);
}

QString MainWindow::offeredCaption(const QString& version, const QString& signature) {
    return signature == kNotSigned && !version.isEmpty() ? version + kNotSignedSuffix : version;
}

QString MainWindow::shownText(int row, Column column) const {
    const QString text = cellText(row, column);
    return column == Column::OfferedVersion ? offeredCaption(text, cellText(row, Column::Signature))
                                            : text;
}

bool MainWindow::isTicked(int row) const {
    const QTreeWidgetItem* item = productList->topLevelItem(row);
    return item && item->checkState(int(Column::Name)) == Qt::Checked;
}

void MainWindow::setTicked(int row, bool ticked) {
    if (QTreeWidgetItem* item = productList->topLevelItem(row))
        item->setCheckState(int(Column::Name), ticked ? Qt::Checked : Qt::Unchecked);
}

QString MainWindow::downloadFolder() const {
    return m_services.folders.cache + kDownloadFolderName;
}

QString MainWindow::packagePath(const QString& package) const {
    return downloadFolder() + QLatin1Char('/') + package;
}

// ---- start-up

void MainWindow::loadProxySettings() {
    platform::RegistryStore reg(m_services.registryPath);
    if (reg.openKey(kUpdaterKey, true)) {
        proxyServer = reg.readString(QStringLiteral("pxa"));
        proxyUser = reg.readString(QStringLiteral("pxu"));
        proxyPassword = reg.readString(QStringLiteral("pxp"));
        requireTls = reg.readString(QStringLiteral("tlsreq")) == QLatin1String("1");
        caFile = reg.readString(QStringLiteral("cafile"));
        signedOnly = reg.readString(QStringLiteral("signedonly")) == QLatin1String("1");
    }
    reg.closeKey();
}

void MainWindow::loadProducts() {
    m_helpFile = m_services.folders.data + kHelpFileName;
    installButton->setEnabled(false);
    loadProxySettings();

    QStringList names;
    {
        platform::RegistryStore reg(m_services.registryPath);
        if (reg.openKey(kUpdaterKey, true))
            names = reg.subKeyNames();
        reg.closeKey();
    }
    // One list per registry value, in the order of the names.
    QStringList installed, folders, versionFiles, packages, offered, productCodes;
    for (const QString& name : names) {
        platform::RegistryStore reg(m_services.registryPath);
        const bool open = reg.openKeyReadOnly(kUpdaterKey + QLatin1Char('\\') + name);
        auto value = [&](const char* v) {
            return open ? reg.readString(QString::fromLatin1(v)) : QString();
        };
        const QString version = value("version1");
        installed << (version.isEmpty() ? kNotInstalled : version);
        folders << value("f");
        versionFiles << value("p");
        packages << value("fn");
        offered << value("version2");
        productCodes << value("productcode");
        reg.closeKey();
    }

    try {
        platform::writeAnsiLines(m_services.folders.cacheFile(kVersionsFile), installed);
    } catch (const std::exception& e) {
        m_services.dialogs->standardError(e);
        return;
    }

    productList->clear();
    bool fetched = false;
    for (qsizetype i = 0; i < names.size(); ++i) {
        auto* item = new QTreeWidgetItem(productList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(int(Column::Name), Qt::Unchecked);
        const auto set = [item](Column c, const QString& text) { item->setText(int(c), text); };
        set(Column::Name, names[i]);
        set(Column::InstalledVersion, installed[i]);
        set(Column::OfferedVersion, installed[i] == kNotInstalled ? offered[i] : QString());
        set(Column::Folder, folders[i]);
        set(Column::VersionFile, versionFiles[i]);
        set(Column::Package, packages[i]);
        set(Column::ProductCode, productCodes[i]);
        set(Column::PackageSize, QString());
        fetched = fetched || !packages[i].isEmpty();
    }
    if (fetched)
        installButton->setEnabled(true);
}

// ---- toolbar state and progress

void MainWindow::disableAllButtons() {
    for (QToolButton* b : {getUpdateButton, settingsButton, aboutButton, exitButton, helpButton,
                           checkButton, installButton})
        b->setEnabled(false);
}

void MainWindow::enableAllButtons() {
    for (QToolButton* b : {getUpdateButton, settingsButton, aboutButton, exitButton, helpButton,
                           checkButton, installButton})
        b->setEnabled(true);
}

void MainWindow::showProgress() {
    progressRow->setVisible(true);
}

void MainWindow::hideProgress() {
    progressRow->setVisible(false);
    progressBar->setRange(0, 0);
    progressBar->setValue(0);
    downloadedBytes->clear();
    totalBytes->clear();
    m_packageSize = 0;
}

// ---- simple commands

void MainWindow::showHelp() {
    m_services.help->showTopic(m_helpFile, 1);
}

void MainWindow::showAbout() {
    m_services.dialogs->information(kAbout);
}

void MainWindow::closeWindow() {
    close();
}

void MainWindow::cancelTransfer() {
    if (!m_transferring || m_cancelled)
        return;
    m_cancelled = true;
    for (ftp::TickFTP* f : {versionFtp.get(), packageFtp.get()})
        if (f->busy())
            f->setAction(ftp::ickftpIdle);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A command that runs when the window closes stops at its next product.
    m_closed = true;
    QMainWindow::closeEvent(event);
}

void MainWindow::editSettings() {
    {
        SettingsWindow dialog(m_services, this);
        dialog.loadSettings();
        execDialog(dialog);
    }
    loadProxySettings();
}

// ---- FTP events

void MainWindow::wireFtpEvents() {
    versionFtp->OnStartTransfer = [this](ftp::TickFTP&) { setHourglass(true); };
    versionFtp->OnTransfer = [this](ftp::TickFTP&, qint64, const QByteArray&) {
        setHourglass(true);
    };
    versionFtp->OnEndTransfer = [this](ftp::TickFTP&) { setHourglass(false); };

    // Get Update: the title says a download runs.
    packageFtp->OnStartTransfer = [this](ftp::TickFTP&) {
        setHourglass(true);
        setWindowTitle(kGettingUpdate);
    };
    // The listing's last matching entry gives the package's size.
    packageFtp->OnDirList = [this](ftp::TickFTP&, const QString&, bool, qint64 fileSize,
                                   const QString&, const QString&) {
        setCellText(m_currentRow, Column::PackageSize, QString::number(fileSize));
        m_packageSize = fileSize;
        m_listedSize = fileSize;
    };
    // Progress of the download.
    packageFtp->OnTransfer = [this](ftp::TickFTP&, qint64 bytesTransferred, const QByteArray&) {
        setHourglass(true);
        progressBar->setVisible(true);
        // The bar counts in ints: scale sizes beyond their range.
        const qint64 total = m_packageSize;
        const int shift = total > INT_MAX ? 10 : 0;
        progressBar->setRange(0, int(total >> shift));
        progressBar->setValue(int(qMin(bytesTransferred, total) >> shift));
        totalBytes->setText(QString::number(total));
        downloadedBytes->setText(QString::number(bytesTransferred));
    };
    // The listing or the download has ended.
    packageFtp->OnEndTransfer = [this](ftp::TickFTP&) {
        if (m_phase == Phase::Download)
            checkAllFetched();
        setWindowTitle(kAppTitle);
        setHourglass(false);
        progressBar->setRange(0, 0);
        progressBar->setValue(0);
        totalBytes->clear();
        downloadedBytes->clear();
    };
}

// Install becomes usable at once when every product is ticked and its package is here.
void MainWindow::checkAllFetched() {
    int fetched = 0;
    for (int r = 0; r < rowCount(); ++r)
        if (isTicked(r) && QFileInfo(packagePath(cellText(r, Column::Package))).isFile())
            ++fetched;
    if (fetched == rowCount())
        installButton->setEnabled(true);
}

// ---- Check

void MainWindow::checkForUpdates() {
    disableAllButtons();
    if (rowCount() == 0) {
        m_services.dialogs->warning(kNoProductsToCheck);
        enableAllButtons();
        return;
    }
    QString versionFile;
    try {
        versionFile = m_services.folders.cacheFile(kVersionFile);
    } catch (const std::exception& e) {
        m_services.dialogs->standardError(e);
        enableAllButtons();
        return;
    }
    // The keys and the setting as they are now: a key file added meanwhile counts.
    TrustPolicy policy;
    policy.keys = signing::loadKeys(builtInSigningKeys(), m_services.folders.data + kKeyFile);
    policy.now = QDateTime::currentDateTimeUtc();
    policy.signedOnly = signedOnly;
    m_transferring = true;
    m_cancelled = false;
    try {
        for (int r = 0; r < rowCount() && !m_closed; ++r) {
            const QString name = cellText(r, Column::Name);
            ftp::TickFTP& f = *versionFtp;
            f.setProxyUser(proxyUser);
            f.setProxyServer(proxyServer);
            f.setProxyPassword(proxyPassword);
            f.setRequireTls(requireTls);
            f.setCaFile(caFile);
            f.setUser(kServerUser);
            f.setPassword(kServerPassword);
            f.setRemoteHost(m_services.updateHost);
            f.setLocalFile(versionFile);
            const QString path = kFeedFolder + cellText(r, Column::Folder) + QLatin1Char('/');
            storeRemotePath(f, path);
            f.setRemoteFile(cellText(r, Column::VersionFile));
            if (cellText(r, Column::VersionFile).isEmpty())
                continue;
            setHourglass(false);
            try {
                step(m_cancelled, [&] { f.setAction(ftp::ickftpLogon); });
                f.setTransferMode(ftp::icktmASCII);
                step(m_cancelled, [&] { f.setRemotePath(path); });
                try {
                    step(m_cancelled, [&] {
                        f.setAction(ftp::ickftpDownload);
                        QCoreApplication::processEvents();
                    });
                } catch (const std::exception& e) {
                    // Whatever arrived of a failed version file is of no use.
                    QFile::remove(versionFile);
                    m_services.dialogs->error(withCause(kUnableToGetInfo + name, causeOf(e)));
                    continue;
                }
                step(m_cancelled, [&] { f.setAction(ftp::ickftpLogoff); });
            } catch (const std::exception& e) {
                m_services.dialogs->error(withCause(kUnableToAttach + name, causeOf(e)));
                continue;
            }
            if (!QFileInfo(versionFile).isFile()) {
                m_services.dialogs->error(kUnableToGetFile + name);
                continue;
            }
            VersionInfo info;
            // Read once: the lines for the rules, the bytes for the signature.
            QByteArray bytes;
            try {
                bytes = platform::readFileBytes(versionFile);
            } catch (const std::exception&) {
                bytes.clear();
            }
            const QStringList lines = platform::splitLines(platform::decodeText(bytes).text);
            if (!parseVersionFile(lines, info)) {
                m_services.dialogs->error(kBadVersionFile);
                continue;
            }
            QString cause;
            if (!checkSignature(bytes, policy, info, cause)) {
                m_services.dialogs->error(withCause(kBadVersionFile, cause));
                continue;
            }
            setCellText(r, Column::OfferedVersion, info.version);
            setCellText(r, Column::Package, info.package);
            setCellText(r, Column::Signature, info.isSigned ? kSigned : kNotSigned);
            setCellText(r, Column::SignedSize,
                        info.isSigned ? QString::number(info.size) : QString());
            setCellText(r, Column::SignedSha256,
                        QString::fromLatin1(info.isSigned ? info.sha256.toHex() : QByteArray()));
            if (cellText(r, Column::OfferedVersion) != cellText(r, Column::InstalledVersion)) {
                m_services.dialogs->information(kUpdateAvailable.arg(name));
                getUpdateButton->setEnabled(true);
            } else {
                m_services.dialogs->information(kNoUpdate.arg(name));
            }
        }
    } catch (const Cancelled&) {
        QFile::remove(versionFile);
    } catch (...) {
        m_transferring = false;
        enableAllButtons();
        setHourglass(false);
        throw;
    }
    m_transferring = false;
    enableAllButtons();
    setHourglass(false);
}

// ---- Get Update

VersionInfo MainWindow::signedValues(int row) const {
    VersionInfo info;
    info.isSigned = cellText(row, Column::Signature) == kSigned;
    info.size = cellText(row, Column::SignedSize).toLongLong();
    info.sha256 = QByteArray::fromHex(cellText(row, Column::SignedSha256).toLatin1());
    return info;
}

void MainWindow::getUpdates() {
    disableAllButtons();
    loadProxySettings();
    if (rowCount() == 0) {
        m_services.dialogs->warning(kNoProductsInstalled);
        enableAllButtons();
        return;
    }
    bool anyTicked = false;
    for (int r = 0; r < rowCount(); ++r)
        anyTicked = anyTicked || isTicked(r);
    if (!anyTicked) {
        m_services.dialogs->warning(kTickFirst);
        enableAllButtons();
        return;
    }
    const QString partial = downloadFolder() + QLatin1Char('/') + kPartName;
    m_transferring = true;
    m_cancelled = false;
    auto finish = [this] {
        m_transferring = false;
        enableAllButtons();
        hideProgress();
        setHourglass(false);
        setWindowTitle(kAppTitle);
    };
    try {
        for (int r = 0; r < rowCount() && !m_closed; ++r) {
            if (!isTicked(r))
                continue;
            const QString name = cellText(r, Column::Name);
            const QString folder = cellText(r, Column::Folder);
            const QString package = cellText(r, Column::Package);
            const QString offered = cellText(r, Column::OfferedVersion);
            ftp::TickFTP& f = *packageFtp;
            f.setProxyUser(proxyUser);
            f.setProxyServer(proxyServer);
            f.setProxyPassword(proxyPassword);
            f.setRequireTls(requireTls);
            f.setCaFile(caFile);
            {
                platform::RegistryStore reg(m_services.registryPath);
                if (reg.openKey(kUpdaterKey + QLatin1Char('\\') + name, true)) {
                    reg.writeString(QStringLiteral("fn"), package);
                    reg.writeString(QStringLiteral("version2"), offered);
                } else {
                    m_services.dialogs->warning(kNoRegistryKey);
                }
                reg.closeKey();
            }
            if (!canWriteFolder(downloadFolder())) {
                m_services.dialogs->error(kCannotCreateDir + downloadFolder());
                m_transferring = false;
                enableAllButtons();
                return;
            }
            // A name the server gave that is no plain file name never reaches the file system.
            const bool plain = isPlainFileName(package);
            const QString target = packagePath(package);
            if (plain && QFileInfo::exists(target) && !QFile::remove(target))
                m_services.dialogs->error(kCannotDelete + target);
            const QString path = kFeedFolder + folder + QLatin1Char('/');
            f.setUser(kServerUser);
            f.setPassword(kServerPassword);
            f.setRemoteHost(m_services.updateHost);
            f.setLocalFile(partial);
            storeRemotePath(f, path);
            f.setRemoteFile(package);
            f.setTransferMode(ftp::icktmBinary);
            m_currentRow = r;
            try {
                m_phase = Phase::Listing;
                m_listedSize = -1;
                showProgress();
                // Nothing to fetch: this product fails as a failed download does, the next goes on.
                if (package.isEmpty()) {
                    m_services.dialogs->error(kUnableToGetFile + name);
                    hideProgress();
                    continue;
                }
                if (!plain)
                    throw platform::Error(kBadVersionFile);
                step(m_cancelled, [&] { f.setAction(ftp::ickftpLogon); });
                f.setTransferMode(ftp::icktmBinary);
                step(m_cancelled, [&] { f.setRemotePath(path); });
                step(m_cancelled, [&] { f.setAction(ftp::ickftpListDirectoryLong); });
                m_phase = Phase::Download;
                try {
                    setWindowTitle(kGettingUpdateFor.arg(name));
                    step(m_cancelled, [&] {
                        f.setAction(ftp::ickftpDownload);
                        QCoreApplication::processEvents();
                    });
                    // The listing named the package's size: anything else is not the package.
                    if (m_listedSize >= 0 && QFileInfo(partial).size() != m_listedSize)
                        throw ftp::EickFTP(
                            ftp::kInetConnectionAborted,
                            QStringLiteral("Received %1 bytes; the listing names %2.")
                                .arg(QFileInfo(partial).size())
                                .arg(m_listedSize),
                            true);
                    // Only a package that matches its signed version file gets its name.
                    QString cause;
                    const bool trusted = cellText(r, Column::Signature) == kSigned;
                    if (!trusted && signedOnly)
                        cause = kUnsignedRefused;
                    if (!cause.isEmpty() || !checkPackage(partial, signedValues(r), cause)) {
                        QFile::remove(partial);
                        m_services.dialogs->error(withCause(kUnableToGetFile + name, cause));
                        hideProgress();
                        continue;
                    }
                    QFile::remove(target);
                    if (!QFile::rename(partial, target))
                        throw platform::Error(kUnableToGetFile + name);
                    checkAllFetched();
                    hideProgress();
                } catch (const std::exception& e) {
                    QFile::remove(partial);
                    m_services.dialogs->error(withCause(kUnableToGetFile + name, causeOf(e)));
                    hideProgress();
                    continue;
                }
                try {
                    step(m_cancelled, [&] { f.setAction(ftp::ickftpLogoff); });
                } catch (const std::exception&) {
                    m_services.dialogs->information(kUnableToDisconnect);
                }
            } catch (const std::exception& e) {
                setWindowTitle(kAppTitle);
                m_services.dialogs->error(withCause(kUnableToLocate, causeOf(e)));
                m_transferring = false;
                enableAllButtons();
                hideProgress();
                setHourglass(false);
                return;
            }
        }
    } catch (const Cancelled&) {
        QFile::remove(partial);
        finish();
        return;
    } catch (...) {
        finish();
        throw;
    }
    if (!m_closed)
        m_services.dialogs->show(platform::Dialogs::Kind::Confirmation, kSelectInstall,
                                 {platform::Dialogs::Button::Ok});
    finish();
}

// ---- Install

void MainWindow::runUninstaller() {
    m_services.installer->start(m_uninstaller.command, m_uninstaller.parameters,
                                m_uninstaller.defaultDir, m_uninstaller.wait);
}

void MainWindow::openPackage() {
    // The package runs on its own; the updater neither waits for it nor closes.
    if (!m_services.shell->open(platform::fileUrl(m_packageStarter.command)))
        m_services.dialogs->warning(
            kPackageNotOpened.arg(QDir::toNativeSeparators(m_packageStarter.command)));
}

void MainWindow::installSelected() {
    int row = -1, ticked = 0;
    for (int r = 0; r < rowCount(); ++r)
        if (isTicked(r)) {
            ++ticked;
            row = r;
        }
    if (ticked == 0) {
        m_services.dialogs->warning(kTickOne);
        return;
    }
    if (ticked > 1) {
        m_services.dialogs->warning(kOnlyOne);
        return;
    }
    const QString name = cellText(row, Column::Name);
    if (cellText(row, Column::InstalledVersion) == cellText(row, Column::OfferedVersion) &&
        m_services.dialogs->confirm(kAlreadyLatest))
        return;
    const QString package = cellText(row, Column::Package);
    const QString file = packagePath(package);
    if (!isPlainFileName(package) || !QFileInfo(file).isFile()) {
        m_services.dialogs->error(kNoInstallFile);
        return;
    }
    if (name == kSelfName) {
        m_services.dialogs->information(kSelfUpdate.arg(package, file));
        return;
    }
    // A package fetched in an earlier run has no check of this run behind it: it was verified
    // when it came if it was signed, so only the setting refuses it.
    const QString signature = cellText(row, Column::Signature);
    if (signedOnly && signature != kSigned) {
        m_services.dialogs->error(withCause(kBadVersionFile, kUnsignedRefused));
        return;
    }
    if (signature == kNotSigned && !m_services.dialogs->confirm(kNotSignedQuestion.arg(package)))
        return;
    const QString systemDir = m_services.installer->systemDirectory();
    const QString code = cellText(row, Column::ProductCode);
    platform::RegistryStore reg(m_services.registryPath);
    // A product without a product code has no key of its own under the uninstall key.
    if (!code.isEmpty() &&
        reg.openKeyReadOnly(platform::kUninstallKey + QLatin1Char('\\') + code)) {
        if (m_services.dialogs->confirm(kSilentUninstall)) {
            if (reg.readString(QStringLiteral("UninstallString")).isEmpty()) {
                m_services.dialogs->error(kNoUninstallString);
                return;
            }
            const QString engine = systemDir + QLatin1Char('/') + kInstallerEngine;
            if (!QFileInfo::exists(engine)) {
                m_services.dialogs->error(kNoInstallerEngine);
                return;
            }
            reg.closeKey();
            m_uninstaller.parameters = QStringLiteral(" /x") + code + QStringLiteral(" /qn");
            m_uninstaller.command = engine;
            disableAllButtons();
            setHourglass(true);
            runUninstaller();
            m_uninstaller.wait = true;
            enableAllButtons();
            platform::RegistryStore poll(m_services.registryPath);
            poll.openKeyReadOnly(platform::kUninstallKey);
            int counter = 0;
            while (poll.keyExists(code) && counter <= uninstallPolls) {
                m_services.installer->pause(uninstallPollMs);
                // The window repaints while it waits; clicks and keys wait for the poll's end.
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                ++counter;
            }
            setHourglass(false);
            if (poll.keyExists(code))
                m_services.dialogs->error(kNotUninstalled);
            else
                m_services.dialogs->information(kUninstalled);
            poll.closeKey();
        }
    }
    reg.closeKey();
    m_packageStarter.command = file;
    const QString question = QStringLiteral("%1 %2").arg(kInstallNowHead, kInstallNow.arg(name));
    if (m_services.dialogs->show(platform::Dialogs::Kind::Confirmation, question,
                                 {platform::Dialogs::Button::Yes, platform::Dialogs::Button::No}) !=
        platform::Dialogs::Button::No)
        openPackage();
}

} // namespace tidewell
