#include "BatchUpd.h"

#include "gathering.h"

#include "platform/help.h"

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

const QString TForm3::kCaption = QStringLiteral("Batch Check for FrontPage\u00AE");

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
    void (TForm3::*handler)();
    const char* name;
};

QAction* addCommand(TForm3* form, QWidget* on, const Command& c) {
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

TForm3::TForm3(QStringList& batchfiles, platform::Help& help, QString helpFile, QWidget* parent)
    : QDialog(parent), m_batchfiles(batchfiles), m_help(help), m_helpFile(std::move(helpFile)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(kCaption);
    setSizeGripEnabled(true);
    setMinimumSize(478, 160);
    resize(540, 380);

    auto* layout = new QVBoxLayout(this);
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    layout->setMenuBar(MainMenu1);

    GroupBox1 = new QGroupBox(QStringLiteral(" Select Files to Check "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* box = new QVBoxLayout(GroupBox1);
    m_model = new BatchFileModel(this);
    availfiles = new QTreeView(GroupBox1);
    availfiles->setObjectName(QStringLiteral("availfiles"));
    availfiles->setRootIsDecorated(false);
    availfiles->setUniformRowHeights(true);
    availfiles->setItemsExpandable(false);
    availfiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    availfiles->setModel(m_model);
    availfiles->header()->setStretchLastSection(true);
    box->addWidget(availfiles);
    layout->addWidget(GroupBox1, 1);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout->addWidget(ToolBar1);

    // The short hint is the tooltip, the long one after the bar the status hint.
    const Command buttons[] = {
        {"Select All", "Select all files", "Select all files", &TForm3::SelectAll1Click,
         "RzToolButton1"},
        {"UnSelect All", "Clear Selected Files", "Clear Selected Files", &TForm3::UnSelectAll1Click,
         "RzToolButton2"},
        {"Check Files", "Check Files", "Close and check selected files", &TForm3::CheckFiles1Click,
         "RzToolButton3"},
        {"Close", "Close", "Close without selecting any files", &TForm3::Close1Click,
         "RzToolButton4"},
        {"Help", "Help", "Help with Batch Check", &TForm3::Help1Click, "RzToolButton5"},
    };
    for (const Command& c : buttons)
        addCommand(this, ToolBar1, c);

    QMenu* file = MainMenu1->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    const Command fileItems[] = {
        {"&Select All", "Select all files", "Select all files", &TForm3::SelectAll1Click,
         "SelectAll1"},
        {"&UnSelect All", "Clear selected files", "Clear selected files",
         &TForm3::UnSelectAll1Click, "UnSelectAll1"},
        {"Check &Files", "Close and return selected files", "Close and return selected files",
         &TForm3::CheckFiles1Click, "CheckFiles1"},
        {"&Close", "Close without selecting any files", "Close without selecting any files",
         &TForm3::Close1Click, "Close1"},
    };
    addCommand(this, file, fileItems[0]);
    addCommand(this, file, fileItems[1]);
    file->addSeparator();
    addCommand(this, file, fileItems[2]);
    file->addSeparator();
    addCommand(this, file, fileItems[3]);
    QMenu* helpMenu = MainMenu1->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("Help1"));
    addCommand(this, helpMenu,
               {"&Help with Batch Check", "Help with batch update", "Help with batch update",
                &TForm3::Help1Click, "HelpwithBatchCheck1"});
}

void TForm3::addRows(const QStringList& captions) {
    m_model->addRows(captions);
}

int TForm3::rowCount() const {
    return m_model->rowCount();
}

QString TForm3::caption(int row) const {
    return m_model->caption(row);
}

bool TForm3::ticked(int row) const {
    return m_model->ticked(row);
}

void TForm3::setTicked(int row, bool ticked) {
    m_model->setTicked(row, ticked);
}

void TForm3::addFiles() {
    for (int r = 0; r < m_model->rowCount(); ++r)
        if (m_model->ticked(r))
            m_batchfiles.append(m_model->caption(r));
}

void TForm3::SelectAll1Click() {
    m_model->setAllTicked(true);
}

void TForm3::UnSelectAll1Click() {
    m_model->setAllTicked(false);
}

void TForm3::CheckFiles1Click() {
    addFiles();
    accept();
}

void TForm3::Close1Click() {
    reject();
}

void TForm3::Help1Click() {
    m_help.showTopic(m_helpFile, kHelpTopic);
}

void TForm3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

} // namespace quillmark
