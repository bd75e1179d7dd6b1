// The real help viewer beside the programs' windows: it takes clicks while a modal window is up,
// and it does not keep a program running once its main window has closed.
#include "analysis/proxy/proxysettings.h"
#include "platform/help.h"
#include "support/modal.h"
#include "support/quillmarkharness.h"
#include "support/tidewellharness.h"

#include <QAbstractButton>
#include <QAction>
#include <QProcess>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

namespace {

// A mouse click that comes the way the user's does, through the window system: a window that a
// modal one blocks never gets it.
void clickThroughWindow(QWidget* widget, QPoint at) {
    QWidget* top = widget->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, widget->mapTo(top, at));
}

// Where the first line holding `text` stands in the browser's viewport.
QPoint textPosition(QTextBrowser* browser, const QString& text) {
    const QTextCursor found = browser->document()->find(text);
    if (found.isNull())
        return {-1, -1};
    QTextCursor inside(found);
    inside.setPosition(found.selectionStart() + 3);
    return browser->cursorRect(inside).center();
}

// An X server of the test's own (Xvfb, installed by scripts/setup.sh): real key presses reach
// the program through it.
class VirtualDisplay {
public:
    bool start() {
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"),
                        QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
        if (!m_server.waitForReadyRead(30000))
            return false;
        m_name = QLatin1Char(':') + QString::fromLatin1(m_server.readLine().trimmed());
        return m_name.size() > 1;
    }
    ~VirtualDisplay() {
        m_server.terminate();
        if (!m_server.waitForFinished(10000)) {
            m_server.kill();
            m_server.waitForFinished();
        }
    }
    QString name() const { return m_name; }

    // One xdotool command on this display; its output, trimmed (empty when it took too long).
    QByteArray xdotool(const QStringList& args) const {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_name);
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("xdotool"), args);
        if (!tool.waitForFinished(30000)) {
            tool.kill();
            tool.waitForFinished();
            return {};
        }
        return tool.readAllStandardOutput().trimmed();
    }
    // The window whose title matches, once it is there.
    QString window(const QString& title) const {
        return QString::fromLatin1(xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                            QStringLiteral("--name"), title})
                                       .split('\n')
                                       .value(0));
    }

private:
    QProcess m_server;
    QString m_name;
};

} // namespace

class TestHelpViewer : public QObject {
    Q_OBJECT
private slots:
    // Help from a modal dialog: the viewer follows the user's clicks while the dialog is up, and
    // stays when the dialog goes.
    void helpFromAModalDialog() {
        testsupport::QuillmarkHarness h;
        platform::QtHelp help(h.dialogs, QStringLiteral("Quillmark Help"));
        h.services.help = &help;
        auto* form = h.startShown();
        bool followed = false;
        {
            const testsupport::ModalScript script(
                testsupport::expect<quillmark::ProxySettingsDialog>(
                    [&](quillmark::ProxySettingsDialog* dialog) {
                        dialog->findChild<QAbstractButton*>(QStringLiteral("SpeedButton3"))
                            ->click();
                        QWidget* viewer = help.window();
                        QVERIFY(viewer && QTest::qWaitForWindowExposed(viewer));
                        auto* browser =
                            viewer->findChild<QTextBrowser*>(QStringLiteral("helpBrowser"));
                        QCOMPARE(browser->source().fragment(), QStringLiteral("6"));
                        // The proxy topic has no links: Contents first, then one of its links.
                        QWidget* contents =
                            viewer->findChild<QToolBar*>(QStringLiteral("helpToolBar"))
                                ->widgetForAction(
                                    viewer->findChild<QAction*>(QStringLiteral("helpContents")));
                        clickThroughWindow(contents, contents->rect().center());
                        QTRY_VERIFY(!browser->source().hasFragment());
                        const QPoint link =
                            textPosition(browser, QStringLiteral("Mailing the results"));
                        QVERIFY(browser->viewport()->rect().contains(link));
                        clickThroughWindow(browser->viewport(), link);
                        QTRY_COMPARE(browser->source().fragment(), QStringLiteral("16"));
                        QVERIFY(dialog->isVisible());
                        followed = true;
                    }));
            form->findChild<QAction*>(QStringLiteral("ProxySettings1"))->trigger();
        }
        QVERIFY(followed);
        QWidget* viewer = help.window();
        QVERIFY(viewer && viewer->isVisible());
        QCOMPARE(viewer->parentWidget(), nullptr);
        QVERIFY(h.dialogs.shown.isEmpty());
    }

    // In process: tidewell's window has no keys to open its help, so the test presses its
    // buttons and runs the program's message loop, which must end when the window closes.
    void tidewellEndsWithTheHelpOpen() {
        testsupport::TidewellHarness h(9);
        platform::QtHelp help(h.dialogs, QStringLiteral("Tidewell Help"));
        h.services.help = &help;
        tidewell::MainWindow* form = h.start();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        form->helpButton->click();
        QVERIFY(help.window() && QTest::qWaitForWindowExposed(help.window()));
        bool stillRunning = false;
        QTimer::singleShot(0, form->exitButton, &QToolButton::click);
        QTimer::singleShot(10000, qApp, [&] {
            stillRunning = true;
            QCoreApplication::quit();
        });
        QApplication::exec();
        QVERIFY2(!stillRunning, "the message loop went on after the main window closed");
        QVERIFY(!form->isVisible());
        QVERIFY(h.dialogs.shown.isEmpty());
    }

    // A real quillmark process on a display of its own: the help opened with Ctrl+F1, File >
    // Exit ends the process, and the next start is not taken for a second copy.
    void quillmarkEndsWithTheHelpOpen() {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() &&
                     !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(),
                 "Xvfb and xdotool are installed by scripts/setup.sh");
        VirtualDisplay display;
        QVERIFY(display.start());
        testsupport::TestEnv env;
        QProcessEnvironment pe = testsupport::programEnvironment(env, QStringLiteral("xcb"));
        pe.insert(QStringLiteral("DISPLAY"), display.name());
        pe.insert(QStringLiteral("QM_DIALOG_LOG"), env.path(QStringLiteral("boxes.log")));

        QProcess program;
        program.setProcessEnvironment(pe);
        program.start(QStringLiteral(TESTHOST));
        QVERIFY(program.waitForReadyRead(60000));
        QCOMPARE(program.readAllStandardOutput().trimmed(), QByteArray("running"));
        const QString main = display.window(QStringLiteral("^Quillmark for FrontPage"));
        QVERIFY(!main.isEmpty());
        display.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});
        display.xdotool({QStringLiteral("key"), QStringLiteral("ctrl+F1")});
        QVERIFY(!display.window(QStringLiteral("^Quillmark Help$")).isEmpty());
        // Without a window manager the viewer may take the focus after it shows, and a key can
        // miss the menu on a loaded machine: File > Exit is pressed again until the process ends
        // or three tries have had their time. A viewer that kept the process alive fails them all.
        bool ended = false;
        for (int attempt = 0; attempt < 3 && !ended; ++attempt) {
            QTest::qWait(500);
            display.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), main});
            display.xdotool({QStringLiteral("key"), QStringLiteral("--delay"),
                             QStringLiteral("500"), QStringLiteral("alt+f"), QStringLiteral("x")});
            ended = program.waitForFinished(8000);
        }
        if (!ended) {
            program.kill();
            program.waitForFinished();
        }
        QVERIFY2(ended, "the program still runs after File > Exit with the help open");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == 0, program.readAllStandardError().constData());

        QProcess next;
        next.setProcessEnvironment(pe);
        next.start(QStringLiteral(TESTHOST));
        QVERIFY(next.waitForReadyRead(60000));
        QCOMPARE(next.readAllStandardOutput().trimmed(), QByteArray("running"));
        next.terminate();
        QVERIFY(next.waitForFinished(30000));
        QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("boxes.log"))));
    }
};

QTEST_MAIN(TestHelpViewer)
#include "tst_helpviewer.moc"
