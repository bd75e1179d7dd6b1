#include "bodychecktester.h"

#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/help.h"
#include "platform/textfile.h"
#include "platform/windowsize.h"
#include "stringhelpers.h"

#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillmark {

namespace {

const QString kCaption = QStringLiteral("Body Check Tester");
const QString kErrorLoading = QStringLiteral("Error loading file");
const QString kNotHtml = QStringLiteral("File does not appear to be HTML");
const QString kNotInteger = QStringLiteral(
    "'%1' is not a valid integer value. Enter the number of body characters to show.");
const QString kInitialCount = QStringLiteral("5000");
// Kept sorted as text, as the list was made.
const char* const kPresets[] = {"",      "105000", "15000", "20000", "25000", "30000",
                                "35000", "40000",  "45000", "50000", "55000", "60000",
                                "7500",  "75000",  "85000", "95000"};

QToolButton* toolButton(const QString& text, const QString& hint, const char* name, QToolBar* bar) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(hint);
    b->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(b);
    return b;
}

} // namespace

BodyCheckTester::BodyCheckTester(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SrchFrm"));
    setWindowTitle(kCaption);
    setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("MainMenu1"));
    layout->setMenuBar(menuBar);

    toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("ToolBar1"));
    countBox = new QComboBox(toolBar);
    countBox->setObjectName(QStringLiteral("ComboBox1"));
    countBox->setEditable(true);
    countBox->setInsertPolicy(QComboBox::NoInsert);
    for (const char* p : kPresets)
        countBox->addItem(QString::fromLatin1(p));
    countBox->setEditText(kInitialCount);
    countBox->setMinimumContentsLength(8);
    toolBar->addWidget(countBox);
    testButton =
        toolButton(QStringLiteral("Run Tester"), QStringLiteral("Run Tester"), "btester", toolBar);
    toolBar->addSeparator();
    CutButton = toolButton(QStringLiteral("Cut"), QStringLiteral("Cut"), "CutButton", toolBar);
    CopyButton = toolButton(QStringLiteral("Copy"), QStringLiteral("Copy"), "CopyButton", toolBar);
    PasteButton =
        toolButton(QStringLiteral("Paste"), QStringLiteral("Paste"), "PasteButton", toolBar);
    toolBar->addSeparator();
    CloseButton =
        toolButton(QStringLiteral("Close"), QStringLiteral("Close"), "CloseButton", toolBar);
    HelpButton = toolButton(QStringLiteral("Help"), QStringLiteral("Help"), "HelpButton", toolBar);
    platform::keepToolbarWhole(toolBar);
    layout->addWidget(toolBar);

    textPane = new QPlainTextEdit(this);
    textPane->setObjectName(QStringLiteral("terms1"));
    textPane->setLineWrapMode(QPlainTextEdit::NoWrap);
    textPane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    textPane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(textPane, 1);

    QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    QAction* run = file->addAction(QStringLiteral("&Run Tester"));
    run->setObjectName(QStringLiteral("RunTester1"));
    file->addSeparator();
    QAction* close = file->addAction(QStringLiteral("&Close"));
    close->setObjectName(QStringLiteral("Close1"));
    QMenu* edit = menuBar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit1"));
    QAction* cut = edit->addAction(QStringLiteral("Cu&t"));
    cut->setObjectName(QStringLiteral("Cut1"));
    QAction* copy = edit->addAction(QStringLiteral("&Copy"));
    copy->setObjectName(QStringLiteral("Copy1"));
    QAction* paste = edit->addAction(QStringLiteral("&Paste"));
    paste->setObjectName(QStringLiteral("Paste1"));
    QMenu* help = menuBar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    QAction* using_ = help->addAction(QStringLiteral("&Using Body Check Tester"));
    using_->setObjectName(QStringLiteral("UsingBodyCheckTester1"));

    const auto runTester = [this] { guarded(&BodyCheckTester::testBodyCheck); };
    connect(testButton, &QToolButton::clicked, this, runTester);
    connect(run, &QAction::triggered, this, runTester);
    connect(CutButton, &QToolButton::clicked, textPane, &QPlainTextEdit::cut);
    connect(cut, &QAction::triggered, textPane, &QPlainTextEdit::cut);
    connect(CopyButton, &QToolButton::clicked, textPane, &QPlainTextEdit::copy);
    connect(copy, &QAction::triggered, textPane, &QPlainTextEdit::copy);
    connect(PasteButton, &QToolButton::clicked, textPane, &QPlainTextEdit::paste);
    connect(paste, &QAction::triggered, textPane, &QPlainTextEdit::paste);
    connect(CloseButton, &QToolButton::clicked, this, &QDialog::close);
    connect(close, &QAction::triggered, this, &QDialog::close);
    const auto showHelp = [this] { guarded(&BodyCheckTester::showHelp); };
    connect(HelpButton, &QToolButton::clicked, this, showHelp);
    connect(using_, &QAction::triggered, this, showHelp);

    platform::startSize(this, QSize(600, 420));
}

void BodyCheckTester::setServices(platform::Dialogs& dialogs, platform::Help& help,
                                  const QString& workingFile, const QString& helpFile) {
    m_dialogs = &dialogs;
    m_help = &help;
    m_workingFile = workingFile;
    m_helpFile = helpFile;
}

void BodyCheckTester::guarded(void (BodyCheckTester::*command)()) {
    if (!m_dialogs)
        return;
    platform::runGuarded(*m_dialogs, [&] { (this->*command)(); });
}

void BodyCheckTester::testBodyCheck() {
    const QString countText = countBox->currentText();
    bool ok = false;
    const int n = countText.trimmed().toInt(&ok);
    if (!ok)
        throw platform::EConvertError(kNotInteger.arg(countText));

    try {
        textPane->setPlainText(platform::readTextFile(m_workingFile).text);
    } catch (const platform::Error&) {
        m_dialogs->error(kErrorLoading);
    }
    // Offsets count a line break as CR LF, as the text area holds it.
    const QString text = keywords::withCrLf(textPane->toPlainText());
    const qsizetype p = text.indexOf(QLatin1String("<body"), 0, Qt::CaseSensitive);
    if (p < 0) {
        m_dialogs->error(kNotHtml);
        return;
    }
    // "<body" and the one character after it are left out.
    const qsizetype from = p + 6;
    textPane->setPlainText(n <= 0 || from >= text.size() ? QString() : text.mid(from, n));
}

void BodyCheckTester::showHelp() {
    m_help->showTopic(m_helpFile, kHelpTopic);
}

} // namespace quillmark
