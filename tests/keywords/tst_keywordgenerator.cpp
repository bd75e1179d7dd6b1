#include "analysis/keywords/keywordgeneration.h"
#include "analysis/keywords/keywordgenerator.h"
#include "analysis/rules/rulestore.h"
#include "platform/textfile.h"
#include "support/doubles.h"
#include "support/testenv.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

using quillmark::KeywordGenerator;
using Kind = platform::Dialogs::Kind;
using Button = platform::Dialogs::Button;

namespace {

using Rows = QList<QStringList>; // word, occurrences, share

QString page(const QString& body) {
    return QStringLiteral("<html><head><title>Page title</title></head>\n<BODY>") + body +
           QStringLiteral("</BODY></html>\n");
}

// The words the generator splits a body into, before the filters.
QStringList bodyWords(const QString& body) {
    return keywords::countText(keywords::extractText(body), {}, {}, 0).words;
}

QStringList entries(const QList<keywords::WordCount>& counts) {
    QStringList out;
    for (const keywords::WordCount& c : counts)
        out << QStringLiteral("%1=%2").arg(c.word).arg(c.count);
    return out;
}

} // namespace

class TestKeywordGenerator : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TestEnv> m_env;
    // A program folder of the test's own, made when a test first needs one.
    testsupport::TestEnv& env() {
        if (!m_env)
            m_env = std::make_unique<testsupport::TestEnv>();
        return *m_env;
    }
    testsupport::ScriptedDialogs dialogs;
    testsupport::RecordingHelp help;

    std::unique_ptr<KeywordGenerator> makeForm() {
        auto f = std::make_unique<KeywordGenerator>(dialogs, help, env().registryPath(),
                                                    env().folders());
        f->BodyLimit = 5000;
        return f;
    }
    QString writePage(const QString& text, const QString& name = QStringLiteral("page.htm")) {
        const QString path = env().path(name);
        env().writeFile(path, text.toUtf8());
        return path;
    }
    QString noiseFile() { return env().programFolder() + QStringLiteral("srexclude.txt"); }
    static Rows rows(const KeywordGenerator& f) {
        Rows out;
        for (int i = 0; i < f.wordList->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* it = f.wordList->topLevelItem(i);
            out << QStringList{it->text(0), it->text(1), it->text(2)};
        }
        return out;
    }
    static void tick(KeywordGenerator& f, const QStringList& words) {
        for (int i = 0; i < f.wordList->topLevelItemCount(); ++i) {
            QTreeWidgetItem* it = f.wordList->topLevelItem(i);
            if (words.contains(it->text(0)))
                it->setCheckState(0, Qt::Checked);
        }
    }

private slots:
    void init() {
        m_env.reset();
        dialogs.shown.clear();
        dialogs.answers.clear();
        help.topics.clear();
        QLocale::setDefault(QLocale::c());
    }

    void words_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("comma and blank") << "Hello, world" << QStringList{"Hello", "world"};
        QTest::newRow("two commas") << "a,,b" << QStringList{"a", "", "b"};
        QTest::newRow("quoted phrase")
            << "say \"hello world\" now" << QStringList{"say", "hello world", "now"};
        QTest::newRow("inline tag splits a word")
            << "un<b>bold</b>ed" << QStringList{"un", "bold", "ed"};
        QTest::newRow("entity is a space") << "AT&amp;T" << QStringList{"AT", "T"};
        QTest::newRow("markup removed")
            << "<!-- hidden --><p class=\"x y\">one</p><![CDATA[ two ]]><?pi three?>four"
            << QStringList{"one", "four"};
        QTest::newRow("script text counts")
            << "<script>var x;</script>" << QStringList{"var", "x;"};
        QTest::newRow("tabs and line breaks") << "a\tb\r\nc\nd" << QStringList{"a", "b", "c", "d"};
        QTest::newRow("punctuation belongs to the word")
            << "caf\u00E9! (x)" << QStringList{"caf\u00E9!", "(x)"};
    }

    void words() {
        QFETCH(QString, body);
        QFETCH(QStringList, words);
        QCOMPARE(bodyWords(body), words);
    }

    void counting_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("noise");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<int>("filtered");
        QTest::addColumn<QStringList>("counts");
        QTest::newRow("one entry, first spelling")
            << "Widgets. widgets (widgets)" << QStringList{} << QStringList{} << 3
            << QStringList{"Widgets=3"};
        QTest::newRow("noise words case aside, as split")
            << "The THE the. the cat" << QStringList{"the"} << QStringList{} << 2
            << QStringList{"the=1", "cat=1"};
        QTest::newRow("queued keywords left out")
            << "Cat dog cat bird" << QStringList{} << QStringList{"CAT", "bird"} << 1
            << QStringList{"dog=1"};
        QTest::newRow("empty noise word removes empty words")
            << "a,,b" << QStringList{""} << QStringList{} << 2 << QStringList{"a=1", "b=1"};
        QTest::newRow("== collapsed, marks deleted")
            << "a==b a===b 'a=b' x%.y" << QStringList{} << QStringList{} << 4
            << QStringList{"a=b=3", "xy=1"};
        QTest::newRow("a word that normalises to nothing counts, without a row")
            << "( ... word" << QStringList{} << QStringList{} << 3 << QStringList{"word=1"};
        QTest::newRow("accented letters case aside")
            << "\u00C9T\u00C9 \u00E9t\u00E9" << QStringList{} << QStringList{} << 2
            << QStringList{"\u00C9T\u00C9=2"};
    }

    void counting() {
        QFETCH(QString, text);
        QFETCH(QStringList, noise);
        QFETCH(QStringList, added);
        QFETCH(int, filtered);
        QFETCH(QStringList, counts);
        const keywords::Generation g = keywords::countText(text, noise, added, 25);
        QCOMPARE(g.filteredWordCount, filtered);
        QCOMPARE(entries(g.counts), counts);
    }

    void topRows_data() {
        QTest::addColumn<int>("distinct");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("rows");
        QTest::newRow("25 of 30") << 30 << 25 << 25;
        QTest::newRow("none") << 30 << 0 << 0;
        QTest::newRow("fewer words than N") << 7 << 25 << 7;
        QTest::newRow("negative N") << 7 << -3 << 0;
    }

    void topRows() {
        QFETCH(int, distinct);
        QFETCH(int, n);
        QFETCH(int, rows);
        QList<keywords::WordCount> counts;
        for (int i = 0; i < distinct; ++i)
            counts.append({QStringLiteral("w%1").arg(i, 2, 10, QLatin1Char('0')), i % 5 + 1});
        const QList<keywords::WordCount> top = keywords::topWords(counts, n);
        QCOMPARE(top.size(), rows);
        for (qsizetype i = 1; i < top.size(); ++i)
            QVERIFY(top[i - 1].count > top[i].count ||
                    (top[i - 1].count == top[i].count && top[i - 1].word > top[i].word));
    }

    void orderAndShares() {
        // Highest count first; equal counts: the word that sorts last first, case aside.
        QCOMPARE(entries(keywords::countText(QStringLiteral("apple zebra"), {}, {}, 25).top),
                 QStringList({"zebra=1", "apple=1"}));
        QString text = QStringLiteral("apple Zebra mango mango ");
        for (int i = 0; i < 196; ++i)
            text += QStringLiteral("w%1 ").arg(i);
        text.replace(QStringLiteral("w0 w1 w2 "), QStringLiteral("kiwi kiwi kiwi "));
        const keywords::Generation g = keywords::countText(text, {}, {}, 5);
        QCOMPARE(g.filteredWordCount, 200);
        QCOMPARE(entries(g.top), QStringList({"kiwi=3", "mango=2", "Zebra=1", "w99=1", "w98=1"}));
        QCOMPARE(keywords::shareText(3, 200), QStringLiteral("1.500"));
        QCOMPARE(keywords::shareText(3, 200, QLocale(QLocale::German)), QStringLiteral("1,500"));
        QCOMPARE(keywords::shareText(200, 200), QStringLiteral("100.000"));
    }

    void wideCountsKeepTheirOrder() {
        // Counts of seven digits still sort above six-digit ones and keep the word whole.
        const QList<keywords::WordCount> counts{{"small", 999999}, {"big", 1000000}};
        QCOMPARE(entries(keywords::topWords(counts, 2)),
                 QStringList({"big=1000000", "small=999999"}));
    }

    void excerpt_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("excerpt");
        QTest::addColumn<int>("limitAfter");
        const int ok = int(keywords::ExcerptResult::Excerpt);
        QTest::newRow("short body whole")
            << "x<body>ab</BODY>y" << 5000 << ok << "<body>ab</BODY>" << 15;
        QTest::newRow("cut to the limit") << "x<body>abcdef</body>" << 8 << ok << "<body>ab" << 8;
        // 7 is the length of "</BODY>", so a frameset loses the end of its closing tag.
        QTest::newRow("frameset") << "<FRAMESET rows=1></frameset>" << 100 << ok
                                  << "<FRAMESET rows=1></frame" << 24;
        QTest::newRow("no body tag")
            << "<html>x</html>" << 100 << int(keywords::ExcerptResult::NoBodyTag) << "" << 100;
        QTest::newRow("no end tag")
            << "<body>x" << 100 << int(keywords::ExcerptResult::NoBodyEnd) << "" << 100;
        QTest::newRow("end before the body is not used")
            << "</body><body>x" << 100 << int(keywords::ExcerptResult::NoBodyEnd) << "" << 100;
        QTest::newRow("negative limit") << "<body></body>" << -5 << ok << "" << -5;
    }

    void excerpt() {
        QFETCH(QString, text);
        QFETCH(int, limit);
        QFETCH(int, result);
        QFETCH(QString, excerpt);
        QFETCH(int, limitAfter);
        QStringView got = u"stale";
        QCOMPARE(int(keywords::bodyExcerpt(text, limit, got)), result);
        QCOMPARE(got.toString(), excerpt);
        QCOMPARE(limit, limitAfter);
    }

    void windowAsDescribed() {
        auto f = makeForm();
        QCOMPARE(f->tabs->count(), 2);
        QCOMPARE(f->tabs->tabText(0), QStringLiteral("Keywords"));
        QCOMPARE(f->tabs->tabText(1), QStringLiteral("Setup"));
        QCOMPARE(f->tabs->currentIndex(), 0);
        QCOMPARE(f->topWordsBox->title(),
                 QStringLiteral("These are the top 25 word occurrences in the active file"));
        QCOMPARE(f->instructionLabel->text(),
                 QStringLiteral("Check the words in the list and either add them to the keywords "
                                "tag or add them to the Noise Words list"));
        const QTreeWidgetItem* h = f->wordList->headerItem();
        QCOMPARE(QStringList({h->text(0), h->text(1), h->text(2)}),
                 QStringList({"Word", "Occurrences", "% of Total Words"}));
        QVERIFY(!f->wordList->header()->sectionsClickable());
        QCOMPARE(f->btnAddKeywords->text(), QStringLiteral("Add Checked to &Keywords"));
        QCOMPARE(f->btnAddKeywords->toolTip(),
                 QStringLiteral("Add the checked words to the keywords tag"));
        QCOMPARE(f->btnAddNoise->toolTip(),
                 QStringLiteral("Add the checked words to the Noise Words List"));
        QCOMPARE(f->btnRefresh->toolTip(),
                 QStringLiteral("Refresh the List of Words from the file"));
        QCOMPARE(f->btnLoadNoise->text(), QStringLiteral("&Load Noise Words"));
        QCOMPARE(f->btnSaveNoise->text(), QStringLiteral("&Save Noise Words"));
        QCOMPARE(f->btnClose->toolTip(), QStringLiteral("Close Keyword Generator"));
        QVERIFY(f->btnClose->isDefault());
        QCOMPARE(f->btnHelp->toolTip(), QStringLiteral("Help with this feature"));
        QCOMPARE(f->topCountBox->minimum(), 0);
        QCOMPARE(f->topCountBox->maximum(), 300);
        QCOMPARE(f->topCountBox->value(), 25);
        QCOMPARE(f->AppDir, env().programFolder());
        QTest::mouseClick(f->btnHelp, Qt::LeftButton);
        QCOMPARE(help.topics.size(), 1);
        QCOMPARE(help.topics[0].file, env().programFolder() + QStringLiteral("quillmark.hlp"));
        QCOMPARE(help.topics[0].topic, 221);
    }

    void countSetting_data() {
        QTest::addColumn<QString>("stored"); // null: no value
        QTest::addColumn<int>("count");
        QTest::newRow("missing") << QString() << 25;
        QTest::newRow("blank") << "  " << 25;
        QTest::newRow("not a number") << "many" << 25;
        QTest::newRow("number") << "40" << 40;
        QTest::newRow("blanks around") << " 7 " << 7;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("beyond the box") << "400" << 300;
        QTest::newRow("range error high") << "32768" << -1;
        QTest::newRow("range error low") << "-40000" << -1;
    }

    void countSetting() {
        QFETCH(QString, stored);
        QFETCH(int, count);
        if (!stored.isNull())
            env().setValue(rules::kSettingsKey, QStringLiteral("kwgcount"), stored);
        if (count < 0) {
            try {
                makeForm();
                QFAIL("the window was created");
            } catch (const quillmark::ERangeError& e) {
                QVERIFY2(e.message().contains(stored) &&
                             e.message().contains(QStringLiteral("32767")),
                         qPrintable(e.message()));
            }
            return;
        }
        auto f = makeForm();
        QCOMPARE(int(f->TopCount), count);
        QCOMPARE(f->topCountBox->value(), count);
        QCOMPARE(
            f->topWordsBox->title(),
            QStringLiteral("These are the top %1 word occurrences in the active file").arg(count));
    }

    void countIsSavedOnClose() {
        auto f = makeForm();
        f->topCountBox->setValue(40);
        QCOMPARE(int(f->TopCount), 40);
        QCOMPARE(f->topWordsBox->title(),
                 QStringLiteral("These are the top 40 word occurrences in the active file"));
        QVERIFY(!env().valueExists(rules::kSettingsKey, QStringLiteral("kwgcount")));
        f->show();
        QTest::mouseClick(f->btnClose, Qt::LeftButton);
        QCOMPARE(f->result(), int(QDialog::Accepted));
        QCOMPARE(env().value(rules::kSettingsKey, QStringLiteral("kwgcount")),
                 QStringLiteral("40"));
    }

    void listFromFile() {
        auto f = makeForm();
        const QString path = writePage(
            page(QStringLiteral("<p>Widgets and widgets, the gadgets.</p> Gadgets &amp; widgets")));
        f->GenerateList(path);
        QCOMPARE(f->FileName, path);
        // "and" and "the" are delivered noise words.
        QCOMPARE(rows(*f), Rows({{"Widgets", "3", "60.000"}, {"gadgets", "2", "40.000"}}));
        QCOMPARE(f->FilteredWordCount, 5);
        for (int i = 0; i < f->wordList->topLevelItemCount(); ++i)
            QCOMPARE(f->wordList->topLevelItem(i)->checkState(0), Qt::Unchecked);
        QCOMPARE(f->wordList->topLevelItem(0)->textAlignment(1) & Qt::AlignRight, Qt::AlignRight);
        f->show();
        QCOMPARE(f->windowTitle(), QStringLiteral("Fernlet keyword generator - ") + path);
        QVERIFY(dialogs.shown.isEmpty());
        // The Setup page shows the noise words in use.
        QCOMPARE(platform::splitLines(f->noiseEditor->toPlainText()), f->NoiseWords);
        QVERIFY(f->NoiseWords.contains(QStringLiteral("the")));
    }

    void sharesInTheUsersDecimalSeparator() {
        QLocale::setDefault(QLocale(QLocale::German));
        auto f = makeForm();
        QString body;
        for (int i = 0; i < 197; ++i)
            body += QStringLiteral("w%1 ").arg(i);
        f->GenerateList(writePage(page(body + QStringLiteral("kiwi kiwi kiwi"))));
        QCOMPARE(rows(*f).value(0), QStringList({"kiwi", "3", "1,500"}));
    }

    void bodyCutAtTheCount() {
        // Line breaks count as CR LF: "<BODY>" and its break take 8, every "alpha" line 7.
        QString body = QStringLiteral("\n");
        for (int i = 0; i < 713; ++i)
            body += QStringLiteral("alpha\n");
        for (int i = 0; i < 3000; ++i)
            body += QStringLiteral("beta\n");
        const QString text = QStringLiteral("<html>\n<head><title>omega</title></head>\n<BODY>") +
                             body + QStringLiteral("</body></html>\n");
        auto f = makeForm();
        f->GenerateList(writePage(text));
        QCOMPARE(rows(*f), Rows({{"alpha", "713", "99.860"}, {"b", "1", "0.140"}}));
        QCOMPARE(f->BodyLimit, 5000);

        auto g = makeForm();
        g->GenerateList(writePage(page(QString(1190, QLatin1Char('x')))));
        QCOMPARE(g->BodyLimit, 6 + 1190 + 7); // the whole body, and the limit shrinks to it
        QCOMPARE(rows(*g).size(), 1);
    }

    void noBodyOrNoWords() {
        auto f = makeForm();
        f->GenerateList(writePage(page(QStringLiteral("x y z"))));
        QCOMPARE(rows(*f).size(), 3);
        // No body tag: the message, the list emptied.
        f->GenerateList(
            writePage(QStringLiteral("<html><p>no body</p></html>"), QStringLiteral("nobody.htm")));
        QCOMPARE(dialogs.texts(),
                 QStringList({"Body or FrameSet tag not found, cannot generate keywords"}));
        QCOMPARE(dialogs.shown[0].kind, Kind::Plain);
        QVERIFY(rows(*f).isEmpty());
        // No closing tag: silently emptied.
        f->GenerateList(writePage(page(QStringLiteral("x y z"))));
        QCOMPARE(rows(*f).size(), 3);
        f->GenerateList(writePage(QStringLiteral("<body>x y z"), QStringLiteral("open.htm")));
        QVERIFY(rows(*f).isEmpty());
        QCOMPARE(dialogs.shown.size(), 1);
        // A file that is gone leaves the list as it was.
        f->GenerateList(writePage(page(QStringLiteral("x y z"))));
        f->GenerateList(env().path(QStringLiteral("missing.htm")));
        QCOMPARE(rows(*f).size(), 3);
        // Only markup: the notice on show.
        auto g = makeForm();
        g->GenerateList(writePage(page(QStringLiteral("<img src=x><br>"))));
        g->show();
        QCOMPARE(dialogs.shown.last().text,
                 QStringLiteral("No unique words were found in the number of characters that you "
                                "specified in the body "
                                "check count, go to 'Special | Tag Analysis Settings' to change "
                                "settings if you wish."));
        QCOMPARE(dialogs.shown.last().kind, Kind::Plain);
    }

    void missingNoiseFileEndsSilently() {
        QFile::remove(noiseFile());
        auto f = makeForm();
        f->GenerateList(writePage(page(QStringLiteral("a b c"))));
        QVERIFY(rows(*f).isEmpty());
        QVERIFY(dialogs.shown.isEmpty());
        // Loading them then is the run-time file error.
        QTest::mouseClick(f->btnLoadNoise, Qt::LeftButton);
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY2(dialogs.shown[0].text.contains(QStringLiteral("Cannot open file")),
                 qPrintable(dialogs.shown[0].text));
    }

    void noiseFileLineEnds_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("CR LF") << QByteArray("one\r\ntwo\r\n\r\nthree\r\n");
        QTest::newRow("LF") << QByteArray("one\ntwo\n\nthree");
        QTest::newRow("CR") << QByteArray("one\rtwo\r\rthree\r");
    }

    void noiseFileLineEnds() {
        QFETCH(QByteArray, bytes);
        env().writeFile(noiseFile(), bytes);
        auto f = makeForm();
        f->GenerateList(writePage(page(QStringLiteral("one two four,,three"))));
        QCOMPARE(f->NoiseWords, QStringList({"one", "two", "", "three"}));
        QCOMPARE(rows(*f),
                 Rows({{"four", "1", "100.000"}})); // the empty line removed the empty word
    }

    void addCheckedToKeywords() {
        auto f = makeForm();
        const QString path = writePage(page(QStringLiteral("red red red blue blue green")));
        f->GenerateList(path);
        tick(*f, {"red", "green"});
        QTest::mouseClick(f->btnAddKeywords, Qt::LeftButton);
        QCOMPARE(f->AddedKeywords, QStringList({"red", "green"}));
        QCOMPARE(rows(*f), Rows({{"blue", "2", "33.333"}}));
        QCOMPARE(dialogs.texts(), QStringList({"Keywords words were added to the keywords tag"}));
        // Nothing ticked.
        QTest::mouseClick(f->btnAddKeywords, Qt::LeftButton);
        QCOMPARE(dialogs.texts().last(), QStringLiteral("No words were added to the keywords tag"));
        QCOMPARE(dialogs.shown.last().kind, Kind::Plain);
        // The queued words stay out after Refresh; a word queued twice is kept once.
        QTest::mouseClick(f->btnRefresh, Qt::LeftButton);
        QCOMPARE(rows(*f), Rows({{"blue", "2", "100.000"}}));
        env().writeFile(path, page(QStringLiteral("RED blue")).toUtf8());
        f->AddedKeywords.clear();
        f->AddedKeywords << QStringLiteral("red");
        f->GenerateList(path);
        tick(*f, {"blue"});
        QTest::mouseClick(f->btnAddKeywords, Qt::LeftButton);
        QCOMPARE(f->AddedKeywords, QStringList({"red", "blue"}));
    }

    void addCheckedToNoiseWords() {
        env().writeFile(noiseFile(), "the\nof\n");
        auto f = makeForm();
        f->GenerateList(writePage(page(QStringLiteral("red red blue the"))));
        tick(*f, {"red"});
        QTest::mouseClick(f->btnAddNoise, Qt::LeftButton);
        QCOMPARE(f->NoiseWords, QStringList({"the", "of", "red"}));
        QCOMPARE(env().readFile(noiseFile()), QByteArray("the\r\nof\r\nred\r\n"));
        QCOMPARE(rows(*f), Rows({{"blue", "1", "33.333"}}));
        QCOMPARE(dialogs.texts(), QStringList({"Words were added to the Noise Words list."}));
        QVERIFY(f->noiseEditor->toPlainText().isEmpty()); // a blank editor stays blank
        // The editor, once it holds words, follows the list; the file is written anyway.
        f->noiseEditor->setPlainText(QStringLiteral("x"));
        QFile::remove(noiseFile());
        QTest::mouseClick(f->btnAddNoise, Qt::LeftButton);
        QCOMPARE(dialogs.texts().last(),
                 QStringLiteral("No words were added to the Noise Words list."));
        QCOMPARE(f->noiseEditor->toPlainText(), QStringLiteral("the\nof\nred"));
        QCOMPARE(env().readFile(noiseFile()), QByteArray("the\r\nof\r\nred\r\n"));
    }

    void loadAndSaveNoiseWords() {
        auto f = makeForm();
        f->NoiseWords = QStringList{"alpha", "beta"};
        QTest::mouseClick(f->btnLoadNoise, Qt::LeftButton);
        QCOMPARE(f->noiseEditor->toPlainText(), QStringLiteral("alpha\nbeta"));
        QVERIFY(dialogs.shown.isEmpty());
        // Changed by the user: asked first; No keeps the edit.
        QTest::keyClicks(f->noiseEditor, QStringLiteral("x"));
        dialogs.answers = {Button::No};
        QTest::mouseClick(f->btnLoadNoise, Qt::LeftButton);
        QCOMPARE(dialogs.shown.last().kind, Kind::Confirmation);
        QCOMPARE(
            dialogs.shown.last().text,
            QStringLiteral(
                "Noise Words have been modified.\rOverwrite these values with the saved ones?"));
        QCOMPARE(dialogs.shown.last().buttons, QList<Button>({Button::Yes, Button::No}));
        QVERIFY(f->noiseEditor->toPlainText().contains(QLatin1Char('x')));
        // Save: the editor's lines become the list and the file, CR LF after every line.
        f->noiseEditor->setPlainText(QStringLiteral("one\n\ntw\u00F6"));
        QTest::mouseClick(f->btnSaveNoise, Qt::LeftButton);
        QCOMPARE(f->NoiseWords, QStringList({"one", "", "tw\u00F6"}));
        QCOMPARE(env().readFile(noiseFile()), QByteArray("one\r\n\r\ntw\xF6\r\n"));
        QVERIFY(!f->noiseEditor->document()->isModified());
        QCOMPARE(dialogs.shown.size(), 1);
        // Yes replaces the edit by the list.
        QTest::keyClicks(f->noiseEditor, QStringLiteral("z"));
        dialogs.answers = {Button::Yes};
        QTest::mouseClick(f->btnLoadNoise, Qt::LeftButton);
        QCOMPARE(f->noiseEditor->toPlainText(), QStringLiteral("one\n\ntw\u00F6"));
    }

    // The delivered noise words are read until the user changes them; then the user's copy holds
    // them and the default stays as delivered.
    void noiseWordsOfTheUser() {
        testsupport::TestEnv separate(testsupport::TestEnv::Layout::Separate);
        const QString delivered = separate.programFolder() + KeywordGenerator::kNoiseFileName;
        const QString own = separate.userDataFolder() + KeywordGenerator::kNoiseFileName;
        separate.writeFile(delivered, "the\r\nof\r\n");
        auto makeOn = [&] {
            auto made = std::make_unique<KeywordGenerator>(dialogs, help, separate.registryPath(),
                                                           separate.folders());
            made->BodyLimit = 5000;
            return made;
        };
        const QString pagePath = separate.path(QStringLiteral("page.htm"));
        separate.writeFile(pagePath, page(QStringLiteral("red red blue the")).toUtf8());
        auto f = makeOn();
        QCOMPARE(f->noiseFile(), delivered);
        f->GenerateList(pagePath);
        tick(*f, {"red"});
        QTest::mouseClick(f->btnAddNoise, Qt::LeftButton);
        QCOMPARE(separate.readFile(own), QByteArray("the\r\nof\r\nred\r\n"));
        QCOMPARE(separate.readFile(delivered), QByteArray("the\r\nof\r\n"));
        // A new generator reads the user's list; Save writes it there.
        auto g = makeOn();
        QCOMPARE(g->noiseFile(), own);
        g->GenerateList(pagePath);
        QCOMPARE(g->NoiseWords, QStringList({"the", "of", "red"}));
        g->noiseEditor->setPlainText(QStringLiteral("blue"));
        QTest::mouseClick(g->btnSaveNoise, Qt::LeftButton);
        QCOMPARE(separate.readFile(own), QByteArray("blue\r\n"));
        QCOMPARE(separate.readFile(delivered), QByteArray("the\r\nof\r\n"));
        QCOMPARE(g->AppDir, separate.programFolder());
    }

    void failedSaveKeepsTheWords() {
        QFile::remove(noiseFile());
        QDir().mkpath(noiseFile()); // a folder in the file's place cannot be written
        auto f = makeForm();
        f->noiseEditor->setPlainText(QStringLiteral("kept"));
        QTest::mouseClick(f->btnSaveNoise, Qt::LeftButton);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].kind, Kind::Error);
        QVERIFY2(dialogs.shown[0].text.contains(QStringLiteral("srexclude.txt")),
                 qPrintable(dialogs.shown[0].text));
        QCOMPARE(f->NoiseWords, QStringList({"kept"}));
    }
};

QTEST_MAIN(TestKeywordGenerator)
#include "tst_keywordgenerator.moc"
