#include "keywordgenerator.h"
#include "analysis/engine/workfiles.h"

#include "analysis/rules/rulestore.h"
#include "ickxmlp.h"
#include "platform/ascii.h"
#include "platform/dialogs.h"
#include "platform/help.h"
#include "platform/registrystore.h"
#include "platform/textfile.h"
#include "platform/waitcursor.h"
#include "platform/windowsize.h"
#include "platform/windowtitle.h"
#include "stringhelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillmark {

const QString KeywordGenerator::kNoiseFileName = QStringLiteral("srexclude.txt");
const QString KeywordGenerator::kCountValue = QStringLiteral("kwgcount");

namespace {

// The window's captions and messages.
const QString kCaption = QStringLiteral("Fernlet keyword generator - ");
const QString kTopCaption =
    QStringLiteral("These are the top %1 word occurrences in the active file");
const QString kInstruction = QStringLiteral("Check the words in the list and either add them to "
                                            "the keywords tag or add them to the Noise Words list");
const QString kNoUniqueWords =
    QStringLiteral("No unique words were found in the number of characters that you specified in "
                   "the body check count, go to "
                   "'Special | Tag Analysis Settings' to change settings if you wish.");
const QString kKeywordsAdded = QStringLiteral("Keywords words were added to the keywords tag");
const QString kNoKeywordsAdded = QStringLiteral("No words were added to the keywords tag");
const QString kNoiseAdded = QStringLiteral("Words were added to the Noise Words list.");
const QString kNoNoiseAdded = QStringLiteral("No words were added to the Noise Words list.");
const QString kOverwriteNoise =
    QStringLiteral("Noise Words have been modified.\rOverwrite these values with the saved ones?");
const QString kCannotLoad = QStringLiteral("ERROR: Cannot Load Active File: ");
const QString kNoBody = QStringLiteral("Body or FrameSet tag not found, cannot generate keywords");
const QString kRangeError = QStringLiteral("The keyword count \"%1\" stored as \"kwgcount\" is out "
                                           "of range: it must lie between -32768 and 32767.");
const QString kSaveFailed = QStringLiteral("Failed to set data for 'kwgcount': %1");
constexpr int kDefaultCount = 25;

QPushButton* makeButton(const QString& text, const QString& hint, const char* name,
                        QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
}

} // namespace

KeywordGenerator::KeywordGenerator(platform::Dialogs& dialogs, platform::Help& help,
                                   const QString& registryPath, const platform::Folders& folders,
                                   QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_help(help), m_registryPath(registryPath) {
    setObjectName(QStringLiteral("KWGenForm"));
    ProgramFolders = folders;
    AppDir = folders.data;
    buildWindow();
    m_parser = new keywords::TickXMLp(this);
    keywords::wireForText(*m_parser, m_textCollection);
    tabs->setCurrentIndex(0);
    loadSettings();
}

KeywordGenerator::~KeywordGenerator() = default;

void KeywordGenerator::buildWindow() {
    setWindowTitle(kCaption);
    auto* outer = new QVBoxLayout(this);

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("PageControl1"));

    keywordsTab = new QWidget;
    keywordsTab->setObjectName(QStringLiteral("TabSheet1"));
    auto* page1 = new QVBoxLayout(keywordsTab);
    topWordsBox = new QGroupBox(kTopCaption.arg(TopCount), keywordsTab);
    topWordsBox->setObjectName(QStringLiteral("GroupBox1"));
    auto* frame = new QVBoxLayout(topWordsBox);
    instructionLabel = new QLabel(kInstruction, topWordsBox);
    instructionLabel->setObjectName(QStringLiteral("Label1"));
    instructionLabel->setWordWrap(true);
    frame->addWidget(instructionLabel);
    wordList = new QTreeWidget(topWordsBox);
    wordList->setObjectName(QStringLiteral("ListView1"));
    wordList->setColumnCount(3);
    wordList->setHeaderLabels({QStringLiteral("Word"), QStringLiteral("Occurrences"),
                               QStringLiteral("% of Total Words")});
    wordList->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    wordList->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    wordList->header()->setSectionsClickable(false);
    wordList->setSortingEnabled(false);
    wordList->setRootIsDecorated(false);
    wordList->setUniformRowHeights(true);
    platform::keepColumnWidths(wordList->header(), {{0, 190}, {1, 90}});
    frame->addWidget(wordList, 1);
    auto* row1 = new QHBoxLayout;
    btnAddKeywords = makeButton(QStringLiteral("Add Checked to &Keywords"),
                                QStringLiteral("Add the checked words to the keywords tag"),
                                "btnAddKeywords", topWordsBox);
    btnAddNoise = makeButton(QStringLiteral("Add Checked to &Noise Words"),
                             QStringLiteral("Add the checked words to the Noise Words List"),
                             "btnAddNoise", topWordsBox);
    btnRefresh = makeButton(QStringLiteral("&Refresh List"),
                            QStringLiteral("Refresh the List of Words from the file"), "btnRefresh",
                            topWordsBox);
    row1->addWidget(btnAddKeywords);
    row1->addWidget(btnAddNoise);
    row1->addWidget(btnRefresh);
    frame->addLayout(row1);
    page1->addWidget(topWordsBox);
    tabs->addTab(keywordsTab, QStringLiteral("Keywords"));

    setupTab = new QWidget;
    setupTab->setObjectName(QStringLiteral("TabSheet2"));
    auto* page2 = new QVBoxLayout(setupTab);
    auto* countRow = new QHBoxLayout;
    auto* findLabel = new QLabel(QStringLiteral("Find the top "), setupTab);
    topCountBox = new QSpinBox(setupTab);
    topCountBox->setObjectName(QStringLiteral("SpinEdit1"));
    topCountBox->setRange(0, 300);
    topCountBox->setValue(kDefaultCount);
    auto* occurrencesLabel = new QLabel(QStringLiteral("word occurrences"), setupTab);
    countRow->addWidget(findLabel);
    countRow->addWidget(topCountBox);
    countRow->addWidget(occurrencesLabel);
    countRow->addStretch(1);
    page2->addLayout(countRow);
    page2->addWidget(new QLabel(QStringLiteral("Noise Words"), setupTab));
    noiseEditor = new QPlainTextEdit(setupTab);
    noiseEditor->setObjectName(QStringLiteral("Memo1"));
    noiseEditor->setLineWrapMode(QPlainTextEdit::NoWrap);
    noiseEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    noiseEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    page2->addWidget(noiseEditor, 1);
    auto* row2 = new QHBoxLayout;
    btnLoadNoise = makeButton(QStringLiteral("&Load Noise Words"),
                              QStringLiteral("Load Noise Words"), "btnLoadNoise", setupTab);
    btnSaveNoise = makeButton(QStringLiteral("&Save Noise Words"),
                              QStringLiteral("Save Noise Words"), "btnSaveNoise", setupTab);
    row2->addWidget(btnLoadNoise);
    row2->addWidget(btnSaveNoise);
    row2->addStretch(1);
    page2->addLayout(row2);
    tabs->addTab(setupTab, QStringLiteral("Setup"));

    outer->addWidget(tabs, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    btnClose = makeButton(QStringLiteral("&Close"), QStringLiteral("Close Keyword Generator"),
                          "btnClose", this);
    btnClose->setDefault(true);
    btnHelp = makeButton(QStringLiteral("&Help"), QStringLiteral("Help with this feature"),
                         "btnHelp", this);
    bottom->addWidget(btnClose);
    bottom->addWidget(btnHelp);
    outer->addLayout(bottom);

    platform::startSize(this, QSize(520, 440));

    connect(btnAddKeywords, &QPushButton::clicked, this,
            [this] { guarded(&KeywordGenerator::addKeywords); });
    connect(btnAddNoise, &QPushButton::clicked, this,
            [this] { guarded(&KeywordGenerator::addNoiseWords); });
    connect(btnRefresh, &QPushButton::clicked, this,
            [this] { guarded(&KeywordGenerator::refresh); });
    connect(btnLoadNoise, &QPushButton::clicked, this,
            [this] { guarded(&KeywordGenerator::loadNoiseWordFile); });
    connect(btnSaveNoise, &QPushButton::clicked, this,
            [this] { guarded(&KeywordGenerator::saveNoiseWordFile); });
    connect(btnHelp, &QPushButton::clicked, this, [this] { guarded(&KeywordGenerator::showHelp); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(topCountBox, &QSpinBox::valueChanged, this, [this](int value) {
        TopCount = qint16(value);
        topWordsBox->setTitle(topCaption());
    });
}

QString KeywordGenerator::noiseFile() const {
    return ProgramFolders.listToRead(kNoiseFileName);
}

QString KeywordGenerator::topCaption() const {
    return kTopCaption.arg(TopCount);
}

void KeywordGenerator::guarded(void (KeywordGenerator::*command)()) {
    platform::runGuarded(m_dialogs, [&] { (this->*command)(); });
}

void KeywordGenerator::loadSettings() {
    platform::RegistryStore reg(m_registryPath);
    int count = kDefaultCount;
    if ((reg.openKey(rules::kSettingsKey, true) || reg.openKeyReadOnly(rules::kSettingsKey)) &&
        reg.valueExists(kCountValue)) {
        const QString stored = reg.readString(kCountValue);
        const QString text = platform::trimControl(stored);
        bool ok = false;
        const qlonglong value = text.toLongLong(&ok);
        if (!text.isEmpty() && ok) {
            if (value < -32768 || value > 32767)
                throw ERangeError(kRangeError.arg(stored));
            count = int(value);
        }
    }
    TopCount = qint16(count);
    // The box holds 0 to 300; a stored count beyond that becomes the box's nearest value.
    topCountBox->setValue(count);
    topWordsBox->setTitle(topCaption());
}

void KeywordGenerator::saveSettings() {
    platform::RegistryStore reg(m_registryPath);
    if (!reg.openKey(rules::kSettingsKey, true) ||
        !reg.writeString(kCountValue, topCountBox->text()))
        throw platform::Error(kSaveFailed.arg(reg.lastError()));
}

void KeywordGenerator::done(int result) {
    platform::runGuarded(m_dialogs, [this] { saveSettings(); });
    QDialog::done(result);
}

void KeywordGenerator::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // Named as the user knows the page: FileName is only the working copy of it.
    setWindowTitle(kCaption + platform::titleText(PageName.isEmpty() ? FileName : PageName));
    // The Setup page shows the noise words in use, so that saving it never empties the list
    // by accident.
    if (noiseEditor->toPlainText().isEmpty() && !NoiseWords.isEmpty())
        setEditorLines(NoiseWords);
    if (wordList->topLevelItemCount() == 0)
        m_dialogs.plain(kNoUniqueWords);
    topWordsBox->setTitle(topCaption());
}

void KeywordGenerator::loadNoiseWords() {
    NoiseWords = platform::readLines(noiseFile());
}

void KeywordGenerator::clearList() {
    wordList->clear();
    Words.clear();
    WordCounts.clear();
    FilteredWordCount = 0;
}

void KeywordGenerator::fillList(const QList<keywords::WordCount>& top) {
    wordList->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(top.size());
    for (const keywords::WordCount& w : top) {
        auto* item = new QTreeWidgetItem;
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        item->setText(0, w.word);
        item->setText(1, QString::number(w.count));
        item->setText(2, keywords::shareText(w.count, FilteredWordCount));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        items.append(item);
    }
    wordList->addTopLevelItems(items);
}

void KeywordGenerator::GenerateList(const QString& fileName) {
    FileName = fileName;
    platform::WaitCursor cursor;
    try {
        if (NoiseWords.isEmpty())
            loadNoiseWords();
        if (FileName.isEmpty() || !QFileInfo(FileName).isFile())
            return;
        // The last generation's words go first, so that this one reuses their memory.
        Words.clear();
        WordCounts.clear();
        m_fileText.clear();
        try {
            m_fileText = keywords::withCrLf(platform::readTextFile(FileName).text);
        } catch (const platform::Error& e) {
            clearList();
            cursor.restore();
            m_dialogs.error(kCannotLoad + FileName + QStringLiteral("\r\n") + e.message());
            return;
        }
        QStringView excerpt;
        switch (keywords::bodyExcerpt(m_fileText, BodyLimit, excerpt)) {
        case keywords::ExcerptResult::NoBodyTag:
            clearList();
            cursor.restore();
            m_dialogs.plain(kNoBody);
            return;
        case keywords::ExcerptResult::NoBodyEnd:
            clearList();
            return;
        case keywords::ExcerptResult::Excerpt:
            break;
        }
        // A parser left mid-way by an earlier failure starts afresh.
        m_parser->Reset(true);
        m_textCollection.clear();
        m_textCollection.reserve(excerpt.size() + excerpt.size() / 4);
        m_parser->Input(excerpt);
        m_parser->Reset(true);
        m_fileText.clear();
        keywords::Generation g =
            keywords::countText(m_textCollection, NoiseWords, AddedKeywords, TopCount);
        Words = std::move(g.words);
        FilteredWordCount = g.filteredWordCount;
        WordCounts = std::move(g.counts);
        fillList(g.top);
        m_textCollection.clear();
    } catch (const std::exception&) {
        // The generation ends here without a message of its own.
    }
}

QStringList KeywordGenerator::tickedWords() const {
    QStringList words;
    for (int i = 0; i < wordList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = wordList->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked)
            words.append(item->text(0));
    }
    return words;
}

void KeywordGenerator::deleteTickedRows() {
    for (int i = wordList->topLevelItemCount() - 1; i >= 0; --i)
        if (wordList->topLevelItem(i)->checkState(0) == Qt::Checked)
            delete wordList->takeTopLevelItem(i);
}

void KeywordGenerator::setEditorLines(const QStringList& lines) {
    noiseEditor->setPlainText(lines.join(QLatin1Char('\n')));
    noiseEditor->document()->setModified(false);
}

void KeywordGenerator::addKeywords() {
    bool added = false;
    for (const QString& w : tickedWords()) {
        if (!AddedKeywords.contains(w, Qt::CaseInsensitive)) {
            AddedKeywords.append(w);
            added = true;
        }
    }
    deleteTickedRows();
    m_dialogs.plain(added ? kKeywordsAdded : kNoKeywordsAdded);
}

void KeywordGenerator::addNoiseWords() {
    bool added = false;
    for (const QString& w : tickedWords()) {
        if (!NoiseWords.contains(w, Qt::CaseInsensitive)) {
            NoiseWords.append(w);
            added = true;
        }
    }
    deleteTickedRows();
    if (!platform::trimControl(noiseEditor->toPlainText()).isEmpty())
        setEditorLines(NoiseWords);
    platform::writeAnsiLines(ProgramFolders.listToWrite(kNoiseFileName), NoiseWords);
    m_dialogs.plain(added ? kNoiseAdded : kNoNoiseAdded);
}

void KeywordGenerator::refresh() {
    GenerateList(FileName);
}

void KeywordGenerator::loadNoiseWordFile() {
    if (noiseEditor->document()->isModified() && !m_dialogs.confirm(kOverwriteNoise))
        return;
    if (NoiseWords.isEmpty())
        loadNoiseWords();
    setEditorLines(NoiseWords);
}

void KeywordGenerator::saveNoiseWordFile() {
    NoiseWords = platform::splitLines(noiseEditor->toPlainText());
    platform::writeAnsiLines(ProgramFolders.listToWrite(kNoiseFileName), NoiseWords);
    noiseEditor->document()->setModified(false);
}

void KeywordGenerator::showHelp() {
    m_help.showTopic(QDir(AppDir).filePath(engine::kHelpFileName), kHelpTopic);
}

} // namespace quillmark
