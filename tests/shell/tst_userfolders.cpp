// quillmark's files in the user's folders: on delivered data it cannot write, as an installed
// copy is for an ordinary user, working copies go to the cache folder and edited lists to the
// user's folder; file dialogs start in the user's folders.
#include "analysis/engine/workfiles.h"
#include "analysis/results/resultpane.h"
#include "analysis/rules/ruleeditor.h"
#include "analysis/rules/rulestore.h"
#include "platform/folders.h"
#include "platform/shell.h"
#include "platform/textfile.h"
#include "support/modal.h"
#include "support/quillmarkharness.h"
#include "support/unprivileged.h"

#include <QAction>
#include <QDirIterator>
#include <QMap>
#include <QPushButton>
#include <QUrl>
#include <QtTest>

#include <sys/stat.h>

using testsupport::QuillmarkHarness;
using testsupport::state;
using Button = platform::Dialogs::Button;
using Layout = testsupport::TestEnv::Layout;

namespace {

// Every file below the folder with its bytes.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        QFile f(it.filePath());
        files.insert(QDir(folder).relativeFilePath(it.filePath()),
                     f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)"));
    }
    return files;
}

// Folders 0555 and files 0444 below and with the folder, or back to writable for the owner.
void setTreeWritable(const QString& folder, bool writable) {
    auto apply = [writable](const QString& path, bool dir) {
        ::chmod(QFile::encodeName(path).constData(),
                dir ? (writable ? 0755 : 0555) : (writable ? 0644 : 0444));
    };
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    QList<std::pair<QString, bool>> entries;
    while (it.hasNext()) {
        it.next();
        entries.append({it.filePath(), it.fileInfo().isDir()});
    }
    apply(folder, true);
    for (const auto& [path, dir] : std::as_const(entries))
        apply(path, dir);
}

} // namespace

class TestUserFolders : public QObject {
    Q_OBJECT

private slots:
    void checkAndEditOnReadOnlyData() {
        if (!testsupport::runsUnprivileged("checkAndEditOnReadOnlyData"))
            return;
        QuillmarkHarness h(Layout::Separate);
        const QString data = h.env.programFolder();
        const QMap<QString, QByteArray> delivered = snapshot(data);
        const QStringList defaultTags = platform::readLines(rules::requiredTagFile(data));
        setTreeWritable(data, false);
        auto restore = qScopeGuard([&] { setTreeWritable(data, true); });

        auto* form = h.startShown();
        QVERIFY2(h.dialogs.shown.isEmpty(), qPrintable(h.dialogs.texts().join(u'|')));
        QCOMPARE(state(form).ruleTable.names(), defaultTags);
        QCOMPARE(platform::readLines(rules::derivedTagFile(h.env.cacheFolder())), defaultTags);
        QCOMPARE(testsupport::fileMode(h.env.cacheFolder()), mode_t(0700));

        // Check Current File on the sample web of the data folder, with the report.
        h.dialogs.answers = {Button::Yes};
        form->runCommand(&quillmark::MainWindow::checkCurrentFile);
        QCOMPARE(h.dialogs.texts(),
                 QStringList{QStringLiteral("View the report in your browser?   Continue?")});
        QVERIFY(results::paneLines(testsupport::passedPane(form))
                    .contains(QStringLiteral("File = index.htm")));
        QCOMPARE(h.env.readFile(engine::workingFile(h.env.cacheFolder())),
                 h.env.readFile(data + QStringLiteral("sampleweb/index.htm")));
        const QString report = engine::reportFile(h.env.cacheFolder());
        QCOMPARE(h.shell.opened, QList<QUrl>{platform::fileUrl(report)});
        const QString logo =
            QUrl::fromLocalFile(data + engine::kLogoFile).toString(QUrl::FullyEncoded);
        QVERIFY2(platform::readLines(report).join(u'\n').contains(
                     QStringLiteral("src=\"%1\"").arg(logo)),
                 qPrintable(logo));

        // The rule editor reads the default and saves the user's own list, which holds from now.
        const testsupport::ModalScript edit(
            testsupport::expect<quillmark::RuleEditor>([](quillmark::RuleEditor* e) {
                e->tagGrid->insertRowAt(0);
                e->tagGrid->setName(0, QStringLiteral("copyright"));
                e->saveButton->click();
                e->closeButton->click();
            }));
        form->findChild<QAction*>(QStringLiteral("RuleBase1"))->trigger();
        QCOMPARE(h.dialogs.texts().last(), QStringLiteral("Default Values Updated."));
        const QStringList edited = QStringList{QStringLiteral("copyright")} + defaultTags;
        QCOMPARE(platform::readLines(rules::requiredTagFile(h.env.userDataFolder())), edited);
        QCOMPARE(state(form).ruleTable.names(), edited);
        QCOMPARE(testsupport::fileMode(h.env.userDataFolder()), mode_t(0700));

        QCOMPARE(snapshot(data), delivered);
    }

    // A cache folder that cannot be made: start-up and Check Current File name it.
    void cacheThatCannotBeMade() {
        QuillmarkHarness h(Layout::Separate);
        h.env.writeFile(QStringLiteral("blocker"), "a file where the cache folder should be");
        h.services.folders.cache = h.env.path(QStringLiteral("blocker/quillmark/"));
        auto* form = h.start();
        const QString named =
            QLatin1Char('"') + h.env.path(QStringLiteral("blocker")) + QLatin1Char('"');
        QCOMPARE(h.dialogs.shown.size(), 1);
        QCOMPARE(h.dialogs.shown[0].kind, platform::Dialogs::Kind::Error);
        QVERIFY2(h.dialogs.shown[0].text.contains(named), qPrintable(h.dialogs.shown[0].text));
        form->runCommand(&quillmark::MainWindow::checkCurrentFile);
        QCOMPARE(h.dialogs.shown.size(), 2);
        QVERIFY2(h.dialogs.shown[1].text.contains(named), qPrintable(h.dialogs.shown[1].text));
        // Nothing falls back to the data folder.
        QVERIFY(!QFileInfo::exists(engine::workingFile(h.env.programFolder())));
        QVERIFY(!QFileInfo::exists(rules::derivedTagFile(h.env.programFolder())));
    }

    // Open Web Folder starts in the documents folder while the delivered sample web is open, then
    // in the web the user chose.
    void webFolderDialogStart() {
        QuillmarkHarness h(Layout::Separate);
        h.start();
        const QString web = h.env.path(QStringLiteral("web"));
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("checkweb")), web);
        h.fileDialogs.answers = {web, QString()};
        h.form->runCommand(&quillmark::MainWindow::openWebFolder);
        h.form->runCommand(&quillmark::MainWindow::openWebFolder);
        QCOMPARE(h.fileDialogs.asked.size(), 2);
        QCOMPARE(h.fileDialogs.asked[0].options.folder, platform::dialogStartFolder(QString()));
        QVERIFY(!h.fileDialogs.asked[0].options.folder.startsWith(h.env.programFolder()));
        QCOMPARE(h.fileDialogs.asked[1].options.folder, web);
    }
};

QTEST_MAIN(TestUserFolders)
#include "tst_userfolders.moc"
