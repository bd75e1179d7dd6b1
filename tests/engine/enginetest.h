#pragma once

// Runs the engine's per-page work on a page text, as the single-page check does.

#include "analysis/engine/checks.h"
#include "analysis/engine/headpipeline.h"
#include "analysis/rules/rulevalues.h"

#include <QTemporaryDir>
#include <QtTest>

namespace enginetest {

// "rsafe=1;keywords=1000" over the starting values of the rule base editor.
inline engine::RuleValues rules(const QString& settings) {
    engine::RuleValues v;
    v.keywordsm = QStringLiteral("0");
    v.keywords = QStringLiteral("1000");
    v.descriptionm = QStringLiteral("0");
    v.description = QStringLiteral("1000");
    v.bodychk = QStringLiteral("5000");
    for (const QString& item : settings.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = item.section(QLatin1Char('='), 0, 0);
        bool known = false;
        for (const rulevalues::Rule& rule : rulevalues::kRules)
            if (name == QLatin1String(rule.name)) {
                v.*rule.member = item.section(QLatin1Char('='), 1);
                known = true;
            }
        if (!known)
            qFatal("unknown rule %s", qPrintable(name));
    }
    return v;
}

struct Run {
    engine::PageState st;
    engine::RuleTable grid;
    engine::PaneOutput out;
    bool failedEntry = false;
};

class Checker {
public:
    Checker() : m_file(m_dir.filePath(QStringLiteral("temp.tgf"))) {}
    QString file() const { return m_file; }

    void write(const QByteArray& bytes) {
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    // The head pipeline, then (unless headOnly) the policy and keyword checks.
    void check(Run& run, const QByteArray& page, const engine::RuleValues& v, bool batch = false,
               bool headOnly = false) {
        write(page);
        run.st.resetPage();
        engine::loadWorkingCopy(run.st, m_file);
        engine::runHeadPipeline(run.st, run.grid, v, run.out);
        if (headOnly)
            return;
        engine::CheckOptions o;
        o.batch = batch;
        run.failedEntry = engine::policyCheck(run.st, QStringLiteral("p.htm"), m_file, v, run.grid, run.out, o);
        engine::keywordChecks(run.st, QStringLiteral("p.htm"), m_file, v, run.out, o);
    }

private:
    QTemporaryDir m_dir;
    QString m_file;
};

} // namespace enginetest
