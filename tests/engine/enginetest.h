#pragma once

// Runs the engine's check of one page on a page text, as the window's checks do.

#include "analysis/engine/headpipeline.h"
#include "analysis/engine/pagecheck.h"
#include "analysis/rules/rulevalues.h"
#include "platform/errors.h"

#include <QTemporaryDir>
#include <QtTest>

#include <optional>

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

    // The page's check; with headOnly, the state as the head pipeline left it.
    void check(Run& run, const QByteArray& page, const engine::RuleValues& v, bool batch = false,
               bool headOnly = false) {
        write(page);
        engine::CheckOptions o;
        o.batch = batch;
        engine::PageHooks hooks;
        std::optional<Run> head;
        if (headOnly)
            hooks.after = [&](engine::PageStep step) {
                if (step == engine::PageStep::RuleTableRead)
                    head = run;
            };
        run.failedEntry = engine::checkPage(run.st, run.grid, v, QStringLiteral("p.htm"), m_file,
                                            run.out, o, hooks);
        if (head)
            run = *head;
    }

private:
    QTemporaryDir m_dir;
    QString m_file;
};

} // namespace enginetest
