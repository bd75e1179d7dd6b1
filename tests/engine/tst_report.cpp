#include "analysis/engine/report.h"
#include "analysis/engine/workfiles.h"
#include "platform/errors.h"
#include "platform/textfile.h"

#include <QDir>

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

    // A report that carries its logo has the head of the window's report with only the picture's
    // source changed; without a picture the head keeps its 18 lines.
    void headWithLogo() {
        const QStringList window = engine::reportHead(QStringLiteral("/data/"));
        const QStringList carried = engine::reportHeadWithLogo(QStringLiteral("data:image/gif;x"));
        QCOMPARE(carried.size(), window.size());
        for (int i = 0; i < window.size(); ++i)
            if (i != 10)
                QCOMPARE(carried.at(i), window.at(i));
        QCOMPARE(carried.at(10), QString(window.at(10))
                                     .replace(QStringLiteral("file:///data/dorazo/logo22-gif.gif"),
                                              QStringLiteral("data:image/gif;x")));
        const QStringList none = engine::reportHeadWithLogo(QString());
        QCOMPARE(none.size(), 18);
        QCOMPARE(none.at(10), QStringLiteral("<p>"));
    }

    // The logo's bytes tell its type; what is no picture or cannot be read is refused.
    void logoDataUrl_data() {
        QTest::addColumn<QByteArray>("bytes"); // empty: no logo file at all
        QTest::addColumn<QString>("type");     // empty: refused
        QTest::newRow("gif") << QByteArray("GIF89a\x60\0\x28\0\xF7\0\0", 13) << "image/gif";
        QTest::newRow("old gif") << QByteArray("GIF87a\1\0\1\0", 10) << "image/gif";
        QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) << "image/png";
        QTest::newRow("jpeg") << QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF") << "image/jpeg";
        QTest::newRow("html named .gif") << QByteArray("<html>not a picture</html>") << "";
        QTest::newRow("empty file") << QByteArray("", 0) << "";
        QTest::newRow("missing") << QByteArray() << "";
    }
    void logoDataUrl() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, type);
        QTemporaryDir dir;
        const QString logo = dir.filePath(engine::kLogoFile);
        if (!bytes.isNull()) {
            QVERIFY(QDir().mkpath(QFileInfo(logo).path()));
            platform::writeFileAtomically(logo, bytes);
        }
        if (type.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(platform::EFOpenError, engine::logoDataUrl(dir.path()));
            return;
        }
        const QString url = engine::logoDataUrl(dir.path());
        const QString prefix = QStringLiteral("data:") + type + QStringLiteral(";base64,");
        QVERIFY2(url.startsWith(prefix), qPrintable(url));
        QCOMPARE(QByteArray::fromBase64(url.mid(prefix.size()).toLatin1(),
                                        QByteArray::AbortOnBase64DecodingErrors),
                 bytes);
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
