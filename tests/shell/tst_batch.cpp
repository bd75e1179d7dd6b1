#include "analysis/batch/batchprogress.h"
#include "analysis/batch/folderchooser.h"
#include "analysis/batch/pageselection.h"
#include "analysis/engine/headpipeline.h"
#include "analysis/engine/workfiles.h"
#include "analysis/results/resultpane.h"
#include "analysis/rules/rulestore.h"
#include "platform/textfile.h"
#include "support/modal.h"
#include "support/quillmarkharness.h"
#include "support/unprivileged.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTreeWidget>
#include <QtTest>

using quillmark::FolderChooser;
using quillmark::MainWindow;
using quillmark::PageSelectionDialog;
using testsupport::expect;
using testsupport::failedPane;
using testsupport::keywordPane;
using testsupport::ModalScript;
using testsupport::ModalStep;
using testsupport::passedPane;
using testsupport::QuillmarkHarness;
using testsupport::state;
using Button = platform::Dialogs::Button;
using Kind = platform::Dialogs::Kind;

namespace {

const QString kQuestion = QStringLiteral("View the report in your browser?   Continue?");
const QString kPassedHeading = QStringLiteral("Listing of files that passed the checks.");
const QString kFailedHeading = QStringLiteral("Listing of files that failed the checks.");
const QString kSummary = QStringLiteral("------------ SUMMARY ------------");

QStringList lines(QPlainTextEdit* pane) {
    return results::paneLines(pane);
}

// Answers the selection dialog: records its rows, ticks those given and checks them.
ModalStep tickAndCheck(const QStringList& tick, QStringList* rows = nullptr) {
    return expect<PageSelectionDialog>([tick, rows](PageSelectionDialog* d) {
        for (int r = 0; r < d->rowCount(); ++r) {
            if (rows)
                rows->append(d->caption(r));
            if (tick.contains(d->caption(r)))
                d->setTicked(r, true);
        }
        d->findChild<QAction*>(QStringLiteral("RzToolButton3"))->trigger();
    });
}

// Picks the folders in the folder chooser.
ModalStep chooseFolders(const QStringList& folders) {
    return expect<FolderChooser>([folders](FolderChooser* c) {
        for (const QString& folder : folders)
            c->item(folder)->setCheckState(0, Qt::Checked);
        c->accept();
    });
}

quillmark::BatchProgressWindow* progressWindow(MainWindow* form) {
    return form->findChild<quillmark::BatchProgressWindow*>();
}

} // namespace

class TestBatch : public QObject {
    Q_OBJECT

    // A harness on a web of the fixture pages.
    std::unique_ptr<QuillmarkHarness> harness() {
        auto h = std::make_unique<QuillmarkHarness>();
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("batchweb")),
                              h->env.path(QStringLiteral("web")));
        h->openWeb(h->env.path(QStringLiteral("web")), QStringLiteral("good.htm"));
        return h;
    }

    // "Batch Check (All Files)" with these pages ticked.
    static void runAll(MainWindow* form, const QStringList& pages) {
        const ModalScript selection(tickAndCheck(pages));
        form->findChild<QAction*>(QStringLiteral("BatchCheckAllFiles1"))->trigger();
    }

private slots:
    void onePassingPage() {
        auto h = harness();
        auto* form = h->startShown();
        h->env.writeFile(engine::reportFile(h->env.programFolder()), "old report");
        QStringList rows;
        const ModalScript selection(tickAndCheck({"good.htm"}, &rows));
        form->findChild<QAction*>(QStringLiteral("BatchCheckAllFiles1"))->trigger();

        // The whole web, root and folders, filtered and sorted.
        QCOMPARE(rows, (QStringList{"colours.htm", "emptytitle.htm", "good.htm", "nometa1.htm",
                                    "nometa2.htm", "nometa3.htm", "shoes6.htm", "shoes7.htm",
                                    "sub/deep.htm"}));
        QCOMPARE(lines(passedPane(form)), (QStringList{kPassedHeading, "File = good.htm", "",
                                                       kSummary, "1 of 1 passed verification."}));
        QCOMPARE(lines(failedPane(form)),
                 (QStringList{kFailedHeading, "", "", kSummary, "0 of 1 failed verification."}));
        // No empty line after the verdict, no count heading, counts in the tag's order.
        QCOMPARE(lines(keywordPane(form)),
                 (QStringList{"Keyword Check", "", "File = good.htm",
                              " Description Tag Passes: Keywords found in page description.",
                              "pottery - 2 ", "glass - 1 "}));
        QCOMPARE(form->statusText(), QStringLiteral("Ready"));
        QCOMPARE(h->dialogs.texts(), QStringList{kQuestion});
        QCOMPARE(h->dialogs.shown.first().buttons, (QList<Button>{Button::Yes, Button::No}));
        // No: no report is written or opened.
        QCOMPARE(h->env.readFile(engine::reportFile(h->env.programFolder())),
                 QByteArray("old report"));
        QVERIFY(h->shell.opened.isEmpty());
        QCOMPARE(state(form).reportLines.size(), 18);
        QVERIFY(!progressWindow(form)->isVisible());
        QCOMPARE(progressWindow(form)->windowTitle(),
                 QStringLiteral("Performing Batch Verify, Please Wait ..."));
        QCOMPARE(progressWindow(form)->StaticText1->text(),
                 QStringLiteral("Completed File: 1 of 1 good.htm"));
        QVERIFY(form->findChildren<PageSelectionDialog*>().isEmpty());
        QVERIFY(state(form).batchFolders.isEmpty());
        QCOMPARE(h->host->listedFolders, (QStringList{"", "sub"}));
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!form->busy());
    }

    void pagesWithoutMetaTagsCountOnce() {
        auto h = harness();
        auto* form = h->start();
        h->dialogs.answers = {Button::Yes};
        runAll(form, {"nometa1.htm", "nometa2.htm", "nometa3.htm"});
        QStringList failed{kFailedHeading, ""};
        QStringList keyword{"Keyword Check"};
        for (const char* p : {"nometa1.htm", "nometa2.htm", "nometa3.htm"}) {
            const QString entry = QStringLiteral("File = ") + QLatin1String(p);
            failed << entry << "    File has no meta tags"
                   << "" << entry << "    "
                   << "    Error: author Does not have a value"
                   << "";
            keyword << "" << entry;
        }
        failed << "" << kSummary << "3 of 3 failed verification.";
        QCOMPARE(lines(failedPane(form)), failed);
        QCOMPARE(lines(passedPane(form)),
                 (QStringList{kPassedHeading, "", kSummary, "0 of 3 passed verification."}));
        QCOMPARE(lines(keywordPane(form)), keyword);

        // Yes: one report of the whole run, summaries included.
        const QString report = engine::reportFile(h->env.programFolder());
        QCOMPARE(h->shell.opened, QList<QUrl>{QUrl::fromLocalFile(report)});
        const QStringList written = platform::readLines(report);
        QCOMPARE(written.mid(0, 18), state(form).reportLines.mid(0, 18));
        QCOMPARE(written.count(QStringLiteral("    File has no meta tags<br>")), 3);
        QVERIFY(written.contains(QStringLiteral("3 of 3 failed verification.<br>")));
        QVERIFY(written.contains(QStringLiteral("0 of 3 passed verification.<br>")));
        QVERIFY(written.contains(QStringLiteral("File = nometa3.htm<br>")));
    }

    void pageWithoutMetaTagsAndNoRules() {
        auto h = harness();
        h->env.writeFile(h->env.programFolder() + QStringLiteral("Required/metareq.txt"), "");
        auto* form = h->start();
        QVERIFY(state(form).ruleTable.names().isEmpty());
        runAll(form, {"nometa1.htm"});
        QCOMPARE(lines(failedPane(form)),
                 (QStringList{kFailedHeading, "", "File = nometa1.htm", "    File has no meta tags",
                              "", "", kSummary, "1 of 1 failed verification."}));
        QCOMPARE(lines(passedPane(form)), (QStringList{kPassedHeading, "File = nometa1.htm", "",
                                                       kSummary, "0 of 1 passed verification."}));
    }

    void eachPageCountsOnlyItsOwnKeywords() {
        auto h = harness();
        auto* form = h->start();
        runAll(form, {"colours.htm", "shoes6.htm", "shoes7.htm", "good.htm"});
        QCOMPARE(lines(keywordPane(form)),
                 (QStringList{"Keyword Check",
                              "",
                              "File = colours.htm",
                              " Description Tag Passes: Keywords found in page description.",
                              "red - 2 ",
                              "blue - 1 ",
                              "",
                              "File = good.htm",
                              " Description Tag Passes: Keywords found in page description.",
                              "pottery - 2 ",
                              "glass - 1 ",
                              "",
                              "File = shoes6.htm",
                              "zebra - 0 ",
                              "shoes - 1 ",
                              "",
                              "File = shoes7.htm",
                              "",
                              "WARNING! Keyword shoes is repeated 7 times throughout keywords. "
                              "Keywords Tag will be disqualified!",
                              "",
                              "shoes - 1 "}));
        QCOMPARE(lines(passedPane(form)).mid(0, 5),
                 (QStringList{kPassedHeading, "File = colours.htm", "File = good.htm",
                              "File = shoes6.htm", "File = shoes7.htm"}));
        QCOMPARE(lines(passedPane(form)).last(), QStringLiteral("4 of 4 passed verification."));
    }

    void headProblemsStayWithTheirPage() {
        auto h = harness();
        auto* form = h->start();
        runAll(form, {"emptytitle.htm", "nometa1.htm"});
        const QStringList passed = lines(passedPane(form));
        QCOMPARE(passed.mid(0, 3),
                 (QStringList{kPassedHeading, "File = emptytitle.htm", engine::kEmptyTitle}));
        QCOMPARE(lines(failedPane(form)).mid(0, 5),
                 (QStringList{kFailedHeading, "", "File = nometa1.htm", "    File has no meta tags",
                              ""}));
    }

    void fetchFailureEndsTheRun() {
        auto h = harness();
        auto* form = h->start();
        h->host->failGetDocAt = 3;
        runAll(form, {"colours.htm", "good.htm", "nometa1.htm", "shoes6.htm", "shoes7.htm"});
        QCOMPARE(h->dialogs.texts(), QStringList{"Unable to access FrontPage\r\n\r\nError 3001"});
        QCOMPARE(h->dialogs.shown.first().kind, Kind::Error);
        QCOMPARE(h->host->getDocCalls, 3);
        QCOMPARE(lines(passedPane(form)),
                 (QStringList{kPassedHeading, "File = colours.htm", "File = good.htm"}));
        QCOMPARE(lines(failedPane(form)), (QStringList{kFailedHeading, ""}));
        QCOMPARE(lines(keywordPane(form)).mid(0, 3),
                 (QStringList{"Keyword Check", "", "File = colours.htm"}));
        QVERIFY(
            !lines(keywordPane(form)).join(QLatin1Char('\n')).contains(QStringLiteral("nometa1")));
        QVERIFY(!progressWindow(form)->isVisible());
        QVERIFY(form->statusText().isEmpty());
        QVERIFY(form->findChildren<PageSelectionDialog*>().isEmpty());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!form->busy());
    }

    void unreadableWorkingFileIsReportedPerPage() {
        auto h = harness();
        auto* form = h->start();
        h->host->loseDocAt = 1;
        runAll(form, {"colours.htm", "good.htm"});
        const QStringList texts = h->dialogs.texts();
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts.at(0), QStringLiteral("File : colours.htm Could Not be Opened\rCheck to "
                                             "Make Sure File Exists and update list accordingly."));
        QCOMPARE(h->dialogs.shown.first().kind, Kind::Error);
        QCOMPARE(texts.at(1), kQuestion);
        // The run went on: both "Cannot Load Active File" lines for the first page, the second page
        // checked.
        const QStringList passed = lines(passedPane(form));
        QCOMPARE(passed.at(1), QStringLiteral("  ERROR: Cannot Load Active File: "));
        QVERIFY(passed.at(2).contains(QStringLiteral("temp.tgf")));
        QCOMPARE(passed.at(3), QString());
        QCOMPARE(passed.at(4), QStringLiteral("File = colours.htm"));
        QCOMPARE(passed.at(5), QStringLiteral("ERROR: Cannot Load Active File: red"));
        QCOMPARE(passed.at(7), QString());
        QCOMPARE(passed.at(8), QStringLiteral("File = good.htm"));
        QCOMPARE(passed.last(), QStringLiteral("2 of 2 passed verification."));
    }

    void otherErrorsEndTheRun() {
        auto h = harness();
        h->env.setValue(rules::kSettingsKey, QStringLiteral("bodychk"), QStringLiteral("lots"));
        auto* form = h->start();
        runAll(form, {"colours.htm", "good.htm"});
        QCOMPARE(h->dialogs.shown.size(), 1);
        QCOMPARE(h->dialogs.shown.first().kind, Kind::Error);
        QVERIFY(h->dialogs.shown.first().text.contains(QStringLiteral("\"lots\" of \"bodychk\"")));
        QCOMPARE(h->host->getDocCalls, 1);
        QCOMPARE(lines(passedPane(form)), (QStringList{kPassedHeading, "File = colours.htm"}));
        QVERIFY(!lines(failedPane(form)).contains(kSummary));
        QVERIFY(!progressWindow(form)->isVisible());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!form->busy());
    }

    void nothingChosenStartsNothing() {
        auto h = harness();
        auto* form = h->start();
        results::setPaneText(passedPane(form), QStringLiteral("earlier results"));
        // Check Files with nothing ticked; Close, and the window's frame; the folder chooser
        // cancelled.
        const ModalScript dialogs{
            tickAndCheck({}), expect<PageSelectionDialog>([](PageSelectionDialog* d) {
                d->findChild<QAction*>(QStringLiteral("Close1"))->trigger();
            }),
            expect<PageSelectionDialog>([](PageSelectionDialog* d) { d->close(); }),
            expect<FolderChooser>([](FolderChooser* c) { c->reject(); })};
        form->findChild<QAction*>(QStringLiteral("BatchCheckAllFiles1"))->trigger();
        form->runCommand(&MainWindow::batchCheckAllFiles);
        form->runCommand(&MainWindow::batchCheckAllFiles);
        form->findChild<QAction*>(QStringLiteral("BatchCheckSelectFolder1"))->trigger();
        QVERIFY(h->dialogs.shown.isEmpty());
        QCOMPARE(h->host->getDocCalls, 0);
        QCOMPARE(lines(passedPane(form)), QStringList{"earlier results"});
        QVERIFY(state(form).batchPages.isEmpty());
        QVERIFY(form->findChildren<PageSelectionDialog*>().isEmpty());
        QVERIFY(!QApplication::overrideCursor());
    }

    void chosenFolders() {
        auto h = harness();
        auto* form = h->start();
        QStringList rows;
        const ModalScript dialogs{chooseFolders({"sub"}), tickAndCheck({"sub/deep.htm"}, &rows)};
        form->findChild<QAction*>(QStringLiteral("RunBatchCheckSelectFolder1"))->trigger();
        QCOMPARE(h->host->listedFolders, QStringList{"sub"});
        QCOMPARE(rows, QStringList{"sub/deep.htm"});
        QCOMPARE(lines(passedPane(form)).at(1), QStringLiteral("File = sub/deep.htm"));
        QVERIFY(state(form).batchFolders.isEmpty());
    }

    void noWebFiles() {
        auto h = std::make_unique<QuillmarkHarness>();
        h->env.writeFile(QStringLiteral("web/notes.txt"), "n");
        h->env.writeFile(QStringLiteral("web/results.htm"), "<html></html>");
        h->openWeb(h->env.path(QStringLiteral("web")));
        auto* form = h->start();
        h->dialogs.shown.clear(); // no page is open in this web
        form->runCommand(&MainWindow::batchCheckAllFiles);
        QCOMPARE(h->dialogs.texts(), QStringList{"The are no Web Files in the selected directory"});
        QCOMPARE(h->dialogs.shown.first().kind, Kind::Information);
        QVERIFY(state(form).batchFolders.isEmpty());
        QVERIFY(form->findChildren<PageSelectionDialog*>().isEmpty());
        QVERIFY(!QApplication::overrideCursor());
    }

    void listingErrorEndsTheGathering() {
        auto h = harness();
        auto* form = h->start();
        h->host->failListing = true;
        form->runCommand(&MainWindow::batchCheckAllFiles);
        QCOMPARE(h->dialogs.texts(), QStringList{"The folder cannot be listed."});
        QCOMPARE(h->dialogs.shown.first().kind, Kind::Error);
        QCOMPARE(state(form).batchFolders, (QStringList{"Web Root Directory", "sub"}));
        QVERIFY(form->findChildren<PageSelectionDialog*>().isEmpty());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!form->busy());
    }

    // The window lists what the command-line checker lists: a Windows-1252 name is a row and is
    // checked; a name with a line break is named with its folder.
    void pageNames_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("all files") << "BatchCheckAllFiles1";
        QTest::newRow("chosen folder") << "RunBatchCheckSelectFolder1";
    }
    void pageNames() {
        QFETCH(QString, command);
        auto h = std::make_unique<QuillmarkHarness>();
        const QByteArray good =
            h->env.readFile(testsupport::fixturePath(QStringLiteral("batchweb/good.htm")));
        const QByteArray web = QFile::encodeName(h->env.path(QStringLiteral("web")));
        QDir().mkpath(h->env.path(QStringLiteral("web/shop")));
        for (const QByteArray name : {"caf\xE9.htm", "two\nlines.htm", "good.htm"}) {
            FILE* file = std::fopen(web + "/shop/" + name, "wb");
            QVERIFY(file);
            std::fwrite(good.constData(), 1, size_t(good.size()), file);
            std::fclose(file);
        }
        h->openWeb(h->env.path(QStringLiteral("web")));
        auto* form = h->start();
        h->dialogs.shown.clear(); // no page is open in this web
        QStringList rows;
        if (command == QLatin1String("BatchCheckAllFiles1")) {
            const ModalScript selection(tickAndCheck({"shop/caf\u00E9.htm"}, &rows));
            form->findChild<QAction*>(command)->trigger();
        } else {
            const ModalScript dialogs{chooseFolders({"shop"}),
                                      tickAndCheck({"shop/caf\u00E9.htm"}, &rows)};
            form->findChild<QAction*>(command)->trigger();
        }
        QCOMPARE(rows, (QStringList{"shop/caf\u00E9.htm", "shop/good.htm"}));
        QCOMPARE(
            h->dialogs.texts(),
            (QStringList{"The page two?lines.htm in the folder shop cannot be checked: its name "
                         "holds a line break or another control character.",
                         kQuestion}));
        QCOMPARE(h->dialogs.shown.first().kind, Kind::Warning);
        QCOMPARE(lines(passedPane(form)),
                 (QStringList{kPassedHeading, "File = shop/caf\u00E9.htm", "", kSummary,
                              "1 of 1 passed verification."}));
        QProcess::execute(QStringLiteral("rm"),
                          {QStringLiteral("-rf"), h->env.path(QStringLiteral("web"))});
    }

    // A folder that cannot be read ends the gathering with a message that names it.
    void unreadableFolder() {
        if (!testsupport::runsUnprivileged("unreadableFolder"))
            return;
        auto h = harness();
        h->env.writeFile(QStringLiteral("web/locked/page.htm"), "<html></html>");
        const QString locked = h->env.path(QStringLiteral("web/locked"));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
        auto* form = h->start();
        form->runCommand(&MainWindow::batchCheckAllFiles);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        QCOMPARE(h->dialogs.texts(),
                 QStringList{"The folder locked cannot be read: Permission denied"});
        QCOMPARE(h->dialogs.shown.first().kind, Kind::Error);
        QVERIFY(form->findChildren<PageSelectionDialog*>().isEmpty());
    }

    void commandsAreHeldOffDuringTheRun() {
        auto h = harness();
        auto* form = h->startShown();
        // Fires once the run lets the window process its events.
        int fired = 0;
        bool progressShown = false, panesLocked = false;
        QTimer probe;
        probe.setInterval(0);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (!progressWindow(form)->isVisible())
                return;
            if (++fired > 1)
                return;
            progressShown = true;
            panesLocked = failedPane(form)->isReadOnly();
            // None of these may touch the panes, the batch pages or the working file now.
            form->runCommand(&MainWindow::clearAll);
            form->runCommand(&MainWindow::checkCurrentFile);
            form->runCommand(&MainWindow::batchCheckAllFiles);
            form->findChild<QAction*>(QStringLiteral("Paste1"))->trigger();
            form->close();
        });
        const ModalScript selection(tickAndCheck({"colours.htm", "good.htm", "nometa1.htm"}));
        probe.start();
        form->findChild<QAction*>(QStringLiteral("BatchCheckAllFiles1"))->trigger();
        probe.stop();
        QVERIFY(fired >= 1);
        QVERIFY(progressShown);
        QVERIFY(panesLocked);
        QCOMPARE(h->host->getDocCalls, 3);
        QCOMPARE(state(form).batchPages, (QStringList{"colours.htm", "good.htm", "nometa1.htm"}));
        QCOMPARE(lines(passedPane(form)).last(), QStringLiteral("2 of 3 passed verification."));
        QVERIFY(!failedPane(form)->isReadOnly());
        // The close waited for the run and happens now.
        QTRY_VERIFY(!form->isVisible());
    }
};

QTEST_MAIN(TestBatch)
#include "tst_batch.moc"
