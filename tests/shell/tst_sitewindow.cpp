// The main window on a site: Open Site, a site kept for the next start, the batch commands, the
// check and the keyword builder over a site served by nginx on the loopback.
#include "analysis/batch/pageselection.h"
#include "analysis/engine/workfiles.h"
#include "analysis/keywords/keywordgenerator.h"
#include "analysis/results/resultpane.h"
#include "analysis/shell/openweb.h"
#include "analysis/shell/sitedialog.h"
#include "analysis/shell/sitelisting.h"
#include "platform/registrystore.h"
#include "support/modal.h"
#include "support/quillmarkharness.h"
#include "support/webservers.h"
#include "webhost/localweb.h"
#include "webhost/siteweb.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

using quillmark::KeywordGenerator;
using quillmark::MainWindow;
using quillmark::OpenWeb;
using quillmark::PageSelectionDialog;
using quillmark::SiteDialog;
using quillmark::SiteListingWindow;
using testsupport::expect;
using testsupport::failedPane;
using testsupport::keywordPane;
using testsupport::ModalScript;
using testsupport::ModalStep;
using testsupport::passedPane;
using testsupport::QuillmarkHarness;
using Kind = platform::Dialogs::Kind;

namespace {

const QString kError3001 = QStringLiteral("Unable to access FrontPage\r\n\r\nError 3001");
const QString kCaption = QStringLiteral("Quillmark for FrontPage\u00AE");

QStringList lines(QPlainTextEdit* pane) {
    return results::paneLines(pane);
}

QAction* action(MainWindow* form, const char* name) {
    auto* a = form->findChild<QAction*>(QLatin1String(name));
    if (!a)
        qFatal("no action %s", name);
    return a;
}

void writeFile(const QString& folder, const QString& relative, const QByteArray& bytes) {
    const QString path = folder + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString& folder, const QString& relative) {
    QFile f(folder + QLatin1Char('/') + relative);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A harness whose host is the web the window opens (folder or site), as the program has it.
std::unique_ptr<QuillmarkHarness> harness() {
    auto h = std::make_unique<QuillmarkHarness>();
    h->services.host = nullptr;
    return h;
}

// Types the address into Open Site and presses OK; records the addresses offered.
ModalStep typeAddress(const QString& address, QStringList* offered = nullptr,
                      bool* stayed = nullptr) {
    return expect<SiteDialog>([=](SiteDialog* d) {
        if (offered)
            for (int i = 0; i < d->addressBox()->count(); ++i)
                offered->append(d->addressBox()->itemText(i));
        d->addressBox()->setEditText(address);
        d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        if (stayed)
            *stayed = d->isVisible();
    });
}

void openSite(MainWindow* form, const QString& address) {
    const ModalScript user(typeAddress(address));
    action(form, "OpenSite1")->trigger();
}

// Ticks every row of the page selection and checks them.
ModalStep tickAll(QStringList* rows = nullptr) {
    return expect<PageSelectionDialog>([rows](PageSelectionDialog* d) {
        for (int r = 0; r < d->rowCount(); ++r) {
            if (rows)
                rows->append(d->caption(r));
            d->setTicked(r, true);
        }
        d->findChild<QAction*>(QStringLiteral("RzToolButton3"))->trigger();
    });
}

// The panes after "Batch Check (All Files)" over every page listed.
struct Panes {
    QStringList rows, passed, failed, keyword;
};
Panes batchAll(MainWindow* form) {
    Panes p;
    {
        const ModalScript user(tickAll(&p.rows));
        action(form, "BatchCheckAllFiles1")->trigger();
    }
    p.passed = lines(passedPane(form));
    p.failed = lines(failedPane(form));
    p.keyword = lines(keywordPane(form));
    return p;
}

// The batch fixture pages, with a sitemap that names them (and `extra` pages) on `root`.
void writeSite(const QString& folder, const QString& root, const QStringList& extra = {}) {
    testsupport::copyTree(testsupport::fixturePath(QStringLiteral("batchweb")), folder);
    QStringList pages{"colours.htm", "emptytitle.htm", "good.htm",   "nometa1.htm", "nometa2.htm",
                      "nometa3.htm", "shoes6.htm",     "shoes7.htm", "sub/deep.htm"};
    pages += extra;
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
    for (const QString& p : pages)
        xml += "<url><loc>" + (root + p).toUtf8() + "</loc></url>\n";
    xml += "</urlset>\n";
    QFile f(folder + QStringLiteral("/sitemap.xml"));
    if (!f.open(QIODevice::WriteOnly) || f.write(xml) != xml.size())
        qFatal("cannot write the sitemap");
}

// Closes the window and starts the program again on the same files.
void restart(QuillmarkHarness& h) {
    h.close();
    h.form.reset();
    h.wired.reset();
    h.web = std::make_unique<webhost::LocalWeb>(h.env.registryPath(), h.env.programFolder());
    h.services.localWeb = h.web.get();
    h.start();
}

} // namespace

class TestSiteWindow : public QObject {
    Q_OBJECT

private slots:
    void openSiteKeepsTheAddressesUsedLast() {
        auto h = harness();
        auto* form = h->start();
        QStringList offered;
        {
            const ModalScript user(
                typeAddress(QStringLiteral("  http://127.0.0.1:9/docs/ "), &offered));
            action(form, "OpenSite1")->trigger();
        }
        QVERIFY(offered.isEmpty());
        QCOMPARE(h->dialogs.texts(), QStringList());
        QCOMPARE(h->env.value(OpenWeb::kStateKey, QStringLiteral("site")),
                 QStringLiteral("http://127.0.0.1:9/docs/"));
        QVERIFY(form->windowTitle().startsWith(kCaption + QStringLiteral(" - ")));
        QVERIFY2(form->windowTitle().contains(QStringLiteral("http://127.0.0.1:9/docs/")),
                 qPrintable(form->windowTitle()));

        // Newest first, each once, ten at most; the open one is the dialog's text.
        for (int i = 1; i <= 11; ++i)
            openSite(form, QStringLiteral("http://127.0.0.1:9/s%1/").arg(i));
        openSite(form, QStringLiteral("http://127.0.0.1:9/s5/"));
        offered.clear();
        QString shown;
        {
            const ModalScript user(expect<SiteDialog>([&](SiteDialog* d) {
                for (int i = 0; i < d->addressBox()->count(); ++i)
                    offered.append(d->addressBox()->itemText(i));
                shown = d->addressBox()->currentText();
                d->reject();
            }));
            action(form, "OpenSite1")->trigger();
        }
        QCOMPARE(shown, QStringLiteral("http://127.0.0.1:9/s5/"));
        QStringList expected{"http://127.0.0.1:9/s5/"};
        for (int i = 11; i >= 2; --i)
            if (i != 5)
                expected.append(QStringLiteral("http://127.0.0.1:9/s%1/").arg(i));
        QCOMPARE(offered, expected);
        QCOMPARE(h->dialogs.texts(), QStringList());
    }

    void badAddressesAreRefused_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "  "
                               << "Type the address of the site, such as https://www.example.org/.";
        QTest::newRow("no scheme")
            << "www.example.org"
            << "The address www.example.org is not the address of a site: it must begin with "
               "http:// or https://.";
        QTest::newRow("ftp") << "ftp://127.0.0.1/"
                             << "The address ftp://127.0.0.1/ is not the address of a site: it "
                                "must begin with http:// or https://.";
        QTest::newRow("file") << "file:///home/ann/web/"
                              << "The address file:///home/ann/web/ is not the address of a "
                                 "site: it must begin with http:// or https://.";
        QTest::newRow("no host") << "http:///index.htm"
                                 << "The address http:///index.htm names no host: write it as "
                                    "https://www.example.org/.";
    }
    void badAddressesAreRefused() {
        QFETCH(QString, address);
        QFETCH(QString, message);
        auto h = harness();
        auto* form = h->start();
        const QString title = form->windowTitle();
        bool stayed = false;
        {
            const ModalScript user(typeAddress(address, nullptr, &stayed));
            action(form, "OpenSite1")->trigger();
        }
        QVERIFY(stayed);
        QCOMPARE(h->dialogs.texts(), QStringList{message});
        QCOMPARE(h->dialogs.shown.first().kind, Kind::Error);
        QVERIFY(!h->env.keyExists(OpenWeb::kStateKey));
        QCOMPARE(form->windowTitle(), title);
    }

    void dialogHelpIsInTheHelpFile() {
        auto h = harness();
        auto* form = h->start();
        const ModalScript user(expect<SiteDialog>([](SiteDialog* d) {
            d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Help)->click();
            d->reject();
        }));
        action(form, "OpenSite1")->trigger();
        QCOMPARE(h->help.topics.size(), 1);
        QCOMPARE(h->help.topics.first().topic, SiteDialog::kHelpTopic);
        const QByteArray help = h->env.readFile(h->help.topics.first().file);
        QVERIFY(help.contains(QByteArray("<a name=\"") +
                              QByteArray::number(SiteDialog::kHelpTopic) + "\"></a>"));
    }

    // The next start opens the same site; a web folder opened then returns to the folder, also
    // for the start after.
    void restartReopensTheSiteOrTheFolder() {
        const QString root = QStringLiteral("http://127.0.0.1:9/docs/");
        auto h = harness();
        openSite(h->start(), root);
        const QString title = h->form->windowTitle();
        restart(*h);
        QCOMPARE(h->dialogs.texts(), QStringList());
        QCOMPARE(h->form->windowTitle(), title);
        QVERIFY(h->wired->services().openWeb->site());

        QDir().mkpath(h->env.path(QStringLiteral("web")));
        h->fileDialogs.answers = {h->env.path(QStringLiteral("web"))};
        action(h->form.get(), "OpenWebFolder1")->trigger();
        QVERIFY(!h->wired->services().openWeb->site());
        QCOMPARE(h->form->windowTitle(), kCaption + QStringLiteral(" - web"));
        restart(*h);
        QVERIFY(!h->wired->services().openWeb->site());
        QCOMPARE(h->form->windowTitle(), kCaption + QStringLiteral(" - web"));
        // The addresses used stay on offer.
        QCOMPARE(h->wired->services().openWeb->recentSites(), QStringList{root});
    }

    // The site gives the same pane lines as its files opened as a web folder; a page the
    // sitemap names that answers 404 is a failed page and the run goes on.
    void batchOverASiteIsTheBatchOverItsFolder() {
        const QTemporaryDir served;
        const QString folder = served.path();
        testsupport::NginxServer server;
        QVERIFY(server.start(folder));
        const QString root = server.url();
        writeSite(folder, root, {QStringLiteral("missing.htm")});

        auto folderRun = harness();
        folderRun->openWeb(folder, QStringLiteral("good.htm"));
        const Panes asFolder = batchAll(folderRun->start());

        auto h = harness();
        auto* form = h->start();
        openSite(form, root);
        const Panes asSite = batchAll(form);

        QStringList rows = asFolder.rows;
        rows.insert(rows.indexOf(QStringLiteral("nometa1.htm")), QStringLiteral("missing.htm"));
        QCOMPARE(asSite.rows, rows);
        QCOMPARE(asSite.passed, asFolder.passed.mid(0, asFolder.passed.size() - 1) +
                                    QStringList{QStringLiteral("%1 of %2 passed verification.")
                                                    .arg(asFolder.passed.last().section(' ', 0, 0))
                                                    .arg(rows.size())});
        QVERIFY(asSite.failed.contains(QStringLiteral("File = missing.htm")));
        const int at = asSite.failed.indexOf(QStringLiteral("File = missing.htm"));
        QVERIFY2(asSite.failed.value(at + 1).startsWith(
                     QStringLiteral("    The page cannot be checked: 404")),
                 qPrintable(asSite.failed.value(at + 1)));
        QStringList withoutMissing = asSite.failed;
        withoutMissing.remove(at, 3);
        QCOMPARE(withoutMissing.mid(0, withoutMissing.size() - 1),
                 asFolder.failed.mid(0, asFolder.failed.size() - 1));
        QCOMPARE(asSite.keyword, asFolder.keyword);
        // Only the report offer was shown.
        QCOMPARE(h->dialogs.texts(), folderRun->dialogs.texts());
    }

    void cancelDuringTheListingEndsQuietly() {
        const QTemporaryDir served;
        const QString folder = served.path();
        testsupport::NginxServer server;
        QVERIFY(server.start(folder));
        // A sitemap of many addresses, so that the listing is still under way when Cancel comes.
        writeFile(folder, QStringLiteral("p.html"),
                  "<html><head><title>P</title></head><body></body></html>");
        QByteArray xml = "<?xml version=\"1.0\"?>\n"
                         "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
        for (int i = 0; i < 5000; ++i)
            xml += "<url><loc>" + server.url().toUtf8() + "p.html?n=" + QByteArray::number(i) +
                   "</loc></url>\n";
        writeFile(folder, QStringLiteral("sitemap.xml"), xml + "</urlset>\n");
        auto h = harness();
        auto* form = h->start();
        openSite(form, server.url());
        QString caption;
        {
            const ModalScript user(expect<SiteListingWindow>([&](SiteListingWindow* w) {
                caption = w->windowTitle();
                QVERIFY(w->siteLabel->text().contains(server.url()));
                w->cancelButton->click();
            }));
            action(form, "BatchCheckAllFiles1")->trigger();
            QCOMPARE(user.seen(), QStringList{QStringLiteral("quillmark::SiteListingWindow")});
        }
        QCOMPARE(caption, SiteListingWindow::kCaption);
        QCOMPARE(h->dialogs.texts(), QStringList());
        QVERIFY(form->findChildren<PageSelectionDialog*>().isEmpty());
        QVERIFY(!form->findChild<SiteListingWindow*>()->isVisible());
        QVERIFY(!form->busy());
        QCOMPARE(lines(passedPane(form)), QStringList());
        QVERIFY(h->wired->services().openWeb->site()->listing().pages.isEmpty());
    }

    // A site nothing answers on: Error 3001's box with the cause, for the check and the batch.
    void unreachableSiteSaysWhy() {
        auto h = harness();
        auto* form = h->start();
        openSite(form, QStringLiteral("http://127.0.0.1:%1/").arg(testsupport::freeLoopbackPort()));
        const ModalScript closeAll = ModalScript::closeEach();
        for (const char* command : {"CheckCurrentFile1", "BatchCheckAllFiles1"}) {
            h->dialogs.shown.clear();
            action(form, command)->trigger();
            QCOMPARE(h->dialogs.shown.size(), 1);
            QCOMPARE(h->dialogs.shown.first().kind, Kind::Error);
            const QString text = h->dialogs.shown.first().text;
            QVERIFY2(text.startsWith(kError3001 + QStringLiteral("\r\n\r\n")), qPrintable(text));
            QVERIFY2(text.size() > kError3001.size() + 4, qPrintable(text));
            QVERIFY(!form->busy());
        }
        QVERIFY(closeAll.seen().isEmpty() ||
                closeAll.seen() == QStringList{QStringLiteral("quillmark::SiteListingWindow")});
    }

    // Each check fetches the page anew; a page that answers an error is a failed page.
    void checkCurrentFileFetchesAnew() {
        const QTemporaryDir served;
        const QString folder = served.path();
        testsupport::NginxServer server;
        QVERIFY(server.start(folder));
        writeFile(folder, QStringLiteral("page.htm"),
                  "<html><head><title>Old</title></head><body></body></html>");
        auto h = harness();
        auto* form = h->start();
        openSite(form, server.url() + QStringLiteral("page.htm"));
        action(form, "CheckCurrentFile1")->trigger();
        const QStringList first = lines(failedPane(form)) + lines(passedPane(form));
        writeFile(folder, QStringLiteral("page.htm"),
                  "<html><head><title>New</title><meta name=\"author\" content=\"Ann\">"
                  "<meta name=\"keywords\" content=\"pottery\"><meta name=\"description\" "
                  "content=\"pottery\"></head><body>pottery</body></html>");
        action(form, "CheckCurrentFile1")->trigger();
        const QStringList second = lines(failedPane(form)) + lines(passedPane(form));
        QVERIFY(first != second);
        QVERIFY(h->env.readFile(engine::workingFile(h->env.programFolder()))
                    .contains("<title>New</title>"));

        QFile::remove(folder + QStringLiteral("/page.htm"));
        h->dialogs.shown.clear();
        action(form, "CheckCurrentFile1")->trigger();
        QStringList failed = lines(failedPane(form));
        QCOMPARE(failed.value(2), QStringLiteral("File = page.htm"));
        QVERIFY2(failed.value(3).startsWith(QStringLiteral("    The page cannot be checked: 404")),
                 qPrintable(failed.value(3)));
        QCOMPARE(lines(passedPane(form)),
                 QStringList{QStringLiteral("Listing of files that passed the checks.")});
        // Only the report offer.
        QCOMPARE(h->dialogs.shown.size(), 1);
        QCOMPARE(h->dialogs.shown.first().kind, Kind::Confirmation);
    }

    void keywordsAreNotWrittenToASite() {
        const QTemporaryDir served;
        const QString folder = served.path();
        testsupport::NginxServer server;
        QVERIFY(server.start(folder));
        const QByteArray page = "<html><head><title>Jugs</title>"
                                "<meta name=\"keywords\" content=\"jugs\"></head>"
                                "<body>pottery jugs and glass jugs, pottery bowls.</body></html>";
        writeFile(folder, QStringLiteral("jugs.htm"), page);
        auto h = harness();
        auto* form = h->start();
        openSite(form, server.url() + QStringLiteral("jugs.htm"));
        const ModalScript user(expect<KeywordGenerator>([](KeywordGenerator* f) {
            for (int i = 0; i < f->wordList->topLevelItemCount(); ++i) {
                QTreeWidgetItem* it = f->wordList->topLevelItem(i);
                if (it->text(0) == QLatin1String("pottery") || it->text(0) == QLatin1String("jugs"))
                    it->setCheckState(0, Qt::Checked);
            }
            QTest::mouseClick(f->btnAddKeywords, Qt::LeftButton);
            QTest::mouseClick(f->btnClose, Qt::LeftButton);
        }));
        form->findChild<QToolButton*>(QStringLiteral("RzToolbarButton4"))->click();
        QCOMPARE(user.seen().size(), 1);
        // The generator's own word that the words were queued, then what became of them.
        QCOMPARE(h->dialogs.shown.size(), 2);
        QCOMPARE(h->dialogs.shown.last().kind, Kind::Warning);
        const QString text = h->dialogs.shown.last().text;
        QVERIFY2(text.contains(QStringLiteral("read-only")), qPrintable(text));
        QVERIFY2(text.contains(server.url() + QStringLiteral("jugs.htm")), qPrintable(text));
        // The word the page holds already is not named.
        QVERIFY2(text.contains(QStringLiteral("\r\n\r\npottery\r\n\r\n")), qPrintable(text));
        QCOMPARE(readFile(folder, QStringLiteral("jugs.htm")), page);
    }

    // Open Page lists the site first, then offers its pages; the page chosen is kept.
    void openPageOffersTheListedPages() {
        const QTemporaryDir served;
        const QString folder = served.path();
        testsupport::NginxServer server;
        QVERIFY(server.start(folder));
        const QString root = server.url();
        writeSite(folder, root, {QStringLiteral("missing.htm")});
        auto h = harness();
        auto* form = h->start();
        openSite(form, root + QStringLiteral("good.htm"));
        QStringList offered;
        const ModalScript user(expect<QDialog>([&](QDialog* d) {
            auto* list = d->findChild<QListWidget*>(QStringLiteral("pages"));
            for (int i = 0; i < list->count(); ++i)
                offered.append(list->item(i)->text());
            list->setCurrentRow(offered.indexOf(QStringLiteral("sub/deep.htm")));
            d->accept();
        }));
        action(form, "OpenPage1")->trigger();
        QVERIFY(offered.contains(QStringLiteral("good.htm")));
        QVERIFY(offered.contains(QStringLiteral("sub/deep.htm")));
        QVERIFY(!offered.contains(QStringLiteral("missing.htm")));
        QCOMPARE(form->windowTitle(),
                 kCaption + QStringLiteral(" - sub/deep.htm (") + root + QLatin1Char(')'));
        QCOMPARE(h->env.value(OpenWeb::kStateKey, QStringLiteral("page")),
                 QStringLiteral("sub/deep.htm"));
        QCOMPARE(h->dialogs.texts(), QStringList());
    }
};

QTEST_MAIN(TestSiteWindow)
#include "tst_sitewindow.moc"
