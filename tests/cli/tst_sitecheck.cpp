// The checker on a site served by nginx on the loopback, against the same files as a folder.
#include "analysis/rules/rulestore.h"
#include "support/testenv.h"
#include "support/webservers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using testsupport::NginxServer;
using testsupport::ProcessOutcome;

namespace {

ProcessOutcome check(const QStringList& args, const QString& configHome) {
    return testsupport::runProgram(QStringLiteral(CHECK_EXE), args, configHome, 120000);
}

// Standard error without the note of the rule sources.
QByteArray messages(const ProcessOutcome& o) {
    QByteArray err = o.err;
    if (err.startsWith("quillmark-check: rules from "))
        err.remove(0, err.indexOf('\n') + 1);
    return err;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(bytes);
}

// A sitemap of the given addresses below the server's root.
QByteArray sitemap(const QString& base, const QStringList& addresses) {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
    for (const QString& a : addresses)
        xml += "  <url><loc>" + (base + a).toUtf8() + "</loc></url>\n";
    return xml + "</urlset>\n";
}

// Every page of a folder tree, as addresses.
QStringList filesBelow(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files;
}

QJsonArray jsonPages(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(f.readAll()).object().value(QStringLiteral("pages")).toArray();
}

} // namespace

class TestSiteCheck : public QObject {
    Q_OBJECT

    testsupport::TestEnv m_env;
    QTemporaryDir m_dir;

    QString configHome() const { return m_env.root() + QStringLiteral("/config"); }

    // The fixture web of the batch tests with more to crawl: an index that links every page.
    QString webCopy(const QString& name) {
        const QString web = m_dir.filePath(name);
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("batchweb")), web);
        QByteArray index = "<html><head><title>Index</title>"
                           "<meta name=\"keywords\" content=\"shoes, colours\">"
                           "<meta name=\"description\" content=\"Every page of the web\">"
                           "</head><body>\n";
        for (const QString& f : filesBelow(web))
            index += "<a href=\"" + f.toUtf8() + "\">" + f.toUtf8() + "</a>\n";
        writeFile(web + QStringLiteral("/index.htm"), index + "</body></html>\n");
        return web;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        const QString key = rules::kSettingsKey;
        m_env.setValue(key, QStringLiteral("KeyReq"), QStringLiteral("1"));
        m_env.setValue(key, QStringLiteral("DescReq"), QStringLiteral("1"));
        m_env.setValue(key, QStringLiteral("keywordsm"), QStringLiteral("5"));
        m_env.setValue(key, QStringLiteral("description"), QStringLiteral("60"));
        m_env.setValue(key, QStringLiteral("bodychk"), QStringLiteral("300"));
    }

    // Page for page the same panes, facts and status as the same files checked as a folder,
    // whether the site's pages come from its sitemap or from its links.
    void sameAsFolder_data() {
        QTest::addColumn<bool>("withSitemap");
        QTest::addColumn<QStringList>("extra"); // options for both runs
        QTest::newRow("sitemap") << true << QStringList{};
        QTest::newRow("links") << false << QStringList{};
        QTest::newRow("one folder") << true << QStringList{"--folder", "sub"};
        QTest::newRow("excluded") << false << QStringList{"--exclude", "nometa*"};
    }
    void sameAsFolder() {
        QFETCH(bool, withSitemap);
        QFETCH(QStringList, extra);
        const QString web = webCopy(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
        NginxServer server;
        QVERIFY(server.start(web));
        // From the root with a sitemap; by links from the index, which links every page.
        QString start = server.url();
        if (withSitemap)
            writeFile(web + QStringLiteral("/sitemap.xml"), sitemap(server.url(), filesBelow(web)));
        else
            start += QStringLiteral("index.htm");
        const QString siteJson = m_dir.filePath(QStringLiteral("site.json"));
        const QString folderJson = m_dir.filePath(QStringLiteral("folder.json"));
        const QStringList common = QStringList{"--color=never"} + extra;
        const ProcessOutcome site =
            check(common + QStringList{"--json", siteJson, start}, configHome());
        QFile::remove(web + QStringLiteral("/sitemap.xml"));
        const ProcessOutcome folder =
            check(common + QStringList{"--json", folderJson, web}, configHome());

        QVERIFY2(site.status != 2, site.err.constData());
        QCOMPARE(site.status, folder.status);
        QVERIFY(site.out.contains("File = sub/deep.htm"));
        QCOMPARE(site.out, folder.out);
        const QJsonArray sitePages = jsonPages(siteJson);
        QVERIFY(!sitePages.isEmpty());
        QCOMPARE(sitePages, jsonPages(folderJson));
    }

    // SARIF places a site's findings below its address; the start page is the root itself.
    void sarifLocations() {
        const QString web = m_dir.filePath(QStringLiteral("sarif"));
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("checkweb")), web);
        writeFile(web + QStringLiteral("/index.htm"),
                  "<html><head><title>Start</title></head><body>"
                  "<a href=\"bad.htm\">bad</a></body></html>\n");
        NginxServer server;
        QVERIFY(server.start(web, QStringLiteral("index index.htm;\n")));
        const QString sarif = m_dir.filePath(QStringLiteral("site.sarif"));
        const ProcessOutcome o = check({"--quiet", "--sarif", sarif, server.url()}, configHome());
        QCOMPARE(o.status, 1);
        QFile f(sarif);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QJsonObject run =
            QJsonDocument::fromJson(f.readAll())[QStringLiteral("runs")][0].toObject();
        QCOMPARE(run[QStringLiteral("originalUriBaseIds")][QStringLiteral("WEBROOT")]
                    [QStringLiteral("uri")]
                        .toString(),
                 server.url());
        QSet<QString> uris;
        for (const QJsonValue& r : run[QStringLiteral("results")].toArray())
            uris.insert(r[QStringLiteral("locations")][0][QStringLiteral("physicalLocation")]
                         [QStringLiteral("artifactLocation")][QStringLiteral("uri")]
                             .toString());
        QCOMPARE(uris, (QSet<QString>{"./", "bad.htm"}));
    }

    // A page named on the command line is checked alone, as in a folder.
    void namedPage() {
        const QString web = webCopy(QStringLiteral("named"));
        NginxServer server;
        QVERIFY(server.start(web));
        const QStringList page{"sub/deep.htm"};
        const ProcessOutcome byAddress =
            check(QStringList{"--color=never", server.url()} + page, configHome());
        const ProcessOutcome byUrl = check(
            QStringList{"--color=never", server.url(), server.url() + page.first()}, configHome());
        const ProcessOutcome folder = check(QStringList{"--color=never", web} + page, configHome());
        QCOMPARE(byAddress.out, folder.out);
        QCOMPARE(byUrl.out, folder.out);
        QCOMPARE(byAddress.status, folder.status);
        // Only the page itself was asked for, besides robots.txt.
        QStringList asked;
        for (const QString& line : server.accessLog())
            if (line.contains(QLatin1String("GET /sub/deep.htm")))
                asked.append(line);
        QCOMPARE(asked.size(), 2);
        for (const QString& line : server.accessLog())
            QVERIFY2(line.contains(QLatin1String("/sub/deep.htm")) ||
                         line.contains(QLatin1String("/robots.txt")),
                     qPrintable(line));

        const ProcessOutcome outside = check(
            QStringList{server.url(), QStringLiteral("http://127.0.0.2/x.htm")}, configHome());
        QCOMPARE(outside.status, 2);
        QVERIFY2(messages(outside).contains("is not within the site"), outside.err.constData());
    }

    // Pages that answer errors, redirect out or are too big fail with the reason; the rest of
    // the site is checked.
    void failedPages() {
        const QString web = m_dir.filePath(QStringLiteral("failing"));
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("checkweb")), web);
        NginxServer server;
        QVERIFY(server.start(web, QStringLiteral("location = /broken.htm { return 500; }\n"
                                                 "location = /moved.htm { return 302 "
                                                 "http://127.0.0.2/elsewhere.htm; }\n")));
        writeFile(web + QStringLiteral("/sitemap.xml"),
                  sitemap(server.url(),
                          {"bad.htm", "broken.htm", "good.htm", "missing.htm", "moved.htm"}));
        const QString json = m_dir.filePath(QStringLiteral("failing.json"));
        const ProcessOutcome o =
            check({"--color=never", "--json", json, server.url()}, configHome());
        QCOMPARE(o.status, 1);
        QVERIFY2(o.out.contains("File = missing.htm\n"
                                "    The page cannot be checked: 404 Not Found\n"),
                 o.out.constData());
        QVERIFY2(o.out.contains("File = broken.htm\n"
                                "    The page cannot be checked: 500 Internal Server Error\n"),
                 o.out.constData());
        QVERIFY2(o.out.contains("File = moved.htm\n    The page cannot be checked: redirects "
                                "out of the site to http://127.0.0.2/elsewhere.htm\n"),
                 o.out.constData());
        QVERIFY(o.out.contains("File = good.htm"));
        QMap<QString, QString> status;
        for (const QJsonValue& p : jsonPages(json))
            status.insert(p[QStringLiteral("address")].toString(),
                          p[QStringLiteral("status")].toString());
        QCOMPARE(status.value(QStringLiteral("missing.htm")), QStringLiteral("unfetched"));
        QCOMPARE(status.value(QStringLiteral("broken.htm")), QStringLiteral("unfetched"));
        QCOMPARE(status.value(QStringLiteral("bad.htm")), QStringLiteral("failed"));
        QVERIFY(status.value(QStringLiteral("good.htm")) != QLatin1String("unfetched"));
    }

    // A site that cannot be reached, or whose certificate cannot be checked, is no check (2),
    // with the cause; a certificate is taken unchecked only when asked to.
    void cannotReach_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("reached");
        QTest::addColumn<QString>("said");
        QTest::newRow("closed port") << "closed" << false << "127.0.0.1";
        QTest::newRow("unknown certificate") << "https" << false << "certificate";
        QTest::newRow("its CA given") << "ca-file" << true << "";
        QTest::newRow("insecure") << "insecure" << true << "";
    }
    void cannotReach() {
        QFETCH(QString, how);
        QFETCH(bool, reached);
        QFETCH(QString, said);
        const QString web = m_dir.filePath(QStringLiteral("tls"));
        if (!QFileInfo::exists(web)) {
            testsupport::copyTree(testsupport::fixturePath(QStringLiteral("checkweb")), web);
            QFile::remove(web + QStringLiteral("/bad.htm"));
        }
        NginxServer server;
        QVERIFY(server.start(web));
        QStringList args{"--quiet"};
        if (how == QLatin1String("closed")) {
            const int port = testsupport::freeLoopbackPort();
            args << QStringLiteral("http://127.0.0.1:%1/").arg(port);
        } else {
            if (how == QLatin1String("ca-file"))
                args << QStringLiteral("--ca-file") << server.caFile();
            if (how == QLatin1String("insecure"))
                args << QStringLiteral("--insecure");
            args << server.httpsUrl();
        }
        const ProcessOutcome o = check(args, configHome());
        if (reached) {
            QVERIFY2(o.status == 0 || o.status == 1, o.err.constData());
            QVERIFY2(o.err.isEmpty(), o.err.constData());
        } else {
            QCOMPARE(o.status, 2);
            QCOMPARE(o.err.count('\n'), 1);
            QVERIFY2(o.err.contains(said.toUtf8()), o.err.constData());
        }
    }

    // The user agent and the headers go with every request: a staging site behind a token.
    void agentAndHeaders() {
        const QString web = m_dir.filePath(QStringLiteral("staging"));
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("checkweb")), web);
        QFile::remove(web + QStringLiteral("/bad.htm"));
        NginxServer server;
        QVERIFY(server.start(web,
                             QStringLiteral("if ($http_x_token != \"s3cret\") { return 401; }\n")));
        const ProcessOutcome refused = check({"--color=never", server.url()}, configHome());
        QCOMPARE(refused.status, 1); // the start page fails
        QVERIFY2(refused.out.contains("    The page cannot be checked: 401 Unauthorized\n"),
                 refused.out.constData());
        const ProcessOutcome taken =
            check({"--quiet", "--header", "X-Token: s3cret", "--user-agent", "ci-bot/2",
                   server.url() + QStringLiteral("good.htm")},
                  configHome());
        QVERIFY2(taken.status == 0 || taken.status == 1, taken.err.constData());
        bool sawDefault = false;
        bool sawOwn = false;
        for (const QString& line : server.accessLog()) {
            sawDefault = sawDefault || line.endsWith(QLatin1String("\"quillmark/" QM_VERSION "\""));
            sawOwn =
                sawOwn || (line.contains(QLatin1String(" 200 ")) &&
                           line.endsWith(QLatin1String("\"GET /good.htm HTTP/1.1\" \"ci-bot/2\"")));
        }
        QVERIFY2(sawDefault, qPrintable(server.accessLog().join('\n')));
        QVERIFY(sawOwn);
    }
};

QTEST_GUILESS_MAIN(TestSiteCheck)
#include "tst_sitecheck.moc"
