#include "mainupdate.h"

#include "proxy.h"
#include "updater/ftp/tickftp.h"
#include "versionfile.h"

#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/help.h"
#include "platform/installer.h"
#include "platform/registrystore.h"
#include "platform/shell.h"
#include "platform/textfile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <climits>

namespace tidewell {

const QString TForm1::kAppTitle = QStringLiteral("Varnholt Tidewell");
const QString TForm1::kUpdaterKey = QStringLiteral("\\SOFTWARE\\VRNH\\Updater");

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
// The download folder. "tidewell" itself is the executable's name in the program folder here.
const QString kDownloadFolderName = QStringLiteral("tidewell-downloads");
const QString kServerUser = QStringLiteral("qmzvb");
const QString kServerPassword = QStringLiteral("qmz7719");
const QString kFeedFolder = QStringLiteral("tidefeed/");
const QString kSelfName = QStringLiteral("Tidewell");
const QString kInstallerEngine = QStringLiteral("msiexec.exe");
const QString kPartSuffix = QStringLiteral(".part");

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

// About.
const QString kAbout = QStringLiteral(
    "Varnholt Tidewell\n\nKeeps the Varnholt products on this computer up to date from the "
    "Varnholt update server.");

// Columns of the product list: the caption, then the seven sub-items.
constexpr int kSubItems = 7;

// Sets the remote path ahead of the Logon. An instance still connected after a failed download
// would change directory there, relative to the old product's folder; that change is of no use
// (the Logon replaces the connection and sets the path again), and its failure must not end the
// command with the toolbar locked.
void storeRemotePath(ftp::TickFTP& f, const QString& path) {
    try {
        f.setRemotePath(path);
    } catch (const ftp::EickFTP&) {
    }
}

} // namespace

TForm1::TForm1(const Services& services, QWidget* parent)
    : QMainWindow(parent), m_services(services) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kAppTitle);
    m_programFolder = services.programFolder;
    execDialog = [](QDialog& d) { return d.exec(); };
    buildWindow();

    getverFTP = std::make_unique<ftp::TickFTP>(services.updatePort);
    getverFTP->setUseCache(false);
    getupdateFTP = std::make_unique<ftp::TickFTP>(services.updatePort);
    getupdateFTP->setUseCache(false);
    getupdateFTP->setTransferMode(ftp::icktmBinary);
    wireFtpEvents();
}

TForm1::~TForm1() {
    setHourglass(false);
}

QToolButton* TForm1::addButton(const char* name, const QString& caption, const QString& tip,
                               const QString& icon) {
    auto* b = new QToolButton(RzToolbar1);
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
    RzToolbar1->addWidget(b);
    return b;
}

void TForm1::buildWindow() {
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(6, 6, 6, 2);
    GroupBox1 = new QGroupBox(kGroupCaption, central);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* box = new QVBoxLayout(GroupBox1);
    box->setContentsMargins(6, 4, 6, 4);
    box->setSpacing(4);
    Label1 = new QLabel(kExplanation, GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    box->addWidget(Label1);

    produpd = new QTreeWidget(GroupBox1);
    produpd->setObjectName(QStringLiteral("produpd"));
    produpd->setRootIsDecorated(false);
    produpd->setEditTriggers(QAbstractItemView::NoEditTriggers);
    produpd->setSortingEnabled(false);
    produpd->setColumnCount(1 + kSubItems);
    produpd->setHeaderLabels({QStringLiteral("Product"), QStringLiteral("Current Version"),
                              QStringLiteral("Available Version")});
    for (int c = 3; c < 1 + kSubItems; ++c)
        produpd->setColumnHidden(c, true);
    produpd->header()->setStretchLastSection(false);
    produpd->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    produpd->setColumnWidth(1, 90);
    produpd->setColumnWidth(2, 109);
    connect(produpd, &QTreeWidget::itemSelectionChanged, this, [this] { produpdSelectItem(); });
    box->addWidget(produpd, 1);

    progressRow = new QWidget(GroupBox1);
    progressRow->setObjectName(QStringLiteral("progressRow"));
    auto* row = new QHBoxLayout(progressRow);
    row->setContentsMargins(0, 0, 0, 0);
    bytesdown = new QLabel(QStringLiteral("Downloaded"), progressRow);
    bytesdown->setObjectName(QStringLiteral("bytesdown"));
    bytesnum = new QLabel(progressRow);
    bytesnum->setObjectName(QStringLiteral("bytesnum"));
    RzProgressBar1 = new QProgressBar(progressRow);
    RzProgressBar1->setObjectName(QStringLiteral("RzProgressBar1"));
    RzProgressBar1->setFixedWidth(145);
    RzProgressBar1->setRange(0, 0);
    RzProgressBar1->setValue(0);
    bytestotal = new QLabel(QStringLiteral("Total Bytes"), progressRow);
    bytestotal->setObjectName(QStringLiteral("bytestotal"));
    totalnum = new QLabel(progressRow);
    totalnum->setObjectName(QStringLiteral("totalnum"));
    row->addWidget(bytesdown);
    row->addWidget(bytesnum, 1);
    row->addWidget(RzProgressBar1);
    row->addWidget(bytestotal);
    row->addWidget(totalnum, 1);
    progressRow->setVisible(false);
    box->addWidget(progressRow);
    outer->addWidget(GroupBox1);
    setCentralWidget(central);

    RzToolbar1 = new QToolBar(this);
    RzToolbar1->setObjectName(QStringLiteral("RzToolbar1"));
    RzToolbar1->setMovable(false);
    RzToolbar1->setFloatable(false);
    addToolBar(Qt::BottomToolBarArea, RzToolbar1);
    BtnAccept = addButton("BtnAccept", QStringLiteral("&Check"),
                          QStringLiteral("Check for Updates"), QString());
    RzToolbar1->addSeparator();
    BtnExecute =
        addButton("BtnExecute", QStringLiteral("&Get Update"),
                  QStringLiteral("Get the available update for the selected product."), QString());
    BtnFinish = addButton("BtnFinish", QStringLiteral("&Install"),
                          QStringLiteral("Install an update"), QString());
    RzToolbar1->addSeparator();
    BtnSettings = addButton("BtnSettings", QStringLiteral("&Settings"),
                            QStringLiteral("Select this to set proxy server settings."), QString());
    BtnNote = addButton("BtnNote", QStringLiteral("&About"), QStringLiteral("About this software"),
                        QString());
    BtnExit = addButton("BtnExit", QString(), QStringLiteral("Close Tidewell"),
                        QStringLiteral("application-exit"));
    BtnHelp = addButton("BtnHelp", QString(), QStringLiteral("Help with Tidewell"),
                        QStringLiteral("help-contents"));
    BtnExecute->setEnabled(false);
    BtnFinish->setEnabled(false);

    connect(BtnAccept, &QToolButton::clicked, this,
            [this] { runCommand(&TForm1::BtnAcceptClick); });
    connect(BtnExecute, &QToolButton::clicked, this,
            [this] { runCommand(&TForm1::BtnExecuteClick); });
    connect(BtnFinish, &QToolButton::clicked, this,
            [this] { runCommand(&TForm1::BtnFinishClick); });
    connect(BtnSettings, &QToolButton::clicked, this,
            [this] { runCommand(&TForm1::BtnSettingsClick); });
    connect(BtnNote, &QToolButton::clicked, this, [this] { runCommand(&TForm1::BtnNoteClick); });
    connect(BtnExit, &QToolButton::clicked, this, [this] { runCommand(&TForm1::BtnExitClick); });
    connect(BtnHelp, &QToolButton::clicked, this, [this] { runCommand(&TForm1::BtnHelpClick); });

    // Client area 421 by 212, not resizable, centred on the screen.
    setFixedSize(421, 212);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm1::runCommand(void (TForm1::*handler)()) {
    platform::runGuarded(*m_services.dialogs, [&] { (this->*handler)(); });
}

void TForm1::setHourglass(bool on) {
    if (on == m_hourglass)
        return;
    m_hourglass = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

// ---- product list

int TForm1::rowCount() const {
    return produpd->topLevelItemCount();
}

QString TForm1::subItem(int row, int index) const {
    const QTreeWidgetItem* item = produpd->topLevelItem(row);
    return item ? item->text(index < 0 ? 0 : index + 1) : QString();
}

void TForm1::setSubItem(int row, int index, const QString& text) {
    if (QTreeWidgetItem* item = produpd->topLevelItem(row))
        item->setText(index + 1, text);
}

bool TForm1::isTicked(int row) const {
    const QTreeWidgetItem* item = produpd->topLevelItem(row);
    return item && item->checkState(0) == Qt::Checked;
}

void TForm1::setTicked(int row, bool ticked) {
    if (QTreeWidgetItem* item = produpd->topLevelItem(row))
        item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

QString TForm1::downloadFolder() const {
    return m_programFolder + kDownloadFolderName;
}

QString TForm1::packagePath(const QString& package) const {
    return downloadFolder() + QLatin1Char('/') + package;
}

// ---- start-up

void TForm1::loadProxySettings() {
    platform::RegistryStore reg(m_services.registryPath);
    if (reg.openKey(kUpdaterKey, true)) {
        pxa = reg.readString(QStringLiteral("pxa"));
        pxu = reg.readString(QStringLiteral("pxu"));
        pxp = reg.readString(QStringLiteral("pxp"));
    }
    reg.closeKey();
}

void TForm1::FormCreate() {
    m_helpFile = m_programFolder + kHelpFileName;
    BtnFinish->setEnabled(false);
    loadProxySettings();

    QStringList names;
    {
        platform::RegistryStore reg(m_services.registryPath);
        if (reg.openKey(kUpdaterKey, true))
            names = reg.subKeyNames();
        reg.closeKey();
    }
    QStringList version1, f, p, fn, version2, productcode;
    for (const QString& name : names) {
        platform::RegistryStore reg(m_services.registryPath);
        const bool open = reg.openKeyReadOnly(kUpdaterKey + QLatin1Char('\\') + name);
        auto value = [&](const char* v) {
            return open ? reg.readString(QString::fromLatin1(v)) : QString();
        };
        const QString installed = value("version1");
        version1 << (installed.isEmpty() ? kNotInstalled : installed);
        f << value("f");
        p << value("p");
        fn << value("fn");
        version2 << value("version2");
        productcode << value("productcode");
        reg.closeKey();
    }

    const QString dir =
        m_services.currentDirectory.isEmpty() ? QDir::currentPath() : m_services.currentDirectory;
    try {
        platform::writeAnsiLines(QDir(dir).filePath(kVersionsFile), version1);
    } catch (const std::exception& e) {
        m_services.dialogs->standardError(e);
        return;
    }

    produpd->clear();
    bool fetched = false;
    for (qsizetype i = 0; i < names.size(); ++i) {
        auto* item = new QTreeWidgetItem(produpd);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        item->setText(0, names[i]);
        item->setText(1, version1[i]);
        item->setText(2, version1[i] == kNotInstalled ? version2[i] : QString());
        item->setText(3, f[i]);
        item->setText(4, p[i]);
        item->setText(5, fn[i]);
        item->setText(6, productcode[i]);
        item->setText(7, QString());
        fetched = fetched || !fn[i].isEmpty();
    }
    if (fetched)
        BtnFinish->setEnabled(true);
}

// ---- toolbar state and progress

void TForm1::DisableAllButtons() {
    for (QToolButton* b :
         {BtnExecute, BtnSettings, BtnNote, BtnExit, BtnHelp, BtnAccept, BtnFinish})
        b->setEnabled(false);
}

void TForm1::EnableAllButtons() {
    for (QToolButton* b :
         {BtnExecute, BtnSettings, BtnNote, BtnExit, BtnHelp, BtnAccept, BtnFinish})
        b->setEnabled(true);
}

void TForm1::ShowProgBar() {
    progressRow->setVisible(true);
}

void TForm1::HideProgBar() {
    progressRow->setVisible(false);
    RzProgressBar1->setRange(0, 0);
    RzProgressBar1->setValue(0);
    bytesnum->clear();
    totalnum->clear();
    m_totalBytes = 0;
}

// ---- simple commands

void TForm1::BtnHelpClick() {
    m_services.help->showTopic(m_helpFile, 1);
}

void TForm1::BtnNoteClick() {
    m_services.dialogs->information(kAbout);
}

void TForm1::BtnExitClick() {
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // A command that runs when the window closes stops at its next product.
    m_closed = true;
    QMainWindow::closeEvent(event);
}

void TForm1::BtnSettingsClick() {
    {
        TSettings dialog(m_services, this);
        dialog.FormCreate();
        execDialog(dialog);
    }
    loadProxySettings();
}

// ---- FTP events

void TForm1::wireFtpEvents() {
    getverFTP->OnStartTransfer = [this](ftp::TickFTP&) { setHourglass(true); };
    getverFTP->OnTransfer = [this](ftp::TickFTP&, qint64, const QByteArray&) {
        setHourglass(true);
    };
    getverFTP->OnEndTransfer = [this](ftp::TickFTP&) { setHourglass(false); };

    // getupdateStartTransfer
    getupdateFTP->OnStartTransfer = [this](ftp::TickFTP&) {
        setHourglass(true);
        setWindowTitle(kGettingUpdate);
    };
    // getupdateFTPDirList: the last matching entry gives the package's size.
    getupdateFTP->OnDirList = [this](ftp::TickFTP&, const QString&, bool, qint64 FileSize,
                                     const QString&, const QString&) {
        setSubItem(m_currentRow, 6, QString::number(FileSize));
        m_totalBytes = FileSize;
    };
    // getupdateTransfer
    getupdateFTP->OnTransfer = [this](ftp::TickFTP&, qint64 BytesTransferred, const QByteArray&) {
        setHourglass(true);
        RzProgressBar1->setVisible(true);
        // The bar counts in ints: scale sizes beyond their range.
        const qint64 total = m_totalBytes;
        const int shift = total > INT_MAX ? 10 : 0;
        RzProgressBar1->setRange(0, int(total >> shift));
        RzProgressBar1->setValue(int(qMin(BytesTransferred, total) >> shift));
        totalnum->setText(QString::number(total));
        bytesnum->setText(QString::number(BytesTransferred));
    };
    // getupdateEndTransfer
    getupdateFTP->OnEndTransfer = [this](ftp::TickFTP&) {
        if (m_phase == Phase::Download)
            checkAllFetched();
        setWindowTitle(kAppTitle);
        setHourglass(false);
        RzProgressBar1->setRange(0, 0);
        RzProgressBar1->setValue(0);
        totalnum->clear();
        bytesnum->clear();
    };
}

// Install becomes usable at once when every product is ticked and its package is here.
void TForm1::checkAllFetched() {
    int fetched = 0;
    for (int r = 0; r < rowCount(); ++r)
        if (isTicked(r) && QFileInfo(packagePath(subItem(r, 4))).isFile())
            ++fetched;
    if (fetched == rowCount())
        BtnFinish->setEnabled(true);
}

// ---- Check

void TForm1::BtnAcceptClick() {
    DisableAllButtons();
    if (rowCount() == 0) {
        m_services.dialogs->warning(kNoProductsToCheck);
        EnableAllButtons();
        return;
    }
    const QString versionFile = m_programFolder + kVersionFile;
    try {
        for (int r = 0; r < rowCount() && !m_closed; ++r) {
            const QString name = subItem(r, -1);
            ftp::TickFTP& f = *getverFTP;
            f.setProxyUser(pxu);
            f.setProxyServer(pxa);
            f.setProxyPassword(pxp);
            f.setUser(kServerUser);
            f.setPassword(kServerPassword);
            f.setRemoteHost(m_services.updateHost);
            f.setLocalFile(versionFile);
            const QString path = kFeedFolder + subItem(r, 2) + QLatin1Char('/');
            storeRemotePath(f, path);
            f.setRemoteFile(subItem(r, 3));
            if (subItem(r, 3).isEmpty())
                continue;
            setHourglass(false);
            try {
                f.setAction(ftp::ickftpLogon);
                f.setTransferMode(ftp::icktmASCII);
                f.setRemotePath(path);
                try {
                    f.setAction(ftp::ickftpDownload);
                    QCoreApplication::processEvents();
                } catch (const std::exception&) {
                    m_services.dialogs->error(kUnableToGetInfo + name);
                    continue;
                }
                f.setAction(ftp::ickftpLogoff);
            } catch (const std::exception&) {
                m_services.dialogs->error(kUnableToAttach + name);
                continue;
            }
            if (!QFileInfo(versionFile).isFile()) {
                m_services.dialogs->error(kUnableToGetFile + name);
                continue;
            }
            VersionInfo info;
            QStringList lines;
            try {
                lines = platform::readLines(versionFile);
            } catch (const std::exception&) {
                lines.clear();
            }
            if (!parseVersionFile(lines, info)) {
                m_services.dialogs->error(kBadVersionFile);
                continue;
            }
            setSubItem(r, 1, info.version);
            setSubItem(r, 4, info.package);
            if (subItem(r, 1) != subItem(r, 0)) {
                m_services.dialogs->information(kUpdateAvailable.arg(name));
                BtnExecute->setEnabled(true);
            } else {
                m_services.dialogs->information(kNoUpdate.arg(name));
            }
        }
    } catch (...) {
        EnableAllButtons();
        setHourglass(false);
        throw;
    }
    EnableAllButtons();
    setHourglass(false);
}

// ---- Get Update

void TForm1::BtnExecuteClick() {
    DisableAllButtons();
    loadProxySettings();
    if (rowCount() == 0) {
        m_services.dialogs->warning(kNoProductsInstalled);
        EnableAllButtons();
        return;
    }
    bool anyTicked = false;
    for (int r = 0; r < rowCount(); ++r)
        anyTicked = anyTicked || isTicked(r);
    if (!anyTicked) {
        m_services.dialogs->warning(kTickFirst);
        EnableAllButtons();
        return;
    }
    auto finish = [this] {
        EnableAllButtons();
        HideProgBar();
        setHourglass(false);
        setWindowTitle(kAppTitle);
    };
    try {
        for (int r = 0; r < rowCount() && !m_closed; ++r) {
            if (!isTicked(r))
                continue;
            const QString name = subItem(r, -1);
            const QString folder = subItem(r, 2);
            const QString package = subItem(r, 4);
            const QString offered = subItem(r, 1);
            ftp::TickFTP& f = *getupdateFTP;
            f.setProxyUser(pxu);
            f.setProxyServer(pxa);
            f.setProxyPassword(pxp);
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
            if (!QFileInfo(downloadFolder()).isDir() && !QDir().mkpath(downloadFolder())) {
                m_services.dialogs->error(kCannotCreateDir + downloadFolder());
                EnableAllButtons();
                return;
            }
            // A name the server gave that is no plain file name never reaches the file system.
            const bool plain = isPlainFileName(package);
            const QString target = packagePath(package);
            if (plain && QFileInfo::exists(target) && !QFile::remove(target))
                m_services.dialogs->error(kCannotDelete + target);
            // The package arrives under a temporary name and gets its own only when complete,
            // so a broken download never leaves a package that Install would start.
            const QString partial = target + kPartSuffix;
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
                ShowProgBar();
                if (!plain)
                    throw platform::Error(kBadVersionFile);
                f.setAction(ftp::ickftpLogon);
                f.setTransferMode(ftp::icktmBinary);
                f.setRemotePath(path);
                f.setAction(ftp::ickftpListDirectoryLong);
                m_phase = Phase::Download;
                try {
                    setWindowTitle(kGettingUpdateFor.arg(name));
                    f.setAction(ftp::ickftpDownload);
                    QCoreApplication::processEvents();
                    QFile::remove(target);
                    if (!QFile::rename(partial, target))
                        throw platform::Error(kUnableToGetFile + name);
                    checkAllFetched();
                    HideProgBar();
                } catch (const std::exception&) {
                    QFile::remove(partial);
                    m_services.dialogs->error(kUnableToGetFile + name);
                    HideProgBar();
                    continue;
                }
                try {
                    f.setAction(ftp::ickftpLogoff);
                } catch (const std::exception&) {
                    m_services.dialogs->information(kUnableToDisconnect);
                }
            } catch (const std::exception&) {
                setWindowTitle(kAppTitle);
                m_services.dialogs->error(kUnableToLocate);
                EnableAllButtons();
                HideProgBar();
                setHourglass(false);
                return;
            }
        }
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

void TForm1::uninstallExecute() {
    m_services.installer->start(uninstall.Command, uninstall.Parameters, uninstall.DefaultDir,
                                uninstall.Wait);
}

void TForm1::testExecute() {
    // The package runs on its own; the updater neither waits for it nor closes.
    m_services.shell->open(platform::fileUrl(test.Command));
}

void TForm1::BtnFinishClick() {
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
    const QString name = subItem(row, -1);
    if (subItem(row, 0) == subItem(row, 1) && m_services.dialogs->confirm(kAlreadyLatest))
        return;
    const QString package = subItem(row, 4);
    const QString file = packagePath(package);
    if (!isPlainFileName(package) || !QFileInfo(file).isFile()) {
        m_services.dialogs->error(kNoInstallFile);
        return;
    }
    if (name == kSelfName) {
        m_services.dialogs->information(kSelfUpdate.arg(package, file));
        return;
    }
    const QString systemDir = m_services.installer->systemDirectory();
    const QString code = subItem(row, 5);
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
            uninstall.Parameters = QStringLiteral(" /x") + code + QStringLiteral(" /qn");
            uninstall.Command = engine;
            DisableAllButtons();
            setHourglass(true);
            uninstallExecute();
            uninstall.Wait = true;
            EnableAllButtons();
            platform::RegistryStore poll(m_services.registryPath);
            poll.openKeyReadOnly(platform::kUninstallKey);
            int counter = 0;
            while (poll.keyExists(code) && counter <= uninstallPolls) {
                m_services.installer->pause(uninstallPollMs);
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
    test.Command = file;
    const QString question = QStringLiteral("%1 %2").arg(kInstallNowHead, kInstallNow.arg(name));
    if (m_services.dialogs->show(platform::Dialogs::Kind::Confirmation, question,
                                 {platform::Dialogs::Button::Yes, platform::Dialogs::Button::No}) !=
        platform::Dialogs::Button::No)
        testExecute();
}

} // namespace tidewell
