#include "analysis/engine/workfiles.h"
#include "analysis/keywords/bodychecktester.h"
#include "analysis/keywords/keywordgenerator.h"
#include "analysis/rules/rulestore.h"
#include "support/modal.h"
#include "support/quillmarkharness.h"

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>
#include <QtTest>

#include <sys/stat.h>

using quillmark::BodyCheckTester;
using quillmark::KeywordGenerator;
using quillmark::MainWindow;
using testsupport::expect;
using testsupport::FaultyHost;
using testsupport::ModalScript;
using testsupport::QuillmarkHarness;
using testsupport::state;
using Kind = platform::Dialogs::Kind;

namespace {

void tick(KeywordGenerator* f, const QStringList& words) {
    for (int i = 0; i < f->wordList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* it = f->wordList->topLevelItem(i);
        if (words.contains(it->text(0)))
            it->setCheckState(0, Qt::Checked);
    }
}

QStringList rowWords(KeywordGenerator* f) {
    QStringList out;
    for (int i = 0; i < f->wordList->topLevelItemCount(); ++i)
        out << f->wordList->topLevelItem(i)->text(0);
    return out;
}

QAction* findAction(QWidget* w, const QString& text) {
    for (QAction* a : w->findChildren<QAction*>())
        if (a->text() == text)
            return a;
    return nullptr;
}

QString metaCalls(const FaultyHost& host) {
    QStringList out;
    for (const FaultyHost::MetaCall& c : host.metaCalls)
        out << QStringLiteral("%1 %2 %3 [%4] %5 %6")
                   .arg(c.op, c.address, c.name, c.content)
                   .arg(c.flag1)
                   .arg(c.flag2);
    return out.join(QLatin1Char('\n'));
}

} // namespace

class TestKeywordTools : public QObject {
    Q_OBJECT

    // A harness on a web that holds copies of the fixture pages, with the page open.
    std::unique_ptr<QuillmarkHarness> start(const QString& page,
                                            const QString& bodychk = QStringLiteral("5000")) {
        auto h = std::make_unique<QuillmarkHarness>();
        if (!bodychk.isNull())
            h->env.setValue(rules::kSettingsKey, QStringLiteral("bodychk"), bodychk);
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("keywords")),
                              h->env.path(QStringLiteral("web")));
        h->start();
        h->openWeb(h->env.path(QStringLiteral("web")), page);
        return h;
    }
    // A folder in the working file's place: the page cannot be copied there.
    static void blockWorkingFile(QuillmarkHarness& h) {
        const QString path = engine::workingFile(h.env.programFolder());
        QFile::remove(path);
        QVERIFY(QDir().mkpath(path));
    }
    static QByteArray pageBytes(QuillmarkHarness& h, const QString& page) {
        return h.env.readFile(QStringLiteral("web/") + page);
    }
    static QByteArray fixture(const QString& page) {
        QFile f(testsupport::fixturePath(QStringLiteral("keywords/") + page));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The builder through the toolbar button, queuing the words given.
    static void build(QuillmarkHarness& h, const QStringList& queue, QStringList* rows = nullptr) {
        const ModalScript user(expect<KeywordGenerator>([&](KeywordGenerator* f) {
            if (rows)
                *rows = rowWords(f);
            tick(f, queue);
            if (!queue.isEmpty())
                QTest::mouseClick(f->btnAddKeywords, Qt::LeftButton);
            QTest::mouseClick(f->btnClose, Qt::LeftButton);
        }));
        auto* button = h.form->findChild<QToolButton*>(QStringLiteral("RzToolbarButton4"));
        QVERIFY(button);
        QCOMPARE(button->toolTip(), QStringLiteral("Build keywords"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(user.seen().size(), 1);
    }

private slots:
    // The generator names the page the user has open, not the working copy it reads.
    void captionNamesThePage() {
        auto h = start(QStringLiteral("keywords.htm"));
        h->env.writeFile(QStringLiteral("web/sub/a[*].htm"),
                         fixture(QStringLiteral("keywords.htm")));
        for (const QString& page :
             {QStringLiteral("keywords.htm"), QStringLiteral("sub/a[*].htm")}) {
            h->web->openPage(page);
            QString title;
            const ModalScript user(expect<KeywordGenerator>([&](KeywordGenerator* f) {
                title = f->windowHandle()->title();
                QTest::mouseClick(f->btnClose, Qt::LeftButton);
            }));
            h->form->runCommand(&MainWindow::openKeywordBuilder);
            QCOMPARE(title, QStringLiteral("Fernlet keyword generator - ") + page);
        }
    }

    void newWordsInFrontOfTheOldContent() {
        auto h = start(QStringLiteral("keywords.htm"));
        QStringList rows;
        build(*h, {"gamma", "beta", "delta"}, &rows);
        QCOMPARE(rows, QStringList({"gamma", "beta", "delta", "caf\u00E9"}));
        QCOMPARE(state(h->form.get()).page.keywordsContent,
                 QStringLiteral("gamma,delta,alpha, beta"));
        QCOMPARE(metaCalls(*h->host),
                 QStringLiteral("get keywords.htm keywords [] 0 0\n"
                                "get keywords.htm keywords [] 0 0\n"
                                "get keywords.htm keywords [] 0 0\n"
                                "set keywords.htm keywords [gamma,delta,alpha, beta] 0 0"));
        // Only the tag's content changed, byte for byte.
        QByteArray expected = fixture(QStringLiteral("keywords.htm"));
        expected.replace("content=\"alpha, beta\"", "content=\"gamma,delta,alpha, beta\"");
        QCOMPARE(pageBytes(*h, QStringLiteral("keywords.htm")), expected);
        QCOMPARE(h->dialogs.texts(),
                 QStringList({"Keywords words were added to the keywords tag"}));
    }

    void pageWithoutKeywordsTag() {
        auto h = start(QStringLiteral("nokeywords.htm"));
        build(*h, {"gamma", "delta"});
        QCOMPARE(state(h->form.get()).page.keywordsContent, QStringLiteral("gamma,delta,"));
        QCOMPARE(h->host->metaCalls.last().op, QStringLiteral("set"));
        QCOMPARE(h->host->metaCalls.last().flag1, -1);
        QCOMPARE(h->host->metaCalls.size(), 3); // read, ask, write
        // The tag goes into the head, indented like its neighbours; nothing else changes.
        QByteArray expected = fixture(QStringLiteral("nokeywords.htm"));
        expected.replace("  </head>",
                         "  <meta name=\"keywords\" content=\"gamma,delta,\">\r\n  </head>");
        QCOMPARE(pageBytes(*h, QStringLiteral("nokeywords.htm")), expected);
        // A second run finds the new tag and writes with the flag 0.
        build(*h, {"gamma"});
        QCOMPARE(h->host->metaCalls.last().flag1, 0);
        QCOMPARE(pageBytes(*h, QStringLiteral("nokeywords.htm")), expected);
    }

    void wordsOfThePhrasesAreNotAddedAgain() {
        auto h = start(QStringLiteral("phrase.htm"));
        build(*h, {"design", "Widgets", "news"});
        QCOMPARE(state(h->form.get()).page.keywordsContent,
                 QStringLiteral("news,web design, widgets"));
        QByteArray expected = fixture(QStringLiteral("phrase.htm"));
        expected.replace("content=\"web design, widgets\"", "content=\"news,web design, widgets\"");
        QCOMPARE(pageBytes(*h, QStringLiteral("phrase.htm")), expected);
    }

    void builderKeepsThePage_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("queue");
        QTest::addColumn<QByteArray>(
            "written"); // the head as written; empty: the page is not rewritten
        QTest::newRow("references kept, the decoded word not added again")
            << QByteArray("<meta name=\"keywords\" content=\"caf&eacute;, r&amp;d\">")
            << QByteArray("nouveau caf\xC3\xA9") << QStringList{"nouveau", "caf\u00E9"}
            << QByteArray("<meta name=\"keywords\" content=\"nouveau,caf&eacute;, r&amp;d\">");
        QTest::newRow("single quotes kept")
            << QByteArray("<meta name='keywords' content='alpha, \"beta\"'>") << QByteArray("gamma")
            << QStringList{"gamma"}
            << QByteArray("<meta name='keywords' content='gamma,alpha, \"beta\"'>");
        QTest::newRow("nothing new")
            << QByteArray("<meta name='keywords' content='alpha, beta'>") << QByteArray("beta beta")
            << QStringList{"beta"} << QByteArray();
        QTest::newRow("windows-1252 page")
            << QByteArray(
                   "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
                   "<meta name=\"keywords\" content=\"alpha\">")
            << QByteArray("cr\xE8me \xE0 la") << QStringList{"cr\u00E8me"}
            << QByteArray(
                   "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
                   "<meta name=\"keywords\" content=\"cr\xE8me,alpha\">");
        QTest::newRow("UTF-8 page")
            << QByteArray("<meta charset=\"utf-8\"><meta name=\"keywords\" content=\"alpha\">")
            << QByteArray("cr\xC3\xA8me") << QStringList{"cr\u00E8me"}
            << QByteArray("<meta charset=\"utf-8\"><meta name=\"keywords\" "
                          "content=\"cr\xC3\xA8me,alpha\">");
    }
    void builderKeepsThePage() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, queue);
        QFETCH(QByteArray, written);
        const QByteArray before = "<html>\r\n<head>\r\n<title>T</title>\r\n" + head +
                                  "\r\n</head>\r\n<body>\r\n" + body + "\r\n</body>\r\n</html>\r\n";
        auto h = std::make_unique<QuillmarkHarness>();
        h->env.setValue(rules::kSettingsKey, QStringLiteral("bodychk"), QStringLiteral("5000"));
        h->env.writeFile(QStringLiteral("web/page.htm"), before);
        h->start();
        h->openWeb(h->env.path(QStringLiteral("web")), QStringLiteral("page.htm"));
        const QString path = h->env.path(QStringLiteral("web/page.htm"));
        struct stat original;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &original), 0);
        QStringList rows;
        build(*h, queue, &rows);
        for (const QString& word : queue)
            QVERIFY2(rows.contains(word), qPrintable(rows.join(QLatin1Char(' '))));
        QCOMPARE(h->host->metaCalls.last().op, QStringLiteral("set"));
        QByteArray after = before;
        if (!written.isEmpty())
            after.replace(head, written);
        QCOMPARE(pageBytes(*h, QStringLiteral("page.htm")), after);
        struct stat now;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &now), 0);
        QCOMPARE(now.st_ino == original.st_ino, written.isEmpty()); // a rewrite replaces the file
    }

    void nothingQueuedLeavesThePage() {
        auto h = start(QStringLiteral("keywords.htm"));
        state(h->form.get()).page.keywordsContent = QStringLiteral("as before");
        build(*h, {});
        QVERIFY(h->host->metaCalls.isEmpty());
        QCOMPARE(state(h->form.get()).page.keywordsContent, QStringLiteral("as before"));
        QCOMPARE(pageBytes(*h, QStringLiteral("keywords.htm")),
                 fixture(QStringLiteral("keywords.htm")));
        // The generator saw the working file and the rule base's count.
        QCOMPARE(h->env.readFile(engine::workingFile(h->env.programFolder())),
                 fixture(QStringLiteral("keywords.htm")));
    }

    void noiseWordsComeBackFromTheWindow() {
        auto h = start(QStringLiteral("keywords.htm"));
        const ModalScript user(expect<KeywordGenerator>([&](KeywordGenerator* f) {
            QCOMPARE(f->NoiseWords, state(h->form.get()).noiseWords);
            tick(f, {"beta"});
            QTest::mouseClick(f->btnAddNoise, Qt::LeftButton);
            QTest::mouseClick(f->btnClose, Qt::LeftButton);
        }));
        h->form->runCommand(&MainWindow::openKeywordBuilder);
        QCOMPARE(user.seen().size(), 1);
        QCOMPARE(state(h->form.get()).noiseWords.last(), QStringLiteral("beta"));
        QVERIFY(h->env.readFile(h->env.programFolder() + QStringLiteral("srexclude.txt"))
                    .endsWith("\r\nbeta\r\n"));
        QVERIFY(h->host->metaCalls.isEmpty());
    }

    void builderFailures_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        const QString load = QStringLiteral("Error Loading FrontPage for Keyword Tag Generator");
        QTest::newRow("no Editor object") << "editor" << load;
        QTest::newRow("no page address") << "top" << load;
        QTest::newRow("page cannot be copied") << "fetch" << load;
        QTest::newRow("noise-word file missing") << "noise"
                                                 << "Cannot open file";
        QTest::newRow("body check count not a number") << "bodychk"
                                                       << "\"bodychk\" is not a whole number";
    }

    void builderFailures() {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        auto h = start(QStringLiteral("keywords.htm"), fault == QLatin1String("bodychk")
                                                           ? QStringLiteral("lots")
                                                           : QStringLiteral("5000"));
        if (fault == QLatin1String("editor"))
            h->host->failEditor = true;
        else if (fault == QLatin1String("top"))
            h->host->failTopPage = true;
        else if (fault == QLatin1String("fetch"))
            blockWorkingFile(*h);
        else if (fault == QLatin1String("noise"))
            QFile::remove(h->env.programFolder() + QStringLiteral("srexclude.txt"));
        const auto user = ModalScript::closeEach();
        h->form->runCommand(&MainWindow::openKeywordBuilder);
        QCOMPARE(user.seen().size(), 0);
        QCOMPARE(h->dialogs.shown.size(), 1);
        QCOMPARE(h->dialogs.shown[0].kind, Kind::Error);
        QVERIFY2(h->dialogs.shown[0].text.contains(message), qPrintable(h->dialogs.shown[0].text));
        QVERIFY(h->host->metaCalls.isEmpty());
        QCOMPARE(pageBytes(*h, QStringLiteral("keywords.htm")),
                 fixture(QStringLiteral("keywords.htm")));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void testerShowsTheBodyStretch_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("count from the body check") << "keywords.htm"
                                                   << "5000"
                                                   << "bgcolor=white>\n<p>gamma Gamma gamma beta "
                                                      "beta delta caf\u00E9</p>\n</body>\n</html>\n"
                                                   << QStringList{};
        QTest::newRow("line breaks count twice") << "keywords.htm"
                                                 << "16"
                                                 << "bgcolor=white>\n"
                                                 << QStringList{};
        QTest::newRow("cut inside the break") << "keywords.htm"
                                              << "15"
                                              << "bgcolor=white>\n"
                                              << QStringList{};
        QTest::newRow("count 0 empties") << "keywords.htm"
                                         << "0"
                                         << "" << QStringList{};
        QTest::newRow("capitals are not found")
            << "capsbody.htm"
            << "5000"
            << QString::fromUtf8(fixture(QStringLiteral("capsbody.htm")))
                   .replace(QLatin1String("\r\n"), QLatin1String("\n"))
            << QStringList{"File does not appear to be HTML"};
        QTest::newRow("empty preset") << "keywords.htm"
                                      << ""
                                      << "kept" << QStringList{"'' is not a valid integer value"};
        QTest::newRow("a word") << "keywords.htm"
                                << "many"
                                << "kept" << QStringList{"'many' is not a valid integer value"};
    }

    void testerShowsTheBodyStretch() {
        QFETCH(QString, page);
        QFETCH(QString, count);
        QFETCH(QString, shown);
        QFETCH(QStringList, messages);
        auto h = start(page);
        QString boxText;
        const ModalScript user(expect<BodyCheckTester>([&](BodyCheckTester* t) {
            boxText = t->countBox->currentText();
            t->textPane->setPlainText(QStringLiteral("kept"));
            t->countBox->setEditText(count);
            QTest::mouseClick(t->testButton, Qt::LeftButton);
            QCOMPARE(t->textPane->toPlainText(), shown);
            QTest::mouseClick(t->CloseButton, Qt::LeftButton);
            QVERIFY(!t->isVisible());
        }));
        QAction* item = findAction(h->form->menuBar(), QStringLiteral("&Body Check Tester ..."));
        QVERIFY(item);
        item->trigger();
        QCOMPARE(user.seen().size(), 1);
        QCOMPARE(boxText, QStringLiteral("5000")); // the body check count, not one of the presets
        QCOMPARE(h->dialogs.shown.size(), messages.size());
        for (qsizetype i = 0; i < messages.size(); ++i) {
            QCOMPARE(h->dialogs.shown[i].kind, Kind::Error);
            QVERIFY2(h->dialogs.shown[i].text.startsWith(messages[i]),
                     qPrintable(h->dialogs.shown[i].text));
        }
    }

    void testerWindowAndReopening() {
        auto h = start(QStringLiteral("keywords.htm"), QStringLiteral("7"));
        BodyCheckTester* t = h->form->findChild<BodyCheckTester*>();
        QVERIFY(t && !t->isVisible());
        QCOMPARE(t->windowTitle(), QStringLiteral("Body Check Tester"));
        QStringList presets;
        for (int i = 0; i < t->countBox->count(); ++i)
            presets << t->countBox->itemText(i);
        QCOMPARE(presets, QStringList({"", "105000", "15000", "20000", "25000", "30000", "35000",
                                       "40000", "45000", "50000", "55000", "60000", "7500", "75000",
                                       "85000", "95000"}));
        QStringList hints;
        for (QToolButton* b : {t->testButton, t->CutButton, t->CopyButton, t->PasteButton,
                               t->CloseButton, t->HelpButton})
            hints << b->toolTip();
        QCOMPARE(hints, QStringList({"Run Tester", "Cut", "Copy", "Paste", "Close", "Help"}));
        QStringList menus;
        for (QAction* m : t->menuBar->actions()) {
            QStringList items;
            for (QAction* a : m->menu()->actions())
                items << (a->isSeparator() ? QStringLiteral("-") : a->text());
            menus << m->text() + QLatin1Char(':') + items.join(QLatin1Char('|'));
        }
        QCOMPARE(menus, QStringList({"&File:&Run Tester|-|&Close", "&Edit:Cu&t|&Copy|&Paste",
                                     "&Help:&Using Body Check Tester"}));

        // First opening: run it. The next opening, on another page, still shows that result.
        const ModalScript first(expect<BodyCheckTester>([](BodyCheckTester* w) {
            QTest::mouseClick(w->testButton, Qt::LeftButton);
            QTest::mouseClick(w->HelpButton, Qt::LeftButton);
        }));
        h->form->runCommand(&MainWindow::showBodyCheckTester);
        QCOMPARE(first.seen().size(), 1);
        QCOMPARE(t->textPane->toPlainText(), QStringLiteral("bgcolor"));
        QCOMPARE(h->help.topics.size(), 1);
        QCOMPARE(h->help.topics[0].topic, 1200);
        QCOMPARE(h->help.topics[0].file, state(h->form.get()).helpFile);
        h->web->openPage(QStringLiteral("phrase.htm"));
        QString again;
        const ModalScript second(expect<BodyCheckTester>(
            [&](BodyCheckTester* w) { again = w->textPane->toPlainText(); }));
        h->form->runCommand(&MainWindow::showBodyCheckTester);
        QCOMPARE(second.seen().size(), 1);
        QCOMPARE(again, QStringLiteral("bgcolor"));
        // The working file is gone before "Run Tester": the message, then the text as it stands.
        QFile::remove(engine::workingFile(h->env.programFolder()));
        t->textPane->setPlainText(QStringLiteral("typed <body>abcdef"));
        t->testBodyCheck();
        QCOMPARE(h->dialogs.texts(), QStringList({"Error loading file"}));
        QCOMPARE(t->textPane->toPlainText(), QStringLiteral("abcdef"));
    }

    void testerFailures_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("no page address") << "top"
                                         << "Unable to access FrontPage\r\n\r\nvtiTop Error 3002";
        QTest::newRow("page cannot be copied") << "fetch"
                                               << "Unable to access FrontPage\r\n\r\nError 3001";
    }

    void testerFailures() {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        auto h = start(QStringLiteral("keywords.htm"));
        if (fault == QLatin1String("top"))
            h->web->openWeb(h->env.path(QStringLiteral("web"))); // no index.htm: no page open
        else
            blockWorkingFile(*h);
        const auto user = ModalScript::closeEach();
        h->form->runCommand(&MainWindow::showBodyCheckTester);
        QCOMPARE(user.seen().size(), 0);
        QCOMPARE(h->dialogs.texts(), QStringList({message}));
        QCOMPARE(h->dialogs.shown[0].kind, Kind::Error);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void commandsAreWired() {
        auto h = start(QStringLiteral("keywords.htm"));
        QMenu* special = h->form->findChild<QMenu*>(QStringLiteral("Special1"));
        QVERIFY(special);
        QStringList items;
        for (QAction* a : special->actions())
            items << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QVERIFY(items.startsWith(QStringLiteral("&Generate Keywords ...")));
        QCOMPARE(items.value(1), QStringLiteral("&Body Check Tester ..."));
        const ModalScript user(expect<KeywordGenerator>([](KeywordGenerator*) {}));
        findAction(special, QStringLiteral("&Generate Keywords ..."))->trigger();
        QCOMPARE(user.seen().size(), 1);

        auto* run = h->form->findChild<QToolButton*>(QStringLiteral("SpeedButton5"));
        QVERIFY(run && run->menu());
        QAction* tester = findAction(run->menu(), QStringLiteral("Body Check Tester ..."));
        QVERIFY(tester);
        const ModalScript opened(expect<BodyCheckTester>([](BodyCheckTester*) {}));
        tester->trigger();
        QCOMPARE(opened.seen().size(), 1);
    }
};

QTEST_MAIN(TestKeywordTools)
#include "tst_keywordtools.moc"
