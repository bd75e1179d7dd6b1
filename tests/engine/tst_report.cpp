#include "analysis/engine/report.h"
#include "platform/textfile.h"

#include <QtTest>

class TestReport : public QObject {
    Q_OBJECT
private slots:
    void head() {
        const QStringList head = engine::reportHead(QStringLiteral("/home/ann/quill mark/"));
        QCOMPARE(head.size(), 18);
        QCOMPARE(head.first(), QStringLiteral("<html>"));
        QCOMPARE(
            head.at(3),
            QStringLiteral(
                "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"));
        QCOMPARE(head.at(8), QStringLiteral("</HEAD>"));
        QCOMPARE(
            head.at(10),
            QStringLiteral(
                "<p><img border=\"0\" src=\"file:///home/ann/quill%20mark/dorazo/logo22-gif.gif\" "
                "align=\"right\" alt=\"Varnholt Logo\" >"));
        QCOMPARE(head.at(14), QStringLiteral("pages.  Additionally, the report will help you to "
                                             "determine if your pages follow company policy."));
        QCOMPARE(head.last(), QStringLiteral("</font></p>"));
    }

    void sections() {
        const QStringList failed{"Listing of files that failed the checks.", "", "File = a.htm",
                                 "Missing '</HEAD>' Tag"};
        const QStringList body =
            engine::reportBody(failed, {"p"}, {"Keyword Check"}, QStringLiteral("5000"));
        // Section One: four pane lines between its fifth and seventh line, escaped.
        QCOMPARE(body.at(4), QStringLiteral("<br>"));
        QCOMPARE(body.mid(5, 4),
                 (QStringList{"Listing of files that failed the checks.<br>", "<br>",
                              "File = a.htm<br>", "Missing '&lt;/HEAD&gt;' Tag<br>"}));
        QCOMPARE(body.at(9), QStringLiteral("</font></p>"));
        QCOMPARE(body.at(15), QStringLiteral("p<br>"));
        const int three =
            int(body.indexOf(QStringLiteral("<p><font size=\"3\" face=\"Verdana\"><b>Section Three "
                                            "- Keyword Density and Spam</b></p>")));
        QCOMPARE(three, 17);
        QCOMPARE(body.at(three + 3),
                 QStringLiteral(
                     "The keyword density check is used to verify that the keywords are found in"));
        QCOMPARE(
            body.at(three + 7),
            QStringLiteral(
                "usually just the first 5000 characters into the body and by default that is"));
        QCOMPARE(body.at(three + 19), QStringLiteral("Keyword Check<br>"));
        QCOMPARE(body.last(), QStringLiteral("</font></p>"));
        QCOMPARE(body.size(), three + 21);
    }

    void browserView() {
        const QStringList body = engine::browserViewBody({}, {}, {}, QStringLiteral("2000"));
        const int three =
            int(body.indexOf(QStringLiteral("<p><font size=\"3\" face=\"Verdana\"><b>Section Three "
                                            "- Keyword Density and Spam</b></p>")));
        QCOMPARE(
            body.at(three + 3),
            QStringLiteral(
                "The key word density check is used to verify that the keywords are found in"));
        QCOMPARE(body.at(three + 5),
                 QStringLiteral(
                     "document is defined as the text found between the <body> and </body> HTML"));
        QCOMPARE(
            body.at(three + 7),
            QStringLiteral(
                "usually just the first 7500 characters into the body and by default that is"));
        QCOMPARE(body.at(three + 11),
                 QStringLiteral("the number of times they occur in the first 2000 characters of"));
        QCOMPARE(body.at(three + 15),
                 QStringLiteral("first 7500-characters in the body of the document.</p>"));
    }

    void file() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("temp.html"));
        engine::writeReport(path, {QStringLiteral("caf\u00E9 \u0444"),
                                   engine::escapeHtml(QStringLiteral("</title><script>\"&"))});
        QCOMPARE(platform::readFileBytes(path),
                 QByteArray("caf\xE9 &#1092;\r\n&lt;/title&gt;&lt;script&gt;&quot;&amp;\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
