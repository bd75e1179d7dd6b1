#pragma once

#include <QAbstractListModel>
#include <QDialog>

#include <vector>

class QAction;
class QGroupBox;
class QMenuBar;
class QToolBar;
class QTreeView;

namespace platform {
class Help;
}

namespace quillmark {

// The rows of the page selection list: one checkable caption each, kept in ascending order.
class BatchFileModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rows with these captions, unticked, each in its place of the order.
    void addRows(const QStringList& captions);
    QString caption(int row) const { return m_rows.at(size_t(row)).caption; }
    bool ticked(int row) const { return m_rows.at(size_t(row)).ticked; }
    void setTicked(int row, bool ticked);
    void setAllTicked(bool ticked);

private:
    struct Row {
        QString caption;
        bool ticked = false;
    };
    std::vector<Row> m_rows;
};

// The page selection dialog of a batch check: the user ticks the pages to check.
class PageSelectionDialog : public QDialog {
    Q_OBJECT
public:
    static const QString kCaption;
    static const int kHelpTopic = 224;

    // "Check Files" writes the ticked pages to batchPages; nothing else is written.
    PageSelectionDialog(QStringList& batchPages, platform::Help& help, QString helpFile,
                        QWidget* parent = nullptr);

    // The dialog's rows: a caption each, sorted ascending.
    void addRows(const QStringList& captions);
    int rowCount() const;
    QString caption(int row) const;
    bool ticked(int row) const;
    void setTicked(int row, bool ticked);

    // Appends the caption of every ticked row, top to bottom, to batchPages.
    void addFiles();

    // Commands (toolbar and menu).
    void selectAll();
    void unselectAll();
    void checkFiles();
    void closeDialog();
    void showHelp();

    QGroupBox* filesBox = nullptr;
    QTreeView* fileList = nullptr;
    QToolBar* toolBar = nullptr;
    QMenuBar* menuBar = nullptr;
    BatchFileModel* model() const { return m_model; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QStringList& m_batchPages;
    platform::Help& m_help;
    QString m_helpFile;
    BatchFileModel* m_model = nullptr;
    bool m_placed = false;
};

} // namespace quillmark
