#include "analysis/results/resultsfile.h"
#include "platform/errors.h"
#include "platform/textfile.h"

#include <QtTest>

class TestResultsFile : public QObject {
    Q_OBJECT
private slots:
    void split_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("passed");
        QTest::addColumn<QString>("failed");
        QTest::addColumn<QString>("keyword");
        const QString p =
            QStringLiteral("Listing of files that passed the checks.\r\nFile = a.htm\r\n");
        const QString f = QStringLiteral(
            "Listing of files that failed the checks.\r\n\r\nFile = b.htm\r\n    \r\n\r\n");
        const QString k = QStringLiteral("Keyword Check\r\nshoes - 2 \r\n");
        QTest::newRow("three parts") << p + f + k << p << f << k;
        QTest::newRow("empty") << QString() << QString() << QString() << QString();
        QTest::newRow("no failed heading: all passed, keyword lines too")
            << p + k << p + k << QString() << QString();
        QTest::newRow("no keyword heading: the rest is failed") << p + f << p << f << QString();
        // Only a "Keyword Check" after the failed heading starts the keyword part.
        QTest::newRow("keyword heading in the passed part")
            << QStringLiteral("Keyword Check seen\r\n") + f + k
            << QStringLiteral("Keyword Check seen\r\n") << f << k;
        // Typed into the failed pane, the text splits there, even inside a line.
        QTest::newRow("typed in the failed pane")
            << p +
                   QStringLiteral("Listing of files that failed the checks.\r\nnote: Keyword Check "
                                  "later\r\n") +
                   k
            << p << QStringLiteral("Listing of files that failed the checks.\r\nnote: ")
            << QStringLiteral("Keyword Check later\r\n") + k;
        QTest::newRow("case matters")
            << QStringLiteral("LISTING OF FILES THAT FAILED\r\nkeyword check\r\n")
            << QStringLiteral("LISTING OF FILES THAT FAILED\r\nkeyword check\r\n") << QString()
            << QString();
        QTest::newRow("heading inside a line")
            << QStringLiteral("xListing of files that failed") << QStringLiteral("x")
            << QStringLiteral("Listing of files that failed") << QString();
    }
    void split() {
        QFETCH(QString, text);
        QFETCH(QString, passed);
        QFETCH(QString, failed);
        QFETCH(QString, keyword);
        const results::PaneTexts parts = results::splitResults(text);
        QCOMPARE(parts.passed, passed);
        QCOMPARE(parts.failed, failed);
        QCOMPARE(parts.keyword, keyword);
    }

    void fileLines() {
        const QStringList passed{"P1", "File = a.htm"};
        const QStringList failed{"F1", ""};
        const QStringList keyword{"Keyword Check"};
        QCOMPARE(results::resultsFileLines(passed, failed, keyword),
                 (QStringList{"P1", "File = a.htm", "F1", "", "Keyword Check"}));
        QCOMPARE(results::allResultsLines(passed, failed, keyword),
                 (QStringList{"P1", "File = a.htm", "", "F1", "", "", "Keyword Check"}));
        QCOMPARE(results::allResultsLines({}, {}, {}), (QStringList{"", ""}));
    }

    // ANSI when it fits, UTF-8 with a byte-order mark when not; both read back unchanged, and so
    // does a file that older versions wrote in Windows-1252.
    void encodings() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("r.rls"));
        results::writeResultsFile(path, {QStringLiteral("caf\u00E9 \u201Cok\u201D"), QString()});
        QCOMPARE(platform::readFileBytes(path), QByteArray("caf\xE9 \x93ok\x94\r\n\r\n"));
        QCOMPARE(results::readResultsFile(path),
                 (QStringList{QStringLiteral("caf\u00E9 \u201Cok\u201D"), QString()}));

        results::writeResultsFile(path, {QStringLiteral("\u0444\u0430\u0439\u043B")});
        QCOMPARE(platform::readFileBytes(path),
                 QByteArray("\xEF\xBB\xBF\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\r\n"));
        QCOMPARE(results::readResultsFile(path),
                 (QStringList{QStringLiteral("\u0444\u0430\u0439\u043B")}));

        results::writeResultsFile(path, {});
        QCOMPARE(platform::readFileBytes(path), QByteArray());
    }

    void failures() {
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(platform::EFOpenError, results::readResultsFile(dir.filePath(
                                                            QStringLiteral("none.rls"))));
        QVERIFY_THROWS_EXCEPTION(platform::EFOpenError, results::readResultsFile(dir.path()));
        QVERIFY_THROWS_EXCEPTION(
            platform::EFCreateError,
            results::writeResultsFile(dir.filePath(QStringLiteral("no/such/r.rls")), {"x"}));
    }
};

QTEST_GUILESS_MAIN(TestResultsFile)
#include "tst_resultsfile.moc"
