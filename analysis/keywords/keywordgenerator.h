#pragma once

#include "keywordgeneration.h"
#include "platform/errors.h"
#include "platform/folders.h"

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
class KeywordGenerator : public QDialog {
    Q_OBJECT
public:
    static const QString kNoiseFileName; // "srexclude.txt"
    static const QString kCountValue;    // "kwgcount"
    static constexpr int kHelpTopic = 221;

    // Loads the settings; a stored count outside -32768..32767 raises ERangeError. The noise
    // words are read from the user's list when there is one, else from the delivered default,
    // and written to the user's list.
    KeywordGenerator(platform::Dialogs& dialogs, platform::Help& help, const QString& registryPath,
                     const platform::Folders& folders, QWidget* parent = nullptr);
    ~KeywordGenerator() override;

    // Builds the word list for the file (the opener once, "Refresh List" again).
    void GenerateList(const QString& fileName);

    // Commands.
    void addKeywords();
    void addNoiseWords();
    void refresh();
    void loadNoiseWordFile();
    void saveNoiseWordFile();
    void showHelp();

    QString noiseFile() const; // the list the noise words are read from
    // The frame caption for the current count.
    QString topCaption() const;

    // State.
    QString FileName;
    // The page FileName holds a copy of, as the user knows it (its address in the web); the
    // caption names it. Without one the caption names FileName.
    QString PageName;
    QString AppDir; // the data folder, ends in a separator
    platform::Folders ProgramFolders;
    qint16 TopCount = 25;
    int BodyLimit = 0;
    QStringList Words;
    QList<keywords::WordCount> WordCounts;
    int FilteredWordCount = 0;
    QStringList NoiseWords;
    QStringList AddedKeywords;

    // Controls.
    QTabWidget* tabs = nullptr;
    QWidget* keywordsTab = nullptr; // "Keywords"
    QWidget* setupTab = nullptr;    // "Setup"
    QGroupBox* topWordsBox = nullptr;
    QLabel* instructionLabel = nullptr;
    QTreeWidget* wordList = nullptr;
    QPushButton* btnAddKeywords = nullptr;
    QPushButton* btnAddNoise = nullptr;
    QPushButton* btnRefresh = nullptr;
    QSpinBox* topCountBox = nullptr;
    QPlainTextEdit* noiseEditor = nullptr; // the noise-word editor
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
    void guarded(void (KeywordGenerator::*command)());
    QStringList tickedWords() const;
    void deleteTickedRows();
    void setEditorLines(const QStringList& lines);

    platform::Dialogs& m_dialogs;
    platform::Help& m_help;
    QString m_registryPath;
    keywords::TickXMLp* m_parser = nullptr;
};

} // namespace quillmark
