#include "analysis/engine/commatext.h"

#include <QtTest>

class TestCommaText : public QObject {
    Q_OBJECT
private slots:
    void split_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("blanks separate")
            << QStringLiteral("web design, shop") << QStringList{"web", "design", "shop"};
        QTest::newRow("two commas") << QStringLiteral("a,,b") << QStringList{"a", "", "b"};
        QTest::newRow("final comma adds nothing")
            << QStringLiteral("a, b,") << QStringList{"a", "b"};
        QTest::newRow("quoted phrase")
            << QStringLiteral("\"web design\", shop") << QStringList{"web design", "shop"};
        QTest::newRow("doubled quote")
            << QStringLiteral("\"say \"\"hi\"\"\",x") << QStringList{"say \"hi\"", "x"};
        QTest::newRow("quote holds commas and breaks")
            << QStringLiteral("\"a,\r\nb\" c") << QStringList{"a,\r\nb", "c"};
        QTest::newRow("unclosed quote") << QStringLiteral("x \"abc") << QStringList{"x", "ab"};
        QTest::newRow("empty quoted") << QStringLiteral("\"\",a") << QStringList{"", "a"};
        QTest::newRow("leading comma") << QStringLiteral(",a") << QStringList{"", "a"};
        QTest::newRow("control characters") << QStringLiteral("\t a\r\nb\x01"
                                                              "c")
                                            << QStringList{"a", "b", "c"};
        QTest::newRow("quote then text") << QStringLiteral("\"ab\"cd") << QStringList{"ab", "cd"};
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("only blanks") << QStringLiteral("  \r\n ") << QStringList();
        QTest::newRow("NUL ends the text")
            << QString::fromUtf16(u"a b\0c d", 7) << QStringList{"a", "b"};
        QTest::newRow("punctuation belongs to the word")
            << QStringLiteral("Widgets. (widgets)") << QStringList{"Widgets.", "(widgets)"};
    }
    void split() {
        QFETCH(QString, text);
        QFETCH(QStringList, items);
        QCOMPARE(engine::splitCommaText(text), items);
    }
};

QTEST_GUILESS_MAIN(TestCommaText)
#include "tst_commatext.moc"
