#include "analysis/proxy/passwordwindow.h"

#include <QLabel>
#include <QtTest>

using proxy::DecodePWD;
using proxy::EncodePWD;

class TestPasswordEncoder : public QObject {
    Q_OBJECT
private slots:
    void encode_data() {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("stored"); // empty: not checked letter for letter
        QTest::addColumn<int>("lines");
        const QString x39(39, QLatin1Char('x'));
        const QString x40(40, QLatin1Char('x'));
        QTest::newRow("empty") << QString() << QString() << 0;
        QTest::newRow("one character") << QStringLiteral("a") << QStringLiteral("Exe9pq==") << 1;
        QTest::newRow("word") << QStringLiteral("secret") << QStringLiteral("qZj2sKnnDJa=") << 1;
        QTest::newRow("39 characters, one line")
            << x39
            << QStringLiteral(
                   "rwHinevOsdrfAeG0rwHinevOsdrfAeG0rwHinevOsdrfAeG0rwHinevOsdrfAeG0rwHina==")
            << 1;
        QTest::newRow("40 characters, two lines")
            << x40
            << QStringLiteral("rwHinevOsdrfAeG0rwHinevOsdrfAeG0rwHinevOsdrfAeG0rwHinevOsdrfAeG0rwHi"
                              "nevH\r\npt0=")
            << 2;
        // Past 54 characters the first Base64 text itself holds a line break.
        QTest::newRow("60 characters") << QString(60, QLatin1Char('q')) << QString() << 2;
        QTest::newRow("300 mixed characters")
            << QStringLiteral("Pa55-w0rd/+=").repeated(25) << QString() << 8;
        QTest::newRow("blanks inside and around")
            << QStringLiteral("  two words\t ") << QString() << 1;
        QTest::newRow("Windows-1252 letters")
            << QStringLiteral("p\u00E4ssw\u00F6rd \u20AC")
            << QStringLiteral("q21Vs0mZBJnxn3PzEMnKsuDrvZ0=") << 1;
        QTest::newRow("beyond Windows-1252")
            << QStringLiteral("\u5BC6\u7801\U0001F511") << QString() << 1;
        QTest::newRow("leading byte-order mark") << QStringLiteral("\uFEFFpw") << QString() << 1;
    }
    void encode() {
        QFETCH(QString, plain);
        QFETCH(QString, stored);
        QFETCH(int, lines);
        const QString encoded = EncodePWD(plain);
        if (!stored.isEmpty() || plain.isEmpty())
            QCOMPARE(encoded, stored);
        // Lines of at most 72 printable characters, CR LF between them and none at the end.
        const QStringList parts =
            encoded.isEmpty() ? QStringList() : encoded.split(QStringLiteral("\r\n"));
        QCOMPARE(parts.size(), lines);
        for (const QString& line : parts) {
            QVERIFY(line.size() <= 72);
            QVERIFY(!line.isEmpty());
            for (QChar c : line)
                QVERIFY2(c.isLetterOrNumber() || c == u'+' || c == u'/' || c == u'=',
                         qPrintable(line));
        }
        QCOMPARE(DecodePWD(encoded), plain);
    }

    void decode_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("plain");
        QTest::newRow("blanks and tabs before a line")
            << QStringLiteral(" \tExe9pq==") << QStringLiteral("a");
        QTest::newRow("junk after a line")
            << QStringLiteral("Exe9pq==**junk") << QStringLiteral("a");
        QTest::newRow("blanks at the start of the second line")
            << QStringLiteral("rwHinevOsdrfAeG0rwHinevOsdrfAeG0rwHinevOsdrfAeG0rwHinevOsdrfAeG0rwHi"
                              "nevH\r\n  pt0=")
            << QString(40, QLatin1Char('x'));
        QTest::newRow("line break at the end")
            << QStringLiteral("Exe9pq==\r\n") << QStringLiteral("a");
        QTest::newRow("bytes that are not UTF-8")
            << QStringLiteral("EtjMttzXpt0=") << QStringLiteral("caf\u00E9");
        QTest::newRow("lone character") << QStringLiteral("A") << QString();
        QTest::newRow("only padding") << QStringLiteral("====") << QString();
        QTest::newRow("only junk") << QStringLiteral("!!!!\r\n***") << QString();
    }
    void decode() {
        QFETCH(QString, stored);
        QFETCH(QString, plain);
        QCOMPARE(DecodePWD(stored), plain);
    }

    // Stored values that are not encoded text: whatever comes out, nothing breaks.
    void decodeGarbage() {
        const QStringList garbage{
            QStringLiteral("plain text password"),
            QStringLiteral("\u00C4\u00D6\u00DC\u00DF"),
            QStringLiteral("a\x01"
                           "b\x02"
                           "c"),
            QStringLiteral("QQ==QQ=="),
            QStringLiteral("=A=B=C=D"),
            QStringLiteral("\r\n\r\n"),
            QString(5000, QLatin1Char('z')),
            QStringLiteral("\U0001F511\U0001F511"),
        };
        for (const QString& g : garbage) {
            const QString once = DecodePWD(g);
            // Decoding is a function of the text alone.
            QCOMPARE(DecodePWD(g), once);
        }
        // Every byte value and every length up to three groups.
        QByteArray bytes;
        for (int i = 0; i < 256; ++i)
            bytes.append(char(i));
        for (int n = 0; n <= 12; ++n)
            DecodePWD(QString::fromLatin1(bytes.left(n * 20)));
    }

    void theWindowOffersTheEncoder() {
        quillmark::PasswordWindow form;
        QVERIFY(!form.isVisible());
        QCOMPARE(form.objectName(), QStringLiteral("edpwdfrm"));
        QCOMPARE(form.EncodePWD(QStringLiteral("a")), QStringLiteral("Exe9pq=="));
        QCOMPARE(form.DecodePWD(QStringLiteral("Exe9pq==")), QStringLiteral("a"));
        QCOMPARE(form.Label1->text(),
                 QStringLiteral("This form encodes and decodes passwords.\r\nuse the EncodePWD and "
                                "DecodePWD functions"));
    }
};

QTEST_MAIN(TestPasswordEncoder)
#include "tst_passwordwindow.moc"
