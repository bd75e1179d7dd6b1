#include "analysis/engine/workfiles.h"
#include "analysis/results/resultpane.h"
#include "analysis/rules/rulestore.h"
#include "platform/textfile.h"
#include "support/quillmarkharness.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QtTest>

using testsupport::failedPane;
using testsupport::keywordPane;
using testsupport::passedPane;
using testsupport::QuillmarkHarness;
using testsupport::state;
using Button = platform::Dialogs::Button;

namespace {

const QString kQuestion = QStringLiteral("View the report in your browser?   Continue?");

QStringList lines(QPlainTextEdit* pane) {
    return results::paneLines(pane);
}

} // namespace

class TestCheck : public QObject {
    Q_OBJECT

    // A harness on a web of the fixture pages, started.
    std::unique_ptr<QuillmarkHarness> open(const QString& page) {
        auto h = std::make_unique<QuillmarkHarness>();
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("checkweb")),
                              h->env.path(QStringLiteral("web")));
        h->openWeb(h->env.path(QStringLiteral("web")), page);
        return h;
    }

private slots:
    void passingPage() {
        auto h = open(QStringLiteral("good.htm"));
        auto* form = h->startShown();
        h->env.writeFile(engine::reportFile(h->env.programFolder()), "old report");
        form->runCommand(&quillmark::MainWindow::checkCurrentFile);
        QCOMPARE(lines(passedPane(form)),
                 (QStringList{"Listing of files that passed the checks.", "File = good.htm"}));
        QCOMPARE(lines(failedPane(form)),
                 (QStringList{"Listing of files that failed the checks.", ""}));
        QCOMPARE(lines(keywordPane(form)),
                 (QStringList{"Keyword Check", "", "File = good.htm",
                              " Description Tag Passes: Keywords found in page description.", "",
                              "Checking Keyword occurrences in first 5000 characters", "",
                              "glass - 1 ", "pottery - 2 "}));
        QCOMPARE(form->statusText(), QStringLiteral("Ready"));
        QCOMPARE(h->dialogs.texts(), QStringList{kQuestion});
        QCOMPARE(h->dialogs.shown.first().kind, platform::Dialogs::Kind::Confirmation);
        QCOMPARE(h->dialogs.shown.first().buttons, (QList<Button>{Button::Yes, Button::No}));
        // No: the report file stays as it was and nothing is opened.
        QCOMPARE(h->env.readFile(engine::reportFile(h->env.programFolder())),
                 QByteArray("old report"));
        QVERIFY(h->shell.opened.isEmpty());
        QCOMPARE(state(form).reportLines.size(), 18);
        // The working file holds the page's bytes.
        QCOMPARE(h->env.readFile(engine::workingFile(h->env.programFolder())),
                 h->env.readFile(QStringLiteral("web/good.htm")));
        QVERIFY(!QApplication::overrideCursor());
    }

    void failingPageAndItsReport() {
        auto h = open(QStringLiteral("bad.htm"));
        h->env.setValue(rules::kSettingsKey, QStringLiteral("rsafe"), QStringLiteral("1"));
        h->env.setValue(rules::kSettingsKey, QStringLiteral("bodychk"), QStringLiteral("5000"));
        auto* form = h->startShown();
        h->dialogs.answers = {Button::Yes};
        form->runCommand(&quillmark::MainWindow::checkCurrentFile);
        const QStringList failed{"Listing of files that failed the checks.",
                                 "",
                                 "Title Tag improperly ended (Missing '</title>') ",
                                 "File = bad.htm",
                                 "    SafeSurf not present",
                                 "    Error: author Does not have a value",
                                 ""};
        QCOMPARE(lines(failedPane(form)), failed);
        QCOMPARE(lines(passedPane(form)), QStringList{"Listing of files that passed the checks."});
        QCOMPARE(lines(keywordPane(form)),
                 (QStringList{"Keyword Check", "", "File = bad.htm",
                              "Checking Keyword occurrences in first 5000 characters", "",
                              "<script>alert(1) - 0 ", "shoes - 1 "}));

        // Yes: the report of the three panes, escaped, in Windows-1252, opened by the shell.
        const QString report = engine::reportFile(h->env.programFolder());
        QCOMPARE(h->shell.opened, QList<QUrl>{QUrl::fromLocalFile(report)});
        const QStringList written = platform::readLines(report);
        QCOMPARE(written.mid(0, 18), state(form).reportLines.mid(0, 18));
        QVERIFY(written.at(10).contains(
            QUrl::fromLocalFile(h->env.programFolder() + QStringLiteral("dorazo/logo22-gif.gif"))
                .toString()));
        QCOMPARE(written.mid(23, failed.size()),
                 (QStringList{"Listing of files that failed the checks.<br>", "<br>",
                              "Title Tag improperly ended (Missing '&lt;/title&gt;') <br>",
                              "File = bad.htm<br>", "    SafeSurf not present<br>",
                              "    Error: author Does not have a value<br>", "<br>"}));
        QVERIFY(written.contains(QStringLiteral("&lt;script&gt;alert(1) - 0 <br>")));
        QVERIFY(!written.join(QLatin1Char('\n')).contains(QStringLiteral("<script>")));
        QVERIFY(written.contains(QStringLiteral(
            "usually just the first 5000 characters into the body and by default that is")));
    }

    // No program takes the report: a box names the file and the way on; the report is written
    // all the same and the window stays usable.
    void reportNotOpened_data() {
        QTest::addColumn<bool>("fromCheck");
        QTest::newRow("check's offer") << true;
        QTest::newRow("Open Current Results in Browser") << false;
    }
    void reportNotOpened() {
        QFETCH(bool, fromCheck);
        auto h = open(QStringLiteral("bad.htm"));
        auto* form = h->startShown();
        h->shell.result = false;
        QStringList boxes;
        if (fromCheck) {
            h->dialogs.answers = {Button::Yes};
            form->runCommand(&quillmark::MainWindow::checkCurrentFile);
            boxes << kQuestion;
        } else {
            form->findChild<QAction*>(QStringLiteral("OpenCurrentResultsinBrowser1"))->trigger();
        }
        const QString report = engine::reportFile(h->env.programFolder());
        QCOMPARE(h->shell.opened, QList<QUrl>{QUrl::fromLocalFile(report)});
        boxes << QStringLiteral("The report \"%1\" could not be opened in a web browser.\r\n\r\n"
                                "Install a web browser or choose a default program for HTML files "
                                "on this computer and try again, or open the file in a web "
                                "browser yourself.")
                     .arg(QDir::toNativeSeparators(report));
        QCOMPARE(h->dialogs.texts(), boxes);
        QCOMPARE(h->dialogs.shown.last().kind, platform::Dialogs::Kind::Warning);
        QCOMPARE(platform::readLines(report), state(form).reportLines);
        QVERIFY(!form->busy());
        QVERIFY(!QApplication::overrideCursor());
        if (fromCheck)
            QCOMPARE(form->statusText(), QStringLiteral("Ready"));
    }

    void hostCannotNameThePage() {
        auto h = open(QStringLiteral("good.htm"));
        auto* form = h->start();
        results::setPaneText(passedPane(form), QStringLiteral("earlier results"));
        h->host->failTopPage = true;
        form->findChild<QAction*>(QStringLiteral("CheckCurrentFile1"))->trigger();
        QCOMPARE(h->dialogs.texts(),
                 QStringList{"Unable to access FrontPage\r\n\r\nvtiTop Error 3002"});
        QCOMPARE(h->dialogs.shown.first().kind, platform::Dialogs::Kind::Error);
        QCOMPARE(lines(passedPane(form)), QStringList{"earlier results"});
        QVERIFY(lines(failedPane(form)).isEmpty());
        QVERIFY(!QApplication::overrideCursor());

        h->host->failTopPage = false;
        h->host->failGetDoc = true;
        form->runCommand(&quillmark::MainWindow::checkCurrentFile);
        QCOMPARE(h->dialogs.texts().last(),
                 QStringLiteral("Unable to access FrontPage\r\n\r\nError 3001"));
        QCOMPARE(lines(passedPane(form)), QStringList{"earlier results"});
    }

    void numberThatIsNotEndsTheCheck() {
        auto h = open(QStringLiteral("good.htm"));
        h->env.setValue(rules::kSettingsKey, QStringLiteral("bodychk"), QStringLiteral("lots"));
        auto* form = h->start();
        form->runCommand(&quillmark::MainWindow::checkCurrentFile);
        QCOMPARE(h->dialogs.shown.size(), 1);
        QCOMPARE(h->dialogs.shown.first().kind, platform::Dialogs::Kind::Error);
        QVERIFY(h->dialogs.shown.first().text.contains(QStringLiteral("\"lots\" of \"bodychk\"")));
        // The policy check's lines are there; no offer, no "Ready".
        QCOMPARE(lines(passedPane(form)),
                 (QStringList{"Listing of files that passed the checks.", "File = good.htm"}));
        QVERIFY(form->statusText().isEmpty());
        QVERIFY(!form->busy());
        QVERIFY(!QApplication::overrideCursor());
    }

    void commandsAreHeldOffDuringTheCheck() {
        auto h = open(QStringLiteral("good.htm"));
        auto* form = h->startShown();
        int nested = 0;
        bool panesLocked = false;
        h->dialogs.onShow = [&](const testsupport::ScriptedDialogs::Shown&) {
            ++nested;
            panesLocked = passedPane(form)->isReadOnly();
            // Another check and a clear of the rule table would change what the check works on.
            form->runCommand(&quillmark::MainWindow::checkCurrentFile);
            form->runCommand(&quillmark::MainWindow::editRuleBase);
            form->close();
        };
        form->runCommand(&quillmark::MainWindow::checkCurrentFile);
        QCOMPARE(nested, 1);
        QVERIFY(panesLocked);
        QCOMPARE(state(form).ruleTable.names(), QStringList{"author"});
        QVERIFY(!passedPane(form)->isReadOnly());
        // The close waited for the check and happens now.
        QTRY_VERIFY(!form->isVisible());
    }
};

QTEST_MAIN(TestCheck)
#include "tst_check.moc"
