#include "brindle.h"

#include "about.h"
#include "platform/waitcursor.h"
#include "analysis/batch/msgb.h"
#include "analysis/keywords/srchtrms.h"
#include "analysis/proxy/edpwdf.h"
#include "analysis/rules/poleditf.h"
#include "analysis/rules/rulestore.h"
#include "platform/dialogs.h"
#include "platform/help.h"
#include "platform/registrystore.h"
#include "platform/singleinstance.h"
#include "webhost/host.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

namespace quillmark {

const QString TForm1::kCaption = QStringLiteral("Quillmark for FrontPage\u00AE");
const QString TForm1::kAppTitle = QStringLiteral("Quillmark for FrontPage");

namespace {

const QString kInstanceRunning = QStringLiteral("A copy of Quillmark is already running");
const QString kError2001 = QStringLiteral(
    "Could not create the link to FrontPage, The program cannot continue!\r\n\r\nError 2001");
const QString kError2002 = QStringLiteral(
    "Could not create the link to FrontPage, The program cannot continue!\r\n\r\nError 2002");
const QString kError2003 = QStringLiteral("Could not determine the current page!\r\n\r\nError 2003");
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

TForm1::TForm1(const Services& services, QWidget* parent)
    : QMainWindow(parent), m_services(services) {
    // Until the rule base editor has stored them, the numbers are the editor's starting values,
    // so that a first check does not stop on an empty number.
    m_rules = rules::startingRuleValues();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    buildWindow();
    buildCommands();
}

TForm1::~TForm1() = default;

void TForm1::buildWindow() {
    resize(636, 463);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    sp1 = new QSplitter(Qt::Vertical, this);
    sp1->setObjectName(QStringLiteral("sp1"));
    sp1->setChildrenCollapsible(false);

    SubmitReady = makePane("SubmitReady", nullptr);
    GroupBox1 = makeGroup("GroupBox1", QStringLiteral(" Files that passed the Policy Check "), SubmitReady, sp1);

    auto* lower = new QWidget(sp1);
    lower->setObjectName(QStringLiteral("LowerPanel"));
    auto* row = new QHBoxLayout(lower);
    row->setContentsMargins(0, 0, 0, 0);
    failedurls = makePane("failedurls", nullptr);
    GroupBox2 = makeGroup("GroupBox2", QStringLiteral(" Files that failed the Policy Check "), failedurls, lower);
    memo3 = makePane("memo3", nullptr);
    GroupBox3 = makeGroup("GroupBox3", QStringLiteral(" Keyword Density, Linkage && Spam Check "), memo3, lower);
    GroupBox3->setFixedWidth(311);
    row->addWidget(GroupBox2, 1);
    row->addWidget(GroupBox3, 0);

    sp1->addWidget(GroupBox1);
    sp1->addWidget(lower);
    setCentralWidget(sp1);
    connect(sp1, &QSplitter::splitterMoved, this, [this] {
        if (m_applyingPercent)
            return;
        const QList<int> sizes = sp1->sizes();
        const int total = sizes.value(0) + sizes.value(1);
        if (total > 0)
            m_percent = qBound(8, int((sizes.value(0) * 100.0 / total) + 0.5), 95);
    });

    StatusBar1 = new QLabel(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedWidth(300);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);
    statusBar()->addWidget(StatusBar1);
}

void TForm1::setStatusText(const QString& text) {
    StatusBar1->setText(text);
}

QString TForm1::statusText() const {
    return StatusBar1->text();
}

void TForm1::setPercent(int percent) {
    m_percent = qBound(8, percent, 95);
    applyPercent();
}

void TForm1::applyPercent() {
    const QList<int> sizes = sp1->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (total <= 0)
        return;
    const int upper = int(total * m_percent / 100.0 + 0.5);
    m_applyingPercent = true;
    sp1->setSizes({upper, total - upper});
    m_applyingPercent = false;
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    applyPercent();
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    applyPercent();
}

bool TForm1::LMDOneInstance1Custom() {
    // The guard lives as long as the main window: it is the mutex this copy holds.
    m_instance = std::make_unique<platform::SingleInstance>(m_services.instanceName);
    if (m_instance->tryAcquire())
        return false;
    m_services.dialogs->information(kInstanceRunning);
    m_terminated = true;
    return true;
}

void TForm1::FormCreate() {
    platform::WaitCursor cursor;
    batchfiles.clear();
    batchfolders.clear();
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

    GetDefaults();
    cursor.restore();

    m_page.tagList.clear();
    m_programFolder = m_services.programFolder;
    try {
        rules::buildRuleTable(m_programFolder, m_rules, memo1, grid1);
    } catch (const std::exception& e) {
        grid1.clear();
        m_services.dialogs->standardError(e);
        return;
    }
    m_helpFile = QDir(m_programFolder).filePath(QStringLiteral("quillmark.hlp"));
}

void TForm1::createLongLivedWindows() {
    AboutBox = new TAboutBox(*m_services.dialogs, m_programFolder.isEmpty() ? m_services.programFolder : m_programFolder, this);
    upbf = new Tupbf(this);
    SrchFrm = new TSrchFrm(this);
    edpwdfrm = new Tedpwdfrm(this);
}

void TForm1::GetDefaults() {
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
        setPercent(50);
        return;
    }
    rules::readRuleValues(reg, m_rules);
    const QString winP = reg.readString(kWinP);
    if (!reg.valueExists(kWinP) || winP == QLatin1String("0")) {
        setPercent(50);
    } else {
        bool ok = false;
        const int p = winP.trimmed().toInt(&ok);
        setPercent(ok ? p : 50);
    }
}

void TForm1::SetDefaults() {
    platform::RegistryStore reg(m_services.registryPath);
    if (!reg.openKey(rules::kSettingsKey, true))
        return;
    if (reg.valueExists(kWinP))
        reg.writeString(kWinP, QString::number(m_percent));
}

void TForm1::FormClose() {
    if (m_closed)
        return;
    m_closed = true;
    SetDefaults();
    m_editor.reset();
    m_explorer.reset();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        // A check or run is under way: close when it has ended.
        m_closeRequested = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

TForm1::BusyScope::BusyScope(TForm1& form) : m_form(form), m_outer(!form.m_busy) {
    if (!m_outer)
        return;
    m_form.m_busy = true;
    for (QPlainTextEdit* pane : {m_form.SubmitReady, m_form.failedurls, m_form.memo3})
        pane->setReadOnly(true);
}

TForm1::BusyScope::~BusyScope() {
    if (!m_outer)
        return;
    m_form.m_busy = false;
    for (QPlainTextEdit* pane : {m_form.SubmitReady, m_form.failedurls, m_form.memo3})
        pane->setReadOnly(false);
    if (m_form.m_closeRequested) {
        m_form.m_closeRequested = false;
        QMetaObject::invokeMethod(&m_form, &QWidget::close, Qt::QueuedConnection);
    }
}

void TForm1::buildRuleTable() {
    try {
        rules::buildRuleTable(m_programFolder, m_rules, memo1, grid1);
    } catch (...) {
        grid1.clear();
        throw;
    }
}

void TForm1::SpeedButton2Click() {
    {
        Tpoledit poledit(*m_services.dialogs, *m_services.help, m_helpFile, m_programFolder,
                         m_services.registryPath, this);
        poledit.exec();
    }
    GetDefaults();
    grid1.emptyCells();
    buildRuleTable();
}

void TForm1::About1Click() {
    AboutBox->show();
    AboutBox->raise();
}

void TForm1::Exit1Click() {
    close();
}

void TForm1::showHelpTopic(int topic) {
    m_services.help->showTopic(m_helpFile, topic);
}

void TForm1::runCommand(Handler handler) {
    if (m_busy)
        return;
    platform::runGuarded(*m_services.dialogs, [&] { (this->*handler)(); });
}

} // namespace quillmark
