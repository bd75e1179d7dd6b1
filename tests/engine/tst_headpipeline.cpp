#include "enginetest.h"

#include "analysis/engine/tagreading.h"

using namespace enginetest;

class TestHeadPipeline : public QObject {
    Q_OBJECT
private slots:
    void layout_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QStringList>("lines"); // the working copy after the pipeline
        QTest::addColumn<QString>("headTag");
        QTest::addColumn<QStringList>("pending"); // head-problem lines waiting for the entry
        QTest::addColumn<QStringList>("failedPane");

        QTest::newRow("one-line page ends as five lines")
            << QByteArray("<html><head><title>Shop</title><meta name=\"keywords\" content=\"a, "
                          "b\"></head><body>x</body></html>")
            << QStringList{"<html>",
                           "<head>",
                           "<title>Shop</title>",
                           "<meta name=\"keywords\" content=\"a, b\">",
                           "</head>",
                           ""}
            << "<HEAD>" << QStringList() << QStringList();
        QTest::newRow("XHTML head tag stays the page's own")
            << QByteArray("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                          "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
                          "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head "
                          "profile=\"p\"><title>X</title>\n"
                          "<meta name=\"author\" content=\"Jo\" /></head><body></body></html>")
            << QStringList{"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                           "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">",
                           "<html xmlns=\"http://www.w3.org/1999/xhtml\">",
                           "<head profile=\"p\">",
                           "<title>X</title>",
                           "<meta name=\"author\" content=\"Jo\" />",
                           "</head>",
                           ""}
            << "<head profile=\"p\">" << QStringList() << QStringList();
        QTest::newRow("PICS labels first, the last one on top")
            << QByteArray("<html>\r\n<head>\r\n<title>T</title>\r\n<meta http-equiv=\"PICS-Label\" "
                          "content='x'>\r\n"
                          "<meta name=\"a\" content=\"1\">\r\n<link rel=\"x\">\r\n<meta "
                          "http-equiv=\"PICS-Label\" content='y'>\r\n"
                          "</head>\r\n<body></body></html>")
            << QStringList{"<html>",
                           "<head>",
                           "<title>T</title>",
                           "<meta http-equiv=\"PICS-Label\" content='y'>",
                           "<meta http-equiv=\"PICS-Label\" content='x'>",
                           "<meta name=\"a\" content=\"1\">",
                           "<link rel=\"x\">",
                           "</head>"}
            << "<HEAD>" << QStringList() << QStringList();
        QTest::newRow("missing title gets the placeholder, no problem line")
            << QByteArray("<html><head><meta name=\"a\" content=\"1\"></head><body></body></html>")
            << QStringList{"<html>",
                           "<head>",
                           "<title>Title Missing - Fernlet</title>",
                           "<meta name=\"a\" content=\"1\">",
                           "</head>",
                           ""}
            << "<HEAD>" << QStringList() << QStringList();
        QTest::newRow("empty title gives one problem line")
            << QByteArray("<html><head><title></title></head><body></body></html>")
            << QStringList{"<html>", "<head>", "<title>", "</title>", "</head>", ""} << "<HEAD>"
            << QStringList{engine::kEmptyTitle} << QStringList();
        QTest::newRow("blanks around equals signs and after <meta")
            << QByteArray("<html><head><title>T</title>\n<meta  name = \"keywords\" content = "
                          "\"x\">\n<meta name=\"a\"  content=\"b\">\n</head><body>")
            << QStringList{"<html>",
                           "<head>",
                           "<title>T</title>",
                           "<meta name=\"keywords\" content=\"x\">",
                           "<meta name=\"a\"  content=\"b\">",
                           "</head>"}
            << "<HEAD>" << QStringList() << QStringList();
        QTest::newRow("script lines keep their place, unjoined")
            << QByteArray("<html>\n<head>\n<title>T</title>\n<script>\nvar a = "
                          "1;\n</script>\n<meta name=\"a\" content=\"1\">\n</head>\n<body>")
            << QStringList{"<html>",           "<head>",
                           "<title>T</title>", "<meta name=\"a\" content=\"1\">",
                           "<script>",         "var a = 1;",
                           "</script>",        "</head>"}
            << "<HEAD>" << QStringList() << QStringList();
        QTest::newRow("no body or frameset in any case")
            << QByteArray("<html><head><title>T</title></head></html>")
            << QStringList{"<html>", "<head>", "<title>T</title>", "</head>", "</html>"} << "<head>"
            << QStringList{engine::kMissingBody} << QStringList();
        QTest::newRow("unended title goes straight to the failed pane")
            << QByteArray("<html><head><title>Shop</head><body>")
            << QStringList{"<html>", "<head>", "<title>Shop", "</head>", ""} << "<HEAD>"
            << QStringList() << QStringList{engine::kTitleNotEnded};
        QTest::newRow("another tag inside the title")
            << QByteArray("<html><head><title>A<b>B</b></title></head><body>")
            << QStringList{"<html>", "<head>", "<title>A<b>B</b>", "</title>", "</head>", ""}
            << "<HEAD>" << QStringList() << QStringList{engine::kTitleTagInside};
        QTest::newRow("unclosed script and style")
            << QByteArray("<html><head><title>T</title><style>p{}<script>x</head><body>")
            << QStringList{"<html>",  "<head>", "<title>T</title>", "<style>p{}", "<script>x",
                           "</head>", ""}
            << "<HEAD>" << QStringList{engine::kMissingEndScript, engine::kMissingEndStyle}
            << QStringList();
    }
    void layout() {
        QFETCH(QByteArray, page);
        QFETCH(QStringList, lines);
        QFETCH(QString, headTag);
        QFETCH(QStringList, pending);
        QFETCH(QStringList, failedPane);
        Checker c;
        Run run;
        c.check(run, page, rules(QString()), false, true);
        QCOMPARE(run.st.workingCopy.lines(), lines);
        QCOMPARE(run.st.headTag, headTag);
        QCOMPARE(run.st.failed, pending);
        QCOMPARE(run.out.failed, failedPane);
    }

    void tagReading_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QStringList>("required");
        QTest::addColumn<QStringList>("values"); // column 1 of the rule table
        QTest::addColumn<QString>("keywords");
        QTest::addColumn<QString>("description");
        QTest::newRow("plain") << QByteArray("<meta name=\"keywords\" content=\"web, shop\"><meta "
                                             "name=\"description\" content=\"A shop\">")
                               << QStringList{"keywords", "Author "} << QStringList{"web, shop", ""}
                               << "web, shop"
                               << "A shop";
        QTest::newRow("capitals") << QByteArray("<META NAME=\"KEYWORDS\" CONTENT=\"A\">")
                                  << QStringList{"keywords"} << QStringList{"A"} << "A"
                                  << "";
        QTest::newRow("empty content stores nothing")
            << QByteArray("<meta name=\"keywords\" content=\"\">") << QStringList{"keywords"}
            << QStringList{""} << ""
            << "";
        QTest::newRow("no content attribute: the tag counts as missing")
            << QByteArray("<meta name=\"keywords\">") << QStringList{"keywords"} << QStringList{""}
            << ""
            << "";
        QTest::newRow("trimmed, lower-cased row name")
            << QByteArray("<meta name=\"author\" content=\"Jo\">") << QStringList{"Author "}
            << QStringList{"Jo"} << ""
            << "";
        QTest::newRow("only a link line holds the name")
            << QByteArray("<link rel=\"keywords\" href=\"k\">") << QStringList{"keywords"}
            << QStringList{""} << ""
            << "";
        QTest::newRow("the description hides the keywords tag")
            << QByteArray("<meta name=\"description\" content='our \"keywords\" page'><meta "
                          "name=\"keywords\" content=\"a, b\">")
            << QStringList{"keywords"} << QStringList{""} << "our \"keywords\" page"
            << "our \"keywords\" page";
        QTest::newRow("first line holding the quoted name decides")
            << QByteArray("<meta name=\"x\" content='the \"description\"'><meta "
                          "name=\"description\" content=\"later\">")
            << QStringList{"description"} << QStringList{""} << ""
            << "";
        QTest::newRow("a quoted name in another tag's content decides")
            << QByteArray("<meta name=\"x\" content='\"author\" first'><meta name=\"AUTHOR\" "
                          "content=\"Jo\">")
            << QStringList{"Author"} << QStringList{""} << ""
            << "";
        QTest::newRow("content before name is never matched")
            << QByteArray("<meta content=\"x\" name=\"author\">") << QStringList{"author"}
            << QStringList{""} << ""
            << "";
        QTest::newRow("XHTML close reads like >")
            << QByteArray("<meta name=\"author\" content=\"Jo\" />") << QStringList{"author"}
            << QStringList{"Jo"} << ""
            << "";
    }
    void tagReading() {
        QFETCH(QByteArray, head);
        QFETCH(QStringList, required);
        QFETCH(QStringList, values);
        QFETCH(QString, keywords);
        QFETCH(QString, description);
        Checker c;
        Run run;
        run.grid.setNames(required);
        c.check(run, "<html><head><title>T</title>" + head + "</head><body></body></html>",
                rules(QString()), false, true);
        QStringList col1;
        for (int r = 1; r < run.grid.rowCount(); ++r)
            col1.append(run.grid.cell(1, r));
        QCOMPARE(col1, values);
        QCOMPARE(run.st.keywordsContent, keywords);
        QCOMPARE(run.st.descriptionContent, description);
    }

    void longRequiredList() {
        // More than a handful of names: the same results through the index of quoted names.
        QStringList names;
        for (int i = 0; i < 30; ++i)
            names.append(QStringLiteral("tag%1").arg(i));
        names << "Author"
              << "keywords"
              << "tag7"
              << "description";
        Checker c;
        Run run;
        run.grid.setNames(names);
        c.check(run,
                "<html><head><title>T</title><meta name=\"x\" content='\"author\" first'>"
                "<meta name=\"AUTHOR\" content=\"Jo\"><meta name=\"tag7\" content=\"seven\">"
                "<meta name=\"description\" content='the \"keywords\" page'><meta "
                "name=\"keywords\" content=\"a\">"
                "<meta name=\"tag3\" content=\"\"><meta name=CONTENT=\"tag4\"><meta name=\"tag4\" "
                "content=\"four\">"
                "</head><body></body></html>",
                rules(QString()), false, true);
        QStringList col1;
        for (int r = 1; r < run.grid.rowCount(); ++r)
            col1.append(run.grid.cell(1, r));
        QStringList expected(30, QString());
        expected[4] = QStringLiteral("four"); // after a line that is no valid meta tag
        expected[7] = QStringLiteral("seven");
        expected << ""
                 << ""
                 << "seven"
                 << "the \"keywords\" page";
        QCOMPARE(col1, expected);
    }

    void headWithoutEndHeadLineHasNoValues() {
        Checker c;
        Run run;
        run.grid.setNames({"author"});
        c.check(run,
                "<html><head><title>T</title><meta name=\"author\" "
                "content=\"Jo\"></head><body></body></html>",
                rules(QString()), false, true);
        QCOMPARE(run.grid.cell(1, 1), QStringLiteral("Jo"));
        c.check(
            run,
            "<html><head><title>T</title><meta name=\"author\" content=\"Jo\"><body></body></html>",
            rules(QString()), false, true);
        QCOMPARE(run.grid.cell(1, 1), QString()); // never left from the page before
        QCOMPARE(run.st.failed, (QStringList{engine::kMissingEndHead, engine::kMissingEndHead}));
    }

    void tagListsByMode() {
        engine::RuleTable grid;
        grid.setNames({"Author", "", " KEYWORDS"});
        QStringList list;
        engine::BuildTagList(list, engine::TagReading::DescriptionAndKeywords, grid,
                             rules(QString()));
        QCOMPARE(list, (QStringList{"Description=", "keywords="}));
        engine::BuildTagList(list, engine::TagReading::RuleTable, grid,
                             rules(QStringLiteral("KeyReq=1;Rating=1;DescReq=yes")));
        QCOMPARE(list, (QStringList{"author=", "keywords=", "rating="}));
    }

    void parseMetaTag_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("content");
        QTest::newRow("keywords") << "<meta name=\"keywords\" content=\"web, shop\">"
                                  << "keywords"
                                  << "web, shop";
        QTest::newRow("PICS label")
            << "<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 \"http://x\" l r (s 0))'>"
            << "PICS-Label"
            << "(PICS-1.1 \"http://x\" l r (s 0))";
        QTest::newRow("surrounding blanks") << "  <meta name=\"a\" content=\"b\">  "
                                            << "a"
                                            << "b";
        QTest::newRow("no equals sign at all") << "<meta keywords>"
                                               << ""
                                               << "yword";
    }
    void parseMetaTag() {
        QFETCH(QString, line);
        QFETCH(QString, name);
        QFETCH(QString, content);
        const engine::MetaTag tag = engine::ParseMetaTag(line, true);
        QCOMPARE(tag.name, name);
        QCOMPARE(tag.content, content);
    }
    void invalidMetaTags() {
        for (const char* line :
             {"<link rel=\"x\">", "<meta =\"x\">", "<meta name=CONTENT=\"x\">", ""})
            QVERIFY_THROWS_EXCEPTION(engine::EInvalidMetaTag,
                                     engine::ParseMetaTag(QLatin1String(line), true));
    }

    void utilities() {
        using engine::ExtractBetween;
        QCOMPARE(ExtractBetween("a<Head x>b", "<HEAD", ">", false, true)->text,
                 QStringLiteral("<Head x>"));
        QCOMPARE(ExtractBetween("a<Head x>b", "<HEAD", ">", false, false)->text,
                 QStringLiteral(" x"));
        QVERIFY(!ExtractBetween("a<Head x>b", "<HEAD", ">", true, true));
        QCOMPARE(ExtractBetween("abc", "b", "", false, false)->text, QStringLiteral("c"));
        QVERIFY(!ExtractBetween("", "", "", false, false));
        QCOMPARE(engine::RemoveBetween("x<HEAD a>y", "<head", ">"), QStringLiteral("xy"));
        QCOMPARE(engine::RemoveBetween("x<HEAD a", "<head", ">"), QStringLiteral("x<HEAD a"));
        QVERIFY(engine::IsXHTMLDocument(
            "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\">"));
        QVERIFY(!engine::IsXHTMLDocument("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">"));
        QVERIFY(!engine::IsXHTMLDocument("<html>"));
    }

    void lineBreaks() {
        engine::PageState st;
        st.workingCopy.setText(QStringLiteral("a\nb\rc\r\nd\n\re"));
        engine::SetCRLFLineBreaks(st);
        QCOMPARE(st.workingCopy.text(), QStringLiteral("a\r\nb\r\nc\r\nd\r\n\r\ne"));
    }
};

QTEST_GUILESS_MAIN(TestHeadPipeline)
#include "tst_headpipeline.moc"
