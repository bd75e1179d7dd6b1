#include "updater/ftp/ftplisting.h"
#include "updater/ftp/ineterrors.h"

#include <QtTest>

using namespace ftp;

class TestFtpListing : public QObject {
    Q_OBJECT
private slots:
    void lines_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("isDir");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        // today is 10 March 2026 for every row
        QTest::newRow("unix file with year")
            << "-rw-r--r--   1 owner group     1234 Jan 05  2021 a.txt" << true << "a.txt" << false
            << qint64(1234) << "05/01/2021"
            << "00:00:00";
        QTest::newRow("unix no year, earlier this year")
            << "-rw-r--r-- 1 u g 7 Feb 28 12:34 b c.zip" << true << "b c.zip" << false << qint64(7)
            << "28/02/2026"
            << "12:34:00";
        QTest::newRow("unix no year, later month is last year")
            << "-rw-r--r-- 1 u g 7 Dec 24 23:59 old.txt" << true << "old.txt" << false << qint64(7)
            << "24/12/2025"
            << "23:59:00";
        QTest::newRow("unix tomorrow counts as this year")
            << "-rw-r--r-- 1 u g 7 Mar 11 01:00 tz.txt" << true << "tz.txt" << false << qint64(7)
            << "11/03/2026"
            << "01:00:00";
        QTest::newRow("unix directory, no group")
            << "drwxr-xr-x 2 owner 4096 Mar 01 2024 sub" << true << "sub" << true << qint64(4096)
            << "01/03/2024"
            << "00:00:00";
        QTest::newRow("unix link keeps its own name")
            << "lrwxrwxrwx 1 u g 11 Jan 01 2020 cur -> releases/5" << true << "cur" << false
            << qint64(11) << "01/01/2020"
            << "00:00:00";
        QTest::newRow("unix over 4 GB") << "-rw-r--r-- 1 u g 5000000000 Jan 01 2020 big.iso" << true
                                        << "big.iso" << false << qint64(5000000000) << "01/01/2020"
                                        << "00:00:00";
        QTest::newRow("dos directory, pm")
            << "01-05-23  12:34PM       <DIR>          Program Files" << true << "Program Files"
            << true << qint64(0) << "05/01/2023"
            << "12:34:00";
        QTest::newRow("dos file, am, four-digit year")
            << "11-30-1999  01:02AM   1234 setup.exe" << true << "setup.exe" << false
            << qint64(1234) << "30/11/1999"
            << "01:02:00";
        QTest::newRow("dos 12 am is midnight")
            << "02-03-24  12:00AM 5 n.txt" << true << "n.txt" << false << qint64(5) << "03/02/2024"
            << "00:00:00";
        QTest::newRow("dos 24 h") << "02-03-2024  17:45 9 n.txt" << true << "n.txt" << false
                                  << qint64(9) << "03/02/2024"
                                  << "17:45:00";
        QTest::newRow("total line") << "total 12" << false << "" << false << qint64(0) << ""
                                    << "";
        QTest::newRow("garbage") << "this is not a listing line" << false << "" << false
                                 << qint64(0) << ""
                                 << "";
        QTest::newRow("bad month")
            << "-rw-r--r-- 1 u g 7 Foo 28 12:34 x" << false << "" << false << qint64(0) << ""
            << "";
        QTest::newRow("bad time") << "-rw-r--r-- 1 u g 7 Feb 28 99:99 x" << false << "" << false
                                  << qint64(0) << ""
                                  << "";
        QTest::newRow("bad dos date")
            << "13-45-23  12:34PM 5 x" << false << "" << false << qint64(0) << ""
            << "";
        QTest::newRow("empty") << "" << false << "" << false << qint64(0) << ""
                               << "";
    }
    void lines() {
        QFETCH(QString, line);
        QFETCH(bool, ok);
        ListEntry e;
        QCOMPARE(parseListLine(line, e, QDate(2026, 3, 10)), ok);
        if (!ok)
            return;
        QTEST(e.name, "name");
        QTEST(e.isDir, "isDir");
        QTEST(e.size, "size");
        QTEST(e.date, "date");
        QTEST(e.time, "time");
    }

    void masks_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<bool>("match");
        QTest::newRow("empty mask") << "x"
                                    << "" << true;
        QTest::newRow("star dot star, no dot") << "README"
                                               << "*.*" << true;
        QTest::newRow("exact") << "tw-5.1.pkg"
                               << "tw-5.1.pkg" << true;
        QTest::newRow("exact other case") << "TW-5.1.PKG"
                                          << "tw-5.1.pkg" << true;
        QTest::newRow("exact differs") << "tw-5.1.pkg2"
                                       << "tw-5.1.pkg" << false;
        QTest::newRow("suffix") << "a.txt"
                                << "*.txt" << true;
        QTest::newRow("suffix no") << "a.dat"
                                   << "*.txt" << false;
        QTest::newRow("question") << "a1.txt"
                                  << "a?.txt" << true;
        QTest::newRow("question needs one") << "a.txt"
                                            << "a?.txt" << false;
        QTest::newRow("backtracking") << "abcabcx"
                                      << "*abc*x" << true;
        QTest::newRow("name.* matches name") << "setup"
                                             << "setup.*" << true;
    }
    void masks() {
        QFETCH(QString, name);
        QFETCH(QString, mask);
        QTEST(matchesMask(name, mask), "match");
    }

    // The table names every code of its 76 rows and no other.
    void errorTable() {
        QList<int> codes;
        for (int c = 12001; c <= 12034; ++c)
            codes << c;
        for (int c = 12036; c <= 12050; ++c)
            codes << c;
        codes << 12052 << 12053 << 12110 << 12111 << 12112;
        for (int c = 12150; c <= 12171; ++c)
            codes << c;
        QCOMPARE(codes.size(), 76);
        for (int c = 11990; c <= 12200; ++c)
            QCOMPARE(!internetErrorText(InternetError(c)).isEmpty(), codes.contains(c));
        QCOMPARE(internetErrorText(InternetError(12002)), QStringLiteral("Internet Timeout."));
        QCOMPARE(internetErrorText(InternetError(12111)),
                 QStringLiteral("FTP connection dropped."));
        QCOMPARE(internetErrorText(InternetError(12165)),
                 QStringLiteral("Internet Proxy Server Unreachable."));
    }
};

QTEST_GUILESS_MAIN(TestFtpListing)
#include "tst_ftplisting.moc"
