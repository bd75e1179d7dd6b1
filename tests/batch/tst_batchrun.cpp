// The batch run without windows: the checker's run on several threads into spooled outputs gives
// what the window's run page after page gives, and stops at the same page for any number of jobs.
#include "analysis/batch/batchrun.h"
#include "analysis/batch/runoutput.h"
#include "analysis/engine/report.h"
#include "platform/errors.h"
#include "platform/textcodec.h"
#include "platform/textfile.h"
#include "support/testenv.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

engine::RuleValues checkedRules() {
    engine::RuleValues v;
    v.KeyReq = QStringLiteral("1");
    v.DescReq = QStringLiteral("1");
    v.keywordsm = QStringLiteral("5");
    v.keywords = QStringLiteral("40");
    v.descriptionm = QStringLiteral("10");
    v.description = QStringLiteral("60");
    v.bodychk = QStringLiteral("300");
    return v;
}

engine::RuleTable ruleTable() {
    engine::RuleTable t;
    t.setNames(
        {QStringLiteral("author"), QStringLiteral("keywords"), QStringLiteral("description")});
    return t;
}

// The window's way: one page after another, every page's file already in place.
class FilesInPlace : public batch::PageSteps {
public:
    explicit FilesInPlace(QString folder) : m_folder(std::move(folder)) {}
    bool fetch(int, const QString& address, QString& file, QString&) override {
        file = m_folder + QLatin1Char('/') + address;
        return true;
    }
    void between() override {}
    void pageError(const QString&, const QString&, bool) override {}
    void pageDone(int, const QString&) override {}

private:
    QString m_folder;
};

struct Outputs {
    QByteArray results;
    QByteArray report;
    QByteArray junit;
};

QByteArray fixture(const QString& name) {
    QFile f(testsupport::fixturePath(QStringLiteral("batchweb/") + name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

template <typename Write> QByteArray collect(Write write) {
    QByteArray bytes;
    write([&bytes](const QByteArray& piece) { bytes += piece; });
    return bytes;
}

} // namespace

class TestBatchRun : public QObject {
    Q_OBJECT

    QTemporaryDir m_web;
    QStringList m_pages;

    // Pages of every kind the fixtures have, under names of their own; one page in the middle
    // holds text that Windows-1252 cannot, if asked.
    void makeWeb(bool utf8Page) {
        const QStringList kinds{"good.htm",   "colours.htm",    "nometa1.htm", "shoes6.htm",
                                "shoes7.htm", "emptytitle.htm", "nometa2.htm"};
        m_pages.clear();
        for (int i = 0; i < 240; ++i) {
            // Names that Windows-1252 holds in other bytes than UTF-8.
            const QString name = QStringLiteral("p%1%2.htm")
                                     .arg(i, 3, 10, QLatin1Char('0'))
                                     .arg(i % 5 == 0 ? QStringLiteral("-caf\u00E9") : QString());
            QByteArray bytes = fixture(kinds.at(i % kinds.size()));
            if (utf8Page && i == 170)
                bytes = QStringLiteral("<html><head><title>\u03A9mega</title>"
                                       "<meta name=\"keywords\" content=\"\u03A9mega, glass\">"
                                       "</head><body>\u03A9mega glass</body></html>")
                            .toUtf8();
            QFile f(m_web.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            m_pages.append(name);
        }
    }

    Outputs onJobs(int jobs, qsizetype spoolMemory) {
        const engine::RuleValues rules = checkedRules();
        const engine::RuleTable table = ruleTable();
        batch::RunOutput output({true, true, QStringLiteral("web"), spoolMemory});
        batch::BatchRun run(m_pages, rules, table);
        const std::optional<QString> fatal = run.runOnJobs(
            [this](int i) { return m_web.filePath(m_pages.at(i)); }, jobs, output, [](int) {});
        if (fatal)
            qWarning() << "the run ended:" << *fatal;
        output.finish(true);
        return {collect([&](auto w) { output.writeResults(w); }), collect([&](auto w) {
                    output.writeReport(engine::reportHead(QStringLiteral("/program")),
                                       rules.bodychk, w);
                }),
                collect([&](auto w) { output.writeJUnit(w); })};
    }

private slots:
    void jobsGiveWhatTheWindowsRunGives_data() {
        QTest::addColumn<int>("jobs");
        QTest::addColumn<qsizetype>("spoolMemory");
        QTest::addColumn<bool>("utf8Page");
        QTest::newRow("one job") << 1 << batch::Spool::kMemoryLimit << false;
        QTest::newRow("three jobs, spooled to files") << 3 << qsizetype(64) << false;
        QTest::newRow("more jobs than slots, spooled to files") << 100 << qsizetype(64) << false;
        QTest::newRow("UTF-8 after the spool went to files") << 4 << qsizetype(64) << true;
        QTest::newRow("UTF-8 in memory") << 2 << batch::Spool::kMemoryLimit << true;
    }
    void jobsGiveWhatTheWindowsRunGives() {
        QFETCH(int, jobs);
        QFETCH(qsizetype, spoolMemory);
        QFETCH(bool, utf8Page);
        makeWeb(utf8Page);

        const engine::RuleValues rules = checkedRules();
        engine::RuleTable table = ruleTable();
        engine::PageState st;
        FilesInPlace steps(m_web.path());
        engine::PaneOutput out;
        batch::BatchRun window(m_pages, rules, table);
        QVERIFY(window.runHere(st, table, steps, out));
        window.addSummary(out);
        QVERIFY(window.failedPages() > 0 && window.failedPages() < m_pages.size());
        const engine::PaneOutput heads = batch::paneHeadings();
        const QStringList panes[3] = {heads.passed + out.passed, heads.failed + out.failed,
                                      heads.keyword + out.keyword};

        const Outputs got = onJobs(jobs, spoolMemory);
        QCOMPARE(got.results, platform::ansiLinesBytes(panes[0] + panes[1] + panes[2]));
        QCOMPARE(got.results.startsWith("\xEF\xBB\xBF"), utf8Page);
        QCOMPARE(got.report, platform::encodeWindows1252Ncr(platform::joinLines(
                                 engine::reportHead(QStringLiteral("/program")) +
                                 engine::reportBody(panes[1], panes[0], panes[2], rules.bodychk))));
        QCOMPARE(got.junit, onJobs(1, batch::Spool::kMemoryLimit).junit);
        QCOMPARE(got.junit.count("<testcase "), m_pages.size());
    }

    // A rule value that is no number ends the run at the first page that reads it; the pages
    // before it, which could not be read, are all in the output with their messages.
    void fatalPageIsTheSameForAnyJobs_data() {
        QTest::addColumn<int>("jobs");
        for (int jobs : {1, 2, 5, 16})
            QTest::newRow(qPrintable(QStringLiteral("%1 jobs").arg(jobs))) << jobs;
    }
    void fatalPageIsTheSameForAnyJobs() {
        QFETCH(int, jobs);
        const QByteArray good = fixture(QStringLiteral("good.htm"));
        QStringList pages;
        for (int i = 0; i < 80; ++i) {
            const QString name = QStringLiteral("q%1.htm").arg(i, 2, 10, QLatin1Char('0'));
            // Pages 30 on can be read; the others are missing.
            if (i >= 30) {
                QFile f(m_web.filePath(name));
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(good);
            }
            pages.append(name);
        }
        engine::RuleValues rules = checkedRules();
        rules.keywordsm = QStringLiteral("few");
        const engine::RuleTable table = ruleTable();
        batch::RunOutput output({});
        batch::BatchRun run(pages, rules, table);
        const std::optional<QString> fatal = run.runOnJobs(
            [&](int i) { return m_web.filePath(pages.at(i)); }, jobs, output, [](int) {});
        QVERIFY(fatal);
        QVERIFY2(fatal->contains(QLatin1String("\"few\" of \"keywordsm\"")), qPrintable(*fatal));
        QCOMPARE(output.pages(), 30);
        QStringList said;
        output.readMessages(
            [&](const QString& m) { said.append(m.section(QLatin1Char(':'), 0, 0)); });
        QCOMPARE(said.size(), 30);
        QCOMPARE(said.first(), QStringLiteral("q00.htm"));
        QCOMPARE(said.last(), QStringLiteral("q29.htm"));
        QVERIFY(output.anyUnreadable());
    }

    // A spool that cannot go to its file ends the run; the error reaches the caller's thread
    // and no job is left waiting.
    void spoolFailureEndsTheRun() {
        makeWeb(false);
        const QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", m_web.filePath(QStringLiteral("no/such/folder")).toLocal8Bit());
        const engine::RuleValues rules = checkedRules();
        const engine::RuleTable table = ruleTable();
        batch::RunOutput output({false, false, QString(), 64});
        batch::BatchRun run(m_pages, rules, table);
        QString message;
        try {
            run.runOnJobs([this](int i) { return m_web.filePath(m_pages.at(i)); }, 4, output,
                          [](int) {});
        } catch (const platform::EFCreateError& e) {
            message = e.message();
        }
        if (tmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", tmp);
        QVERIFY2(message.contains(QLatin1String("no/such/folder/quillmark-run-")),
                 qPrintable(message));
        QVERIFY(output.pages() < m_pages.size());
    }
};

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
