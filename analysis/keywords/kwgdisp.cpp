#include "kwgdisp.h"

#include "StringLib.h"
#include "analysis/rules/rulestore.h"
#include "ickxmlp.h"
#include "platform/ascii.h"
#include "platform/dialogs.h"
#include "platform/help.h"
#include "platform/registrystore.h"
#include "platform/textfile.h"
#include "platform/waitcursor.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillmark {

const QString TKWGenForm::kNoiseFileName = QStringLiteral("srexclude.txt");
const QString TKWGenForm::kCountValue = QStringLiteral("kwgcount");

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

TKWGenForm::TKWGenForm(platform::Dialogs& dialogs, platform::Help& help,
                       const QString& registryPath, const QString& appDir, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_help(help), m_registryPath(registryPath) {
    setObjectName(QStringLiteral("KWGenForm"));
    AppDir = appDir.endsWith(QLatin1Char('/')) ? appDir : appDir + QLatin1Char('/');
    buildWindow();
    m_parser = new keywords::TickXMLp(this);
    keywords::wireForText(*m_parser, m_textCollection);
    PageControl1->setCurrentIndex(0);
    loadSettings();
}

TKWGenForm::~TKWGenForm() = default;

void TKWGenForm::buildWindow() {
    setWindowTitle(kCaption);
    auto* outer = new QVBoxLayout(this);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));

    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto* page1 = new QVBoxLayout(TabSheet1);
    GroupBox1 = new QGroupBox(kTopCaption.arg(TopCount), TabSheet1);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* frame = new QVBoxLayout(GroupBox1);
    Label1 = new QLabel(kInstruction, GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    frame->addWidget(Label1);
    ListView1 = new QTreeWidget(GroupBox1);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setColumnCount(3);
    ListView1->setHeaderLabels({QStringLiteral("Word"), QStringLiteral("Occurrences"),
                                QStringLiteral("% of Total Words")});
    ListView1->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    ListView1->headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    ListView1->header()->setSectionsClickable(false);
    ListView1->setSortingEnabled(false);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setColumnWidth(0, 190);
    ListView1->setColumnWidth(1, 90);
    frame->addWidget(ListView1, 1);
    auto* row1 = new QHBoxLayout;
    btnAddKeywords = makeButton(QStringLiteral("Add Checked to &Keywords"),
                                QStringLiteral("Add the checked words to the keywords tag"),
                                "btnAddKeywords", GroupBox1);
    btnAddNoise = makeButton(QStringLiteral("Add Checked to &Noise Words"),
                             QStringLiteral("Add the checked words to the Noise Words List"),
                             "btnAddNoise", GroupBox1);
    btnRefresh = makeButton(QStringLiteral("&Refresh List"),
                            QStringLiteral("Refresh the List of Words from the file"), "btnRefresh",
                            GroupBox1);
    row1->addWidget(btnAddKeywords);
    row1->addWidget(btnAddNoise);
    row1->addWidget(btnRefresh);
    frame->addLayout(row1);
    page1->addWidget(GroupBox1);
    PageControl1->addTab(TabSheet1, QStringLiteral("Keywords"));

    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    auto* page2 = new QVBoxLayout(TabSheet2);
    auto* countRow = new QHBoxLayout;
    auto* findLabel = new QLabel(QStringLiteral("Find the top "), TabSheet2);
    SpinEdit1 = new QSpinBox(TabSheet2);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setRange(0, 300);
    SpinEdit1->setValue(kDefaultCount);
    auto* occurrencesLabel = new QLabel(QStringLiteral("word occurrences"), TabSheet2);
    countRow->addWidget(findLabel);
    countRow->addWidget(SpinEdit1);
    countRow->addWidget(occurrencesLabel);
    countRow->addStretch(1);
    page2->addLayout(countRow);
    page2->addWidget(new QLabel(QStringLiteral("Noise Words"), TabSheet2));
    Memo1 = new QPlainTextEdit(TabSheet2);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    page2->addWidget(Memo1, 1);
    auto* row2 = new QHBoxLayout;
    btnLoadNoise = makeButton(QStringLiteral("&Load Noise Words"),
                              QStringLiteral("Load Noise Words"), "btnLoadNoise", TabSheet2);
    btnSaveNoise = makeButton(QStringLiteral("&Save Noise Words"),
                              QStringLiteral("Save Noise Words"), "btnSaveNoise", TabSheet2);
    row2->addWidget(btnLoadNoise);
    row2->addWidget(btnSaveNoise);
    row2->addStretch(1);
    page2->addLayout(row2);
    PageControl1->addTab(TabSheet2, QStringLiteral("Setup"));

    outer->addWidget(PageControl1, 1);
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

    setFixedSize(520, 440);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    connect(btnAddKeywords, &QPushButton::clicked, this,
            [this] { guarded(&TKWGenForm::AddKeywordsClick); });
    connect(btnAddNoise, &QPushButton::clicked, this,
            [this] { guarded(&TKWGenForm::AddNoiseClick); });
    connect(btnRefresh, &QPushButton::clicked, this,
            [this] { guarded(&TKWGenForm::RefreshClick); });
    connect(btnLoadNoise, &QPushButton::clicked, this,
            [this] { guarded(&TKWGenForm::LoadNoiseClick); });
    connect(btnSaveNoise, &QPushButton::clicked, this,
            [this] { guarded(&TKWGenForm::SaveNoiseClick); });
    connect(btnHelp, &QPushButton::clicked, this, [this] { guarded(&TKWGenForm::HelpClick); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(SpinEdit1, &QSpinBox::valueChanged, this, [this](int value) {
        TopCount = qint16(value);
        GroupBox1->setTitle(topCaption());
    });
}

QString TKWGenForm::noiseFile() const {
    return QDir(AppDir).filePath(kNoiseFileName);
}

QString TKWGenForm::topCaption() const {
    return kTopCaption.arg(TopCount);
}

void TKWGenForm::guarded(void (TKWGenForm::*command)()) {
    platform::runGuarded(m_dialogs, [&] { (this->*command)(); });
}

void TKWGenForm::loadSettings() {
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
    SpinEdit1->setValue(count);
    GroupBox1->setTitle(topCaption());
}

void TKWGenForm::saveSettings() {
    platform::RegistryStore reg(m_registryPath);
    if (!reg.openKey(rules::kSettingsKey, true) || !reg.writeString(kCountValue, SpinEdit1->text()))
        throw platform::Error(kSaveFailed.arg(reg.lastError()));
}

void TKWGenForm::done(int result) {
    platform::runGuarded(m_dialogs, [this] { saveSettings(); });
    QDialog::done(result);
}

void TKWGenForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    setWindowTitle(kCaption + FileName);
    // The Setup page shows the noise words in use, so that saving it never empties the list
    // by accident.
    if (Memo1->toPlainText().isEmpty() && !NoiseWords.isEmpty())
        setEditorLines(NoiseWords);
    if (ListView1->topLevelItemCount() == 0)
        m_dialogs.plain(kNoUniqueWords);
    GroupBox1->setTitle(topCaption());
}

void TKWGenForm::loadNoiseWords() {
    NoiseWords = platform::readLines(noiseFile());
}

void TKWGenForm::clearList() {
    ListView1->clear();
    Words.clear();
    WordCounts.clear();
    FilteredWordCount = 0;
}

void TKWGenForm::fillList(const QList<keywords::WordCount>& top) {
    ListView1->clear();
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
    ListView1->addTopLevelItems(items);
}

void TKWGenForm::GenerateList(const QString& fileName) {
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

QStringList TKWGenForm::tickedWords() const {
    QStringList words;
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = ListView1->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked)
            words.append(item->text(0));
    }
    return words;
}

void TKWGenForm::deleteTickedRows() {
    for (int i = ListView1->topLevelItemCount() - 1; i >= 0; --i)
        if (ListView1->topLevelItem(i)->checkState(0) == Qt::Checked)
            delete ListView1->takeTopLevelItem(i);
}

void TKWGenForm::setEditorLines(const QStringList& lines) {
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    Memo1->document()->setModified(false);
}

void TKWGenForm::AddKeywordsClick() {
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

void TKWGenForm::AddNoiseClick() {
    bool added = false;
    for (const QString& w : tickedWords()) {
        if (!NoiseWords.contains(w, Qt::CaseInsensitive)) {
            NoiseWords.append(w);
            added = true;
        }
    }
    deleteTickedRows();
    if (!platform::trimControl(Memo1->toPlainText()).isEmpty())
        setEditorLines(NoiseWords);
    platform::writeAnsiLines(noiseFile(), NoiseWords);
    m_dialogs.plain(added ? kNoiseAdded : kNoNoiseAdded);
}

void TKWGenForm::RefreshClick() {
    GenerateList(FileName);
}

void TKWGenForm::LoadNoiseClick() {
    if (Memo1->document()->isModified() && !m_dialogs.confirm(kOverwriteNoise))
        return;
    if (NoiseWords.isEmpty())
        loadNoiseWords();
    setEditorLines(NoiseWords);
}

void TKWGenForm::SaveNoiseClick() {
    NoiseWords = platform::splitLines(Memo1->toPlainText());
    platform::writeAnsiLines(noiseFile(), NoiseWords);
    Memo1->document()->setModified(false);
}

void TKWGenForm::HelpClick() {
    m_help.showTopic(QDir(AppDir).filePath(QStringLiteral("quillmark.hlp")), kHelpTopic);
}

} // namespace quillmark
