#include "analysis/rules/rulestore.h"
#include "platform/errors.h"
#include "platform/registrystore.h"
#include "platform/textfile.h"

#include "support/testenv.h"

#include <QtTest>

using engine::RuleValues;

class TestRuleStore : public QObject {
    Q_OBJECT
private slots:
    void buildTable_data() {
        QTest::addColumn<QByteArray>("metareq");
        QTest::addColumn<QStringList>("switches"); // KeyReq, DescReq, Rating, Privacy
        QTest::addColumn<QStringList>("metatemp");
        QTest::newRow("default tag already there, case aside")
            << QByteArray("author\r\nKeywords\r\n") << QStringList{"1", "", "", ""}
            << QStringList{"author", "Keywords"};
        QTest::newRow("rating and privacy into an empty file")
            << QByteArray() << QStringList{"", "", "1", "1"} << QStringList{"rating", "privacy"};
        QTest::newRow("all four, in their order")
            << QByteArray("author\n") << QStringList{"1", "1", "1", "1"}
            << QStringList{"author", "keywords", "description", "rating", "privacy"};
        QTest::newRow("yes and true are off")
            << QByteArray("author") << QStringList{"yes", "true", "on", " 1"}
            << QStringList{"author"};
        QTest::newRow("whole line compared")
            << QByteArray(" keywords\r\n") << QStringList{"1", "", "", ""}
            << QStringList{" keywords", "keywords"};
    }
    void buildTable() {
        QFETCH(QByteArray, metareq);
        QFETCH(QStringList, switches);
        QFETCH(QStringList, metatemp);
        testsupport::TestEnv env;
        env.writeFile(rules::requiredTagFile(env.programFolder()), metareq);
        RuleValues v;
        v.KeyReq = switches.at(0);
        v.DescReq = switches.at(1);
        v.Rating = switches.at(2);
        v.Privacy = switches.at(3);
        QStringList memo1;
        engine::RuleTable grid;
        rules::buildRuleTable(env.folders(), v, memo1, grid);
        QCOMPARE(platform::readLines(rules::derivedTagFile(env.programFolder())), metatemp);
        QCOMPARE(env.readFile(rules::derivedTagFile(env.programFolder())),
                 metatemp.isEmpty() ? QByteArray() : (metatemp.join("\r\n") + "\r\n").toUtf8());
        QCOMPARE(grid.rowCount(), metatemp.size() + 1);
        QCOMPARE(grid.cell(0, 0), engine::RuleTable::kHeading);
        QCOMPARE(grid.names(), metatemp);
    }

    void missingRequiredFile() {
        testsupport::TestEnv env;
        QFile::remove(rules::requiredTagFile(env.programFolder()));
        QStringList memo1;
        engine::RuleTable grid;
        grid.setNames({"old"});
        QVERIFY_THROWS_EXCEPTION(platform::EFOpenError,
                                 rules::buildRuleTable(env.folders(), RuleValues(), memo1, grid));
        QVERIFY(!QFile::exists(rules::derivedTagFile(env.programFolder())));
    }

    void delimiter_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("column0");
        QTest::newRow("plain names")
            << QStringList{"author", "copyright"} << QStringList{"author", "copyright"};
        QTest::newRow("one line keeps its commas") << QStringList{"a,b"} << QStringList{"a,b"};
        QTest::newRow("comma in both lines")
            << QStringList{"a,x", "b,y", "c"} << QStringList{"a", "b", "c"};
        QTest::newRow("counts differ")
            << QStringList{"a,x,y", "b,y"} << QStringList{"a,x,y", "b,y"};
        QTest::newRow("more semicolons than commas")
            << QStringList{"a;b;c,d", "e;f;g,h"} << QStringList{"a", "e"};
        QTest::newRow("tie means no delimiter")
            << QStringList{"a;b,c", "d;e,f"} << QStringList{"a;b,c", "d;e,f"};
        QTest::newRow("quoted cell")
            << QStringList{"\"a,b\",x", "\"c,\"\"d\",y"} << QStringList{"a,b", "c,\"d"};
        QTest::newRow("quoted alone") << QStringList{"\"a, b\""} << QStringList{"a, b"};
        QTest::newRow("tab and bar") << QStringList{"a\tb|c", "d\te"} << QStringList{"a", "d"};
    }
    void delimiter() {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, column0);
        QCOMPARE(rules::firstColumn(lines), column0);
    }

    void ruleValues_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("bodychk");
        QTest::newRow("zero becomes 1000") << QStringLiteral("0") << QStringLiteral("1000");
        QTest::newRow("2500 stays") << QStringLiteral("2500") << QStringLiteral("2500");
        QTest::newRow("text kept as it is") << QStringLiteral("abc") << QStringLiteral("abc");
    }
    void ruleValues() {
        QFETCH(QString, stored);
        QFETCH(QString, bodychk);
        testsupport::TestEnv env;
        env.setValue(rules::kSettingsKey, QStringLiteral("BodyChk"), stored);
        env.setValue(rules::kSettingsKey, QStringLiteral("KeyWordsm"), QStringLiteral("500"));
        platform::RegistryStore reg(env.registryPath());
        QVERIFY(reg.openKeyReadOnly(rules::kSettingsKey));
        RuleValues v;
        v.rsafe = QStringLiteral("kept");
        rules::readRuleValues(reg, v);
        QCOMPARE(v.bodychk, bodychk);
        QCOMPARE(v.keywordsm, QStringLiteral("500"));
        QCOMPARE(v.rsafe, QStringLiteral("kept")); // absent values leave the setting alone
    }
};

QTEST_GUILESS_MAIN(TestRuleStore)
#include "tst_rulestore.moc"
