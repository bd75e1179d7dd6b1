#pragma once

#include <QDialog>

class QDialogButtonBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillmark {

// The folders of the current web as a tree with check boxes, the root of the web at its top;
// the user ticks the folders whose pages a batch check gathers.
class FolderChooser : public QDialog {
    Q_OBJECT
public:
    static const QString kCaption;

    // folders: the web's folders below the root, as the host names them ("a", "a/b").
    explicit FolderChooser(const QStringList& folders, QWidget* parent = nullptr);

    // The ticked folders as entries of the folder list, in tree order (the root as
    // "Web Root Directory").
    QStringList chosenEntries() const;

    QTreeWidget* tree() const { return m_tree; }
    // The tree item of a folder ("" for the root), or none.
    QTreeWidgetItem* item(const QString& folder) const;

private:
    void updateOk();

    QTreeWidget* m_tree = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace quillmark
