#include "enginetest.h"

#include "analysis/engine/commatext.h"

using namespace enginetest;

namespace {

QByteArray page(const QByteArray& head, const QByteArray& body) {
    return "<html><head><title>T</title>" + head + "</head><body>" + body + "</body></html>";
}

const QString kHeading5000 =
    QStringLiteral("Checking Keyword occurrences in first 5000 characters");
const QString kPasses =
    QStringLiteral(" Description Tag Passes: Keywords found in page description.");
const QString kNotFound = QStringLiteral(" WARNING! Keywords not found in page description.");

QString repeated(const char* word, int times) {
    return QStringLiteral("WARNING! Keyword %1 is repeated %2 times throughout keywords. Keywords "
                          "Tag will be disqualified!")
        .arg(QLatin1String(word))
        .arg(times);
}

} // namespace

class TestChecks : public QObject {
    Q_OBJECT
private slots:
    void panes_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QStringList>("required");
        QTest::addColumn<QString>("rules");
        QTest::addColumn<bool>("batch");
        QTest::addColumn<QStringList>("passed");
        QTest::addColumn<QStringList>("failed");
        QTest::addColumn<QStringList>("keyword"); // {"*"}: not compared
        const QStringList skip{"*"};
        const QStringList none;
        const QByteArray meta = "<meta name=\"x\" content=\"1\">";

        QTest::newRow("passing page")
            << page("<meta name=\"author\" content=\"Jo\"><meta name=\"keywords\" content=\"shoes, "
                    "socks\">"
                    "<meta name=\"description\" content=\"Shoes for all\">",
                    "shoes and socks and shoes")
            << QStringList{"author"} << "" << false << QStringList{"File = p.htm"} << none
            << QStringList{"", "File = p.htm", kPasses,     "", kHeading5000,
                           "", "shoes - 2 ",   "socks - 1 "};
        QTest::newRow("required tag without value")
            << page(meta, "x") << QStringList{"author"} << "" << false << none
            << QStringList{"File = p.htm", "    ", "    Error: author Does not have a value", ""}
            << QStringList{"", "File = p.htm", kHeading5000, ""};
        QTest::newRow("PICS labels missing")
            << page(meta, "x") << none << "rsafe=1;rweb=1" << false << none
            << QStringList{"File = p.htm", "    SafeSurf not present, Weburbia not present", ""}
            << skip;
        QTest::newRow("RSAC label in capitals in the body")
            << page(meta, "<META HTTP-EQUIV=\"PICS-LABEL\" CONTENT='(PICS-1.1 "
                          "\"HTTP://WWW.RSAC.ORG/ratingsv01.html\" l r (n 0))'>")
            << none << "rrsac=1" << false << QStringList{"File = p.htm"} << none << skip;
        QTest::newRow("all three labels as their services write them")
            << page("<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 "
                    "\"http://www.classify.org/safesurf/\" l r (SS~~000 1))'>"
                    "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 "
                    "\"http://www.rsac.org/ratingsv01.html\" l r (n 0))'>"
                    "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 "
                    "\"http://www.weburbia.com/safe/ratings.htm\" l r (s 0))'>",
                    "")
            << none << "rsafe=1;rrsac=1;rweb=1" << false << QStringList{"File = p.htm"} << none
            << skip;
        const QString k1200(1200, QLatin1Char('k')), k1000(1000, QLatin1Char('k'));
        QTest::newRow("keywords longer than the maximum")
            << page("<meta name=\"keywords\" content=\"" + k1200.toLatin1() + "\">", "")
            << QStringList{"keywords"} << "keywords=1000" << false << none
            << QStringList{"File = p.htm", "    ",
                           "    Warning: keywords is greater than the maximum value", ""}
            << QStringList{"", "File = p.htm", kHeading5000, "", k1200 + " - 0 "};
        QTest::newRow("keywords of exactly the maximum")
            << page("<meta name=\"keywords\" content=\"" + k1000.toLatin1() + "\">", "")
            << QStringList{"keywords"} << "keywords=1000" << false << QStringList{"File = p.htm"}
            << none << skip;
        QTest::newRow("description shorter than the minimum")
            << page("<meta name=\"description\" content=\"" + QByteArray(74, 'd') + "\">", "")
            << QStringList{"description"} << "descriptionm=75" << false << none
            << QStringList{"File = p.htm", "    ",
                           "    Warning: description is less than the minimum value", ""}
            << QStringList{"", "File = p.htm", kHeading5000, ""};
        QTest::newRow("empty keywords under a minimum: error and warning")
            << page("<meta name=\"keywords\" content=\"\">", "") << QStringList{"keywords"}
            << "keywordsm=10" << false << none
            << QStringList{"File = p.htm", "    ", "    Error: keywords Does not have a value",
                           "    Warning: keywords is less than the minimum value", ""}
            << skip;
        QTest::newRow("no meta tags and no rules: in both panes")
            << page("", "x") << none << "" << false << QStringList{"File = p.htm"}
            << QStringList{"File p.htm", "    File has no meta tags", ""}
            << QStringList{"", "File = p.htm", kHeading5000, ""};
        QTest::newRow("no meta tags in a batch")
            << page("", "x") << none << "" << true << QStringList{"File = p.htm"}
            << QStringList{"File = p.htm", "    File has no meta tags", ""}
            << QStringList{"", "File = p.htm"};
        QTest::newRow("no meta tags and a required tag: two entries")
            << page("", "x") << QStringList{"author"} << "" << false << none
            << QStringList{"File p.htm",
                           "    File has no meta tags",
                           "",
                           "File = p.htm",
                           "    ",
                           "    Error: author Does not have a value",
                           ""}
            << skip;
        QTest::newRow("a keyword seven times")
            << page("<meta name=\"keywords\" content=\"shoes, Shoes, SHOES, shoes, shoes, shoes, "
                    "shoes\">",
                    "shoes")
            << none << "" << false << QStringList{"File = p.htm"} << none
            << QStringList{"", "File = p.htm", "", repeated("shoes", 7),
                           "", kHeading5000,   "", "shoes - 1 "};
        QTest::newRow("six times is accepted")
            << page("<meta name=\"keywords\" content=\"shoes, Shoes, SHOES, shoes, shoes, shoes\">",
                    "shoes")
            << none << "" << false << QStringList{"File = p.htm"} << none
            << QStringList{"", "File = p.htm", kHeading5000, "", "shoes - 1 "};
        QTest::newRow("every blank separates keywords")
            << page("<meta name=\"keywords\" content=\"web design, web hosting, web shop, web art, "
                    "web tools, web sites, web news\">",
                    "")
            << none << "" << false << QStringList{"File = p.htm"} << none
            << QStringList{"",
                           "File = p.htm",
                           "",
                           repeated("web", 7),
                           "",
                           kHeading5000,
                           "",
                           "art - 0 ",
                           "design - 0 ",
                           "hosting - 0 ",
                           "news - 0 ",
                           "shop - 0 ",
                           "sites - 0 ",
                           "tools - 0 ",
                           "web - 0 "};
        QTest::newRow("keyword found in the description")
            << page("<meta name=\"keywords\" content=\"red, blue\"><meta name=\"description\" "
                    "content=\"Blue widgets\">",
                    "")
            << none << "" << false << QStringList{"File = p.htm"} << none
            << QStringList{"", "File = p.htm", kPasses,   "", kHeading5000,
                           "", "blue - 0 ",    "red - 0 "};
        QTest::newRow("whole items only in the description")
            << page("<meta name=\"keywords\" content=\"red, blue\"><meta name=\"description\" "
                    "content=\"Bluish widgets\">",
                    "")
            << none << "" << false << QStringList{"File = p.htm"} << none
            << QStringList{"", "File = p.htm", kNotFound, "", kHeading5000,
                           "", "blue - 0 ",    "red - 0 "};
        QTest::newRow("body check count 10")
            << page("<meta name=\"keywords\" content=\"shoes\">", "shoes and more shoes") << none
            << "bodychk=10" << false << QStringList{"File = p.htm"} << none
            << QStringList{"", "File = p.htm",
                           "Checking Keyword occurrences in first 10 characters", "", "shoes - 1 "};
        QTest::newRow("attribute values are counted")
            << page("<meta name=\"keywords\" content=\"shoes\">", "<img alt=shoes>") << none << ""
            << false << QStringList{"File = p.htm"} << none
            << QStringList{"", "File = p.htm", kHeading5000, "", "shoes - 1 "};
        QTest::newRow("sorted without regard to case")
            << page("<meta name=\"keywords\" content=\"zebra, Apple\">", "apple zebra apple")
            << none << "" << false << QStringList{"File = p.htm"} << none
            << QStringList{"", "File = p.htm", kHeading5000, "", "Apple - 2 ", "zebra - 1 "};
        QTest::newRow("punctuation ends a word")
            << page("<meta name=\"keywords\" content=\"shoes\">",
                    "shoes, shoes. (shoes) shoeshine re-shoes")
            << none << "" << false << QStringList{"File = p.htm"} << none
            << QStringList{"", "File = p.htm", kHeading5000, "", "shoes - 4 "};
        QTest::newRow("a quoted phrase")
            << page("<meta name=\"keywords\" content='\"web design\", web'>",
                    "web design and web designs")
            << none << "" << false << QStringList{"File = p.htm"} << none
            << QStringList{"", "File = p.htm", kHeading5000, "", "web - 2 ", "web design - 1 "};
        QTest::newRow("batch: no heading, no blank after the verdict, first-occurrence order")
            << page("<meta name=\"keywords\" content=\"zebra, apple\"><meta name=\"description\" "
                    "content=\"apple pie\">",
                    "apple zebra apple")
            << none << "" << true << QStringList{"File = p.htm"} << none
            << QStringList{"", "File = p.htm", kPasses, "zebra - 1 ", "apple - 2 "};
        QTest::newRow("problem lines of a passing page stay with it")
            << QByteArray("<html><head><title></title><meta name=\"a\" "
                          "content=\"1\"></head><body></body></html>")
            << none << "" << false << QStringList{"File = p.htm", engine::kEmptyTitle} << none
            << skip;
        QTest::newRow("problem lines of a failing page go under its entry")
            << QByteArray("<html><head><title></title><meta name=\"a\" "
                          "content=\"1\"></head><body></body></html>")
            << QStringList{"author"} << "" << false << none
            << QStringList{"File = p.htm", engine::kEmptyTitle, "    ",
                           "    Error: author Does not have a value", ""}
            << skip;
        QTest::newRow("the title line stands above the page's entry")
            << QByteArray("<html><head><title>Shop<meta name=\"a\" "
                          "content=\"1\"></head><body></body></html>")
            << QStringList{"author"} << "" << false << none
            << QStringList{engine::kTitleNotEnded, "File = p.htm", "    ",
                           "    Error: author Does not have a value", ""}
            << skip;
        QTest::newRow("no body: counts of 0")
            << QByteArray("<html><head><title>T</title><meta name=\"keywords\" "
                          "content=\"a\"></head></html>")
            << none << "" << false << QStringList{"File = p.htm", engine::kMissingBody} << none
            << QStringList{"", "File = p.htm", kHeading5000, "", "a - 0 "};
    }
    void panes() {
        QFETCH(QByteArray, page);
        QFETCH(QStringList, required);
        QFETCH(QString, rules);
        QFETCH(bool, batch);
        QFETCH(QStringList, passed);
        QFETCH(QStringList, failed);
        QFETCH(QStringList, keyword);
        Checker c;
        Run run;
        run.grid.setNames(required);
        c.check(run, page, enginetest::rules(rules), batch);
        QCOMPARE(run.out.passed, passed);
        QCOMPARE(run.out.failed, failed);
        if (keyword != QStringList{"*"})
            QCOMPARE(run.out.keyword, keyword);
        QVERIFY(run.st.failed.isEmpty()); // nothing waits for another page
        QCOMPARE(run.failedEntry,
                 !failed.isEmpty() && failed != QStringList{engine::kTitleNotEnded});
    }

    void regionWithoutEndBody() {
        Checker c;
        const QByteArray p =
            "<html><head><title>T</title><meta name=\"keywords\" content=\"shoes\"></head><body>" +
            QByteArray(100, 'x') + " shoes";
        for (const auto& [count, expected] :
             {std::pair{"50", "shoes - 0 "}, std::pair{"200", "shoes - 1 "}}) {
            Run run;
            c.check(run, p, rules(QStringLiteral("bodychk=") + QLatin1String(count)));
            QCOMPARE(run.out.keyword.last(), QLatin1String(expected));
        }
        QCOMPARE(
            engine::prepareBodyRegion(QStringLiteral("<body>shoes and more shoes</body>"), 10).text,
            QStringLiteral("> shoes and"));
        QCOMPARE(
            engine::prepareBodyRegion(QStringLiteral("<body><a href=x>y</a></body>"), 100).text,
            QStringLiteral(">  <a href x> y <") + QStringLiteral("/a> "));
    }

    void regionEndsInsideAWord_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("count"); // the body check count
        QTest::addColumn<bool>("many"); // enough keywords to count from the region's words
        QTest::addColumn<QStringList>("lines");
        // The region starts at the '>' of "<body>", so a count of 4 covers ">the".
        const QByteArray pad = QByteArray("x ").repeated(2400);
        for (bool many : {false, true}) {
            const QByteArray body = many ? pad : QByteArray();
            const int at = int(body.size());
            const char* suffix = many ? " (from the words)" : "";
            QTest::newRow(
                qPrintable(QStringLiteral("cut inside a word%1").arg(QLatin1String(suffix))))
                << body + "then more" << at + 4 << many << QStringList{"the - 0 ", "then - 0 "};
            QTest::newRow(
                qPrintable(QStringLiteral("cut at the word's end%1").arg(QLatin1String(suffix))))
                << body + "then more" << at + 5 << many << QStringList{"the - 0 ", "then - 1 "};
            QTest::newRow(
                qPrintable(QStringLiteral("cut before a boundary%1").arg(QLatin1String(suffix))))
                << body + "the, then" << at + 4 << many << QStringList{"the - 1 ", "then - 0 "};
        }
        QTest::newRow("cut inside a word after a phrase")
            << QByteArray("see the then") << 12 << false
            << QStringList{"see the - 1 ", "the - 1 ", "then - 0 "};
    }
    void regionEndsInsideAWord() {
        QFETCH(QByteArray, body);
        QFETCH(int, count);
        QFETCH(bool, many);
        QFETCH(QStringList, lines);
        QByteArray keywords = "the, then, \"see the\"";
        for (int i = 0; many && i < 1000; ++i)
            keywords += ", pad" + QByteArray::number(i);
        Checker c;
        Run run;
        c.check(run, page("<meta name=\"keywords\" content='" + keywords + "'>", body),
                rules(QStringLiteral("bodychk=%1").arg(count)));
        for (const QString& line : lines)
            QVERIFY2(run.out.keyword.contains(line), qPrintable(line));
    }

    void manyKeywordsCountAsEachAlone() {
        // Past 4,000,000 keywords times region characters the count comes from one walk over the
        // region's words; every keyword's count must be what the plain search gives.
        QStringList words = {"alpha",      "Beta",     "GAMMA",       "caf\u00E9",   "CR\u00C8ME",
                             "na\u00EFve", "kelvin",   "sky",         "stra\u00DFe", "re-shoes",
                             "c++",        "e-mail",   "\"see the\"", "x_y",         "2024",
                             "tailw",      "tailword", "\u03A9mega",  "its"};
        for (int i = 0; words.size() < 2000; ++i)
            words.append(QStringLiteral("pad%1").arg(i));
        QString body = QStringLiteral(
            "alpha ALPHA Alpha, beta. (gamma) CAF\u00C9 caf\u00E9s cr\u00E8me na\u00CFve "
            "\u212Aelvin KELVIN \u017Fky SKY strasse STRA\u00DFE re-shoes shoes c++ e-mail "
            "email see the see  the x_y x 2024 20245 it's \u03C9mega \u2126mega pad7 pad7x ");
        while (body.size() < 4993)
            body += QStringLiteral("filler words pad12 alpha ");
        body =
            body.left(4993) + QStringLiteral(" tailword and more"); // the region ends after "tailw"
        QString content;
        for (const QString& w : words)
            content += (content.isEmpty() ? QString() : QStringLiteral(", ")) + w;
        const QByteArray bytes =
            page("<meta name=\"keywords\" content='" + content.toUtf8() + "'>", body.toUtf8());
        const QString text = QString::fromUtf8(bytes);
        const engine::BodyRegion region = engine::prepareBodyRegion(text, 5000);
        QVERIFY(region.wordCutAtEnd); // "tailw|ord"
        QVERIFY(qint64(words.size()) * region.text.size() > 4'000'000);

        Checker c;
        Run run;
        c.check(run, bytes, rules(QStringLiteral("bodychk=5000")), true);
        QStringList expected{"", "File = p.htm"};
        for (const QString& w : engine::splitCommaText(content))
            expected.append(QStringLiteral("%1 - %2 ")
                                .arg(w)
                                .arg(engine::countWholeWord(region.text, w, region.wordCutAtEnd)));
        QCOMPARE(run.out.keyword, expected);
        // An ASCII keyword matches ASCII letters only (not the Kelvin sign nor the long s), any
        // other keyword every case form; a word the region cuts is none.
        for (const char* line : {"kelvin - 1 ", "sky - 1 ", "\u03A9mega - 2 ", "tailw - 0 "})
            QVERIFY2(expected.contains(QString::fromUtf8(line)), line);
    }

    void numbersThatAreNot_data() {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<QStringList>("required");
        QTest::addColumn<QString>("named");
        QTest::newRow("bodychk") << "bodychk=abc" << QStringList() << "\"abc\" of \"bodychk\"";
        QTest::newRow("empty bodychk") << "bodychk=" << QStringList() << "\"\" of \"bodychk\"";
        QTest::newRow("keyword minimum")
            << "keywordsm=ten" << QStringList{"keywords"} << "\"ten\" of \"keywordsm\"";
        QTest::newRow("description maximum")
            << "description=2x" << QStringList{"description"} << "\"2x\" of \"description\"";
    }
    void numbersThatAreNot() {
        QFETCH(QString, rules);
        QFETCH(QStringList, required);
        QFETCH(QString, named);
        Checker c;
        Run run;
        run.grid.setNames(required);
        try {
            c.check(run,
                    page("<meta name=\"keywords\" content=\"a\"><meta name=\"description\" "
                         "content=\"d\">",
                         "a"),
                    enginetest::rules(rules));
            QFAIL("no error");
        } catch (const platform::EConvertError& e) {
            QVERIFY2(e.message().contains(named), qPrintable(e.message()));
        }
        // A length that no rule row needs is never converted.
        Run other;
        c.check(other, page("<meta name=\"a\" content=\"1\">", ""),
                enginetest::rules(QStringLiteral("keywordsm=ten;descriptionm=x")));
        QCOMPARE(other.out.passed, QStringList{"File = p.htm"});
    }

    void unreadablePageFile() {
        // Reported once by the load; each check writes its own error line with the same message.
        engine::PageState st;
        engine::RuleTable grid;
        engine::PaneOutput out;
        const QString missing = QStringLiteral("/nonexistent/temp.tgf");
        QStringList errors, policyLines;
        QList<engine::PageStep> steps;
        engine::PageHooks hooks;
        hooks.onError = [&](const QString& message, bool cannotOpen) {
            QVERIFY(cannotOpen);
            errors.append(message);
        };
        hooks.after = [&](engine::PageStep step) {
            steps.append(step);
            if (step == engine::PageStep::PolicyChecked) {
                policyLines = out.passed;
                out.clear();
            }
        };
        QVERIFY(!engine::checkPage(st, grid, rules(QString()), QStringLiteral("p.htm"), missing,
                                   out, {}, hooks));
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.at(0).contains(missing));
        QCOMPARE(policyLines.size(), 4);
        QCOMPARE(policyLines.at(0), QStringLiteral("  ERROR: Cannot Load Active File: "));
        QCOMPARE(policyLines.at(1), errors.at(0));
        QCOMPARE(policyLines.mid(2), (QStringList{"", "File = p.htm"}));
        QCOMPARE(out.passed,
                 (QStringList{"ERROR: Cannot Load Active File: red", errors.at(0), ""}));
        QCOMPARE(out.keyword, (QStringList{"", "File = p.htm"}));
        // No head pipeline for a page that was not read.
        using S = engine::PageStep;
        QCOMPARE(steps, (QList<S>{S::Loaded, S::PolicyChecked, S::KeywordsChecked}));

        // The window's single check ends there instead.
        hooks.loadErrorEnds = true;
        out.clear();
        QVERIFY_THROWS_EXCEPTION(platform::EFOpenError,
                                 engine::checkPage(st, grid, rules(QString()),
                                                   QStringLiteral("p.htm"), missing, out, {},
                                                   hooks));
        QVERIFY(out.isEmpty());
        QCOMPARE(errors.size(), 1);
    }

    void stepsInOrder() {
        // Every step is told once, in order, so that a window can paint and flush at each.
        Checker c;
        Run run;
        c.write("<html><head><title>T</title></head><body>x</body></html>");
        QList<engine::PageStep> steps;
        engine::PageHooks hooks;
        hooks.after = [&](engine::PageStep step) { steps.append(step); };
        engine::checkPage(run.st, run.grid, rules(QString()), QStringLiteral("p.htm"), c.file(),
                          run.out, {}, hooks);
        using S = engine::PageStep;
        QCOMPARE(steps, (QList<S>{S::Loaded, S::HeadExtracted, S::LineBreaksSet, S::MetaLinesSet,
                                  S::DescriptionAndKeywordsRead, S::RuleTableRead, S::PolicyChecked,
                                  S::KeywordsChecked}));
    }

    void badInput_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("no head or body") << QByteArray("just text, no markup");
        QTest::newRow("unclosed script")
            << QByteArray("<html><head><script>var a='</head>';<body>x");
        QTest::newRow("unclosed style and title")
            << QByteArray("<html><head><style><title>x<body>");
        QTest::newRow("end head missing") << QByteArray(
            "<html><head><title>T</title><meta name=\"author\" content=\"x\"><body>x</body>");
        static const char nul[] = "<html><head>\0<title>\0</title><meta name=\"keywords\" "
                                  "content=\"a\0b\"></head><body>\0a</body>";
        QTest::newRow("NUL bytes") << QByteArray(nul, sizeof(nul) - 1);
        QTest::newRow("invalid UTF-8")
            << QByteArray("<html><head><title>\xC0\xFF\xFE</title><meta name=\"keywords\" "
                          "content=\"caf\xE9\"></head><body>caf\xE9</body>");
        QTest::newRow("only markers") << QByteArray("<head></head><head><body><body></HEAD>");
        QTest::newRow("head after body")
            << QByteArray("<body>x</body><head><title>T</title></head>");
        QTest::newRow("unclosed quotes")
            << QByteArray("<html><head><meta name=\"keywords content='x></head><body>");
        QTest::newRow("many empty lines")
            << QByteArray("<html>") + QByteArray(20000, '\n') + "<head></head><body>";
    }
    void badInput() {
        QFETCH(QByteArray, page);
        Checker c;
        Run run;
        run.grid.setNames({"author"});
        c.check(run, page, rules(QStringLiteral("KeyReq=1;rsafe=1")));
        // One verdict for the page, in one of the two panes.
        const int verdicts = int(run.out.passed.count(QStringLiteral("File = p.htm")) +
                                 run.out.failed.count(QStringLiteral("File = p.htm")));
        QCOMPARE(verdicts, 1);
        QCOMPARE(run.out.keyword.mid(0, 2), (QStringList{"", "File = p.htm"}));
        QVERIFY(run.st.failed.isEmpty());
    }

    void emptyFileLines() {
        Checker c;
        Run run;
        c.check(run, QByteArray(), rules(QString()));
        QCOMPARE(run.out.failed,
                 (QStringList{"File p.htm", engine::kMissingBody, engine::kMissingHead,
                              engine::kMissingEndHead, "    File has no meta tags", ""}));
        QCOMPARE(run.out.passed, QStringList{"File = p.htm"});
        QCOMPARE(run.out.keyword, (QStringList{"", "File = p.htm", kHeading5000, ""}));
    }

    void largeHead() {
        // 5 MB of head in 20,000 lines: every step must stay linear.
        QByteArray head;
        for (int i = 0; i < 20000; ++i)
            head += "<meta name=\"m" + QByteArray::number(i) + "\" content=\"" +
                    QByteArray(220, 'c') + "\">\r\n";
        head += "<meta name=\"author\" content=\"Jo\">\r\n<meta name=\"keywords\" "
                "content=\"shoes\">\r\n";
        QVERIFY(head.size() > 4'500'000);
        Checker c;
        Run run;
        run.grid.setNames({"author"});
        c.check(run, page(head, "shoes"), rules(QString()));
        QCOMPARE(run.out.passed, QStringList{"File = p.htm"});
        QCOMPARE(run.grid.cell(1, 1), QStringLiteral("Jo"));
        QCOMPARE(run.out.keyword.last(), QStringLiteral("shoes - 1 "));
    }

    void longHeadGivesTheSamePanes() {
        // 300,000 head lines, each a tag of its own after the layout: the same panes as three.
        auto headOf = [](int lines) {
            QByteArray head = "<meta name=\"author\" content=\"Jo\">\r\n<meta name=\"keywords\" "
                              "content=\"shoes, socks\">\r\n";
            for (int i = 0; i < lines; ++i)
                head += "<br/>\r\n";
            return head + "<meta name=\"description\" content=\"Shoes\">\r\n";
        };
        const QByteArray longHead = headOf(300000);
        QVERIFY(longHead.size() > 2'000'000);
        Checker c;
        Run small, large;
        small.grid.setNames({"author", "description"});
        large.grid.setNames({"author", "description"});
        c.check(small, page(headOf(3), "shoes and socks"), rules(QString()));
        c.check(large, page(longHead, "shoes and socks"), rules(QString()));
        QCOMPARE(small.out.keyword, (QStringList{"", "File = p.htm", kPasses, "", kHeading5000, "",
                                                 "shoes - 1 ", "socks - 1 "}));
        QCOMPARE(large.out.passed, small.out.passed);
        QCOMPARE(large.out.failed, small.out.failed);
        QCOMPARE(large.out.keyword, small.out.keyword);
        QCOMPARE(large.grid.cell(1, 2), QStringLiteral("Shoes"));
    }

    void decodedPages() {
        // Lengths count characters: the same text in UTF-8 and Windows-1252 checks alike.
        Checker c;
        const QString kw = QStringLiteral("caf\u00E9, cr\u00E8me");
        for (const QByteArray& bytes : {kw.toUtf8(), QByteArray("caf\xE9, cr\xE8me")}) {
            Run run;
            run.grid.setNames({"keywords"});
            c.check(run, page("<meta name=\"keywords\" content=\"" + bytes + "\">", "caf\xC3\xA9"),
                    rules(QStringLiteral("keywords=11;keywordsm=11")));
            QCOMPARE(run.st.keywordsContent, kw);
            QCOMPARE(run.out.passed, QStringList{"File = p.htm"});
        }
    }
};

QTEST_GUILESS_MAIN(TestChecks)
#include "tst_checks.moc"
