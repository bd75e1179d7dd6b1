#include "ftpserver.h"
#include "support/latencyprobe.h"
#include "support/tidewellharness.h"
#include "updater/ftp/tickftp.h"
#include "updater/mainwindow.h"
#include "updater/settingswindow.h"
#include "updater/tidewell.h"
#include "updater/versionfile.h"

#include "platform/help.h"
#include "platform/installer.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>
#include <qpa/qwindowsysteminterface.h>

using namespace tidewell;
using platform::Dialogs;
using testsupport::FtpServer;

namespace {

const QString kKey = QStringLiteral("\\SOFTWARE\\VRNH\\Updater");
const QString kSelect = QStringLiteral("Select \"Install\" to install the update.");
const QString kAbout = QStringLiteral("Varnholt Tidewell\n\nKeeps the Varnholt products on this "
                                      "computer up to date from the Varnholt update server.");

QByteArray pattern(int size) {
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 13 + i / 97) & 0xff);
    return b;
}

struct Product {
    QString name, version1, f, p, fn, version2, productcode;
};

// The shared harness, with the products and the toolbar state these tests read.
struct Harness : testsupport::TidewellHarness {
    using TidewellHarness::TidewellHarness;

    void add(const Product& p) const {
        const QString key = kKey + QLatin1Char('\\') + p.name;
        const QList<std::pair<const char*, QString>> values{{"version1", p.version1},
                                                            {"f", p.f},
                                                            {"p", p.p},
                                                            {"fn", p.fn},
                                                            {"version2", p.version2},
                                                            {"productcode", p.productcode}};
        // Empty values stay missing (they read as empty); "f" is always written, so the key exists.
        for (const auto& [name, value] : values)
            if (!value.isEmpty() || QLatin1String(name) == QLatin1String("f"))
                env.setValue(key, QString::fromLatin1(name), value);
    }
    int row(const QString& name) const {
        for (int r = 0; r < window->rowCount(); ++r)
            if (window->cellText(r, MainWindow::Column::Name) == name)
                return r;
        return -1;
    }
    void tick(const QString& name) { window->setTicked(row(name), true); }
    QString package(const QString& name) const { return window->packagePath(name); }
    // Every button's enabled state, Check to Help.
    QString buttons() const {
        QString s;
        for (QToolButton* b :
             {window->checkButton, window->getUpdateButton, window->installButton,
              window->settingsButton, window->aboutButton, window->exitButton, window->helpButton})
            s += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }
};

// Counts the paints of one widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Queues a click as the window system delivers it, so that event processing that holds off
// input holds it too.
void queueClick(QWidget* target) {
    QWidget* top = target->window();
    const QPointF local = target->mapTo(top, target->rect().center());
    const QPointF global = target->mapToGlobal(target->rect().center());
    using Async = QWindowSystemInterface::AsynchronousDelivery;
    QWindowSystemInterface::handleMouseEvent<Async>(top->windowHandle(), local, global,
                                                    Qt::LeftButton, Qt::LeftButton,
                                                    QEvent::MouseButtonPress);
    QWindowSystemInterface::handleMouseEvent<Async>(top->windowHandle(), local, global,
                                                    Qt::NoButton, Qt::LeftButton,
                                                    QEvent::MouseButtonRelease);
}

// The caption the window system shows for a window title: the toolkit appends the application's
// display name, when one is set, to every title that does not end with it.
QString shownCaption(const QString& title) {
    const QString display = QGuiApplication::applicationDisplayName();
    if (display == QCoreApplication::applicationName() || title.endsWith(display))
        return title;
    return title + QStringLiteral(" \u2014 ") + display;
}

} // namespace

class TestTidewell : public QObject {
    Q_OBJECT

    QTemporaryDir m_feed;
    FtpServer m_server;
    QByteArray m_alpha = pattern(50000);
    QByteArray m_beta = pattern(9000);
    const QString m_longName = QString(248, QLatin1Char('n')) + QStringLiteral(".pkg");

    void feed(const QString& relative, const QByteArray& bytes) {
        const QString path = m_feed.filePath(QStringLiteral("tidefeed/") + relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

private slots:
    void initTestCase() {
        qunsetenv("ftp_proxy");
        qunsetenv("all_proxy");
        feed("alpha/alpha.txt", "2.0\r\nalpha-2.0.pkg\r\nignored\r\n");
        feed("alpha/alpha-2.0.pkg", m_alpha);
        feed("beta/beta.txt", "1.5\nbeta-1.5.pkg\n");
        feed("beta/beta-1.5.pkg", m_beta);
        feed("same/same.txt", "3.1\r\nsame.pkg\r\n");
        feed("case/case.txt", "v3.1\r\ncase.pkg\r\n");
        feed("html/html.txt", "html\r\nx.pkg\r\n");
        feed("short/short.txt", "4.0\r\n");
        feed("evil/evil.txt", "4.0\r\n../../evil.sh\r\n");
        feed("gone/gone.txt", "1.0\r\nmissing.pkg\r\n");
        // Names starting with "stall" are announced but never sent.
        feed("stall/stall.txt", "1.0\r\nstall.pkg\r\n");
        feed("stall/stall.pkg", m_beta);
        feed("long/long.txt", "2.0\r\n" + m_longName.toUtf8() + "\r\n");
        feed("long/" + m_longName, m_beta);
        QVERIFY(m_server.start(m_feed.path()));
    }

    void versionFileRules_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("valid");
        QTest::newRow("two lines") << QStringList{"5.1", "qm-5.1.pkg"} << true;
        QTest::newRow("later lines ignored") << QStringList{"5.1", "qm.pkg", "", "x"} << true;
        QTest::newRow("one line") << QStringList{"5.1"} << false;
        QTest::newRow("empty version") << QStringList{"", "qm.pkg"} << false;
        QTest::newRow("html") << QStringList{"html", "qm.pkg"} << false;
        QTest::newRow("HTML is a version") << QStringList{"HTML", "qm.pkg"} << true;
        QTest::newRow("empty package") << QStringList{"5.1", ""} << false;
        QTest::newRow("slash") << QStringList{"5.1", "sub/qm.pkg"} << false;
        QTest::newRow("backslash") << QStringList{"5.1", "..\\qm.pkg"} << false;
        QTest::newRow("dot dot") << QStringList{"5.1", ".."} << false;
        QTest::newRow("drive letter") << QStringList{"5.1", "C:qm.pkg"} << false;
        QTest::newRow("control character") << QStringList{"5.1", "qm\t.pkg"} << false;
    }
    void versionFileRules() {
        QFETCH(QStringList, lines);
        VersionInfo info;
        QTEST(parseVersionFile(lines, info), "valid");
    }

    void noProducts() {
        Harness h(m_server.port());
        h.start();
        QCOMPARE(h.window->rowCount(), 0);
        QVERIFY(QFileInfo::exists(h.env.cacheFolder() + "regversioninfo.txt"));
        QCOMPARE(h.env.readFile(h.env.cacheFolder() + "regversioninfo.txt"), QByteArray());
        QCOMPARE(h.buttons(), QStringLiteral("1001111"));
        h.window->checkForUpdates();
        QCOMPARE(h.dialogs.texts(), QStringList{"There are no products to check."});
        QCOMPARE(h.dialogs.shown.first().kind, Dialogs::Kind::Warning);
        QCOMPARE(h.buttons(), QStringLiteral("1111111"));
    }

    void startup() {
        Harness h(m_server.port());
        h.add({"Beta", "", "beta", "beta.txt", "", "1.5", ""});
        h.add({"alpha", "1.0", "alpha", "alpha.txt", "", "1.9", "{A-1}"});
        h.add({"Gamma", "7", "g", "g.txt", "g.pkg", "", ""});
        MainWindow* w = h.start();
        QCOMPARE(w->windowTitle(), QStringLiteral("Varnholt Tidewell"));
        QCOMPARE(w->rowCount(), 3);
        // Registry order (sorted without regard to case); every column.
        const QList<QStringList> rows{
            {"alpha", "1.0", "", "alpha", "alpha.txt", "", "{A-1}", "", "", "", ""},
            {"Beta", "Not Installed", "1.5", "beta", "beta.txt", "", "", "", "", "", ""},
            {"Gamma", "7", "", "g", "g.txt", "g.pkg", "", "", "", "", ""}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < int(MainWindow::Column::Count); ++c)
                QCOMPARE(w->cellText(r, MainWindow::Column(c)), rows[r][c]);
        QCOMPARE(h.env.readFile(h.env.cacheFolder() + "regversioninfo.txt"),
                 QByteArray("1.0\r\nNot Installed\r\n7\r\n"));
        // An update fetched in an earlier run enables Install at once.
        QCOMPARE(h.buttons(), QStringLiteral("1011111"));
        // Three visible columns; the others stay hidden.
        const QHeaderView* header = w->productList->header();
        QCOMPARE(w->productList->headerItem()->text(0), QStringLiteral("Product"));
        QCOMPARE(w->productList->headerItem()->text(1), QStringLiteral("Current Version"));
        QCOMPARE(w->productList->headerItem()->text(2), QStringLiteral("Available Version"));
        QCOMPARE(header->count() - header->hiddenSectionCount(), 3);
        QCOMPARE(w->getUpdateButton->toolTip(),
                 QStringLiteral("Get the available update for the selected product."));
        QCOMPARE(w->exitButton->toolTip(), QStringLiteral("Close Tidewell"));
        QVERIFY(!w->progressRow->isVisibleTo(w));
        w->showHelp();
        QCOMPARE(h.help.topics.size(), 1);
        QCOMPARE(h.help.topics[0].file, h.env.programFolder() + "tidewell.hlp");
        QCOMPARE(h.help.topics[0].topic, 1);
        QVERIFY(platform::helpTopicExists(h.env.programFolder() + "tidewell.hlp", 1));
        QVERIFY(platform::helpTopicExists(h.env.programFolder() + "tidewell.hlp", 2));
    }

    // The installed-versions file cannot be written: the standard message naming the cache
    // folder that cannot be made, an empty list.
    void versionsFileUnwritable() {
        Harness h(m_server.port());
        h.add({"Gamma", "7", "g", "g.txt", "g.pkg", "", ""});
        h.env.writeFile("blocker", "a file where the cache folder should be");
        h.services.folders.cache = h.env.path("blocker/cache/");
        h.start();
        QCOMPARE(h.dialogs.shown.size(), 1);
        QCOMPARE(h.dialogs.shown[0].kind, Dialogs::Kind::Error);
        QVERIFY(h.dialogs.shown[0].text.startsWith("Cannot create file"));
        QVERIFY2(h.dialogs.shown[0].text.contains(h.env.path("blocker")),
                 qPrintable(h.dialogs.shown[0].text));
        QCOMPARE(h.window->rowCount(), 0);
        QVERIFY(!h.window->installButton->isEnabled());
    }

    // One message per product, in list order, ticked or not.
    void check() {
        Harness h(m_server.port());
        h.add({"a1 Alpha", "1.0", "alpha", "alpha.txt", "", "", ""});
        h.add({"a2 Beta", "", "beta", "beta.txt", "", "0.9", ""});
        h.add({"a3 Missing", "1.0", "alpha", "nofile.txt", "", "", ""});
        h.add({"a4 Same", "3.1", "same", "same.txt", "", "", ""});
        h.add({"a5 Case", "V3.1", "case", "case.txt", "", "", ""});
        h.add({"a6 Skip", "1.0", "alpha", "", "", "", ""});
        h.add({"a7 Html", "1.0", "html", "html.txt", "old.pkg", "", ""});
        h.add({"a8 Short", "1.0", "short", "short.txt", "", "", ""});
        h.add({"a9 Evil", "1.0", "evil", "evil.txt", "", "", ""});
        h.add({"b1 NoDir", "1.0", "nodir", "x.txt", "", "", ""});
        MainWindow* w = h.start();
        QStringList states;
        h.dialogs.onShow = [&](const testsupport::ScriptedDialogs::Shown&) {
            states << h.buttons();
        };
        w->checkForUpdates();
        QCOMPARE(h.dialogs.texts(), (QStringList{
                                        "An update is available for a1 Alpha.",
                                        "An update is available for a2 Beta.",
                                        "Unable to get update information for a3 Missing",
                                        "No update is available for a4 Same.",
                                        "An update is available for a5 Case.",
                                        "Update File does not contains the correct information",
                                        "Update File does not contains the correct information",
                                        "Update File does not contains the correct information",
                                        "Unable to attach to update server for b1 NoDir",
                                    }));
        QCOMPARE(h.dialogs.shown[0].kind, Dialogs::Kind::Information);
        QCOMPARE(h.dialogs.shown[2].kind, Dialogs::Kind::Error);
        // The toolbar stays locked while the check runs; Get Update opens after the first update.
        QCOMPARE(states[0], QStringLiteral("0000000"));
        QCOMPARE(states[1], QStringLiteral("0100000"));
        QCOMPARE(h.buttons(), QStringLiteral("1111111"));
        QCOMPARE(w->cellText(h.row("a1 Alpha"), MainWindow::Column::OfferedVersion),
                 QStringLiteral("2.0"));
        QCOMPARE(w->cellText(h.row("a1 Alpha"), MainWindow::Column::Package),
                 QStringLiteral("alpha-2.0.pkg"));
        QCOMPARE(w->cellText(h.row("a2 Beta"), MainWindow::Column::OfferedVersion),
                 QStringLiteral("1.5"));
        QCOMPARE(w->cellText(h.row("a2 Beta"), MainWindow::Column::Package),
                 QStringLiteral("beta-1.5.pkg"));
        // A refused version file leaves the row as it was.
        QCOMPARE(w->cellText(h.row("a7 Html"), MainWindow::Column::Package),
                 QStringLiteral("old.pkg"));
        QCOMPARE(w->cellText(h.row("a9 Evil"), MainWindow::Column::Package), QString());
        QVERIFY(QFileInfo::exists(h.env.cacheFolder() + "wversion.txt"));
        QVERIFY(!QFileInfo::exists(h.env.programFolder() + "wversion.txt"));
        // Nothing goes to the registry.
        QVERIFY(!h.env.valueExists(kKey + "\\a1 Alpha", "fn"));
    }

    // What the update server receives for the check of one product.
    void checkExchange() {
        FtpServer server;
        QVERIFY(server.start(m_feed.path()));
        Harness h(server.port());
        h.add({"Alpha", "1.0", "alpha", "alpha.txt", "", "", ""});
        h.start()->checkForUpdates();
        QCOMPARE(h.dialogs.texts(), QStringList{"An update is available for Alpha."});
        // TLS asked for and refused, active mode, the version file as text, and a Logoff.
        QCOMPARE(testsupport::portsMasked(server.commands()),
                 (QStringList{"AUTH TLS", "AUTH SSL", "USER qmzvb", "PASS qmz7719", "PWD", "CWD /",
                              "CWD tidefeed", "CWD alpha", "EPRT |1|127.0.0.1|*|", "TYPE A",
                              "RETR alpha.txt", "QUIT"}));
    }

    void checkWithoutServer() {
        Harness h(testsupport::closedPort());
        h.add({"Alpha", "1.0", "alpha", "alpha.txt", "", "", ""});
        h.start()->checkForUpdates();
        QCOMPARE(h.dialogs.texts(), QStringList{"Unable to attach to update server for Alpha"});
        QCOMPARE(h.buttons(), QStringLiteral("1111111"));
    }

    // One product, ticked and fetched: Install opens when its download ends.
    void getUpdateOne() {
        Harness h(m_server.port());
        // The program folder holds the executable, as the real one does.
        h.env.writeFile(h.env.programFolder() + "tidewell", "#!/bin/sh\n");
        h.add({"Alpha", "1.0", "alpha", "alpha.txt", "", "", ""});
        MainWindow* w = h.start();
        w->checkForUpdates();
        h.tick("Alpha");
        h.dialogs.shown.clear();
        QString atClosing;
        h.dialogs.onShow = [&](const testsupport::ScriptedDialogs::Shown&) {
            atClosing = h.buttons();
        };
        QStringList progress;
        auto transfer = w->packageFtp->OnTransfer;
        w->packageFtp->OnTransfer = [&](ftp::TickFTP& s, qint64 n, const QByteArray& t) {
            transfer(s, n, t);
            progress = {w->downloadedBytes->text(),
                        w->totalBytes->text(),
                        QString::number(w->progressBar->value()),
                        QString::number(w->progressBar->maximum()),
                        w->windowTitle(),
                        w->progressRow->isVisibleTo(w) ? "shown" : "hidden"};
        };
        w->getUpdates();
        QCOMPARE(h.dialogs.texts(), QStringList{kSelect});
        QCOMPARE(h.dialogs.shown[0].kind, Dialogs::Kind::Confirmation);
        QCOMPARE(h.dialogs.shown[0].buttons, QList<Dialogs::Button>{Dialogs::Button::Ok});
        QCOMPARE(atClosing, QStringLiteral("0010000"));
        QCOMPARE(progress, (QStringList{"50000", "50000", "50000", "50000",
                                        "Getting Update, Please wait", "shown"}));
        QCOMPARE(h.package("alpha-2.0.pkg"),
                 h.env.cacheFolder() + "tidewell-downloads/alpha-2.0.pkg");
        QCOMPARE(h.env.readFile(h.package("alpha-2.0.pkg")), m_alpha);
        QVERIFY(!QFileInfo::exists(h.package(".download.part")));
        // Owner, group and other bits: the downloads are private to the user.
        QCOMPARE(int(QFileInfo(h.env.cacheFolder() + "tidewell-downloads").permissions() & 0x7077),
                 int(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(w->cellText(0, MainWindow::Column::PackageSize), QStringLiteral("50000"));
        QCOMPARE(h.env.value(kKey + "\\Alpha", "fn"), QStringLiteral("alpha-2.0.pkg"));
        QCOMPARE(h.env.value(kKey + "\\Alpha", "version2"), QStringLiteral("2.0"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Varnholt Tidewell"));
        QVERIFY(!w->progressRow->isVisibleTo(w));
        QCOMPARE(w->downloadedBytes->text(), QString());
        QCOMPARE(h.buttons(), QStringLiteral("1111111"));
        // A second fetch replaces the package.
        QFile::resize(h.package("alpha-2.0.pkg"), 10);
        w->getUpdates();
        QCOMPARE(h.env.readFile(h.package("alpha-2.0.pkg")), m_alpha);
    }

    // Two products, one ticked: Install waits for the final unlock.
    void getUpdateOneOfTwo() {
        Harness h(m_server.port());
        h.add({"Alpha", "1.0", "alpha", "alpha.txt", "", "", ""});
        h.add({"Beta", "", "beta", "beta.txt", "", "", ""});
        MainWindow* w = h.start();
        w->checkForUpdates();
        h.tick("Beta");
        h.dialogs.shown.clear();
        QString atClosing;
        h.dialogs.onShow = [&](const testsupport::ScriptedDialogs::Shown&) {
            atClosing = h.buttons();
        };
        w->getUpdates();
        QCOMPARE(h.dialogs.texts(), QStringList{kSelect});
        QCOMPARE(atClosing, QStringLiteral("0000000"));
        QCOMPARE(h.env.readFile(h.package("beta-1.5.pkg")), m_beta);
        QVERIFY(!QFileInfo::exists(h.package("alpha-2.0.pkg")));
        QCOMPARE(h.buttons(), QStringLiteral("1111111"));
    }

    // The first ticked product cannot be logged on: the command ends there.
    void getUpdateLogonFails() {
        Harness h(testsupport::closedPort());
        h.add({"Alpha", "1.0", "alpha", "", "alpha-2.0.pkg", "2.0", ""});
        h.add({"Beta", "", "beta", "", "beta-1.5.pkg", "1.5", ""});
        MainWindow* w = h.start();
        h.tick("Alpha");
        h.tick("Beta");
        w->getUpdates();
        QCOMPARE(h.dialogs.texts(), QStringList{"Unable to locate update on server"});
        QCOMPARE(h.dialogs.shown[0].kind, Dialogs::Kind::Error);
        QCOMPARE(h.buttons(), QStringLiteral("1111111"));
        QVERIFY(!w->progressRow->isVisibleTo(w));
        QCOMPARE(w->windowTitle(), QStringLiteral("Varnholt Tidewell"));
        // Alpha's registry values were written before the attempt (its offered version is empty
        // without a check); Beta was never tried.
        QVERIFY(h.env.valueExists(kKey + "\\Alpha", "version2"));
        QCOMPARE(h.env.value(kKey + "\\Alpha", "version2"), QString());
        QCOMPARE(h.env.value(kKey + "\\Beta", "version2"), QStringLiteral("1.5"));
        QCOMPARE(h.env.value(kKey + "\\Beta", "fn"), QStringLiteral("beta-1.5.pkg"));
        QVERIFY(QDir(w->downloadFolder()).isEmpty());
    }

    // The first download fails, the second goes on; the failed one leaves no package file.
    void getUpdateFirstFails() {
        Harness h(m_server.port());
        h.add({"a Gone", "0.1", "gone", "gone.txt", "", "", ""});
        h.add({"b Alpha", "1.0", "alpha", "alpha.txt", "", "", ""});
        MainWindow* w = h.start();
        w->checkForUpdates();
        h.tick("a Gone");
        h.tick("b Alpha");
        h.dialogs.shown.clear();
        // A stale package from before must not survive either.
        h.env.writeFile(h.package("missing.pkg"), "old");
        w->getUpdates();
        QCOMPARE(h.dialogs.texts(), (QStringList{"Unable to get update file for a Gone", kSelect}));
        QVERIFY(!QFileInfo::exists(h.package("missing.pkg")));
        QVERIFY(!QFileInfo::exists(h.package(".download.part")));
        QCOMPARE(h.env.readFile(h.package("alpha-2.0.pkg")), m_alpha);
        QCOMPARE(h.env.value(kKey + "\\a Gone", "fn"), QStringLiteral("missing.pkg"));
    }

    // A product without a package name fails alone, as a failed download does.
    void getUpdateEmptyPackage() {
        Harness h(m_server.port());
        h.add({"a Empty", "1.0", "alpha", "", "", "2.0", ""});
        h.add({"b Beta", "", "beta", "", "beta-1.5.pkg", "1.5", ""});
        MainWindow* w = h.start();
        h.tick("a Empty");
        h.tick("b Beta");
        w->getUpdates();
        QCOMPARE(h.dialogs.texts(),
                 (QStringList{"Unable to get update file for a Empty", kSelect}));
        QCOMPARE(h.dialogs.shown[0].kind, Dialogs::Kind::Error);
        QCOMPARE(h.env.readFile(h.package("beta-1.5.pkg")), m_beta);
        QCOMPARE(QDir(w->downloadFolder()).entryList(QDir::Files), QStringList{"beta-1.5.pkg"});
        QCOMPARE(h.buttons(), QStringLiteral("1111111"));
    }

    void getUpdateExchange_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QStringList>("download");
        const QString port = QStringLiteral("EPRT |1|127.0.0.1|*|");
        QTest::newRow("fetched") << "Alpha"
                                 << QStringList{port, "TYPE I", "SIZE alpha-2.0.pkg",
                                                "RETR alpha-2.0.pkg", "QUIT"};
        // The size is refused: nothing is retrieved, and nothing follows.
        QTest::newRow("missing on the server")
            << "Gone" << QStringList{port, "TYPE I", "SIZE missing.pkg"};
    }
    // What the update server receives for the download of one ticked product, after its check.
    void getUpdateExchange() {
        QFETCH(QString, product);
        QFETCH(QStringList, download);
        FtpServer server;
        QVERIFY(server.start(m_feed.path()));
        Harness h(server.port());
        h.add({"Alpha", "1.0", "alpha", "alpha.txt", "", "", ""});
        h.add({"Gone", "0.1", "gone", "gone.txt", "", "", ""});
        MainWindow* w = h.start();
        w->checkForUpdates();
        h.tick(product);
        server.clearCommands();
        w->getUpdates();
        QCOMPARE(h.dialogs.texts().last(), kSelect);
        // Logon into the product's folder, the listing as text, then the package in binary.
        const QString folder = product.toLower();
        const QStringList expected =
            QStringList{"AUTH TLS",     "AUTH SSL",      "USER qmzvb",
                        "PASS qmz7719", "PWD",           "CWD /",
                        "CWD tidefeed", "CWD " + folder, "EPRT |1|127.0.0.1|*|",
                        "TYPE A",       "LIST"} +
            download;
        QCOMPARE(testsupport::portsMasked(server.commands()), expected);
    }

    // A package name as long as the file system allows still downloads.
    void getUpdateLongName() {
        QCOMPARE(m_longName.size(), 252);
        Harness h(m_server.port());
        h.add({"Long", "1.0", "long", "long.txt", "", "", ""});
        MainWindow* w = h.start();
        w->checkForUpdates();
        h.tick("Long");
        h.dialogs.shown.clear();
        w->getUpdates();
        QCOMPARE(h.dialogs.texts(), QStringList{kSelect});
        QCOMPARE(h.env.readFile(h.package(m_longName)), m_beta);
        QCOMPARE(QDir(w->downloadFolder()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{m_longName});
    }

    void getUpdateBounds_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("fetched");
        QTest::addColumn<QString>("cause"); // after the described message; '*' any count
        const QString stalled = QStringLiteral("Nothing came from the server for 1 seconds.");
        // The listing names pkg.bin with 13000 bytes, the size of the data.
        QTest::newRow("fewer bytes than listed, then 226")
            << "short" << false << "Received 6500 bytes; the listing names 13000.";
        QTest::newRow("fewer bytes than SIZE, then 226")
            << "short-sized" << false << "Received 6500 of the 13000 bytes announced.";
        QTest::newRow("more bytes than listed")
            << "long" << false << "Received * bytes; the listing names 13000.";
        QTest::newRow("more bytes than SIZE")
            << "long-sized" << false << "Received more than the 13000 bytes announced.";
        QTest::newRow("data stops coming") << "stall-data" << false << stalled;
        QTest::newRow("reply never comes") << "stall-reply" << false << stalled;
        QTest::newRow("pieces of 1000 bytes") << "trickle" << true << QString();
    }
    // A package that is not what the server announced, or does not come, is never offered.
    void getUpdateBounds() {
        QFETCH(QString, mode);
        QFETCH(bool, fetched);
        QFETCH(QString, cause);
        FtpServer bad;
        QVERIFY(bad.startHostile(mode));
        Harness h(bad.port());
        h.add({"Alpha", "1.0", "alpha", "", "pkg.bin", "2.0", ""});
        MainWindow* w = h.start();
        w->packageFtp->setStallTimeout(1);
        h.tick("Alpha");
        testsupport::LatencyProbe probe;
        w->getUpdates();
        probe.stop();
        qInfo("worst event loop latency: %lld ms", probe.worstMs());
        QVERIFY2(probe.worstMs() < 100, qPrintable(QString::number(probe.worstMs())));
        if (fetched) {
            QCOMPARE(h.dialogs.texts(), QStringList{kSelect});
            QCOMPARE(h.env.readFile(h.package("pkg.bin")),
                     QByteArray("hostile data\n").repeated(1000));
        } else {
            const QStringList texts = h.dialogs.texts();
            QCOMPARE(texts.size(), 2);
            QCOMPARE(texts[1], kSelect);
            // How much more than listed arrives depends on when the client stops reading.
            const QString expected = "Unable to get update file for Alpha. " + cause;
            const qsizetype star = expected.indexOf(QLatin1Char('*'));
            QVERIFY2(star < 0 ? texts[0] == expected
                              : texts[0].startsWith(expected.left(star)) &&
                                    texts[0].endsWith(expected.mid(star + 1)),
                     qPrintable(texts[0]));
            QVERIFY(QDir(w->downloadFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        }
        QCOMPARE(h.buttons(), QStringLiteral("1111111"));
    }

    void checkBounds_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("message");
        const QString info = QStringLiteral("Unable to get update information for Alpha. ");
        const QString large = QStringLiteral("The file is larger than the 65536 bytes allowed.");
        const QString stalled = QStringLiteral("Nothing came from the server for 1 seconds.");
        QTest::newRow("endless version file") << "endless" << info + large;
        QTest::newRow("a line of 50 MB") << "big-line" << info + large;
        QTest::newRow("data stops coming") << "stall-data" << info + stalled;
        QTest::newRow("reply never comes") << "stall-reply" << info + stalled;
        QTest::newRow("greeting never comes")
            << "stall-greeting"
            << QStringLiteral("Unable to attach to update server for Alpha. ") + stalled;
    }
    // A version file that does not end, or does not come, fails that product and no other.
    void checkBounds() {
        QFETCH(QString, mode);
        FtpServer bad;
        QVERIFY(bad.startHostile(mode));
        Harness h(bad.port());
        h.add({"Alpha", "1.0", "alpha", "alpha.txt", "", "", ""});
        h.add({"Beta", "1.0", "beta", "", "", "", ""});
        MainWindow* w = h.start();
        w->versionFtp->setStallTimeout(1);
        testsupport::LatencyProbe probe;
        w->checkForUpdates();
        probe.stop();
        qInfo("worst event loop latency: %lld ms", probe.worstMs());
        QVERIFY2(probe.worstMs() < 100, qPrintable(QString::number(probe.worstMs())));
        QTEST(h.dialogs.texts().join('|'), "message");
        QVERIFY(!QFileInfo::exists(h.env.cacheFolder() + "wversion.txt"));
        QCOMPARE(w->cellText(h.row("Alpha"), MainWindow::Column::OfferedVersion), QString());
        QCOMPARE(h.buttons(), QStringLiteral("1111111"));
    }

    void cancel_data() {
        QTest::addColumn<QString>("hostile"); // empty: pyftpdlib
        QTest::addColumn<bool>("check");
        QTest::newRow("checking") << QString() << true;
        QTest::newRow("logging on") << "stall-greeting" << false;
        QTest::newRow("listing") << "stall-list" << false;
        QTest::newRow("downloading") << QString() << false;
    }
    // Esc during a transfer ends the command at once: nothing more is shown or fetched, and
    // nothing half-written stays.
    void cancel() {
        QFETCH(QString, hostile);
        QFETCH(bool, check);
        FtpServer bad;
        if (!hostile.isEmpty())
            QVERIFY(bad.startHostile(hostile));
        Harness h(hostile.isEmpty() ? m_server.port() : bad.port());
        h.add({"a Stall", "1.0", "stall", "stall.txt", "stall.pkg", "2.0", ""});
        h.add({"b Beta", "1.0", "beta", "beta.txt", "beta-1.5.pkg", "1.5", ""});
        MainWindow* w = h.start();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        h.tick("a Stall");
        h.tick("b Beta");
        QTimer::singleShot(700, w, [w] { QTest::keyClick(w->productList, Qt::Key_Escape); });
        QElapsedTimer clock;
        clock.start();
        testsupport::LatencyProbe probe;
        if (check)
            w->checkForUpdates();
        else
            w->getUpdates();
        probe.stop();
        qInfo("worst event loop latency: %lld ms, ended after %lld ms", probe.worstMs(),
              clock.elapsed());
        QVERIFY2(probe.worstMs() < 100, qPrintable(QString::number(probe.worstMs())));
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(h.dialogs.texts(), QStringList());
        QVERIFY(!QFileInfo::exists(h.env.cacheFolder() + "wversion.txt"));
        QVERIFY(!QFileInfo::exists(w->downloadFolder()) ||
                QDir(w->downloadFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QCOMPARE(w->cellText(h.row("b Beta"), MainWindow::Column::OfferedVersion), QString());
        QCOMPARE(h.buttons(), QStringLiteral("1111111"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Varnholt Tidewell"));
        // The window works as before afterwards.
        if (hostile.isEmpty()) {
            h.window->setTicked(h.row("a Stall"), false);
            w->getUpdates();
            QCOMPARE(h.dialogs.texts(), QStringList{kSelect});
            QCOMPARE(h.env.readFile(h.package("beta-1.5.pkg")), m_beta);
        }
    }

    void getUpdateRefused_data() {
        QTest::addColumn<bool>("rows");
        QTest::addColumn<QString>("message");
        QTest::newRow("no rows") << false << "You have no product(s) installed.";
        QTest::newRow("nothing ticked") << true
                                        << "You need to first select a program by clicking in the "
                                           "checkbox to the left of the product name.";
    }
    void getUpdateRefused() {
        QFETCH(bool, rows);
        Harness h(m_server.port());
        if (rows)
            h.add({"Alpha", "1.0", "alpha", "alpha.txt", "", "", ""});
        h.start()->getUpdates();
        QTEST(h.dialogs.texts().value(0), "message");
        QCOMPARE(h.dialogs.shown.size(), 1);
        QCOMPARE(h.dialogs.shown[0].kind, Dialogs::Kind::Warning);
        QCOMPARE(h.buttons(), QStringLiteral("1111111"));
    }

    void installRefused_data() {
        QTest::addColumn<QStringList>("ticked");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("opened");
        const QString question = "Information: Would you like to install the update now?  Make "
                                 "sure that %1 is closed before updating";
        const QString latest = "You already have the latest version installed.  Do you want exit "
                               "the installation? (recommended)";
        QTest::newRow("none ticked")
            << QStringList{} << QList<int>{}
            << QStringList{"Please click in the checkbox for the file you want to install."}
            << false;
        QTest::newRow("two ticked")
            << QStringList{"Plain", "Missing"} << QList<int>{}
            << QStringList{"You cannot install more than one product at a time."} << false;
        QTest::newRow("package missing")
            << QStringList{"Missing"} << QList<int>{}
            << QStringList{"The install file is not available. Please use \"Get Update\"."}
            << false;
        QTest::newRow("latest, Yes ends")
            << QStringList{"Same"} << QList<int>{int(Dialogs::Button::Yes)} << QStringList{latest}
            << false;
        QTest::newRow("latest, No goes on")
            << QStringList{"Same"}
            << QList<int>{int(Dialogs::Button::No), int(Dialogs::Button::Yes)}
            << QStringList{latest, question.arg("Same")} << true;
        QTest::newRow("no uninstall key, Yes")
            << QStringList{"Plain"} << QList<int>{int(Dialogs::Button::Yes)}
            << QStringList{question.arg("Plain")} << true;
        QTest::newRow("no uninstall key, No")
            << QStringList{"Plain"} << QList<int>{int(Dialogs::Button::No)}
            << QStringList{question.arg("Plain")} << false;
        QTest::newRow("its own update")
            << QStringList{"Tidewell"} << QList<int>{}
            << QStringList{"Tidewell needs to first be closed before upgrading.\n\rFirst, close "
                           "Tidewell and then run "
                           "the installation \n\rfile named tw.pkg\n\rlocated at "
                           "%1tidewell-downloads/tw.pkg"}
            << false;
        QTest::newRow("no uninstall string")
            << QStringList{"Keyed"} << QList<int>{int(Dialogs::Button::Yes)}
            << QStringList{"It is recommended that you uninstall before proceding.  Do you want "
                           "perform a silent uninstallation? (recommended)",
                           "Could not read uninstall string from registry. Please uninstall "
                           "product using the Add/Remove Programs icon in the Windows Control "
                           "Panel."}
            << false;
        QTest::newRow("no installer engine")
            << QStringList{"Engine"} << QList<int>{int(Dialogs::Button::Yes)}
            << QStringList{"It is recommended that you uninstall before proceding.  Do you want "
                           "perform a silent uninstallation? (recommended)",
                           "Could not locate the Windows Installer Engine. Please uninstall "
                           "product using the Add/Remove Programs icon in the Windows Control "
                           "Panel "}
            << false;
        QTest::newRow("uninstall declined")
            << QStringList{"Engine"}
            << QList<int>{int(Dialogs::Button::No), int(Dialogs::Button::Yes)}
            << QStringList{"It is recommended that you uninstall before proceding.  Do you want "
                           "perform a silent uninstallation? (recommended)",
                           question.arg("Engine")}
            << true;
    }
    void installRefused() {
        QFETCH(QStringList, ticked);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, messages);
        QFETCH(bool, opened);
        Harness h(m_server.port());
        h.add({"Plain", "1.0", "p", "p.txt", "plain.pkg", "2.0", ""});
        h.add({"Missing", "1.0", "m", "m.txt", "nothere.pkg", "2.0", ""});
        h.add({"Same", "2.0", "s", "s.txt", "same.pkg", "2.0", ""});
        h.add({"Tidewell", "1.0", "t", "t.txt", "tw.pkg", "2.0", ""});
        h.add({"Keyed", "1.0", "k", "k.txt", "keyed.pkg", "2.0", "{KEYED}"});
        h.add({"Engine", "1.0", "e", "e.txt", "engine.pkg", "2.0", "{ENGINE}"});
        h.env.setValue(platform::kUninstallKey + "\\{KEYED}", "DisplayName", "Keyed");
        h.env.setValue(platform::kUninstallKey + "\\{ENGINE}", "UninstallString",
                       "MsiExec.exe /X{ENGINE}");
        MainWindow* w = h.start();
        for (const char* p : {"plain.pkg", "same.pkg", "tw.pkg", "keyed.pkg", "engine.pkg"})
            h.env.writeFile(h.package(QString::fromLatin1(p)), "package");
        // The "Available Version" of an installed product comes from a check; here by hand.
        for (int r = 0; r < w->rowCount(); ++r)
            w->setCellText(r, MainWindow::Column::OfferedVersion, QStringLiteral("2.0"));
        for (const QString& t : ticked)
            h.tick(t);
        for (int a : answers)
            h.dialogs.answers << Dialogs::Button(a);
        w->installSelected();
        for (QString& m : messages)
            m.replace("%1", h.env.cacheFolder());
        QCOMPARE(h.dialogs.texts(), messages);
        QCOMPARE(h.installer.started.size(), 0);
        QCOMPARE(h.shell.opened.size(), opened ? 1 : 0);
        if (opened)
            QCOMPARE(h.shell.opened[0], platform::fileUrl(h.package(w->cellText(
                                            h.row(ticked[0]), MainWindow::Column::Package))));
    }

    void silentUninstall_data() {
        QTest::addColumn<bool>("removesKey");
        QTest::newRow("key removed") << true;
        QTest::newRow("key stays") << false;
    }
    // A real "msiexec.exe" runs; the poll watches the uninstall key in the registry file.
    void silentUninstall() {
        QFETCH(bool, removesKey);
        Harness h(m_server.port());
        h.add({"Keyed", "1.0", "k", "k.txt", "keyed.pkg", "2.0", "{C0DE-1}"});
        h.env.setValue(platform::kUninstallKey + "\\{C0DE-1}", "UninstallString",
                       "MsiExec.exe /X{C0DE-1}");
        const QString engine = h.installer.systemDir + "/msiexec.exe";
        // Removes the section of the product code it is given ("/x{code}") from the registry file.
        const QString script =
            QStringLiteral("#!/bin/sh\n"
                           "echo \"$@\" > '%1'\n"
                           "[ '%3' = yes ] || exit 0\n"
                           "exec /usr/bin/python3 - \"$1\" <<'PY'\n"
                           "import sys\n"
                           "code = sys.argv[1][2:].lower()\n"
                           "path = '%2'\n"
                           "out, skip = [], False\n"
                           "for line in open(path, newline='').read().split('\\r\\n'):\n"
                           "    if line.startswith('['):\n"
                           "        skip = line.lower().rstrip(']').endswith('\\\\' + code)\n"
                           "    if not skip:\n"
                           "        out.append(line)\n"
                           "open(path, 'w', newline='').write('\\r\\n'.join(out))\n"
                           "PY\n")
                .arg(h.env.path("args.txt"), h.env.registryPath(), removesKey ? "yes" : "no");
        h.env.writeFile(engine, script.toUtf8());
        QFile::setPermissions(engine, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        h.installer.realProcesses = true;
        h.installer.pauseMs = removesKey ? 100 : 1;
        MainWindow* w = h.start();
        h.env.writeFile(h.package("keyed.pkg"), "package");
        h.tick("Keyed");
        h.dialogs.answers << Dialogs::Button::Yes << Dialogs::Button::Yes;
        w->installSelected();
        QCOMPARE(h.installer.started.size(), 1);
        QCOMPARE(h.installer.started[0].command, engine);
        QCOMPARE(h.installer.started[0].parameters, QStringLiteral(" /x{C0DE-1} /qn"));
        QCOMPARE(h.installer.started[0].wait, false);
        const QString outcome = removesKey ? "Product was uninstalled successfully."
                                           : "Product was not uninstalled successfully.";
        QCOMPARE(h.dialogs.texts().value(1), outcome);
        QCOMPARE(h.dialogs.shown.value(1).kind,
                 removesKey ? Dialogs::Kind::Information : Dialogs::Kind::Error);
        QCOMPARE(h.dialogs.texts().value(2).left(12), QStringLiteral("Information:"));
        QCOMPARE(h.shell.opened.size(), 1);
        QCOMPARE(h.env.keyExists(platform::kUninstallKey + "\\{C0DE-1}"), !removesKey);
        if (!removesKey) {
            QCOMPARE(h.installer.pauses, 361);
            // A later start of the uninstaller in this run waits for it.
            h.dialogs.answers << Dialogs::Button::Yes << Dialogs::Button::No;
            w->installSelected();
            QCOMPARE(h.installer.started.size(), 2);
            QCOMPARE(h.installer.started[1].wait, true);
        }
        QTRY_COMPARE(h.env.readFile("args.txt"), QByteArray("/x{C0DE-1} /qn\n"));
        QCOMPARE(h.buttons(), QStringLiteral("1111111"));
    }

    // While the poll waits the window repaints, but a click waits until the poll is over.
    void uninstallPollRepaints() {
        Harness h(m_server.port());
        h.add({"Keyed", "1.0", "k", "k.txt", "keyed.pkg", "2.0", "{C0DE-1}"});
        h.env.setValue(platform::kUninstallKey + "\\{C0DE-1}", "UninstallString",
                       "MsiExec.exe /X{C0DE-1}");
        h.env.writeFile(h.installer.systemDir + "/msiexec.exe", "");
        MainWindow* w = h.start();
        w->uninstallPolls = 5;
        h.installer.pauseMs = 20;
        h.env.writeFile(h.package("keyed.pkg"), "package");
        h.tick("Keyed");
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCoreApplication::processEvents();
        PaintCounter counter;
        w->explanation->installEventFilter(&counter);
        int paints = 0;
        qsizetype boxesBefore = 0, boxesDuring = 0;
        h.installer.onPause = [&] {
            if (h.installer.pauses == 1) {
                boxesBefore = h.dialogs.shown.size();
                w->explanation->update();
                queueClick(w->aboutButton);
            }
            paints = counter.paints;
            boxesDuring = h.dialogs.shown.size();
        };
        h.dialogs.answers << Dialogs::Button::Yes << Dialogs::Button::No;
        w->installSelected();
        QCOMPARE(h.installer.pauses, 6);
        QVERIFY(paints > 0);
        QCOMPARE(boxesDuring, boxesBefore);
        QCOMPARE(h.dialogs.texts().value(1),
                 QStringLiteral("Product was not uninstalled successfully."));
        // The click was held, not lost: it reaches About once the poll is over.
        QWindowSystemInterface::flushWindowSystemEvents();
        QCOMPARE(h.dialogs.count(kAbout), 1);
    }

    // Nothing on the desktop opens the package: a box names it and says what to do; the
    // updater stays as it was, ready for another try.
    void installFileNotOpened() {
        Harness h(m_server.port());
        h.add({"Plain", "1.0", "p", "p.txt", "plain.pkg", "2.0", ""});
        h.shell.result = false;
        MainWindow* w = h.start();
        h.env.writeFile(h.package("plain.pkg"), "package");
        h.tick("Plain");
        h.dialogs.answers << Dialogs::Button::Yes;
        const QString buttons = h.buttons();
        w->runCommand(&MainWindow::installSelected);
        QCOMPARE(h.shell.opened, QList<QUrl>{platform::fileUrl(h.package("plain.pkg"))});
        QCOMPARE(h.dialogs.texts().value(1),
                 QStringLiteral("The install file \"%1\" could not be opened.\r\n\r\nInstall a "
                                "program for this type of file or choose a default one on this "
                                "computer and try again, or open the file by hand.")
                     .arg(QDir::toNativeSeparators(h.package("plain.pkg"))));
        QCOMPARE(h.dialogs.shown.value(1).kind, Dialogs::Kind::Warning);
        QCOMPARE(h.dialogs.shown.size(), 2);
        QVERIFY(QFileInfo::exists(h.package("plain.pkg")));
        QCOMPARE(h.buttons(), buttons);
        QCOMPARE(w->windowTitle(), MainWindow::kAppTitle);
    }

    void installSystemDirectoryFails() {
        Harness h(m_server.port());
        h.add({"Plain", "1.0", "p", "p.txt", "plain.pkg", "2.0", ""});
        h.installer.failSystemDirectory = true;
        MainWindow* w = h.start();
        h.env.writeFile(h.package("plain.pkg"), "package");
        h.tick("Plain");
        w->runCommand(&MainWindow::installSelected);
        QCOMPARE(h.dialogs.texts(), QStringList{"The system directory cannot be found."});
        QCOMPARE(h.shell.opened.size(), 0);
    }

    void settings_data() {
        QTest::addColumn<QStringList>("typed");
        QTest::newRow("all empty") << QStringList{"", "", ""};
        QTest::newRow("blanks kept") << QStringList{" proxy.example:8080 ", "  ann", "pa ss "};
    }
    void settings() {
        QFETCH(QStringList, typed);
        Harness h(m_server.port());
        h.env.setValue(kKey, "pxa", "old");
        MainWindow* w = h.start();
        QCOMPARE(w->proxyServer, QStringLiteral("old"));
        w->execDialog = [&](QDialog& d) {
            auto& s = static_cast<SettingsWindow&>(d);
            [&] {
                QCOMPARE(s.windowTitle(), QStringLiteral("Tidewell - Settings"));
                QCOMPARE(s.serverEdit->text(), QStringLiteral("old"));
                QCOMPARE(s.passwordEdit->echoMode(), QLineEdit::Password);
                QCOMPARE(s.okButton->toolTip(), QStringLiteral("Accept changes and close"));
            }();
            s.serverEdit->setText(typed[0]);
            s.userEdit->setText(typed[1]);
            s.passwordEdit->setText(typed[2]);
            s.saveSettings();
            return s.result();
        };
        w->editSettings();
        for (int i = 0; i < 3; ++i) {
            const char* name[] = {"pxa", "pxu", "pxp"};
            QVERIFY(h.env.valueExists(kKey, name[i]));
            QCOMPARE(h.env.value(kKey, name[i]), typed[i]);
        }
        QCOMPARE((QStringList{w->proxyServer, w->proxyUser, w->proxyPassword}), typed);
    }

    void settingsCancelAndHelp() {
        Harness h(m_server.port());
        h.env.setValue(kKey, "pxu", "kept");
        SettingsWindow s(h.services);
        s.loadSettings();
        QCOMPARE(s.userEdit->text(), QStringLiteral("kept"));
        s.userEdit->setText("changed");
        s.showHelp();
        s.cancel();
        QCOMPARE(h.env.value(kKey, "pxu"), QStringLiteral("kept"));
        QVERIFY(!h.env.valueExists(kKey, "pxa"));
        QCOMPARE(h.help.topics.size(), 1);
        QCOMPARE(h.help.topics[0].topic, 2);
    }

    // The encryption settings: saved as "1"/"0" and a path, read back, the CA file browsed for.
    void settingsTls() {
        Harness h(m_server.port());
        {
            SettingsWindow s(h.services);
            s.loadSettings();
            QVERIFY(!s.requireTlsCheck->isChecked());
            QCOMPARE(s.requireTlsCheck->text(), QStringLiteral("Require an encrypted connection"));
            QCOMPARE(s.caFileEdit->text(), QString());
            h.fileDialogs.answers = QStringList{"/etc/feed/ca.pem", ""};
            s.browseCaFile();
            s.browseCaFile(); // cancelled: the chosen file stays
            QCOMPARE(s.caFileEdit->text(), QStringLiteral("/etc/feed/ca.pem"));
            QCOMPARE(h.fileDialogs.asked.size(), 2);
            QCOMPARE(h.fileDialogs.asked[1].options.fileName, QStringLiteral("ca.pem"));
            s.requireTlsCheck->setChecked(true);
            s.saveSettings();
        }
        QCOMPARE(h.env.value(kKey, "tlsreq"), QStringLiteral("1"));
        QCOMPARE(h.env.value(kKey, "cafile"), QStringLiteral("/etc/feed/ca.pem"));
        SettingsWindow again(h.services);
        again.loadSettings();
        QVERIFY(again.requireTlsCheck->isChecked());
        QCOMPARE(again.caFileEdit->text(), QStringLiteral("/etc/feed/ca.pem"));
        again.requireTlsCheck->setChecked(false);
        again.caFileEdit->clear();
        again.saveSettings();
        QCOMPARE(h.env.value(kKey, "tlsreq"), QStringLiteral("0"));
        QCOMPARE(h.env.value(kKey, "cafile"), QString());
    }

    void checkOverTls_data() {
        QTest::addColumn<bool>("serverTls");
        QTest::addColumn<QString>("tlsreq");
        QTest::addColumn<bool>("caFile");
        QTest::addColumn<QString>("shown");
        const QString found = QStringLiteral("An update is available for Alpha.");
        const QString failed = QStringLiteral("Unable to attach to update server for Alpha. ");
        QTest::newRow("TLS, CA file") << true << "1" << true << found;
        QTest::newRow("TLS, unknown CA")
            << true << "0" << false
            << failed + "SSL certificate problem: unable to get local issuer certificate";
        QTest::newRow("plain, not required") << false << "0" << true << found;
        QTest::newRow("plain, required")
            << false << "1" << true
            << failed + "The server offers no encrypted connection, and one is required.";
    }
    // The settings reach the check's connection.
    void checkOverTls() {
        QFETCH(bool, serverTls);
        QFETCH(QString, tlsreq);
        QFETCH(bool, caFile);
        QFETCH(QString, shown);
        testsupport::TestCertificates certs;
        QVERIFY(certs.make());
        FtpServer server;
        QVERIFY(server.start(m_feed.path(),
                             serverTls ? QStringList{"--tls", certs.serverFile()} : QStringList{}));
        Harness h(server.port());
        h.add({"Alpha", "1.0", "alpha", "alpha.txt", "", "", ""});
        h.env.setValue(kKey, "tlsreq", tlsreq);
        if (caFile)
            h.env.setValue(kKey, "cafile", certs.caFile());
        h.start()->checkForUpdates();
        QCOMPARE(h.dialogs.texts(), QStringList{shown});
        QCOMPARE(server.commands().value(0), QStringLiteral("AUTH TLS"));
    }

    // A proxy entered after the first check leaves the later checks of the run as they were.
    void proxyAfterFirstCheck() {
        Harness h(m_server.port());
        h.add({"Alpha", "1.0", "alpha", "alpha.txt", "", "", ""});
        MainWindow* w = h.start();
        w->checkForUpdates();
        QCOMPARE(h.dialogs.texts(), QStringList{"An update is available for Alpha."});
        w->execDialog = [&](QDialog& d) {
            auto& s = static_cast<SettingsWindow&>(d);
            s.serverEdit->setText(QStringLiteral("127.0.0.1:%1").arg(testsupport::closedPort()));
            s.saveSettings();
            return 1;
        };
        w->editSettings();
        QVERIFY(!w->proxyServer.isEmpty());
        w->checkForUpdates();
        QCOMPARE(h.dialogs.texts(), (QStringList{"An update is available for Alpha.",
                                                 "An update is available for Alpha."}));
        // A fresh start of the program connects through it.
        Harness again(m_server.port());
        again.add({"Alpha", "1.0", "alpha", "alpha.txt", "", "", ""});
        again.env.setValue(kKey, "pxa", w->proxyServer);
        again.start()->checkForUpdates();
        QCOMPARE(again.dialogs.texts(), QStringList{"Unable to attach to update server for Alpha"});
    }

    // The program's captions are shown exactly as set, with nothing appended.
    void captionsExact() {
        Harness h(m_server.port());
        QStringList captions;
        QTimer::singleShot(0, [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* w = qobject_cast<MainWindow*>(top)) {
                    SettingsWindow settings(h.services, w);
                    captions << shownCaption(w->windowTitle())
                             << shownCaption(settings.windowTitle());
                    w->close();
                }
        });
        QCOMPARE(runTidewell(h.services), 0);
        QCOMPARE(captions, (QStringList{"Varnholt Tidewell", "Tidewell - Settings"}));
    }
};

QTEST_MAIN(TestTidewell)
#include "tst_tidewell.moc"
