#include "analysis/batch/batchprogress.h"
#include "analysis/keywords/bodychecktester.h"
#include "analysis/proxy/passwordwindow.h"
#include "analysis/rules/rulestore.h"
#include "analysis/shell/about.h"
#include "analysis/shell/pagechooser.h"
#include "support/modal.h"
#include "support/quillmarkharness.h"
#include "support/unprivileged.h"
#include "webhost/host.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QToolButton>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using testsupport::expect;
using testsupport::ModalScript;
using testsupport::QuillmarkHarness;
using testsupport::state;
using Kind = platform::Dialogs::Kind;

namespace {

QSplitter* splitter(const quillmark::MainWindow* form) {
    return form->findChild<QSplitter*>(QStringLiteral("sp1"));
}

int upperPercent(QSplitter* sp) {
    const QList<int> s = sp->sizes();
    return qRound(s.at(0) * 100.0 / (s.at(0) + s.at(1)));
}

ino_t inodeOf(const QString& path) {
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

const QByteArray kKeyLine = "[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\r\n";
const QString kUnreadableStart = QStringLiteral("Quillmark cannot read its settings file:\r\n");

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void mainWindowAsDescribed() {
        QuillmarkHarness h;
        auto* form = h.startShown();
        QVERIFY(!form->terminated());
        QCOMPARE(form->windowTitle(),
                 QStringLiteral("Quillmark for FrontPage\u00AE - index.htm (sampleweb)"));
        QCOMPARE(form->size(), QSize(636, 463));
        auto* passedBox = form->findChild<QGroupBox*>(QStringLiteral("GroupBox1"));
        auto* failedBox = form->findChild<QGroupBox*>(QStringLiteral("GroupBox2"));
        auto* keywordBox = form->findChild<QGroupBox*>(QStringLiteral("GroupBox3"));
        QVERIFY(passedBox && failedBox && keywordBox);
        QCOMPARE(passedBox->title(), QStringLiteral(" Files that passed the Policy Check "));
        QCOMPARE(failedBox->title(), QStringLiteral(" Files that failed the Policy Check "));
        QCOMPARE(keywordBox->title(), QStringLiteral(" Keyword Density, Linkage && Spam Check "));
        QCOMPARE(keywordBox->width(), 311);
        QCOMPARE(form->findChild<QLabel*>(QStringLiteral("StatusBar1"))->width(), 300);
        // Upper part: passed; lower part: failed to the left of keyword.
        QVERIFY(passedBox->mapTo(form, QPoint()).y() < failedBox->mapTo(form, QPoint()).y());
        QVERIFY(failedBox->mapTo(form, QPoint()).x() < keywordBox->mapTo(form, QPoint()).x());
        QCOMPARE(state(form).page.headTag, QStringLiteral("<head>"));
        auto* about = form->findChild<quillmark::AboutBox*>();
        auto* progress = form->findChild<quillmark::BatchProgressWindow*>();
        QVERIFY(about && progress && form->findChild<quillmark::BodyCheckTester*>() &&
                form->findChild<quillmark::PasswordWindow*>());
        QVERIFY(!about->isVisible() && !progress->isVisible());
        QCOMPARE(state(form).helpFile, h.env.programFolder() + QStringLiteral("quillmark.hlp"));
        QVERIFY(h.dialogs.shown.isEmpty());
    }

    void firstStartWithoutSettingsKey() {
        QuillmarkHarness h;
        QVERIFY(!h.env.keyExists(rules::kSettingsKey));
        auto* form = h.startShown();
        QVERIFY(h.env.keyExists(rules::kSettingsKey));
        QCOMPARE(form->panePercent(), 50);
        QCOMPARE(upperPercent(splitter(form)), 50);
        h.close();
        QVERIFY(!h.env.valueExists(rules::kSettingsKey, QStringLiteral("win-p")));
    }

    void splitFromWinP() {
        QuillmarkHarness h;
        h.env.setValue(rules::kSettingsKey, QStringLiteral("WIN-P"), QStringLiteral("30"));
        auto* form = h.startShown();
        QCOMPARE(form->panePercent(), 30);
        QSplitter* sp = splitter(form);
        QCOMPARE(upperPercent(sp), 30);
        const int total = sp->sizes().at(0) + sp->sizes().at(1);
        // The user drags the handle to 60 percent.
        QSplitterHandle* handle = sp->handle(1);
        const QPoint from = handle->rect().center();
        const int delta = int(total * 0.6) - sp->sizes().at(0);
        QTest::mousePress(handle, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(0, delta)),
                         handle->mapToGlobal(QPointF(from + QPoint(0, delta))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(handle, &move);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, from + QPoint(0, delta));
        QCOMPARE(form->panePercent(), 60);
        h.close();
        QCOMPARE(h.env.value(rules::kSettingsKey, QStringLiteral("win-p")), QStringLiteral("60"));
    }

    void winPOutsideItsRange_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("percent");
        QTest::newRow("zero") << QStringLiteral("0") << 50;
        QTest::newRow("too small") << QStringLiteral("3") << 8;
        QTest::newRow("too large") << QStringLiteral("99") << 95;
        QTest::newRow("not a number") << QStringLiteral("half") << 50;
    }
    void winPOutsideItsRange() {
        QFETCH(QString, stored);
        QFETCH(int, percent);
        QuillmarkHarness h;
        h.env.setValue(rules::kSettingsKey, QStringLiteral("win-p"), stored);
        QCOMPARE(h.start()->panePercent(), percent);
        QVERIFY(h.dialogs.shown.isEmpty());
    }

    void editorCannotNameThePage() {
        QuillmarkHarness h;
        h.host->failTopPage = true;
        auto* form = h.start();
        QVERIFY(!form->terminated());
        QCOMPARE(h.dialogs.texts(),
                 QStringList{"Could not determine the current page!\r\n\r\nError 2003"});
        QCOMPARE(h.dialogs.shown.first().kind, Kind::Error);
        QCOMPARE(h.host->topPageCalls, 1);
        QCOMPARE(state(form).ruleTable.names(), QStringList{"author"});
    }

    void noLinkToTheHost_data() {
        QTest::addColumn<bool>("explorer");
        QTest::addColumn<QString>("message");
        QTest::newRow("explorer") << true
                                  << QStringLiteral("Could not create the link to FrontPage, The "
                                                    "program cannot continue!\r\n\r\nError 2001");
        QTest::newRow("editor") << false
                                << QStringLiteral("Could not create the link to FrontPage, The "
                                                  "program cannot continue!\r\n\r\nError 2002");
    }
    void noLinkToTheHost() {
        QFETCH(bool, explorer);
        QFETCH(QString, message);
        QuillmarkHarness h;
        (explorer ? h.host->failExplorer : h.host->failEditor) = true;
        auto* form = h.start();
        QVERIFY(form->terminated());
        QCOMPARE(h.dialogs.texts(), QStringList{message});
        QCOMPARE(h.dialogs.shown.first().kind, Kind::Error);
        // No settings read and nothing written.
        QVERIFY(!QFile::exists(h.env.registryPath()));
        QVERIFY(!QFile::exists(rules::derivedTagFile(h.env.programFolder())));
    }

    void unreadableRequiredTagFile() {
        QuillmarkHarness h;
        QFile::remove(rules::requiredTagFile(h.env.programFolder()));
        auto* form = h.start();
        QVERIFY(!form->terminated());
        QCOMPARE(h.dialogs.shown.size(), 1);
        QCOMPARE(h.dialogs.shown.first().kind, Kind::Error);
        QVERIFY(h.dialogs.shown.first().text.startsWith(
            QStringLiteral("Cannot open file \"") + rules::requiredTagFile(h.env.programFolder())));
        QVERIFY(!QFile::exists(rules::derivedTagFile(h.env.programFolder())));
        QCOMPARE(state(form).ruleTable.rowCount(), 1);
        QVERIFY(state(form).helpFile.isEmpty());
        // Start-up still creates the long-lived windows.
        QVERIFY(form->findChild<quillmark::AboutBox*>());
    }

    // Only what the program changed may differ: a line it did not change keeps its bytes,
    // whatever its encoding, and a file with nothing to change is not even rewritten.
    void registryKeptByteForByte_data() {
        QTest::addColumn<QByteArray>("values");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray mixed = "\"puser\"=\"J\xF6rg\"\r\n; caf\xE9\r\n\"owner\"=\"Zo\xC3\xAB\"\n";
        QTest::newRow("split written") << mixed + "\"win-p\"=\"0\"\r\n"
                                       << mixed + "\"win-p\"=\"50\"\r\n";
        QTest::newRow("split unchanged") << mixed + "\"win-p\"=\"30\"\r\n" << QByteArray();
        QTest::newRow("no split value") << mixed << QByteArray();
    }
    void registryKeptByteForByte() {
        QFETCH(QByteArray, values);
        QFETCH(QByteArray, expected); // "" for the file as it was
        QuillmarkHarness h;
        const QByteArray original = "REGEDIT4\r\n\r\n" + kKeyLine + values;
        h.env.writeFile(h.env.registryPath(), original);
        const ino_t inode = inodeOf(h.env.registryPath());
        h.startShown();
        h.close();
        QVERIFY(h.dialogs.shown.isEmpty());
        QCOMPARE(h.env.readFile(h.env.registryPath()),
                 expected.isEmpty() ? original : "REGEDIT4\r\n\r\n" + kKeyLine + expected);
        QCOMPARE(inodeOf(h.env.registryPath()) == inode, expected.isEmpty());
    }

    // A registry file that cannot be read is said at start, and the run writes nothing, even
    // once the file can be read again.
    void unreadableRegistryIsNotWritten() {
        QuillmarkHarness h;
        const QString registry = h.env.registryPath();
        QVERIFY(QDir().mkpath(registry)); // a folder in its place: unreadable even by root
        auto* form = h.startShown();
        QCOMPARE(h.dialogs.shown.size(), 1);
        QCOMPARE(h.dialogs.shown.first().kind, Kind::Warning);
        QVERIFY(h.dialogs.shown.first().text.startsWith(kUnreadableStart));
        QVERIFY(h.dialogs.shown.first().text.contains(registry));
        QCOMPARE(form->panePercent(), 50);
        QCOMPARE(state(form).ruleTable.names(), QStringList{"author"}); // start-up went on

        QVERIFY(QDir().rmdir(registry));
        const QByteArray later = "REGEDIT4\r\n\r\n" + kKeyLine + "\"win-p\"=\"0\"\r\n";
        h.env.writeFile(registry, later);
        h.close();
        QCOMPARE(h.env.readFile(registry), later);
    }

    // The same as a user who may not read the file (CI runs as root), in a real process that
    // starts and closes its window.
    void unreadableRegistryAsUser_data() {
        QTest::addColumn<bool>("folderInItsPlace");
        QTest::newRow("no read permission") << false;
        QTest::newRow("a folder in its place") << true;
    }
    void unreadableRegistryAsUser() {
        QFETCH(bool, folderInItsPlace);
        testsupport::TestEnv env;
        const QString registry = env.registryPath();
        const QByteArray original = "REGEDIT4\r\n\r\n" + kKeyLine + "\"win-p\"=\"0\"\r\n";
        env.writeFile(registry, original);
        QVERIFY(QDir().mkpath(env.path(QStringLiteral("out"))));
        QVERIFY(QDir().mkpath(env.path(QStringLiteral("run"))));
        testsupport::shareFolder(env.root(), false);
        // Everything the program may write is open to it: only the file's own state keeps it.
        for (const QString& writable : {env.path(QStringLiteral("config")),
                                        env.path(QStringLiteral("out")), env.programFolder()})
            testsupport::shareFolder(writable, true);
        if (testsupport::runningAsRoot())
            QCOMPARE(::chown(QFile::encodeName(env.path(QStringLiteral("run"))).constData(), 65534,
                             65534),
                     0);
        QFile::setPermissions(env.path(QStringLiteral("run")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (folderInItsPlace) {
            QVERIFY(QFile::remove(registry));
            QVERIFY(QDir().mkpath(registry));
        } else {
            QVERIFY(QFile::setPermissions(registry, QFile::Permissions()));
        }
        const ino_t inode = inodeOf(registry);

        QProcess p;
        QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
        pe.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        pe.insert(QStringLiteral("HOME"), env.path(QStringLiteral("out")));
        pe.insert(QStringLiteral("XDG_CONFIG_HOME"), env.path(QStringLiteral("config")));
        pe.insert(QStringLiteral("XDG_RUNTIME_DIR"), env.path(QStringLiteral("run")));
        pe.insert(QStringLiteral("QM_PROGRAM_FOLDER"), env.programFolder());
        pe.insert(QStringLiteral("QM_DIALOG_LOG"), env.path(QStringLiteral("out/dialogs.log")));
        pe.insert(QStringLiteral("QM_CLOSE_AT_START"), QStringLiteral("1"));
        p.setProcessEnvironment(pe);
        testsupport::startUnprivileged(p, QStringLiteral(TESTHOST), {},
                                       env.path(QStringLiteral("out")));
        QVERIFY(p.waitForFinished(120000));
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
                 p.readAllStandardError().constData());

        const QStringList shown = QString::fromUtf8(env.readFile(QStringLiteral("out/dialogs.log")))
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(
            shown.first().startsWith(
                QString(kUnreadableStart).replace(QLatin1String("\r\n"), QLatin1String("\\r\\n"))),
            qPrintable(shown.first()));
        QVERIFY(shown.first().contains(registry));
        QCOMPARE(inodeOf(registry), inode);
        QCOMPARE(QDir(QFileInfo(registry).path())
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"registry.reg"});
        if (!folderInItsPlace) {
            QVERIFY(QFile::setPermissions(registry, QFile::ReadOwner | QFile::WriteOwner));
            QCOMPARE(env.readFile(registry), original);
        }
    }

    void ruleBaseReload() {
        QuillmarkHarness h;
        auto* form = h.start();
        QCOMPARE(state(form).ruleTable.names(), QStringList{"author"});
        h.env.setValue(rules::kSettingsKey, QStringLiteral("KeyReq"), QStringLiteral("1"));
        h.env.setValue(rules::kSettingsKey, QStringLiteral("bodychk"), QStringLiteral("0"));
        state(form).ruleTable.setCell(1, 1, QStringLiteral("value of the last page"));
        const ModalScript editor([](QWidget* w) { w->close(); });
        form->runCommand(&quillmark::MainWindow::editRuleBase);
        QCOMPARE(state(form).ruleTable.names(), (QStringList{"author", "keywords"}));
        QCOMPARE(state(form).ruleTable.cell(1, 1), QString());
        QCOMPARE(state(form).rules.bodychk, QStringLiteral("1000"));
        QCOMPARE(h.env.readFile(rules::derivedTagFile(h.env.programFolder())),
                 QByteArray("author\r\nkeywords\r\n"));

        // An unreadable file after the editor: the standard error box, and an empty table.
        QFile::remove(rules::requiredTagFile(h.env.programFolder()));
        const ModalScript editorAgain([](QWidget* w) { w->close(); });
        form->runCommand(&quillmark::MainWindow::editRuleBase);
        QCOMPARE(h.dialogs.shown.size(), 2); // the editor's message, then the rebuild's
        QVERIFY(h.dialogs.shown.last().text.startsWith(QStringLiteral("Cannot open file")));
        QCOMPARE(state(form).ruleTable.rowCount(), 1);
    }

    void aboutBox() {
        QuillmarkHarness h;
        auto* form = h.startShown();
        QAction* about = form->findChild<QAction*>(QStringLiteral("About1"));
        QVERIFY(about);
        QCOMPARE(about->shortcut(), QKeySequence(Qt::Key_F1));
        about->trigger();
        auto* box = form->findChild<quillmark::AboutBox*>();
        QVERIFY(box->isVisible());
        QVERIFY(!box->isModal());
        QCOMPARE(box->windowTitle(), QStringLiteral("About Quillmark"));
        QCOMPARE(box->size(), QSize(300, 160));
        QStringList labels;
        for (const QLabel* l : box->findChildren<QLabel*>())
            labels.append(l->text());
        for (const char* text :
             {"Varnholt", "Quillmark", "Release", "5", "for Microsoft FrontPage 98-2002"})
            QVERIFY2(labels.contains(QLatin1String(text)), text);
        QVERIFY(!box->ProgramIcon->pixmap().isNull());
        QTest::mouseClick(box->Release, Qt::LeftButton);
        QCOMPARE(h.dialogs.texts(), QStringList{"Release 5.0.0.1"});
        QCOMPARE(h.dialogs.shown.last().kind, Kind::Information);
        QTest::mouseClick(box->Company, Qt::LeftButton);
        QCOMPARE(h.dialogs.shown.size(), 2);
        QCOMPARE(h.dialogs.shown.last().text, quillmark::AboutBox::kCredits);
        auto* ok = box->findChild<QPushButton*>(QStringLiteral("OKButton"));
        QCOMPARE(ok->text(), QStringLiteral("&Ok"));
        ok->click();
        QVERIFY(!box->isVisible());
    }

    void webMenu() {
        QuillmarkHarness h;
        auto* form = h.start();
        const QString web = h.env.path(QStringLiteral("otherweb"));
        h.env.writeFile(QStringLiteral("otherweb/index.htm"), "<html></html>");
        h.fileDialogs.answers = {web};
        QCOMPARE(form->windowTitle(),
                 QStringLiteral("Quillmark for FrontPage\u00AE - index.htm (sampleweb)"));
        form->findChild<QAction*>(QStringLiteral("OpenWebFolder1"))->trigger();
        QCOMPARE(QFileInfo(h.web->webFolder()).canonicalFilePath(),
                 QFileInfo(web).canonicalFilePath());
        QCOMPARE(h.env.value(webhost::LocalWeb::kStateKey, QStringLiteral("page")),
                 QStringLiteral("index.htm"));
        QCOMPARE(form->windowTitle(),
                 QStringLiteral("Quillmark for FrontPage\u00AE - index.htm (otherweb)"));
        // Cancelling changes nothing.
        form->findChild<QAction*>(QStringLiteral("OpenWebFolder1"))->trigger();
        QCOMPARE(QFileInfo(h.web->webFolder()).canonicalFilePath(),
                 QFileInfo(web).canonicalFilePath());
        QVERIFY(h.dialogs.shown.isEmpty());

        // Open Page lists the web's pages and opens the one picked.
        h.env.writeFile(QStringLiteral("otherweb/sub/b.html"), "<html></html>");
        h.env.writeFile(QStringLiteral("otherweb/notes.txt"), "n");
        QStringList listed;
        const ModalScript chooser(expect<quillmark::PageChooser>([&](quillmark::PageChooser* c) {
            for (int i = 0; i < c->list()->count(); ++i)
                listed.append(c->list()->item(i)->text());
            c->list()->setCurrentRow(1);
            c->accept();
        }));
        form->findChild<QAction*>(QStringLiteral("OpenPage1"))->trigger();
        QCOMPARE(listed, (QStringList{"index.htm", "sub/b.html"}));
        QCOMPARE(h.web->openPageAddress(), QStringLiteral("sub/b.html"));
        QCOMPARE(state(form).editor->vtiGetTopPageURL(), QStringLiteral("sub/b.html"));
        QCOMPARE(form->windowTitle(),
                 QStringLiteral("Quillmark for FrontPage\u00AE - sub/b.html (otherweb)"));

        // A web without index.htm opens no page: the title names the web alone.
        const QString bare = h.env.path(QStringLiteral("bare web"));
        h.env.writeFile(QStringLiteral("bare web/notes.txt"), "n");
        h.fileDialogs.answers = {bare};
        form->findChild<QAction*>(QStringLiteral("OpenWebFolder1"))->trigger();
        QCOMPARE(form->windowTitle(), QStringLiteral("Quillmark for FrontPage\u00AE - bare web"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
