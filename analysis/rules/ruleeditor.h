#pragma once

#include "platform/folders.h"

#include <QAbstractSpinBox>
#include <QDialog>
#include <QTableWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace platform {
class Dialogs;
class Help;
} // namespace platform

namespace quillmark {

// A whole-number field with arrows that may also be left blank. Typing accepts digits only; a
// text set from the settings store is shown as it is stored.
class SpinField : public QAbstractSpinBox {
    Q_OBJECT
public:
    SpinField(int minimum, int maximum, int step, int value, QWidget* parent = nullptr);

    void setText(const QString& text);
    // The number in the field; the minimum when the field is blank or holds no whole number.
    int value() const;
    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    int singleStep() const { return m_step; }

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    QSize sizeHint() const override;

protected:
    StepEnabled stepEnabled() const override;

private:
    int m_min;
    int m_max;
    int m_step;
};

// The editor's grid of required tag names: one column, edited in place. Insert adds a row above
// the current one, Delete (or Ctrl+Delete) removes the current row when no name is being edited,
// Enter goes to the next row and appends one in the last row.
class TagGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TagGrid(const QString& heading, QWidget* parent = nullptr);

    QStringList names() const;
    // One row per name; an empty list still leaves one blank row to type in.
    void setNames(const QStringList& names);
    QString name(int row) const;
    void setName(int row, const QString& name);
    // Rows whose name, trimmed, is empty.
    void removeBlankRows();
    // Ends an edit in progress, keeping what was typed.
    void commitEdit();
    bool editing() const { return state() == QAbstractItemView::EditingState; }

    void insertRowAt(int row);
    void deleteCurrentRow();
    void nextRow();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The rule base editor: created for each use of "Rule Base ...", shown modally, destroyed on close.
class RuleEditor : public QDialog {
    Q_OBJECT
public:
    // The required tags are read from the user's list when there is one, else from the delivered
    // default, and saved to the user's list.
    RuleEditor(platform::Dialogs& dialogs, platform::Help& help, QString helpFile,
               platform::Folders folders, QString registryPath, QWidget* parent = nullptr);

    void initialize();
    void loadSettings();
    // Raises platform::Error when the settings cannot be written.
    void saveSettings();
    void keywordsRequiredClicked();
    void descriptionRequiredClicked();
    void save();        // Save
    void closeEditor(); // Close
    void showHelp();    // Help

    QString requiredTagFile() const; // the user's list, which Save writes
    QString requiredTagFileToRead() const;

    TagGrid* tagGrid;
    QCheckBox* safeSurfBox;    // SafeSurf
    QCheckBox* rsacBox;        // RSAC
    QCheckBox* weburbiaBox;    // Weburbia
    QCheckBox* keywordsBox;    // Keywords
    QCheckBox* descriptionBox; // Description
    QCheckBox* ratingBox;      // Rating
    QCheckBox* privacyBox;     // Privacy
    SpinField* keywordsMinimum;
    SpinField* keywordsMaximum;
    SpinField* descriptionMinimum;
    SpinField* descriptionMaximum;
    SpinField* bodyCheckCount;
    QPushButton* helpButton;    // Help
    QPushButton* saveButton;    // Save
    QPushButton* closeButton;   // Close
    QGroupBox* requiredTagsBox; // required tags
    QGroupBox* defaultTagsBox;  // default tags
    QLabel* picture;

private:
    void buildWindow();

    platform::Dialogs& m_dialogs;
    platform::Help& m_help;
    QString m_helpFile;
    platform::Folders m_folders;
    QString m_registryPath;
};

} // namespace quillmark
