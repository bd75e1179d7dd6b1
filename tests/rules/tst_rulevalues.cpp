#include "analysis/rules/ruleeditor.h"
#include "analysis/rules/rulestore.h"
#include "platform/registrystore.h"

#include "support/doubles.h"
#include "support/testenv.h"

#include <QCheckBox>
#include <QPushButton>
#include <QtTest>

using quillmark::RuleEditor;
using quillmark::SpinField;

namespace {

// Each rule value and the control of the editor that shows it; a field's number for Save.
struct Shown {
    const char* rule;
    const char* control;
    const char* number;
};
const Shown kShown[] = {
    {"rsafe", "CheckBox1", nullptr},   {"rrsac", "CheckBox2", nullptr},
    {"rweb", "CheckBox3", nullptr},    {"KeyReq", "CheckBox4", nullptr},
    {"DescReq", "CheckBox5", nullptr}, {"Rating", "CheckBox6", nullptr},
    {"Privacy", "CheckBox7", nullptr}, {"keywordsm", "keymin", "110"},
    {"keywords", "keymax", "1210"},    {"descriptionm", "descmin", "60"},
    {"description", "descmax", "240"}, {"bodychk", "bcheck", "3000"},
};

const Shown& shown(const rulevalues::Rule& rule) {
    for (const Shown& s : kShown)
        if (QLatin1String(s.rule) == QLatin1String(rule.name))
            return s;
    qFatal("no control for %s", rule.name);
}

// What the editor shows of a rule, as the settings store keeps it.
QString shownText(const RuleEditor& d, const rulevalues::Rule& rule) {
    const QString name = QString::fromLatin1(shown(rule).control);
    if (const auto* box = d.findChild<QCheckBox*>(name))
        return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    return d.findChild<SpinField*>(name)->text();
}

} // namespace

class TestRuleValues : public QObject {
    Q_OBJECT
private slots:
    // Every rule of the table through the editor's Save, the settings reader and the editor
    // opened again: what the editor showed is what the checks get and what it shows next time.
    void saveReadsBack_data() {
        QTest::addColumn<QStringList>("ticked");
        QTest::newRow("every switch on")
            << QStringList{"rsafe", "rrsac", "rweb", "KeyReq", "DescReq", "Rating", "Privacy"};
        QTest::newRow("keywords on, description off") << QStringList{"KeyReq", "rrsac", "Privacy"};
        QTest::newRow("every switch off") << QStringList{};
    }
    void saveReadsBack() {
        QFETCH(QStringList, ticked);
        testsupport::TestEnv env;
        testsupport::ScriptedDialogs dialogs;
        testsupport::RecordingHelp help;
        auto open = [&] {
            return std::make_unique<RuleEditor>(dialogs, help, QString(), env.folders(),
                                                env.registryPath());
        };
        auto d = open();
        for (const Shown& s : kShown) {
            const QString name = QString::fromLatin1(s.control);
            if (s.number)
                d->findChild<SpinField*>(name)->setText(QString::fromLatin1(s.number));
            else
                d->findChild<QCheckBox*>(name)->setChecked(ticked.contains(s.rule));
        }
        d->saveButton->click();
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Default Values Updated.")});

        platform::RegistryStore reg(env.registryPath());
        QVERIFY(reg.openKeyReadOnly(rules::kSettingsKey));
        engine::RuleValues read = rules::startingRuleValues();
        rules::readRuleValues(reg, read);
        const engine::RuleValues start = rules::startingRuleValues();
        const auto again = open();
        const QString absent = QStringLiteral("(not stored)");
        QStringList expectedStore, stored, expected, readBack, shownAgain;
        for (const rulevalues::Rule& rule : rulevalues::kRules) {
            const QString name = QString::fromLatin1(rule.name);
            // A length is stored only while its switch is ticked.
            const bool kept =
                !rule.lengthOf || ticked.contains(rulevalues::ruleOf(rule.lengthOf).name);
            const QString value = kept ? shownText(*d, rule) : start.*rule.member;
            expectedStore.append(name + u'=' + (kept ? value : absent));
            stored.append(name + u'=' +
                          (env.valueExists(rules::kSettingsKey, name)
                               ? env.value(rules::kSettingsKey, name)
                               : absent));
            expected.append(name + u'=' + value);
            readBack.append(name + u'=' + read.*rule.member);
            shownAgain.append(name + u'=' + shownText(*again, rule));
        }
        QCOMPARE(stored, expectedStore);
        QCOMPARE(readBack, expected);
        QCOMPARE(shownAgain, expected);
    }
};

QTEST_MAIN(TestRuleValues)
#include "tst_rulevalues.moc"
