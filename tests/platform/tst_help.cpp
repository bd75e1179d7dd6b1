// The help viewer: a topic of a help file in a window, or a clear message instead of an empty one.
#include "platform/errors.h"
#include "platform/help.h"
#include "support/doubles.h"
#include "support/testenv.h"

#include <QAction>
#include <QDialog>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

using Kind = platform::Dialogs::Kind;

namespace {

QTextBrowser* browserOf(const platform::QtHelp& help) {
    return help.window() ? help.window()->findChild<QTextBrowser*>(QStringLiteral("helpBrowser"))
                         : nullptr;
}

// Where a heading of the page stands in the viewer, from the top of the visible part (the last
// line of that text: the contents' entries come first).
int headingTop(QTextBrowser* browser, const QString& heading) {
    for (QTextBlock b = browser->document()->lastBlock(); b.isValid(); b = b.previous())
        if (b.text() == heading)
            return browser->cursorRect(QTextCursor(b)).top();
    return -1000000;
}

// The topic was scrolled to: its heading stands in the upper part of the window, or in sight
// when the page cannot scroll further.
bool atTop(QTextBrowser* browser, const QString& heading) {
    const int top = headingTop(browser, heading);
    const int height = browser->viewport()->height();
    const QScrollBar* bar = browser->verticalScrollBar();
    return top >= 0 && (top < height / 4 || (bar->value() == bar->maximum() && top < height - 20));
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

    testsupport::TestEnv m_env;

private slots:
    void topicsOfAFile() {
        m_env.writeFile("topics.hlp",
                        "<html><body><a name=\"3\"></a><h2>x</h2><A NAME=\"12\"></A>"
                        "<a id=\"7\" href=\"#3\">seven</a><a href=\"#99\">no anchor</a>"
                        "<p>name=\"44\" in running text</p><a name=\"120\"></a></body></html>");
        const QString file = m_env.path("topics.hlp");
        QCOMPARE(platform::helpTopics(file), (QSet<int>{0, 3, 7, 12, 120}));
        QVERIFY(platform::helpTopicExists(file, 12));
        QVERIFY(!platform::helpTopicExists(file, 1)); // not a part of 12 or 120
        QVERIFY(!platform::helpTopicExists(file, 99));
        QVERIFY(!platform::helpTopicExists(m_env.path("none.hlp"), 0));
        QVERIFY_THROWS_EXCEPTION(platform::EFOpenError,
                                 platform::helpTopics(m_env.path("none.hlp")));
    }

    void noWindowWithoutAFile_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        const QString missing = m_env.path("missing.hlp");
        QTest::newRow("no help file set") << QString() << platform::kHelpNotSet;
        QTest::newRow("missing") << missing << platform::kHelpFileMissing.arg(missing);
        QTest::newRow("a folder") << m_env.root() << platform::kHelpFileMissing.arg(m_env.root());
    }
    void noWindowWithoutAFile() {
        QFETCH(QString, file);
        QFETCH(QString, message);
        testsupport::ScriptedDialogs dialogs;
        platform::QtHelp help(dialogs, QStringLiteral("Quillmark Help"));
        help.showTopic(file, 3);
        QCOMPARE(dialogs.texts(), QStringList{message});
        QCOMPARE(dialogs.shown.first().kind, Kind::Error);
        QVERIFY(!help.window() || !help.window()->isVisible());
    }

    // The delivered file, at a topic far down: its heading is at the top of the window.
    void showsTheTopic() {
        testsupport::ScriptedDialogs dialogs;
        platform::QtHelp help(dialogs, QStringLiteral("Quillmark Help"));
        const QString file = m_env.programFolder() + QStringLiteral("quillmark.hlp");
        help.showTopic(file, 1200);
        QVERIFY(dialogs.shown.isEmpty());
        QWidget* window = help.window();
        QVERIFY(window && window->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), QStringLiteral("Quillmark Help"));
        QTextBrowser* browser = browserOf(help);
        QVERIFY(browser);
        QVERIFY(browser->toPlainText().contains(QStringLiteral("The Body Check Tester")));
        QTRY_VERIFY(atTop(browser, QStringLiteral("The Body Check Tester")));

        // The contents in the same window; Back returns to the topic.
        help.showTopic(file, 0);
        QCOMPARE(help.window(), window);
        QTRY_COMPARE(browser->verticalScrollBar()->value(), 0);
        auto* back = window->findChild<QAction*>(QStringLiteral("helpBack"));
        QVERIFY(back && back->isEnabled());
        back->trigger();
        QTRY_VERIFY(atTop(browser, QStringLiteral("The Body Check Tester")));
        // A link of the contents leads to its topic.
        help.showTopic(file, 0);
        QTRY_COMPARE(browser->verticalScrollBar()->value(), 0);
        // Clicked as the user does: the first line of that text is the contents' entry.
        const QTextCursor entry = browser->document()->find(QStringLiteral("Mailing the results"));
        QVERIFY(!entry.isNull());
        QTextCursor inside(entry);
        inside.setPosition(entry.selectionStart() + 3);
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {},
                          browser->cursorRect(inside).center());
        QTRY_VERIFY(atTop(browser, QStringLiteral("Mailing the results")));
        QVERIFY(dialogs.shown.isEmpty());
    }

    // A topic the file does not hold: said so, and the contents instead of an empty page.
    void missingTopicShowsTheContents() {
        testsupport::ScriptedDialogs dialogs;
        platform::QtHelp help(dialogs, QStringLiteral("Tidewell Help"));
        const QString file = m_env.programFolder() + QStringLiteral("tidewell.hlp");
        help.showTopic(file, 4711);
        QCOMPARE(dialogs.texts(), QStringList{platform::kHelpTopicMissing.arg(file).arg(4711)});
        QCOMPARE(dialogs.shown.first().kind, Kind::Warning);
        QVERIFY(help.window() && help.window()->isVisible());
        QTextBrowser* browser = browserOf(help);
        QVERIFY(browser->toPlainText().contains(QStringLiteral("Tidewell")));
        QTRY_COMPARE(browser->verticalScrollBar()->value(), 0);
    }

    void closeKeys_data() {
        QTest::addColumn<QKeyCombination>("key");
        QTest::newRow("Esc") << QKeyCombination(Qt::Key_Escape);
        QTest::newRow("Ctrl+W") << QKeyCombination(Qt::ControlModifier, Qt::Key_W);
    }
    void closeKeys() {
        QFETCH(QKeyCombination, key);
        testsupport::ScriptedDialogs dialogs;
        platform::QtHelp help(dialogs, QStringLiteral("Tidewell Help"));
        const QString file = m_env.programFolder() + QStringLiteral("tidewell.hlp");
        help.showTopic(file, 0);
        QWidget* window = help.window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTextBrowser* browser = browserOf(help);
        browser->setFocus();
        QTest::keyClick(browser, key.key(), key.keyboardModifiers());
        QTRY_VERIFY(!window->isVisible());
        // The next topic opens it again.
        help.showTopic(file, 0);
        QCOMPARE(help.window(), window);
        QVERIFY(window->isVisible());
    }

    // A modal window that is deleted while the viewer is lent to it leaves no dangling viewer:
    // the next topic opens one that stands on its own.
    void modalWindowDeletedWithTheViewerOpen() {
        testsupport::ScriptedDialogs dialogs;
        platform::QtHelp help(dialogs, QStringLiteral("Help"));
        const QString file = m_env.programFolder() + QStringLiteral("tidewell.hlp");
        auto* modal = new QDialog;
        modal->setWindowModality(Qt::ApplicationModal);
        modal->show();
        QVERIFY(QTest::qWaitForWindowExposed(modal));
        help.showTopic(file, 0);
        QVERIFY(help.window() && help.window()->isVisible());
        QCOMPARE(help.window()->parentWidget(), modal);
        delete modal;
        help.showTopic(file, 0);
        QVERIFY(help.window() && help.window()->isVisible());
        QCOMPARE(help.window()->parentWidget(), nullptr);
        QVERIFY(dialogs.shown.isEmpty());
    }

    // A file in Windows-1252 reads as the other text files do.
    void ansiFile() {
        m_env.writeFile(
            "ansi.hlp",
            "<html><body><a name=\"0\"></a><p>Caf\xE9 \x93quoted\x94</p></body></html>");
        testsupport::ScriptedDialogs dialogs;
        platform::QtHelp help(dialogs, QStringLiteral("Help"));
        help.showTopic(m_env.path("ansi.hlp"), 0);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(browserOf(help)->toPlainText().trimmed(),
                 QStringLiteral("Caf\u00E9 \u201Cquoted\u201D"));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
