// Every help topic either program opens is in the help file it opens. The topics are collected by
// pressing every help control of every window, so a new one is checked without being listed here.
#include "platform/help.h"
#include "platform/textfile.h"
#include "support/modal.h"
#include "support/quillmarkharness.h"
#include "support/tidewellharness.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QtTest>

namespace {

bool isHelp(const QString& text) {
    return QString(text)
        .remove(QLatin1Char('&'))
        .contains(QLatin1String("help"), Qt::CaseInsensitive);
}

// Presses every button and menu item of a window that is about help (by its caption or hint).
int pressHelpControls(QWidget* window) {
    int pressed = 0;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if ((isHelp(b->text()) || isHelp(b->toolTip())) && b->isVisibleTo(window)) {
            b->click();
            ++pressed;
        }
    for (QAction* a : window->findChildren<QAction*>())
        if (!a->menu() && !a->isSeparator() && (isHelp(a->text()) || isHelp(a->toolTip())) &&
            !qobject_cast<QWidget*>(a->parent())->inherits("QToolButton")) {
            a->trigger();
            ++pressed;
        }
    return pressed;
}

// Runs a command that opens a modal window; presses its help controls, then closes it.
int helpOfModal(const std::function<void()>& command) {
    int pressed = -1;
    const testsupport::ModalScript script(
        [&](QWidget* modal) { pressed = pressHelpControls(modal); });
    command();
    return pressed;
}

QAction* action(QWidget* form, const char* name) {
    return form->findChild<QAction*>(QLatin1String(name));
}

QList<int> topicsOf(const testsupport::RecordingHelp& help, const QString& file) {
    QList<int> out;
    for (const auto& t : help.topics) {
        if (t.file != file)
            qWarning("help opened in %s", qPrintable(t.file));
        else if (!out.contains(t.topic))
            out.append(t.topic);
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

class TestHelpTopics : public QObject {
    Q_OBJECT

private slots:
    void quillmark() {
        testsupport::QuillmarkHarness h;
        auto* form = h.startShown();
        // The main window's help menu and keys.
        for (QAction* a : form->menuBar()->findChild<QMenu*>(QStringLiteral("Help1"))->actions())
            if (!a->isSeparator() && a->objectName() != QLatin1String("About1"))
                a->trigger();
        QVERIFY(!h.help.topics.isEmpty());

        // Each window's own help, reached by the command that opens it.
        const char* commands[] = {"RuleBase1", "ProxySettings1", "GenerateKeywords1",
                                  "Showbodycheckcharacters1", "BatchCheckAllFiles1"};
        for (const char* name : commands) {
            QAction* a = action(form, name);
            QVERIFY2(a, name);
            const qsizetype before = h.help.topics.size();
            const int pressed = helpOfModal([a] { a->trigger(); });
            QVERIFY2(pressed > 0, name);
            QVERIFY2(h.help.topics.size() - before == pressed, name);
        }
        QCOMPARE(h.dialogs.texts(), QStringList());

        const QString file = h.env.programFolder() + QStringLiteral("quillmark.hlp");
        const QList<int> topics = topicsOf(h.help, file);
        QCOMPARE(topics, (QList<int>{0, 3, 5, 6, 8, 16, 112, 113, 119, 120, 221, 224, 1200}));
        // The file delivered beside the built program.
        const QSet<int> present = platform::helpTopics(testsupport::builtProgramFolder() +
                                                       QStringLiteral("quillmark.hlp"));
        for (int t : topics)
            QVERIFY2(present.contains(t), qPrintable(QString::number(t)));
    }

    void tidewell() {
        // Port 9 is never reached: no command here talks to the server.
        testsupport::TidewellHarness h(9);
        tidewell::MainWindow* form = h.start();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));

        QVERIFY(pressHelpControls(form) > 0);
        QVERIFY(helpOfModal([&] { form->settingsButton->click(); }) > 0);

        const QString file = h.env.programFolder() + QStringLiteral("tidewell.hlp");
        const QList<int> topics = topicsOf(h.help, file);
        QCOMPARE(topics, (QList<int>{1, 2}));
        const QSet<int> present = platform::helpTopics(testsupport::builtProgramFolder() +
                                                       QStringLiteral("tidewell.hlp"));
        for (int t : topics)
            QVERIFY2(present.contains(t), qPrintable(QString::number(t)));
    }

    // The contents' links of both files lead to topics of the file.
    void linksLeadToTopics() {
        for (const char* name : {"quillmark.hlp", "tidewell.hlp"}) {
            const QString file = testsupport::builtProgramFolder() + QLatin1String(name);
            const QSet<int> present = platform::helpTopics(file);
            const QString text = platform::readTextFile(file).text;
            static const QRegularExpression link(QStringLiteral("href=\"#(\\d+)\""));
            int links = 0;
            for (auto it = link.globalMatch(text); it.hasNext(); ++links) {
                const int t = it.next().captured(1).toInt();
                QVERIFY2(present.contains(t),
                         qPrintable(QStringLiteral("%1 #%2").arg(name).arg(t)));
            }
            QVERIFY2(links > 0 || QLatin1String(name) == QLatin1String("tidewell.hlp"), name);
        }
    }
};

QTEST_MAIN(TestHelpTopics)
#include "tst_helptopics.moc"
