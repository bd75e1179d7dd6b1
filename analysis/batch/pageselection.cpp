#include "pageselection.h"

#include "gathering.h"

#include "platform/help.h"
#include "platform/windowsize.h"

#include <QAction>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace quillmark {

const QString PageSelectionDialog::kCaption = QStringLiteral("Batch Check for FrontPage\u00AE");

int BatchFileModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant BatchFileModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Row& r = m_rows.at(size_t(index.row()));
    if (role == Qt::DisplayRole)
        return r.caption;
    if (role == Qt::CheckStateRole)
        return r.ticked ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool BatchFileModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::CheckStateRole)
        return false;
    setTicked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags BatchFileModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

QVariant BatchFileModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole)
        return QStringLiteral("File");
    return {};
}

void BatchFileModel::addRows(const QStringList& captions) {
    if (captions.isEmpty())
        return;
    beginResetModel();
    m_rows.reserve(m_rows.size() + size_t(captions.size()));
    for (const QString& c : captions)
        m_rows.push_back({c, false});
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const Row& a, const Row& b) {
        return batch::rowLess(a.caption, b.caption);
    });
    endResetModel();
}

void BatchFileModel::setTicked(int row, bool ticked) {
    Row& r = m_rows.at(size_t(row));
    if (r.ticked == ticked)
        return;
    r.ticked = ticked;
    const QModelIndex i = index(row);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

void BatchFileModel::setAllTicked(bool ticked) {
    if (m_rows.empty())
        return;
    for (Row& r : m_rows)
        r.ticked = ticked;
    emit dataChanged(index(0), index(rowCount() - 1), {Qt::CheckStateRole});
}

namespace {

struct Command {
    const char* caption;
    const char* tip;  // the short hint: the toolbar's tooltip
    const char* hint; // the long hint
    void (PageSelectionDialog::*handler)();
    const char* name;
};

QAction* addCommand(PageSelectionDialog* form, QWidget* on, const Command& c) {
    auto* a = new QAction(QString::fromUtf8(c.caption), on);
    a->setObjectName(QString::fromLatin1(c.name));
    a->setToolTip(QString::fromUtf8(c.tip));
    a->setStatusTip(QString::fromUtf8(c.hint));
    const auto h = c.handler;
    QObject::connect(a, &QAction::triggered, form, [form, h] { (form->*h)(); });
    on->addAction(a);
    return a;
}

} // namespace

PageSelectionDialog::PageSelectionDialog(QStringList& batchPages, platform::Help& help,
                                         QString helpFile, QWidget* parent)
    : QDialog(parent), m_batchPages(batchPages), m_help(help), m_helpFile(std::move(helpFile)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(kCaption);
    setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("MainMenu1"));
    layout->setMenuBar(menuBar);

    filesBox = new QGroupBox(QStringLiteral(" Select Files to Check "), this);
    filesBox->setObjectName(QStringLiteral("GroupBox1"));
    auto* box = new QVBoxLayout(filesBox);
    m_model = new BatchFileModel(this);
    fileList = new QTreeView(filesBox);
    fileList->setObjectName(QStringLiteral("availfiles"));
    fileList->setRootIsDecorated(false);
    fileList->setUniformRowHeights(true);
    fileList->setItemsExpandable(false);
    fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList->setModel(m_model);
    fileList->header()->setStretchLastSection(true);
    box->addWidget(fileList);
    layout->addWidget(filesBox, 1);

    toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("ToolBar1"));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    platform::keepToolbarWhole(toolBar);
    layout->addWidget(toolBar);

    // The short hint is the tooltip, the long one after the bar the status hint.
    const Command buttons[] = {
        {"Select All", "Select all files", "Select all files", &PageSelectionDialog::selectAll,
         "RzToolButton1"},
        {"UnSelect All", "Clear Selected Files", "Clear Selected Files",
         &PageSelectionDialog::unselectAll, "RzToolButton2"},
        {"Check Files", "Check Files", "Close and check selected files",
         &PageSelectionDialog::checkFiles, "RzToolButton3"},
        {"Close", "Close", "Close without selecting any files", &PageSelectionDialog::closeDialog,
         "RzToolButton4"},
        {"Help", "Help", "Help with Batch Check", &PageSelectionDialog::showHelp, "RzToolButton5"},
    };
    for (const Command& c : buttons)
        addCommand(this, toolBar, c);

    QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    const Command fileItems[] = {
        {"&Select All", "Select all files", "Select all files", &PageSelectionDialog::selectAll,
         "SelectAll1"},
        {"&UnSelect All", "Clear selected files", "Clear selected files",
         &PageSelectionDialog::unselectAll, "UnSelectAll1"},
        {"Check &Files", "Close and return selected files", "Close and return selected files",
         &PageSelectionDialog::checkFiles, "CheckFiles1"},
        {"&Close", "Close without selecting any files", "Close without selecting any files",
         &PageSelectionDialog::closeDialog, "Close1"},
    };
    addCommand(this, file, fileItems[0]);
    addCommand(this, file, fileItems[1]);
    file->addSeparator();
    addCommand(this, file, fileItems[2]);
    file->addSeparator();
    addCommand(this, file, fileItems[3]);
    QMenu* helpMenu = menuBar->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("Help1"));
    addCommand(this, helpMenu,
               {"&Help with Batch Check", "Help with batch update", "Help with batch update",
                &PageSelectionDialog::showHelp, "HelpwithBatchCheck1"});
    platform::startSize(this, QSize(540, 380), QSize(478, 160));
}

void PageSelectionDialog::addRows(const QStringList& captions) {
    m_model->addRows(captions);
}

int PageSelectionDialog::rowCount() const {
    return m_model->rowCount();
}

QString PageSelectionDialog::caption(int row) const {
    return m_model->caption(row);
}

bool PageSelectionDialog::ticked(int row) const {
    return m_model->ticked(row);
}

void PageSelectionDialog::setTicked(int row, bool ticked) {
    m_model->setTicked(row, ticked);
}

void PageSelectionDialog::addFiles() {
    for (int r = 0; r < m_model->rowCount(); ++r)
        if (m_model->ticked(r))
            m_batchPages.append(m_model->caption(r));
}

void PageSelectionDialog::selectAll() {
    m_model->setAllTicked(true);
}

void PageSelectionDialog::unselectAll() {
    m_model->setAllTicked(false);
}

void PageSelectionDialog::checkFiles() {
    addFiles();
    accept();
}

void PageSelectionDialog::closeDialog() {
    reject();
}

void PageSelectionDialog::showHelp() {
    m_help.showTopic(m_helpFile, kHelpTopic);
}

void PageSelectionDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

} // namespace quillmark
