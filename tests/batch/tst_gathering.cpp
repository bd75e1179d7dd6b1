#include "analysis/batch/gathering.h"

#include <QMap>
#include <QtTest>

using Listings = QMap<QString, QStringList>;
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
                         {"index.HTM", "c.php", "a.Shtml", "d.txt", "b.ASP", "noextension", "",
                          "x.shtm", "y.html"}}}
            << QStringList{"a.Shtml", "b.ASP", "index.HTM", "x.shtm", "y.html"} << QStringList{""};
        QTest::newRow("result pages")
            << QStringList{root}
            << Listings{{"",
                         {"result.htm", "Results2.HTM", "result.html", "resultlist.asp",
                          "old/result.htm"}}}
            << QStringList{"old/result.htm", "result.html", "resultlist.asp"} << QStringList{""};
        QTest::newRow("twice and in two cases")
            << QStringList{"shop"}
            << Listings{{"shop", {"shop/a.htm", "shop/a.htm", "shop/A.HTM", "shop/b.htm"}}}
            << QStringList{"shop/a.htm", "shop/b.htm"} << QStringList{"shop"};
        QTest::newRow("sorted whatever the listing's order")
            << QStringList{root}
            << Listings{{"", {"zebra.htm", "Mango.htm", "apple.htm", "APPLE.html"}}}
            << QStringList{"apple.htm", "APPLE.html", "Mango.htm", "zebra.htm"} << QStringList{""};
        QTest::newRow("root entry in another case is a folder name")
            << QStringList{"web root directory", "WEB ROOT DIRECTORY"}
            << Listings{{"web root directory", {"w.htm"}}} << QStringList{"w.htm"}
            << QStringList{"web root directory", "WEB ROOT DIRECTORY"};
        QTest::newRow("not de-duplicated across folders")
            << QStringList{root, "a", root}
            << Listings{{"", {"i.htm"}}, {"a", {"a/i.htm", "a/I.htm"}}}
            << QStringList{"a/i.htm", "i.htm", "i.htm"} << QStringList{"", "a", ""};
        QTest::newRow("no folders")
            << QStringList{} << Listings{} << QStringList{} << QStringList{};
        QTest::newRow("no pages") << QStringList{root} << Listings{{"", {"notes.txt", "style.css"}}}
                                  << QStringList{} << QStringList{""};
    }
    void rows() {
        QFETCH(QStringList, folders);
        QFETCH(Listings, listings);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, asked);
        QStringList seen;
        QStringList folderListing;
        QStringList got = batch::gatherRows(
            folders,
            [&](const QString& f) {
                seen.append(f);
                return webhost::PageListing{listings.value(f), {}};
            },
            folderListing);
        batch::sortRows(got);
        QCOMPARE(got, rows);
        QCOMPARE(seen, asked);
    }

    void listingErrorsAreNotCaught() {
        QStringList folderListing;
        QVERIFY_THROWS_EXCEPTION(
            std::runtime_error,
            batch::gatherRows(
                {batch::kWebRootEntry},
                [](const QString&) -> webhost::PageListing { throw std::runtime_error("host"); },
                folderListing));
    }

    // Names the host could not list are kept where they would have been rows, folders always,
    // each with its folder named.
    void unlistedNames() {
        const QList<webhost::UnlistedName> names{{"shop", "a?b.htm", "r", false},
                                                 {"shop", "notes?.txt", "r", false},
                                                 {"shop", "result?.htm", "r", false},
                                                 {"", "old?", "its name is odd", true}};
        QStringList folderListing;
        QList<webhost::UnlistedName> unlisted;
        const QStringList rows = batch::gatherRows(
            {"shop"},
            [&](const QString&) {
                return webhost::PageListing{{"shop/c.htm"}, names};
            },
            folderListing, &unlisted);
        QCOMPARE(rows, QStringList{"shop/c.htm"});
        QStringList messages;
        for (const webhost::UnlistedName& u : unlisted)
            messages.append(batch::unlistedMessage(u));
        QCOMPARE(messages, (QStringList{"The page a?b.htm in the folder shop cannot be checked: r.",
                                        "The folder old? in the folder Web Root Directory cannot "
                                        "be listed: its name is odd."}));
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
