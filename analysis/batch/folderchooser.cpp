#include "folderchooser.h"

#include "gathering.h"

#include <QDialogButtonBox>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace quillmark {

const QString FolderChooser::kCaption = QStringLiteral("Batch Check (Select Folder)");

namespace {

constexpr int kFolderRole = Qt::UserRole;

QTreeWidgetItem* makeItem(const QString& caption, const QString& folder) {
    auto* item = new QTreeWidgetItem(QStringList{caption});
    item->setData(0, kFolderRole, folder);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    return item;
}

} // namespace

FolderChooser::FolderChooser(const QStringList& folders, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FolderChooser"));
    setWindowTitle(kCaption);
    resize(420, 420);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("Tick the folders whose pages you want to check:"), this));

    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("folders"));
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true);
    QTreeWidgetItem* root = makeItem(batch::kWebRootEntry, QString());
    m_tree->addTopLevelItem(root);
    // A folder hangs under its parent folder; one whose parent is not listed hangs under the root.
    QHash<QString, QTreeWidgetItem*> byFolder{{QString(), root}};
    QStringList sorted = folders;
    sorted.sort(Qt::CaseInsensitive);
    for (const QString& f : sorted) {
        if (f.isEmpty() || byFolder.contains(f))
            continue;
        const qsizetype slash = f.lastIndexOf(QLatin1Char('/'));
        QTreeWidgetItem* parentItem = byFolder.value(slash < 0 ? QString() : f.left(slash), root);
        auto* item = makeItem(slash < 0 ? f : f.mid(slash + 1), f);
        parentItem->addChild(item);
        byFolder.insert(f, item);
    }
    root->setExpanded(true);
    layout->addWidget(m_tree, 1);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(m_buttons);
    connect(m_tree, &QTreeWidget::itemChanged, this, [this] { updateOk(); });
    updateOk();
}

QStringList FolderChooser::chosenEntries() const {
    QStringList out;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if ((*it)->checkState(0) != Qt::Checked)
            continue;
        const QString folder = (*it)->data(0, kFolderRole).toString();
        out.append(folder.isEmpty() ? batch::kWebRootEntry : batch::folderEntry(folder));
    }
    return out;
}

QTreeWidgetItem* FolderChooser::item(const QString& folder) const {
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if ((*it)->data(0, kFolderRole).toString() == folder)
            return *it;
    return nullptr;
}

void FolderChooser::updateOk() {
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!chosenEntries().isEmpty());
}

} // namespace quillmark
