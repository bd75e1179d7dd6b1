#include "analysis/batch/gathering.h"

#include <QMap>
#include <QtTest>

using Listings = QMap<QString, QString>;
Q_DECLARE_METATYPE(Listings)

class TestGathering : public QObject {
    Q_OBJECT

private slots:
    // The folder list, what the host lists for each folder, the rows of the selection dialog
    // (in its order) and the folders the host was asked for.
    void rows_data() {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<Listings>("listings");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("asked");
        const QString root = batch::kWebRootEntry;

        QTest::newRow("page types")
            << QStringList{root}
            << Listings{{"",
                         "index.HTM\nc.php\na.Shtml\nd.txt\nb.ASP\nnoextension\n\nx.shtm\ny.html"}}
            << QStringList{"a.Shtml", "b.ASP", "index.HTM", "x.shtm", "y.html"} << QStringList{""};
        QTest::newRow("result pages")
            << QStringList{root}
            << Listings{{"", "result.htm\r\nResults2.HTM\r\nresult.html\r\nresultlist.asp\r\nold/"
                             "result.htm"}}
            << QStringList{"old/result.htm", "result.html", "resultlist.asp"} << QStringList{""};
        QTest::newRow("twice and in two cases")
            << QStringList{"shop"}
            << Listings{{"shop", "shop/a.htm\rshop/a.htm\r\nshop/A.HTM\nshop/b.htm"}}
            << QStringList{"shop/a.htm", "shop/b.htm"} << QStringList{"shop"};
        QTest::newRow("sorted whatever the listing's order")
            << QStringList{root} << Listings{{"", "zebra.htm\nMango.htm\napple.htm\nAPPLE.html"}}
            << QStringList{"apple.htm", "APPLE.html", "Mango.htm", "zebra.htm"} << QStringList{""};
        QTest::newRow("root entry in another case is a folder name")
            << QStringList{"web root directory", "WEB ROOT DIRECTORY"}
            << Listings{{"web root directory", "w.htm"}} << QStringList{"w.htm"}
            << QStringList{"web root directory", "WEB ROOT DIRECTORY"};
        QTest::newRow("not de-duplicated across folders")
            << QStringList{root, "a", root} << Listings{{"", "i.htm"}, {"a", "a/i.htm\na/I.htm"}}
            << QStringList{"a/i.htm", "i.htm", "i.htm"} << QStringList{"", "a", ""};
        QTest::newRow("no folders")
            << QStringList{} << Listings{} << QStringList{} << QStringList{};
        QTest::newRow("no pages") << QStringList{root} << Listings{{"", "notes.txt\nstyle.css\n"}}
                                  << QStringList{} << QStringList{""};
    }
    void rows() {
        QFETCH(QStringList, folders);
        QFETCH(Listings, listings);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, asked);
        QStringList seen;
        QStringList batchget;
        QStringList got = batch::gatherRows(
            folders,
            [&](const QString& f) {
                seen.append(f);
                return listings.value(f);
            },
            batchget);
        batch::sortRows(got);
        QCOMPARE(got, rows);
        QCOMPARE(seen, asked);
    }

    void listingErrorsAreNotCaught() {
        QStringList batchget;
        QVERIFY_THROWS_EXCEPTION(
            std::runtime_error,
            batch::gatherRows(
                {batch::kWebRootEntry},
                [](const QString&) -> QString { throw std::runtime_error("host"); }, batchget));
    }

    void folderEntries() {
        QCOMPARE(batch::listingFolder(QStringLiteral("Web Root Directory")), QString());
        QCOMPARE(batch::listingFolder(QStringLiteral("Web root directory")),
                 QStringLiteral("Web root directory"));
        QCOMPARE(batch::folderEntry(QStringLiteral("shop/old")), QStringLiteral("shop/old"));
        // A folder of the web that bears the root entry's name must not be taken for the root.
        QCOMPARE(batch::listingFolder(batch::folderEntry(QStringLiteral("Web Root Directory"))),
                 QStringLiteral("Web Root Directory/"));
    }
};

QTEST_APPLESS_MAIN(TestGathering)
#include "tst_gathering.moc"
