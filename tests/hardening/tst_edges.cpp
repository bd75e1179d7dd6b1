#include "analysis/keywords/keywordgenerator.h"
#include "analysis/results/resultpane.h"
#include "analysis/rules/rulestore.h"
#include "platform/textfile.h"
#include "support/quillmarkharness.h"

#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QtTest>

using testsupport::failedPane;
using testsupport::passedPane;
using testsupport::QuillmarkHarness;
using testsupport::state;

namespace {

// The process's peak resident memory in kB.
qint64 peakKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

} // namespace

// Bad input at the edges: each is handled and the window stays usable.
class TestEdges : public QObject {
    Q_OBJECT
private slots:
    void registryFileThatIsNotUtf8() {
        QuillmarkHarness h;
        h.env.writeFile(h.env.registryPath(),
                        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\r\n"
                        "\"bodychk\"=\"2500\"\r\n\"puser\"=\"J\xF6rg\"\r\n\"win-p\"=\"30\"\r\n");
        auto* form = h.startShown();
        QCOMPARE(state(form).rules.bodychk, QStringLiteral("2500"));
        QCOMPARE(form->panePercent(), 30);
        h.close();
        // The value the program wrote back, and the one it did not touch, are both intact.
        QCOMPARE(h.env.value(rules::kSettingsKey, QStringLiteral("puser")),
                 QStringLiteral("J\u00F6rg"));
        QCOMPARE(h.env.value(rules::kSettingsKey, QStringLiteral("win-p")), QStringLiteral("30"));
    }

    void pageOf200Megabytes() {
        QuillmarkHarness h;
        const QString web = h.env.path(QStringLiteral("web"));
        h.env.writeFile(QStringLiteral("web/big.htm"),
                        "<html><head><title>Big</title></head><body>");
        {
            QFile f(web + QStringLiteral("/big.htm"));
            QVERIFY(f.resize(200LL << 20)); // sparse: the size without the disk
        }
        h.openWeb(web, QStringLiteral("big.htm"));
        auto* form = h.start();
        const qint64 before = peakKb();
        form->runCommand(&quillmark::MainWindow::checkCurrentFile);
        QCOMPARE(h.dialogs.shown.size(), 1);
        QVERIFY2(h.dialogs.shown.first().text.contains(
                     QStringLiteral("pages of more than 64 MB are not checked")),
                 qPrintable(h.dialogs.shown.first().text));
        QVERIFY2(peakKb() - before < 64 * 1024, "the refused page cost memory");
        QVERIFY(!form->busy());
        // The window goes on checking other pages.
        h.env.writeFile(QStringLiteral("web/small.htm"),
                        "<html><head><title>S</title><meta name=\"author\" "
                        "content=\"A\"></head><body>x</body></html>");
        h.web->openPage(QStringLiteral("small.htm"));
        form->runCommand(&quillmark::MainWindow::checkCurrentFile);
        QCOMPARE(results::paneLines(passedPane(form)).last(), QStringLiteral("File = small.htm"));
    }

    void requiredTagFileOf100000Lines() {
        QuillmarkHarness h;
        QByteArray metareq;
        for (int i = 0; i < 100000; ++i)
            metareq += "tag" + QByteArray::number(i) + "\r\n";
        h.env.writeFile(rules::requiredTagFile(h.env.programFolder()), metareq);
        h.env.writeFile(QStringLiteral("web/p.htm"),
                        "<html><head><title>P</title><meta name=\"tag5\" content=\"five\"><meta "
                        "name=\"tag99999\" content=\"last\">"
                        "</head><body>x</body></html>");
        h.openWeb(h.env.path(QStringLiteral("web")), QStringLiteral("p.htm"));
        auto* form = h.start();
        QCOMPARE(state(form).ruleTable.rowCount(), 100001);
        form->runCommand(&quillmark::MainWindow::checkCurrentFile);
        QCOMPARE(state(form).ruleTable.cell(1, 6), QStringLiteral("five"));
        QCOMPARE(state(form).ruleTable.cell(1, 100000), QStringLiteral("last"));
        const QStringList failed = results::paneLines(failedPane(form));
        QCOMPARE(failed.count(QStringLiteral("    Error: tag0 Does not have a value")), 1);
        QCOMPARE(failed.size(),
                 2 + 1 + 1 + 99998 + 1); // headings, entry, PICS line, errors, empty line
        QVERIFY(!failed.contains(QStringLiteral("    Error: tag5 Does not have a value")));
    }

    void noiseWordFileOf10000Words() {
        testsupport::TestEnv env;
        testsupport::ScriptedDialogs dialogs;
        testsupport::RecordingHelp help;
        QByteArray noise;
        QString body;
        for (int i = 0; i < 10000; ++i) {
            noise += "noise" + QByteArray::number(i) + "\r\n";
            body += QStringLiteral("noise%1 ").arg(i);
        }
        const QString noiseFile = env.programFolder() + quillmark::KeywordGenerator::kNoiseFileName;
        env.writeFile(noiseFile, noise);
        env.writeFile(QStringLiteral("page.htm"),
                      ("<html><head><title>T</title></head><body>" + body +
                       "NOISE77 NOISE77 kiwi kiwi kiwi apple apple</body></html>")
                          .toUtf8());
        quillmark::KeywordGenerator f(dialogs, help, env.registryPath(), env.folders());
        f.BodyLimit = 1 << 20;
        const auto words = [&f] {
            QStringList out;
            for (int i = 0; i < f.wordList->topLevelItemCount(); ++i)
                out << f.wordList->topLevelItem(i)->text(0) + QLatin1Char('=') +
                           f.wordList->topLevelItem(i)->text(1);
            return out;
        };
        f.GenerateList(env.path(QStringLiteral("page.htm")));
        QCOMPARE(words(), (QStringList{"kiwi=3", "apple=2"}));
        QCOMPARE(f.NoiseWords.size(), 10000);

        // The list stays usable: a word added to the noise words is kept with all the others.
        f.wordList->topLevelItem(0)->setCheckState(0, Qt::Checked);
        f.addNoiseWords();
        const QStringList kept = platform::readLines(noiseFile);
        QCOMPARE(kept.size(), 10001);
        QCOMPARE(kept.last(), QStringLiteral("kiwi"));
        f.loadNoiseWordFile();
        QCOMPARE(f.noiseEditor->document()->blockCount(), 10001);
        f.refresh();
        QCOMPARE(words(), QStringList{"apple=2"});
    }
};

QTEST_MAIN(TestEdges)
#include "tst_edges.moc"
