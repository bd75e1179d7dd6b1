#pragma once

#include "kwgwords.h"
#include "platform/errors.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTreeWidget;

namespace platform {
class Dialogs;
class Help;
} // namespace platform

namespace keywords {
class TickXMLp;
}

namespace quillmark {

// A stored number outside the range its setting can hold.
class ERangeError : public platform::Error {
public:
    using platform::Error::Error;
};

// The keyword generator: lists the most frequent words of the page body, lets the user queue
// them for the keywords tag or add them to the noise words, and keeps the noise-word list.
class TKWGenForm : public QDialog {
    Q_OBJECT
public:
    static const QString kNoiseFileName; // "srexclude.txt"
    static const QString kCountValue;    // "kwgcount"
    static constexpr int kHelpTopic = 221;

    // Loads the settings; a stored count outside -32768..32767 raises ERangeError.
    TKWGenForm(platform::Dialogs& dialogs, platform::Help& help, const QString& registryPath,
               const QString& appDir, QWidget* parent = nullptr);
    ~TKWGenForm() override;

    // Builds the word list for the file (the opener once, "Refresh List" again).
    void GenerateList(const QString& fileName);

    // Commands.
    void AddKeywordsClick();
    void AddNoiseClick();
    void RefreshClick();
    void LoadNoiseClick();
    void SaveNoiseClick();
    void HelpClick();

    QString noiseFile() const;
    // The frame caption for the current count.
    QString topCaption() const;

    // State.
    QString FileName;
    QString AppDir; // ends in a separator
    qint16 TopCount = 25;
    int BodyLimit = 0;
    QStringList Words;
    QList<keywords::WordCount> WordCounts;
    int FilteredWordCount = 0;
    QStringList NoiseWords;
    QStringList AddedKeywords;

    // Controls.
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // "Keywords"
    QWidget* TabSheet2 = nullptr; // "Setup"
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QPushButton* btnAddKeywords = nullptr;
    QPushButton* btnAddNoise = nullptr;
    QPushButton* btnRefresh = nullptr;
    QSpinBox* SpinEdit1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr; // the noise-word editor
    QPushButton* btnLoadNoise = nullptr;
    QPushButton* btnSaveNoise = nullptr;
    QPushButton* btnClose = nullptr;
    QPushButton* btnHelp = nullptr;

    // The hidden work buffers: the file text and the collected text runs.
    QString m_fileText;
    QString m_textCollection;

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildWindow();
    void loadSettings();
    void saveSettings();
    void loadNoiseWords();
    void fillList(const QList<keywords::WordCount>& top);
    void clearList();
    // Runs a command; an error it does not catch reaches the standard error box.
    void guarded(void (TKWGenForm::*command)());
    QStringList tickedWords() const;
    void deleteTickedRows();
    void setEditorLines(const QStringList& lines);

    platform::Dialogs& m_dialogs;
    platform::Help& m_help;
    QString m_registryPath;
    keywords::TickXMLp* m_parser = nullptr;
};

} // namespace quillmark
