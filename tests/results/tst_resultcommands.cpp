// The results commands of the main window: clipboard, clearing, results files.
#include "analysis/results/resultpane.h"
#include "platform/folders.h"
#include "support/quillmarkharness.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::failedPane;
using testsupport::keywordPane;
using testsupport::passedPane;
using testsupport::QuillmarkHarness;
using testsupport::state;
using Kind = platform::Dialogs::Kind;

namespace {

const QStringList kPassed{"Listing of files that passed the checks.", "File = index.htm"};
const QStringList kFailed{
    "Listing of files that failed the checks.", "", "File = about.htm", "    ",
    "    Error: author Does not have a value",  ""};
const QStringList kKeyword{"Keyword Check",
                           "",
                           "File = index.htm",
                           "Description contains keywords",
                           "Checking Keyword occurrences in first 5000 characters",
                           "",
                           "shoes - 2 "};

QStringList lines(const QPlainTextEdit* pane) {
    return results::paneLines(pane);
}

// The panes as a check leaves them.
void fill(quillmark::MainWindow* form, const QStringList& passed = kPassed,
          const QStringList& failed = kFailed, const QStringList& keyword = kKeyword) {
    for (QPlainTextEdit* pane : {passedPane(form), failedPane(form), keywordPane(form)})
        results::clearPane(pane);
    results::addPaneLines(passedPane(form), passed);
    results::addPaneLines(failedPane(form), failed);
    results::addPaneLines(keywordPane(form), keyword);
}

void trigger(quillmark::MainWindow* form, const char* name) {
    auto* action = form->findChild<QAction*>(QLatin1String(name));
    QVERIFY2(action, name);
    action->trigger();
}

void click(quillmark::MainWindow* form, const char* name) {
    auto* button = form->findChild<QToolButton*>(QLatin1String(name));
    QVERIFY2(button, name);
    button->click();
}

QString clipboard() {
    return QGuiApplication::clipboard()->text();
}

} // namespace

class TestResultCommands : public QObject {
    Q_OBJECT

    // Saves through the named command into a file of the test's own and opens it again.
    QString save(QuillmarkHarness& h, const char* command = "SaveCurrentResults1") {
        const QString path = h.env.path(QStringLiteral("Results.rls"));
        h.fileDialogs.answers = {path};
        trigger(h.form.get(), command);
        return path;
    }
    void open(QuillmarkHarness& h, const QString& path) {
        h.fileDialogs.answers = {path};
        trigger(h.form.get(), "OpenResultsFile1");
    }

private slots:
    void saveAndOpenGiveTheSamePanes() {
        QuillmarkHarness h;
        auto* form = h.start();
        fill(form);
        const QString path = save(h);
        QCOMPARE(h.fileDialogs.asked.size(), 1);
        const auto& s = h.fileDialogs.asked.first();
        QCOMPARE(s.kind, QStringLiteral("save"));
        QCOMPARE(s.options.title, QString());
        QCOMPARE(s.options.filter, QStringLiteral("Results List|*.rls"));
        QCOMPARE(s.options.defaultSuffix, QStringLiteral("rls"));
        // The first dialog of a run starts in the documents folder.
        QCOMPARE(s.options.folder, platform::dialogStartFolder(QString()));
        QVERIFY(!s.options.folder.startsWith(h.env.programFolder()));
        QCOMPARE(s.options.fileName, QStringLiteral("Results"));
        QCOMPARE(h.dialogs.texts(), QStringList{QStringLiteral("Results Saved to: ") + path});
        QCOMPARE(h.dialogs.shown.first().kind, Kind::Information);
        QCOMPARE(h.env.readFile(QStringLiteral("Results.rls")),
                 (kPassed + kFailed + kKeyword).join(QLatin1String("\r\n")).toLatin1() + "\r\n");

        QGuiApplication::clipboard()->setText(QStringLiteral("the user's own"));
        results::setPaneText(passedPane(form), QStringLiteral("typed over"));
        open(h, path);
        const auto& o = h.fileDialogs.asked.last();
        QCOMPARE(o.kind, QStringLiteral("open"));
        QCOMPARE(o.options.title, QStringLiteral("Open Results List"));
        QCOMPARE(o.options.filter, QStringLiteral("Relults List|*.rls|All Files|*.*"));
        QCOMPARE(o.options.defaultSuffix, QStringLiteral("rls"));
        // Then where the last results file was saved or opened.
        QCOMPARE(o.options.folder, h.env.root());
        QCOMPARE(lines(passedPane(form)), kPassed);
        QCOMPARE(lines(failedPane(form)), kFailed);
        QCOMPARE(lines(keywordPane(form)), kKeyword);
        QCOMPARE(clipboard(), QStringLiteral("the user's own"));
        QVERIFY(state(form).resultsBuffer.isEmpty());
        QCOMPARE(h.dialogs.shown.size(), 1);

        // The toolbar's Open and Save do the same.
        results::clearPane(keywordPane(form));
        h.fileDialogs.answers = {path};
        click(form, "RzToolbarButton1");
        QCOMPARE(lines(keywordPane(form)), kKeyword);
        h.fileDialogs.answers = {h.env.path(QStringLiteral("second.rls"))};
        click(form, "RzToolbarButton2");
        QCOMPARE(h.env.readFile(QStringLiteral("second.rls")),
                 h.env.readFile(QStringLiteral("Results.rls")));
    }

    void batchSummariesComeBack() {
        QuillmarkHarness h;
        auto* form = h.start();
        const QStringList passed = kPassed + QStringList{"", "------------ SUMMARY ------------",
                                                         "1 of 2 passed verification."};
        const QStringList failed = kFailed + QStringList{"", "------------ SUMMARY ------------",
                                                         "1 of 2 failed verification."};
        fill(form, passed, failed);
        open(h, save(h));
        QCOMPARE(lines(passedPane(form)), passed);
        QCOMPARE(lines(failedPane(form)), failed);
        QCOMPARE(lines(keywordPane(form)), kKeyword);
    }

    void keywordCheckTypedIntoTheFailedPane() {
        QuillmarkHarness h;
        auto* form = h.startShown();
        fill(form);
        failedPane(form)->setFocus();
        failedPane(form)->moveCursor(QTextCursor::End);
        QTest::keyClicks(failedPane(form), QStringLiteral("see Keyword Check"));
        QTest::keyClick(failedPane(form), Qt::Key_Return);
        open(h, save(h));
        QCOMPARE(lines(passedPane(form)), kPassed);
        QCOMPARE(lines(failedPane(form)), kFailed + QStringList{"see "});
        QCOMPARE(lines(keywordPane(form)), QStringList{"Keyword Check"} + kKeyword);
    }

    void failedPaneClearedOpensIntoThePassedPane() {
        QuillmarkHarness h;
        auto* form = h.start();
        fill(form);
        trigger(form, "ClearFailed1");
        open(h, save(h));
        QCOMPARE(lines(passedPane(form)), kPassed + kKeyword);
        QVERIFY(results::paneIsEmpty(failedPane(form)));
        QVERIFY(results::paneIsEmpty(keywordPane(form)));
    }

    void allClearedSavesAnEmptyFile() {
        QuillmarkHarness h;
        auto* form = h.start();
        fill(form);
        trigger(form, "ClearAll1");
        const QString path = save(h);
        QCOMPARE(h.env.readFile(QStringLiteral("Results.rls")), QByteArray());
        fill(form);
        open(h, path);
        for (QPlainTextEdit* pane : {passedPane(form), failedPane(form), keywordPane(form)})
            QVERIFY(results::paneIsEmpty(pane));
    }

    void fileOfOlderVersionsOpensUnchanged() {
        QuillmarkHarness h;
        auto* form = h.start();
        h.env.writeFile(QStringLiteral("old.rls"),
                        "Listing of files that passed the checks.\r\nFile = caf\xE9.htm\r\n"
                        "Listing of files that failed the checks.\r\n\r\n"
                        "Keyword Check\r\n\x93shoes\x94 - 2 \r\n");
        open(h, h.env.path(QStringLiteral("old.rls")));
        QCOMPARE(lines(passedPane(form)), (QStringList{"Listing of files that passed the checks.",
                                                       QStringLiteral("File = caf\u00E9.htm")}));
        QCOMPARE(lines(failedPane(form)),
                 (QStringList{"Listing of files that failed the checks.", ""}));
        QCOMPARE(lines(keywordPane(form)),
                 (QStringList{"Keyword Check", QStringLiteral("\u201Cshoes\u201D - 2 ")}));
        // Any file opens; one without the headings goes wholly into the passed pane.
        h.env.writeFile(QStringLiteral("notes.txt"), "one\ntwo");
        open(h, h.env.path(QStringLiteral("notes.txt")));
        QCOMPARE(lines(passedPane(form)), (QStringList{"one", "two"}));
        QVERIFY(results::paneIsEmpty(failedPane(form)) && results::paneIsEmpty(keywordPane(form)));
    }

    void unreadableFileLeavesThePanesEmpty_data() {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing") << QStringLiteral("missing.rls");
        QTest::newRow("a folder") << QStringLiteral("program");
        // Neither may hold the window: a FIFO nobody writes, a device that never ends.
        QTest::newRow("a FIFO") << QStringLiteral("fifo.rls");
        QTest::newRow("an endless device") << QStringLiteral("/dev/zero");
    }
    void unreadableFileLeavesThePanesEmpty() {
        QFETCH(QString, relative);
        QuillmarkHarness h;
        auto* form = h.start();
        fill(form);
        const QString path =
            relative.startsWith(QLatin1Char('/')) ? relative : h.env.path(relative);
        if (relative == QLatin1String("fifo.rls"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        open(h, path);
        QCOMPARE(h.dialogs.shown.size(), 1);
        QCOMPARE(h.dialogs.shown.first().kind, Kind::Error);
        QVERIFY2(h.dialogs.shown.first().text.startsWith(QStringLiteral("Cannot open file \"") +
                                                         path + QLatin1Char('"')),
                 qPrintable(h.dialogs.shown.first().text));
        for (QPlainTextEdit* pane : {passedPane(form), failedPane(form), keywordPane(form)})
            QVERIFY(results::paneIsEmpty(pane));
    }

    void cancelledDialogsChangeNothing() {
        QuillmarkHarness h;
        auto* form = h.start();
        fill(form);
        trigger(form, "SaveCurrentResults1");
        trigger(form, "OpenResultsFile1");
        QCOMPARE(h.fileDialogs.asked.size(), 2);
        QVERIFY(h.dialogs.shown.isEmpty());
        QVERIFY(QDir(h.env.root()).entryList({QStringLiteral("*.rls")}).isEmpty());
        QCOMPARE(lines(passedPane(form)), kPassed);
        QCOMPARE(lines(failedPane(form)), kFailed);
        QCOMPARE(lines(keywordPane(form)), kKeyword);
    }

    void saveThatCannotWrite() {
        QuillmarkHarness h;
        auto* form = h.start();
        fill(form);
        const QString path = h.env.path(QStringLiteral("no such folder/Results.rls"));
        h.fileDialogs.answers = {path};
        trigger(form, "SaveCurrentResults1");
        QCOMPARE(h.dialogs.shown.size(), 1);
        QCOMPARE(h.dialogs.shown.first().kind, Kind::Error);
        QVERIFY(!h.dialogs.shown.first().text.startsWith(QStringLiteral("Results Saved to: ")));
        QVERIFY(!QFile::exists(path));
    }

    // A FIFO or device chosen as the results file is written in place, never replaced by a file.
    void saveIntoAFifo_data() {
        QTest::addColumn<bool>("reader");
        QTest::newRow("read by another program") << true;
        QTest::newRow("read by nobody") << false;
    }
    void saveIntoAFifo() {
        QFETCH(bool, reader);
        QuillmarkHarness h;
        auto* form = h.start();
        fill(form);
        const QString path = h.env.path(QStringLiteral("pipe.rls"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        const int fd =
            reader ? ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK) : -1;
        h.fileDialogs.answers = {path};
        trigger(form, "SaveCurrentResults1");
        QCOMPARE(h.dialogs.shown.size(), 1);
        QCOMPARE(h.dialogs.shown.first().kind, reader ? Kind::Information : Kind::Error);
        QVERIFY(QFileInfo(path).isFile() == false && QFileInfo::exists(path));
        if (reader) {
            QByteArray got(4096, 0);
            const ssize_t n = ::read(fd, got.data(), size_t(got.size()));
            ::close(fd);
            QVERIFY(n > 0);
            QVERIFY(got.left(n).startsWith(kPassed.first().toLatin1() + "\r\n"));
        } else {
            QVERIFY2(h.dialogs.shown.first().text.contains(QLatin1String("No program is reading")),
                     qPrintable(h.dialogs.shown.first().text));
        }
    }

    void copyAll_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("Edit menu") << QStringLiteral("CopyAllResults1");
        QTest::newRow("Copy drop-down") << QStringLiteral("CopyAll1");
    }
    void copyAll() {
        QFETCH(QString, command);
        QuillmarkHarness h;
        auto* form = h.start();
        trigger(form, qPrintable(command));
        QCOMPARE(clipboard(), QStringLiteral("\n\n")); // two empty lines
        QCOMPARE(state(form).allResults, (QStringList{"", ""}));
        fill(form);
        trigger(form, qPrintable(command));
        QCOMPARE(clipboard(), (kPassed + QStringList{""} + kFailed + QStringList{""} + kKeyword)
                                      .join(QLatin1Char('\n')) +
                                  QLatin1Char('\n'));
    }

    // The copy-a-pane commands copy the whole pane and leave it selected.
    void copyOnePane_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("pane");
        QTest::newRow("passed, Edit menu") << QStringLiteral("CopyFilesthatPassed1") << 0;
        QTest::newRow("failed, Edit menu") << QStringLiteral("CopyFilesthatFailed1") << 1;
        QTest::newRow("keyword, Edit menu") << QStringLiteral("CopyKeywordDensityResults1") << 2;
        QTest::newRow("passed, drop-down") << QStringLiteral("CopyPassed1") << 0;
        QTest::newRow("failed, drop-down") << QStringLiteral("CopyFailed1") << 1;
        QTest::newRow("keyword, drop-down") << QStringLiteral("CopyKeyword1") << 2;
    }
    void copyOnePane() {
        QFETCH(QString, command);
        QFETCH(int, pane);
        QuillmarkHarness h;
        auto* form = h.start();
        fill(form);
        QPlainTextEdit* target =
            QList<QPlainTextEdit*>{passedPane(form), failedPane(form), keywordPane(form)}.at(pane);
        trigger(form, qPrintable(command));
        QCOMPARE(clipboard(), target->toPlainText());
        QCOMPARE(target->textCursor().selectionStart(), 0);
        QCOMPARE(target->textCursor().selectionEnd(), int(target->toPlainText().size()));
        // An empty pane copies an empty text.
        results::clearPane(target);
        trigger(form, qPrintable(command));
        QCOMPARE(clipboard(), QString());
    }

    void cutCopyPasteOnTheFocusedPane() {
        QuillmarkHarness h;
        auto* form = h.startShown();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form));
        fill(form);
        auto selectFirstLine = [](QPlainTextEdit* pane) {
            QTextCursor c(pane->document());
            c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            pane->setTextCursor(c);
        };

        keywordPane(form)->setFocus();
        selectFirstLine(keywordPane(form));
        QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
        click(form, "RzToolbarButton8"); // Copy
        QCOMPARE(clipboard(), QStringLiteral("Keyword Check"));
        // Paste does nothing on the keyword pane, from the menu, the toolbar or the keyboard.
        QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
        trigger(form, "Paste1");
        click(form, "RzToolbarButton9");
        QTest::keyClick(keywordPane(form), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(lines(keywordPane(form)), kKeyword);
        QVERIFY(h.dialogs.shown.isEmpty());

        failedPane(form)->setFocus();
        selectFirstLine(failedPane(form));
        trigger(form, "Paste1");
        QCOMPARE(lines(failedPane(form)), QStringList{"pasted"} + kFailed.mid(1));
        selectFirstLine(failedPane(form));
        QTest::keyClick(failedPane(form), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(clipboard(), QStringLiteral("pasted"));
        QCOMPARE(lines(failedPane(form)), QStringList{""} + kFailed.mid(1));

        passedPane(form)->setFocus();
        selectFirstLine(passedPane(form));
        click(form, "RzToolbarButton7"); // Cut
        QCOMPARE(clipboard(), kPassed.first());
        QCOMPARE(lines(passedPane(form)), QStringList{""} + kPassed.mid(1));
        QTest::keyClick(passedPane(form), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(lines(passedPane(form)), kPassed);

        // No pane has the focus: nothing happens.
        passedPane(form)->clearFocus();
        QCOMPARE(form->focusedPane(), nullptr);
        passedPane(form)->selectAll();
        QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
        trigger(form, "Cut1");
        trigger(form, "Copy1");
        trigger(form, "Paste1");
        QCOMPARE(lines(passedPane(form)), kPassed);
        QCOMPARE(clipboard(), QStringLiteral("kept"));
    }

    void clearCommands_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("passed");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<bool>("keyword");
        QTest::newRow("Clear menu, passed")
            << QStringLiteral("ClearPassed1") << true << false << false;
        QTest::newRow("Clear menu, failed")
            << QStringLiteral("ClearFailed1") << false << true << false;
        QTest::newRow("Clear menu, keyword")
            << QStringLiteral("ClearKeyword1") << false << false << true;
        QTest::newRow("Clear menu, all") << QStringLiteral("ClearAll1") << true << true << true;
        QTest::newRow("drop-down, passed")
            << QStringLiteral("ClearPassed2") << true << false << false;
        QTest::newRow("drop-down, failed")
            << QStringLiteral("ClearFailed2") << false << true << false;
        QTest::newRow("drop-down, keyword")
            << QStringLiteral("ClearKeyword2") << false << false << true;
        QTest::newRow("drop-down, all") << QStringLiteral("ClearAll2") << true << true << true;
        QTest::newRow("toolbar button")
            << QStringLiteral("RzToolbarButton10") << true << true << true;
    }
    void clearCommands() {
        QFETCH(QString, command);
        QFETCH(bool, passed);
        QFETCH(bool, failed);
        QFETCH(bool, keyword);
        QuillmarkHarness h;
        auto* form = h.start();
        fill(form);
        if (command.startsWith(QLatin1String("RzToolbar")))
            click(form, qPrintable(command));
        else
            trigger(form, qPrintable(command));
        // The heading lines go too.
        QCOMPARE(results::paneIsEmpty(passedPane(form)), passed);
        QCOMPARE(results::paneIsEmpty(failedPane(form)), failed);
        QCOMPARE(results::paneIsEmpty(keywordPane(form)), keyword);
        QCOMPARE(lines(passedPane(form)), passed ? QStringList() : kPassed);
    }
};

QTEST_MAIN(TestResultCommands)
#include "tst_resultcommands.moc"
