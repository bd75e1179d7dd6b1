// Printing, mail and the browser view of the main window's panes.
#include "analysis/engine/report.h"
#include "analysis/engine/workfiles.h"
#include "analysis/results/resultpane.h"
#include "analysis/rules/rulestore.h"
#include "platform/textfile.h"
#include "support/quillmarkharness.h"

#include <QAction>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QtTest>

using testsupport::failedPane;
using testsupport::keywordPane;
using testsupport::passedPane;
using testsupport::pdfInfo;
using testsupport::pdfText;
using testsupport::QuillmarkHarness;
using testsupport::state;
using Kind = platform::Dialogs::Kind;

namespace {

const QStringList kPassed{"Listing of files that passed the checks.", "File = index.htm"};
const QStringList kFailed{"Listing of files that failed the checks.", "", "File = about.htm",
                          "    SafeSurf not present", ""};
const QStringList kKeyword{"Keyword Check", "", "File = index.htm", "shoes - 2 "};

void fill(quillmark::MainWindow* form, bool passed = true, bool failed = true,
          bool keyword = true) {
    if (passed)
        results::addPaneLines(passedPane(form), kPassed);
    if (failed)
        results::addPaneLines(failedPane(form), kFailed);
    if (keyword)
        results::addPaneLines(keywordPane(form), kKeyword);
}

// A menu item or drop-down item by name, else a toolbar button.
void run(quillmark::MainWindow* form, const QString& name) {
    if (auto* action = form->findChild<QAction*>(name)) {
        action->trigger();
        return;
    }
    auto* button = form->findChild<QToolButton*>(name);
    QVERIFY2(button, qPrintable(name));
    button->click();
}

const QStringList& paneFill(int i) {
    static const QList<QStringList> all{kPassed, kFailed, kKeyword};
    return all.at(i);
}

// Lines with text, as pdftotext gives them back: ligatures ("fi") undone, no blanks around.
QStringList nonEmpty(const QStringList& lines) {
    QStringList out;
    for (const QString& l : lines) {
        const QString t = l.normalized(QString::NormalizationForm_KC).trimmed();
        if (!t.isEmpty())
            out.append(t);
    }
    return out;
}

QStringList nonEmptyLines(const QString& text) {
    return nonEmpty(text.split(QRegularExpression(QStringLiteral("[\\n\\f]"))));
}

} // namespace

class TestResultExport : public QObject {
    Q_OBJECT
private slots:
    void printOnePane_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("pane");
        QTest::addColumn<QString>("title");
        QTest::newRow("passed, File menu") << QStringLiteral("PrintPassedReport1") << 0
                                           << QStringLiteral("Verification Passed Report");
        QTest::newRow("passed, drop-down")
            << QStringLiteral("PrintPassed1") << 0 << QStringLiteral("Verification Passed Report");
        QTest::newRow("failed, File menu") << QStringLiteral("PrintFailedReport1") << 1
                                           << QStringLiteral("Verification Failed Report");
        QTest::newRow("failed, drop-down")
            << QStringLiteral("PrintFailed1") << 1 << QStringLiteral("Verification Failed Report");
        QTest::newRow("keyword, File menu")
            << QStringLiteral("PrintKeywordDensityResults1") << 2
            << QStringLiteral("Verification Key Word Density Report");
        QTest::newRow("keyword, drop-down")
            << QStringLiteral("PrintKeyword1") << 2
            << QStringLiteral("Verification Key Word Density Report");
    }
    void printOnePane() {
        QFETCH(QString, command);
        QFETCH(int, pane);
        QFETCH(QString, title);
        QuillmarkHarness h;
        auto* form = h.start();

        // An empty pane: the message, and no job.
        run(form, command);
        QCOMPARE(h.dialogs.texts(),
                 QStringList{QStringLiteral("There is no current report to print")});
        QCOMPARE(h.dialogs.shown.first().kind, Kind::Information);
        QVERIFY(h.printer.jobs.isEmpty());

        fill(form);
        run(form, command);
        QCOMPARE(h.dialogs.shown.size(), 1);
        QCOMPARE(h.printer.jobs.size(), 1);
        const QString pdf = h.printer.jobs.first().path;
        QCOMPARE(pdfInfo(pdf, QStringLiteral("Title")), title);
        QCOMPARE(pdfInfo(pdf, QStringLiteral("Pages")), QStringLiteral("1"));
        QCOMPARE(nonEmptyLines(pdfText(pdf)), nonEmpty(paneFill(pane)));
    }

    void printAll_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("File menu") << QStringLiteral("Print1");
        QTest::newRow("drop-down") << QStringLiteral("PrintAll1");
    }
    void printAll() {
        QFETCH(QString, command);
        QuillmarkHarness h;
        auto* form = h.start();
        run(form, command);
        QVERIFY(h.printer.jobs.isEmpty());

        fill(form, false, true, false);
        run(form, command);
        QCOMPARE(h.printer.jobs.size(), 1);
        QCOMPARE(pdfInfo(h.printer.jobs.first().path, QStringLiteral("Title")),
                 QStringLiteral("Verification Failed Report"));
        QCOMPARE(nonEmptyLines(pdfText(h.printer.jobs.first().path)), nonEmpty(kFailed));

        fill(form, true, false, true);
        h.printer.jobs.clear();
        run(form, command);
        QStringList titles;
        for (const auto& job : h.printer.jobs)
            titles.append(pdfInfo(job.path, QStringLiteral("Title")));
        QCOMPARE(titles, (QStringList{"Verification Passed Report", "Verification Failed Report",
                                      "Verification Key Word Density Report"}));
        QVERIFY(h.dialogs.shown.isEmpty());
    }

    void printShortcut() {
        QuillmarkHarness h;
        auto* form = h.start();
        auto* print = form->findChild<QAction*>(QStringLiteral("Print1"));
        QCOMPARE(print->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    }

    void printerErrorReachesTheErrorBox() {
        QuillmarkHarness h;
        auto* form = h.start();
        fill(form);
        h.printer.unwritable = true;
        run(form, QStringLiteral("PrintPassedReport1"));
        QCOMPARE(h.dialogs.texts(),
                 QStringList{QStringLiteral(
                     "The print job \"Verification Passed Report\" cannot start on the printer.")});
        QCOMPARE(h.dialogs.shown.first().kind, Kind::Error);
        // Print all ends at the first job that fails.
        run(form, QStringLiteral("Print1"));
        QCOMPARE(h.dialogs.shown.size(), 2);
        QCOMPARE(h.printer.jobs.size(), 2);
    }

    void printerSetup() {
        QuillmarkHarness h;
        auto* form = h.start();
        run(form, QStringLiteral("PrinterSetup1"));
        run(form, QStringLiteral("RzToolbarButton5")); // the toolbar's Print button itself
        QCOMPARE(h.printer.setupCalls, 2);
        QVERIFY(h.printer.jobs.isEmpty());
    }

    void mail_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QStringList>("body");
        const QString report = QStringLiteral("Quillmark for FrontPage Report");
        const QStringList all = kPassed + QStringList{""} + kFailed + QStringList{""} + kKeyword;
        QTest::newRow("all, toolbar") << QStringLiteral("RzToolbarButton3") << report << all;
        QTest::newRow("all, File menu") << QStringLiteral("SendResults1") << report << all;
        QTest::newRow("all, drop-down") << QStringLiteral("SendAll1") << report << all;
        QTest::newRow("passed, File menu") << QStringLiteral("PassedURLs1") << report << kPassed;
        QTest::newRow("passed, drop-down") << QStringLiteral("SendPassed1") << report << kPassed;
        QTest::newRow("failed, File menu") << QStringLiteral("FailedURLs1") << report << kFailed;
        QTest::newRow("failed, drop-down") << QStringLiteral("SendFailed1") << report << kFailed;
        QTest::newRow("keyword, drop-down")
            << QStringLiteral("SendKeyword1")
            << QStringLiteral("Quillmark for FrontPage! Key Word Density Report") << kKeyword;
    }
    void mail() {
        QFETCH(QString, command);
        QFETCH(QString, subject);
        QFETCH(QStringList, body);
        QuillmarkHarness h;
        auto* form = h.start();
        fill(form);
        run(form, command);
        QCOMPARE(h.mail.sent.size(), 1);
        QCOMPARE(h.mail.sent.first().subject, subject);
        QCOMPARE(h.mail.sent.first().body,
                 body.join(QLatin1String("\r\n")) + QLatin1String("\r\n"));
        QVERIFY(h.mail.sent.first().hourglass);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QVERIFY(h.dialogs.shown.isEmpty());
    }

    void mailEmptyPanes() {
        QuillmarkHarness h;
        auto* form = h.start();
        run(form, QStringLiteral("SendResults1"));
        run(form, QStringLiteral("SendKeyword1"));
        QCOMPARE(h.mail.sent.size(), 2);
        QCOMPARE(h.mail.sent.at(0).body, QStringLiteral("\r\n\r\n")); // two empty lines
        QCOMPARE(state(form).allResults, (QStringList{"", ""}));
        QCOMPARE(h.mail.sent.at(1).body, QString());
        QCOMPARE(h.mail.sent.at(1).subject,
                 QStringLiteral("Quillmark for FrontPage! Key Word Density Report"));
    }

    void mailResults_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("user abort is silent") << 1 << -1 << QString();
        QTest::newRow("general failure")
            << 2 << int(Kind::Error) << QStringLiteral("MAPI: General Failure. ErrorCode = 2");
        QTest::newRow("code without text")
            << 7 << int(Kind::Error) << QStringLiteral("MAPI: . ErrorCode = 7");
        QTest::newRow("text too large")
            << 18 << int(Kind::Error) << QStringLiteral("MAPI: Text Too Large. ErrorCode = 18");
        QTest::newRow("no mail program")
            << int(platform::kMailNoProgram) << int(Kind::Warning)
            << QStringLiteral("No mail program is set up to compose the message.\r\n\r\n"
                              "Choose a default mail program for mailto: links on this "
                              "computer and try again.");
    }
    void mailResults() {
        QFETCH(int, code);
        QFETCH(int, kind);
        QFETCH(QString, message);
        QuillmarkHarness h;
        auto* form = h.start();
        fill(form);
        h.mail.results = {code};
        run(form, QStringLiteral("FailedURLs1"));
        QCOMPARE(h.mail.sent.size(), 1);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        if (kind < 0) {
            QVERIFY(h.dialogs.shown.isEmpty());
            return;
        }
        QCOMPARE(h.dialogs.texts(), QStringList{message});
        QCOMPARE(int(h.dialogs.shown.first().kind), kind);
    }

    void browserViewRightAfterStartUp() {
        QuillmarkHarness h;
        auto* form = h.start();
        run(form, QStringLiteral("OpenCurrentResultsinBrowser1"));
        const QString file = engine::reportFile(h.env.programFolder());
        QCOMPARE(h.shell.opened, QList<QUrl>{QUrl::fromLocalFile(file)});
        const QStringList report = platform::readLines(file);
        QCOMPARE(report.mid(0, 18), engine::reportHead(h.env.programFolder()));
        for (const char* heading : {"<b>Section One - Files that failed the report</b>",
                                    "<b>Section Two - Files that Passed the report</b>",
                                    "<b>Section Three - Keyword Density and Spam</b>"})
            QCOMPARE(report.filter(QLatin1String(heading)).size(), 1);
        QCOMPARE(report.last(), QStringLiteral("</font></p>"));
        QCOMPARE(report, state(form).reportLines);
        QVERIFY(h.dialogs.shown.isEmpty());
    }

    void browserViewOfThePanesAsTheyStand() {
        QuillmarkHarness h;
        h.env.setValue(rules::kSettingsKey, QStringLiteral("bodychk"), QStringLiteral("2000"));
        auto* form = h.start();
        fill(form);
        results::addPaneLine(keywordPane(form), QStringLiteral("Missing '</HEAD>' Tag & \"more\""));
        run(form, QStringLiteral("OpenCurrentResultsinBrowser1"));
        const QStringList report = platform::readLines(engine::reportFile(h.env.programFolder()));
        const qsizetype three =
            report.indexOf(QStringLiteral("<p><font size=\"3\" face=\"Verdana\"><b>Section Three - "
                                          "Keyword Density and Spam</b></p>"));
        QVERIFY(three > 0);
        QCOMPARE(report.at(three + 5),
                 QStringLiteral(
                     "document is defined as the text found between the <body> and </body> HTML"));
        QCOMPARE(
            report.at(three + 7),
            QStringLiteral(
                "usually just the first 7500 characters into the body and by default that is"));
        QCOMPARE(report.at(three + 9),
                 QStringLiteral("but far below the 7500-character limit.</p>"));
        QCOMPARE(report.at(three + 11),
                 QStringLiteral("the number of times they occur in the first 2000 characters of"));
        QCOMPARE(report.at(three + 12),
                 QStringLiteral(
                     "body text.  To see where the 7500-character limit is, select Body Check"));
        QCOMPARE(report.at(three + 13),
                 QStringLiteral(
                     "Tester from the Special menu in Quillmark.  Select 7500 from the menu then"));
        QCOMPARE(report.at(three + 15),
                 QStringLiteral("first 7500-characters in the body of the document.</p>"));
        QCOMPARE(report.at(three + 19), QStringLiteral("Keyword Check<br>"));
        QCOMPARE(report.at(report.size() - 2),
                 QStringLiteral("Missing '&lt;/HEAD&gt;' Tag &amp; &quot;more&quot;<br>"));
        // Section One lists the failed pane, Section Two the passed pane.
        QCOMPARE(report.mid(23, 5),
                 (QStringList{"Listing of files that failed the checks.<br>", "<br>",
                              "File = about.htm<br>", "    SafeSurf not present<br>", "<br>"}));
        QCOMPARE(report.at(18 + 5 + kFailed.size() + 1 + 5),
                 QStringLiteral("Listing of files that passed the checks.<br>"));
    }

    void browserViewThatCannotWrite() {
        QuillmarkHarness h;
        auto* form = h.start();
        // A missing folder is made again; a file in its place cannot be replaced.
        const QString folder = h.env.programFolder() + QStringLiteral("dorazo");
        QVERIFY(QDir(folder).removeRecursively());
        h.env.writeFile(folder, "not a folder");
        run(form, QStringLiteral("OpenCurrentResultsinBrowser1"));
        QCOMPARE(h.dialogs.shown.size(), 1);
        QCOMPARE(h.dialogs.shown.first().kind, Kind::Error);
        QVERIFY2(
            h.dialogs.shown.first().text.contains(QLatin1Char('"') + folder + QLatin1Char('"')),
            qPrintable(h.dialogs.shown.first().text));
        QVERIFY(h.shell.opened.isEmpty());
    }
};

QTEST_MAIN(TestResultExport)
#include "tst_resultexport.moc"
