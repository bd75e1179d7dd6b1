#include "mainwindow.h"
#include "analysis/engine/workfiles.h"

#include "about.h"
#include "analysis/batch/batchprogress.h"
#include "analysis/keywords/bodychecktester.h"
#include "analysis/proxy/passwordwindow.h"
#include "analysis/rules/ruleeditor.h"
#include "analysis/rules/rulestore.h"
#include "platform/dialogs.h"
#include "platform/help.h"
#include "platform/registrystore.h"
#include "platform/singleinstance.h"
#include "platform/waitcursor.h"
#include "platform/windowsize.h"
#include "platform/windowtitle.h"
#include "webhost/host.h"
#include "webhost/localweb.h"
#include "webhost/siteweb.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

namespace quillmark {

const QString MainWindow::kCaption = QStringLiteral("Quillmark for FrontPage\u00AE");
const QString MainWindow::kAppTitle = QStringLiteral("Quillmark for FrontPage");

namespace {

const QString kInstanceRunning = QStringLiteral("A copy of Quillmark is already running");
const QString kError2001 = QStringLiteral(
    "Could not create the link to FrontPage, The program cannot continue!\r\n\r\nError 2001");
const QString kError2002 = QStringLiteral(
    "Could not create the link to FrontPage, The program cannot continue!\r\n\r\nError 2002");
const QString kError2003 =
    QStringLiteral("Could not determine the current page!\r\n\r\nError 2003");
const QString kWinP = QStringLiteral("win-p");
const QString kSettingsUnreadable = QStringLiteral(
    "Quillmark cannot read its settings file:\r\n%1\r\n\r\nIt goes on with the settings it has and "
    "leaves the file as it is until it is started again.");

QPlainTextEdit* makePane(const char* name, QWidget* parent) {
    auto* pane = new QPlainTextEdit(parent);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setLineWrapMode(QPlainTextEdit::NoWrap);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return pane;
}

QGroupBox* makeGroup(const char* name, const QString& title, QWidget* pane, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(pane);
    return box;
}

} // namespace

MainWindow::MainWindow(const Services& services, QWidget* parent)
    : QMainWindow(parent), m_services(services) {
    // Until the rule base editor has stored them, the numbers are the editor's starting values,
    // so that a first check does not stop on an empty number.
    m_rules = rules::startingRuleValues();
    setObjectName(QStringLiteral("Form1"));
    buildWindow();
    buildCommands();
    showOpenPage();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildWindow() {
    resize(636, 463);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setObjectName(QStringLiteral("sp1"));
    m_splitter->setChildrenCollapsible(false);

    m_passedPane = makePane("SubmitReady", nullptr);
    m_passedBox = makeGroup("GroupBox1", QStringLiteral(" Files that passed the Policy Check "),
                            m_passedPane, m_splitter);

    auto* lower = new QWidget(m_splitter);
    lower->setObjectName(QStringLiteral("LowerPanel"));
    auto* row = new QHBoxLayout(lower);
    row->setContentsMargins(0, 0, 0, 0);
    m_failedPane = makePane("failedurls", nullptr);
    m_failedBox = makeGroup("GroupBox2", QStringLiteral(" Files that failed the Policy Check "),
                            m_failedPane, lower);
    m_keywordPane = makePane("memo3", nullptr);
    m_keywordBox =
        makeGroup("GroupBox3", QStringLiteral(" Keyword Density, Linkage && Spam Check "),
                  m_keywordPane, lower);
    // 311 pixels wide, or as wide as a larger font needs for the group's caption.
    platform::keepMinimumSize(m_keywordBox, QSize(311, 0));
    m_keywordBox->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    row->addWidget(m_failedBox, 1);
    row->addWidget(m_keywordBox, 0);

    m_splitter->addWidget(m_passedBox);
    m_splitter->addWidget(lower);
    setCentralWidget(m_splitter);
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
        if (m_applyingPercent)
            return;
        const QList<int> sizes = m_splitter->sizes();
        const int total = sizes.value(0) + sizes.value(1);
        if (total > 0)
            m_percent = qBound(8, int((sizes.value(0) * 100.0 / total) + 0.5), 95);
    });

    m_statusPanel = new QLabel(this);
    m_statusPanel->setObjectName(QStringLiteral("StatusBar1"));
    m_statusPanel->setFixedWidth(300);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);
    statusBar()->addWidget(m_statusPanel);
}

void MainWindow::showOpenPage() {
    QString title = kCaption;
    if (const webhost::SiteWeb* site = openSiteHost()) {
        // The site's root names it as the folder names a web.
        const QString root = site->rootUrl();
        const QString page = site->openPageAddress();
        title += QStringLiteral(" - ") +
                 platform::titleText(
                     page.isEmpty() ? root : page + QStringLiteral(" (") + root + QLatin1Char(')'));
    } else if (const webhost::LocalWeb* web = m_services.localWeb) {
        const QFileInfo folder(web->webFolder());
        const QString webName = folder.fileName().isEmpty()
                                    ? QDir::toNativeSeparators(web->webFolder())
                                    : folder.fileName();
        const QString page = web->openPageAddress();
        if (!webName.isEmpty())
            title += QStringLiteral(" - ") +
                     platform::titleText(page.isEmpty() ? webName
                                                        : page + QStringLiteral(" (") + webName +
                                                              QLatin1Char(')'));
    }
    setWindowTitle(title);
}

void MainWindow::setStatusText(const QString& text) {
    m_statusPanel->setText(text);
}

QString MainWindow::statusText() const {
    return m_statusPanel->text();
}

void MainWindow::setPanePercent(int percent) {
    m_percent = qBound(8, percent, 95);
    applyPercent();
}

void MainWindow::applyPercent() {
    const QList<int> sizes = m_splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (total <= 0)
        return;
    const int upper = int(total * m_percent / 100.0 + 0.5);
    m_applyingPercent = true;
    m_splitter->setSizes({upper, total - upper});
    m_applyingPercent = false;
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    applyPercent();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    applyPercent();
}

bool MainWindow::anotherInstanceRunning() {
    // The guard lives as long as the main window: it is the mutex this copy holds.
    m_instance = std::make_unique<platform::SingleInstance>(m_services.instanceName);
    if (m_instance->tryAcquire())
        return false;
    m_services.dialogs->information(kInstanceRunning);
    m_terminated = true;
    return true;
}

void MainWindow::initialize() {
    platform::WaitCursor cursor;
    m_batchPages.clear();
    m_batchFolders.clear();
    m_page.headTag = QStringLiteral("<head>");

    try {
        m_explorer = m_services.host->createExplorer();
    } catch (const std::exception&) {
        m_services.dialogs->error(kError2001);
        m_terminated = true;
        return;
    }
    try {
        m_editor = m_services.host->createEditor();
    } catch (const std::exception&) {
        m_services.dialogs->error(kError2002);
        m_terminated = true;
        return;
    }
    try {
        m_editor->vtiGetTopPageURL();
    } catch (const std::exception&) {
        m_services.dialogs->error(kError2003);
    }

    loadSettings();
    cursor.restore();

    m_page.tagList.clear();
    try {
        rules::buildRuleTable(m_services.folders, m_rules, m_requiredTags, m_ruleTable);
    } catch (const std::exception& e) {
        m_ruleTable.clear();
        m_services.dialogs->standardError(e);
        return;
    }
    m_helpFile = QDir(m_services.folders.data).filePath(engine::kHelpFileName);
}

void MainWindow::createLongLivedWindows() {
    m_aboutBox = new AboutBox(*m_services.dialogs, m_services.folders.data, this);
    m_batchProgress = new BatchProgressWindow(this);
    m_bodyCheckTester = new BodyCheckTester(this);
    m_passwordWindow = new PasswordWindow(this);
}

void MainWindow::loadSettings() {
    platform::RegistryStore reg(m_services.registryPath);
    // A registry file that cannot be written can still be read.
    if (!reg.openKey(rules::kSettingsKey, true) && !reg.openKeyReadOnly(rules::kSettingsKey)) {
        // Writing a file that could not be read would replace the user's settings with ours.
        if (reg.cannotRead() && !m_registryHold) {
            m_registryHold = std::make_unique<platform::RegistryWriteHold>(
                m_services.registryPath, QStringLiteral("Quillmark could not read it and leaves it "
                                                        "as it is until it is started again"));
            m_services.dialogs->warning(kSettingsUnreadable.arg(reg.lastError()));
        }
        setPanePercent(50);
        return;
    }
    rules::readRuleValues(reg, m_rules);
    const QString winP = reg.readString(kWinP);
    if (!reg.valueExists(kWinP) || winP == QLatin1String("0")) {
        setPanePercent(50);
    } else {
        bool ok = false;
        const int p = winP.trimmed().toInt(&ok);
        setPanePercent(ok ? p : 50);
    }
}

void MainWindow::saveSettings() {
    platform::RegistryStore reg(m_services.registryPath);
    if (!reg.openKey(rules::kSettingsKey, true))
        return;
    if (reg.valueExists(kWinP))
        reg.writeString(kWinP, QString::number(m_percent));
}

void MainWindow::finishClosing() {
    if (m_closed)
        return;
    m_closed = true;
    saveSettings();
    m_editor.reset();
    m_explorer.reset();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        // A check or run is under way: close when it has ended.
        m_closeRequested = true;
        event->ignore();
        return;
    }
    finishClosing();
    event->accept();
}

MainWindow::BusyScope::BusyScope(MainWindow& form) : m_form(form), m_outer(!form.m_busy) {
    if (!m_outer)
        return;
    m_form.m_busy = true;
    for (QPlainTextEdit* pane : {m_form.m_passedPane, m_form.m_failedPane, m_form.m_keywordPane})
        pane->setReadOnly(true);
}

MainWindow::BusyScope::~BusyScope() {
    if (!m_outer)
        return;
    m_form.m_busy = false;
    for (QPlainTextEdit* pane : {m_form.m_passedPane, m_form.m_failedPane, m_form.m_keywordPane})
        pane->setReadOnly(false);
    if (m_form.m_closeRequested) {
        m_form.m_closeRequested = false;
        QMetaObject::invokeMethod(&m_form, &QWidget::close, Qt::QueuedConnection);
    }
}

void MainWindow::buildRuleTable() {
    try {
        rules::buildRuleTable(m_services.folders, m_rules, m_requiredTags, m_ruleTable);
    } catch (...) {
        m_ruleTable.clear();
        throw;
    }
}

void MainWindow::editRuleBase() {
    {
        RuleEditor poledit(*m_services.dialogs, *m_services.help, m_helpFile, m_services.folders,
                           m_services.registryPath, this);
        poledit.exec();
    }
    loadSettings();
    m_ruleTable.emptyCells();
    buildRuleTable();
}

void MainWindow::showAbout() {
    m_aboutBox->show();
    m_aboutBox->raise();
}

void MainWindow::exitProgram() {
    close();
}

void MainWindow::showHelpTopic(int topic) {
    m_services.help->showTopic(m_helpFile, topic);
}

void MainWindow::runCommand(Handler handler) {
    if (m_busy)
        return;
    platform::runGuarded(*m_services.dialogs, [&] { (this->*handler)(); });
}

} // namespace quillmark
