#include "platform/infooptions.h"
#include "webhost/localweb.h"
#include "webhost/siteweb.h"

#include "support/testenv.h"
#include "support/webservers.h"

#include <QtTest>

using webhost::HostError;
using webhost::PageFailure;
using webhost::SiteListing;
using webhost::SiteOptions;
using webhost::SiteWeb;

namespace {

QString fixtureSite() {
    return testsupport::fixturePath(QStringLiteral("site"));
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// "address" for a page, "address: failure" for a failed one.
QStringList described(const SiteListing& l) {
    QStringList out;
    for (const webhost::SitePage& p : l.pages)
        out << (p.failure.isEmpty() ? p.address : p.address + QStringLiteral(": ") + p.failure);
    return out;
}

QStringList sorted(QStringList l) {
    l.sort();
    return l;
}

// The fixture site's own answers: redirects inside and out, an error, charsets in the header
// only, compression.
QString fixtureConfig(int otherPort) {
    return QStringLiteral("index index.htm;\n"
                          "location = /old.htm { return 301 /new.htm; }\n"
                          "location = /out.htm { return 302 http://127.0.0.1:%1/landing.htm; }\n"
                          "location = /broken.htm { return 500; }\n"
                          "location = /latin.htm { charset windows-1252; }\n"
                          "location = /cyrillic.htm { charset koi8-r; }\n"
                          "location = /zipped.htm { gzip on; gzip_min_length 1; }\n")
        .arg(otherPort);
}

const QStringList kCrawled{
    "/",
    "about.htm",
    "docs/index.htm",
    "new.htm",
    QString(),
    "gone.htm: 404 Not Found",
    "broken.htm: 500 Internal Server Error",
    "latin.htm",
    "cyrillic.htm",
    "zipped.htm",
    "nofollow.htm",
    "index.htm",
    "docs/deep/a.htm",
    "docs/guide.htm",
    "docs/deep/b.htm",
};

} // namespace

class TestSiteWeb : public QObject {
    Q_OBJECT

    testsupport::NginxServer nginx;
    testsupport::ScriptedHttpServer elsewhere; // another origin: must never be asked
    QTemporaryDir work;
    int copies = 0;

    SiteOptions options(const QString& address) const {
        SiteOptions o;
        o.address = address;
        o.limits.connections = 1; // pages in a fixed order
        o.limits.requestSeconds = 10;
        return o;
    }
    QString copyFolder() { return work.filePath(QStringLiteral("copies%1").arg(++copies)); }
    QStringList crawled() const {
        QStringList l = kCrawled;
        l[4] = QStringLiteral("out.htm: redirects out of the site to %1landing.htm")
                   .arg(elsewhere.url());
        return l;
    }
    void restartNginx(const QString& extra, const QString& root = fixtureSite()) {
        QVERIFY(nginx.start(root, fixtureConfig(elsewhere.port()) + extra));
    }

private slots:
    void initTestCase() {
        QVERIFY(work.isValid());
        QVERIFY(elsewhere.start(QStringLiteral("record")));
    }
    void init() { restartNginx(QString()); }
    void cleanup() { QCOMPARE(elsewhere.requests(), QStringList()); }

    void crawl_data() {
        QTest::addColumn<bool>("https");
        QTest::newRow("http") << false;
        QTest::newRow("https, HTTP/2, the test CA") << true;
    }
    // A page whose answer says nofollow in its X-Robots-Tag header is listed, its links are not
    // followed; the header for another agent does not count.
    void robotsHeader_data() {
        QTest::addColumn<QString>("header");
        QTest::addColumn<bool>("followed");
        QTest::newRow("nofollow") << "noindex, nofollow" << false;
        QTest::newRow("for another agent") << "otherbot: nofollow" << true;
    }
    void robotsHeader() {
        QFETCH(QString, header);
        QFETCH(bool, followed);
        restartNginx(
            QStringLiteral("location = /docs/index.htm { add_header X-Robots-Tag \"%1\"; }\n")
                .arg(header));
        SiteWeb site(options(nginx.url()), copyFolder());
        const QStringList listed = described(site.list());
        QVERIFY(listed.contains(QStringLiteral("docs/index.htm")));
        QCOMPARE(listed.contains(QStringLiteral("docs/guide.htm")), followed);
    }

    void crawl() {
        QFETCH(bool, https);
        SiteOptions o = options(https ? nginx.httpsUrl() : nginx.url());
        o.caFile = nginx.caFile();
        SiteWeb site(o, copyFolder());
        const SiteListing& l = site.list();
        QCOMPARE(described(l), crawled());
        QCOMPARE(l.source, o.address);
        QCOMPARE(l.folders, (QStringList{"docs", "docs/deep"}));
        QCOMPARE(l.notes,
                 (QStringList{"1 address was left out: robots.txt disallows it.",
                              "2 answers that are not pages were left out (application/pdf, "
                              "text/plain)."}));
        // Every page once, with our agent; robots.txt first; over HTTP/2 when TLS is there.
        // robots.txt, sitemap.xml, the 15 listed, old.htm before its redirect, the pdf, the text
        QTRY_COMPARE(nginx.accessLog().size(), 20);
        const QStringList log = nginx.accessLog();
        QVERIFY2(log.value(0).contains(QLatin1String("\"GET /robots.txt ")),
                 qPrintable(log.value(0)));
        QVERIFY(log.value(1).contains(QLatin1String("\"GET /sitemap.xml ")));
        QVERIFY(log.value(2).contains(QLatin1String("\"GET / ")));
        const QString agent = QStringLiteral("\"quillmark/%1\"").arg(platform::programVersion());
        for (const QString& line : log) {
            QVERIFY2(line.endsWith(agent) && line.contains(QLatin1String(" \"-\" ")),
                     qPrintable(line));
            QVERIFY2(
                line.contains(https ? QLatin1String("HTTP/2.0\"") : QLatin1String("HTTP/1.1\"")),
                qPrintable(line));
            QVERIFY2(!line.contains(QLatin1String("private")), qPrintable(line));
            QVERIFY2(!line.contains(QLatin1String("hidden")), qPrintable(line));
        }
        // Each page's copy is the page; the one served compressed arrives decoded.
        QCOMPARE(site.copyBytes(QStringLiteral("zipped.htm")),
                 fileBytes(fixtureSite() + QStringLiteral("/zipped.htm")));
        QCOMPARE(site.copyBytes(QStringLiteral("/")),
                 fileBytes(fixtureSite() + QStringLiteral("/index.htm")));
        QVERIFY(!site.hasCopy(QStringLiteral("gone.htm")));
        QVERIFY_THROWS_EXCEPTION(webhost::HostError, site.copyBytes(QStringLiteral("gone.htm")));
    }

    void requestHeaders() {
        SiteOptions o = options(nginx.url());
        o.userAgent = QStringLiteral("Checker/2.0 (test)");
        o.headers = QStringList{QStringLiteral("X-Test: sent")};
        SiteWeb site(o, copyFolder());
        site.listPages({QStringLiteral("zipped.htm")});
        QTRY_COMPARE(nginx.accessLog().size(), 1);
        const QStringList log = nginx.accessLog();
        QVERIFY2(log.first().endsWith(
                     QLatin1String("\"sent\" \"GET /zipped.htm HTTP/1.1\" \"Checker/2.0 (test)\"")),
                 qPrintable(log.first()));
        // The body went compressed: far fewer bytes than the page has.
        const qint64 sent = log.first().section(u' ', 2, 2).toLongLong();
        QVERIFY2(sent > 0 &&
                     sent < fileBytes(fixtureSite() + QStringLiteral("/zipped.htm")).size() / 4,
                 qPrintable(log.first()));
        QCOMPARE(site.copyBytes(QStringLiteral("zipped.htm")),
                 fileBytes(fixtureSite() + QStringLiteral("/zipped.htm")));
    }

    void limits_data() {
        QTest::addColumn<int>("maxPages");
        QTest::addColumn<int>("maxDepth");
        QTest::addColumn<int>("listed");
        QTest::addColumn<QString>("note");
        QTest::newRow("pages") << 3 << 100 << 3
                               << "The listing stopped at the limit of 3 pages; the site has "
                                  "more addresses.";
        QTest::newRow("depth 1") << 100 << 1 << 11
                                 << "Links more than 1 step from the start address were not "
                                    "followed.";
        QTest::newRow("depth 0") << 100 << 0 << 1
                                 << "Links more than 0 steps from the start address were not "
                                    "followed.";
    }
    void limits() {
        QFETCH(int, maxPages);
        QFETCH(int, maxDepth);
        QFETCH(int, listed);
        QFETCH(QString, note);
        SiteOptions o = options(nginx.url());
        o.limits.maxPages = maxPages;
        o.limits.maxDepth = maxDepth;
        SiteWeb site(o, copyFolder());
        const SiteListing& l = site.list();
        QCOMPARE(described(l), crawled().mid(0, listed));
        QVERIFY2(l.notes.contains(note), qPrintable(l.notes.join(u'\n')));
    }

    void sitemap_data() {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("source"); // relative to the site's URL
        // nginx writes the sitemaps, its own port in them.
        const QString index =
            QStringLiteral("location = /sitemap.xml { default_type application/xml; return 200 "
                           "'<?xml version=\"1.0\"?><sitemapindex xmlns=\"http://"
                           "www.sitemaps.org/schemas/sitemap/0.9\"><sitemap><loc>"
                           "http://127.0.0.1:$server_port/pages.xml</loc></sitemap>"
                           "</sitemapindex>'; }\n");
        QTest::newRow("sitemap.xml, an index") << index << "sitemap.xml";
        QTest::newRow("named in robots.txt")
            << QStringLiteral("location = /robots.txt { default_type text/plain; return 200 "
                              "'User-agent: *\\nDisallow: /private/\\nSitemap: "
                              "http://127.0.0.1:$server_port/pages.xml\\n'; }\n")
            << "pages.xml";
    }
    void sitemap() {
        QFETCH(QString, config);
        QFETCH(QString, source);
        const QString loc =
            QStringLiteral("<url><loc>http://127.0.0.1:$server_port/%1</loc></url>");
        const QString pages =
            QStringLiteral("location = /pages.xml { default_type application/xml; return 200 "
                           "'<?xml version=\"1.0\"?><urlset xmlns=\"http://"
                           "www.sitemaps.org/schemas/sitemap/0.9\">") +
            loc.arg(QStringLiteral("about.htm")) + loc.arg(QStringLiteral("docs/guide.htm")) +
            loc.arg(QStringLiteral("about.htm#again")) + loc.arg(QStringLiteral("gone.htm")) +
            loc.arg(QStringLiteral("private/secret.htm")) + loc.arg(QStringLiteral("notes.txt")) +
            QStringLiteral("<url><loc>%1elsewhere.htm</loc></url></urlset>'; }\n")
                .arg(elsewhere.url());
        restartNginx(config + pages);
        SiteWeb site(options(nginx.url()), copyFolder());
        const SiteListing& l = site.list();
        QCOMPARE(described(l),
                 (QStringList{"about.htm", "docs/guide.htm", "gone.htm: 404 Not Found"}));
        QCOMPARE(l.source, nginx.url() + source);
        QCOMPARE(l.folders, QStringList{"docs"});
        QCOMPARE(l.notes,
                 (QStringList{"1 address of the sitemaps lies outside the site and was left out.",
                              "1 address was left out: robots.txt disallows it.",
                              "1 answer that is not a page was left out (text/plain)."}));
        for (const webhost::SitePage& p : l.pages)
            QCOMPARE(p.depth, 0);
    }

    void reachability_data() {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<bool>("trustCa");
        QTest::addColumn<bool>("insecure");
        QTest::addColumn<QString>("cause"); // a part of the error; empty: the site is listed
        QTest::newRow("nothing listens")
            << "closed" << false << false << "Couldn't connect to server";
        QTest::newRow("unknown CA") << "https" << false << false << "SSL certificate problem";
        QTest::newRow("unknown CA, insecure") << "https" << false << true << QString();
        QTest::newRow("the test CA") << "https" << true << false << QString();
    }
    void reachability() {
        QFETCH(QString, scheme);
        QFETCH(bool, trustCa);
        QFETCH(bool, insecure);
        QFETCH(QString, cause);
        SiteOptions o = options(
            scheme == QLatin1String("closed")
                ? QStringLiteral("http://127.0.0.1:%1/").arg(testsupport::freeLoopbackPort())
                : nginx.httpsUrl());
        o.insecure = insecure;
        if (trustCa)
            o.caFile = nginx.caFile();
        SiteWeb site(o, copyFolder());
        if (cause.isEmpty()) {
            QCOMPARE(described(site.list()), crawled());
            return;
        }
        try {
            site.list();
            QFAIL("the site was listed");
        } catch (const HostError& e) {
            const QString start = QStringLiteral("The site %1 cannot be reached: ").arg(o.address);
            QVERIFY2(e.message().startsWith(start) &&
                         e.message().contains(cause, Qt::CaseInsensitive),
                     qPrintable(e.message()));
        }
        QVERIFY(site.listing().pages.isEmpty());
    }

    void robots_data() {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QStringList>("present"); // listed
        QTest::addColumn<QStringList>("absent");  // not listed
        QTest::addColumn<QStringList>("notes");
        QTest::newRow("404: everything allowed")
            << "location = /robots.txt { return 404; }"
            << QStringList{"private/secret.htm", "hidden.htm"} << QStringList{}
            << QStringList{"2 answers that are not pages were left out (application/pdf, "
                           "text/plain)."};
        QTest::newRow("503: nothing fetched")
            << "location = /robots.txt { return 503; }" << QStringList{} << QStringList{"/"}
            << QStringList{"robots.txt could not be read (503 Service Temporarily Unavailable): "
                           "the site is "
                           "taken as disallowing every page."};
        QTest::newRow("the group for our agent")
            << "location = /robots.txt { default_type text/plain; return 200 'User-agent: *\\n"
               "Disallow: /\\n\\nUser-agent: Quillmark\\nDisallow: /docs/\\nAllow: "
               "/docs/index.htm\\n'; }"
            << QStringList{"/", "private/secret.htm", "docs/index.htm"}
            << QStringList{"docs/guide.htm", "docs/deep/a.htm"}
            << QStringList{"2 addresses were left out: robots.txt disallows them.",
                           "2 answers that are not pages were left out (application/pdf, "
                           "text/plain)."};
    }
    void robots() {
        QFETCH(QString, config);
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);
        QFETCH(QStringList, notes);
        restartNginx(config);
        SiteWeb site(options(nginx.url()), copyFolder());
        const SiteListing& l = site.list();
        const QStringList pages = described(l);
        for (const QString& p : present)
            QVERIFY2(pages.contains(p), qPrintable(p));
        for (const QString& p : absent)
            QVERIFY2(!pages.contains(p), qPrintable(p));
        QCOMPARE(l.notes, notes);
        if (present.isEmpty()) {
            QTRY_COMPARE(nginx.accessLog().size(), 1);
            QTest::qWait(100);
            QCOMPARE(nginx.accessLog().size(), 1);
        }
    }

    // A charset that only the header names: the checks get the page in it.
    void charsetOfTheHeader() {
        SiteWeb site(options(nginx.url()), copyFolder());
        const SiteListing& l =
            site.listPages({QStringLiteral("latin.htm"), QStringLiteral("cyrillic.htm")});
        QCOMPARE(described(l), (QStringList{"latin.htm", "cyrillic.htm"}));
        const QByteArray latin = fileBytes(fixtureSite() + QStringLiteral("/latin.htm"));
        QCOMPARE(site.copyBytes(QStringLiteral("latin.htm")), latin);
        const QByteArray cyrillic = site.copyBytes(QStringLiteral("cyrillic.htm"));
        QVERIFY(cyrillic.startsWith("\xEF\xBB\xBF<html>"));
        QVERIFY(cyrillic.contains(QStringLiteral("\u041F\u0440\u0438\u0432\u0435\u0442").toUtf8()));
        auto editor = site.createEditor();
        QString address = QStringLiteral("cyrillic.htm");
        QCOMPARE(editor->vtiGetMetaTag(address, QString(), QStringLiteral("description"), 0, 0),
                 QStringLiteral("\u041F\u0440\u0438\u0432\u0435\u0442"));
    }

    void failedPagesAreListed() {
        SiteWeb site(options(nginx.url()), copyFolder());
        auto explorer = site.createExplorer();
        const webhost::PageListing root = explorer->vtigetpagesinfolder(QString(), 1);
        QVERIFY(root.allPages);
        QCOMPARE(root.pages, (QStringList{"/", "about.htm", "new.htm", "out.htm", "gone.htm",
                                          "broken.htm", "latin.htm", "cyrillic.htm", "zipped.htm",
                                          "nofollow.htm", "index.htm"}));
        QCOMPARE(explorer->vtigetpagesinfolder(QStringLiteral("docs/deep"), 1).pages,
                 (QStringList{"docs/deep/a.htm", "docs/deep/b.htm"}));
        QVERIFY_THROWS_EXCEPTION(HostError,
                                 explorer->vtigetpagesinfolder(QStringLiteral("private"), 1));
        const QString target = work.filePath(QStringLiteral("page.tgf"));
        const QList<QPair<QString, QString>> failures{
            {"gone.htm", "404 Not Found"},
            {"broken.htm", "500 Internal Server Error"},
            {"out.htm", "redirects out of the site to " + elsewhere.url() + "landing.htm"}};
        for (const auto& [page, why] : failures) {
            QString address = page;
            try {
                explorer->copyListedPage(address, target);
                QFAIL("a failed page was copied");
            } catch (const PageFailure& e) {
                QCOMPARE(e.message(), why);
            }
        }
        QVERIFY(!QFile::exists(target));
        QString moved = QStringLiteral("new.htm");
        explorer->copyListedPage(moved, target);
        QCOMPARE(fileBytes(target), fileBytes(fixtureSite() + QStringLiteral("/new.htm")));
        // A new listing forgets the old one's copies.
        QVERIFY(site.hasCopy(QStringLiteral("new.htm")));
        site.listPages({QStringLiteral("about.htm")});
        QVERIFY(!site.hasCopy(QStringLiteral("new.htm")));
        QCOMPARE(site.copyBytes(QStringLiteral("about.htm")),
                 fileBytes(fixtureSite() + QStringLiteral("/about.htm")));
    }

    void cancel() {
        SiteWeb site(options(nginx.url()), copyFolder());
        int calls = 0;
        site.setProgress([&](int, int) { return ++calls < 2; });
        QVERIFY_THROWS_EXCEPTION(webhost::SiteCancelled, site.list());
        QCOMPARE(calls, 2);
        QVERIFY(site.listing().pages.isEmpty());
        site.setProgress({});
        QCOMPARE(described(site.list()), crawled());
    }

    // The host interface on both hosts, where a read-only host has the case.
    void hostInterface_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("check");
        for (const QString host : {"local", "site"})
            for (const QString check :
                 {"folders", "pages of a folder", "copy byte for byte", "meta tag",
                  "meta tag in Windows-1252", "top page", "missing page", "set tag"})
                QTest::addRow("%s: %s", qPrintable(host), qPrintable(check)) << host << check;
    }
    void hostInterface() {
        QFETCH(QString, host);
        QFETCH(QString, check);
        testsupport::TestEnv env;
        const QString localWeb = env.path(QStringLiteral("web"));
        QVERIFY(QProcess::execute(QStringLiteral("cp"),
                                  {QStringLiteral("-r"), fixtureSite(), localWeb}) == 0);
        std::unique_ptr<webhost::Host> web;
        const bool local = host == QLatin1String("local");
        if (local) {
            auto l = std::make_unique<webhost::LocalWeb>(env.registryPath(), env.programFolder());
            l->openWeb(localWeb);
            l->openPage(QStringLiteral("index.htm"));
            web = std::move(l);
        } else {
            web = std::make_unique<SiteWeb>(options(nginx.url() + QStringLiteral("index.htm")),
                                            copyFolder());
        }
        const QString served = local ? localWeb : fixtureSite();
        auto explorer = web->createExplorer();
        auto editor = web->createEditor();
        const QString target = env.path(QStringLiteral("program/dorazo/temp.tgf"));
        if (check == QLatin1String("folders")) {
            const QStringList folders = explorer->webFolders();
            QVERIFY2(folders.contains(QStringLiteral("docs")) &&
                         folders.contains(QStringLiteral("docs/deep")),
                     qPrintable(folders.join(u',')));
        } else if (check == QLatin1String("pages of a folder")) {
            QCOMPARE(sorted(explorer->vtigetpagesinfolder(QStringLiteral("docs"), 1).pages),
                     (QStringList{"docs/guide.htm", "docs/index.htm"}));
            QVERIFY_THROWS_EXCEPTION(
                HostError, explorer->vtigetpagesinfolder(QStringLiteral("Web Root Directory"), 1));
        } else if (check == QLatin1String("copy byte for byte")) {
            for (const QString& page :
                 {QStringLiteral("latin.htm"), QStringLiteral("zipped.htm")}) {
                QString address = page;
                explorer->vtiGetDocToFile(address, target);
                QCOMPARE(fileBytes(target), fileBytes(served + u'/' + page));
                explorer->vtigetpagesinfolder(QString(), 1);
                QFile::remove(target);
                explorer->copyListedPage(address, target);
                QCOMPARE(fileBytes(target), fileBytes(served + u'/' + page));
            }
            // A copy that cannot be written is an error.
            QString address = QStringLiteral("about.htm");
            QVERIFY_THROWS_EXCEPTION(
                HostError, explorer->vtiGetDocToFile(
                               address, env.path(QStringLiteral("program/nofolder/x.tgf"))));
        } else if (check == QLatin1String("meta tag")) {
            QString address = QStringLiteral("about.htm");
            QCOMPARE(editor->vtiGetMetaTag(address, QString(), QStringLiteral("KEYWORDS"), 0, 0),
                     QStringLiteral("about, us"));
            QCOMPARE(editor->vtiGetMetaTag(address, QString(), QStringLiteral("author"), 0, 0),
                     QString());
        } else if (check == QLatin1String("meta tag in Windows-1252")) {
            QString address = QStringLiteral("latin.htm");
            QCOMPARE(editor->vtiGetMetaTag(address, QString(), QStringLiteral("description"), 0, 0),
                     QStringLiteral("M\u00FCller \u20AC caf\u00E9"));
        } else if (check == QLatin1String("top page")) {
            QCOMPARE(editor->vtiGetTopPageURL(), QStringLiteral("index.htm"));
        } else if (check == QLatin1String("missing page")) {
            QString missing = QStringLiteral("missing.htm");
            QVERIFY_THROWS_EXCEPTION(HostError, explorer->vtiGetDocToFile(missing, target));
            QVERIFY(!QFile::exists(target));
            QVERIFY_THROWS_EXCEPTION(
                HostError,
                editor->vtiGetMetaTag(missing, QString(), QStringLiteral("keywords"), 0, 0));
        } else if (check == QLatin1String("set tag")) {
            QString address = QStringLiteral("about.htm");
            QString content = QStringLiteral("new, words");
            const QByteArray before = fileBytes(served + QStringLiteral("/about.htm"));
            if (local) {
                editor->vtiSetMetaTag(address, QString(), QStringLiteral("keywords"), content, 0,
                                      0);
                QCOMPARE(
                    editor->vtiGetMetaTag(address, QString(), QStringLiteral("keywords"), 0, 0),
                    content);
                QVERIFY(fileBytes(served + QStringLiteral("/about.htm")) != before);
            } else {
                try {
                    editor->vtiSetMetaTag(address, QString(), QStringLiteral("keywords"), content,
                                          0, 0);
                    QFAIL("the site took a tag");
                } catch (const HostError& e) {
                    QCOMPARE(e.message(),
                             QStringLiteral("The site %1 is read-only: the keywords tag "
                                            "of about.htm was not changed.")
                                 .arg(nginx.url()));
                }
                QCOMPARE(fileBytes(served + QStringLiteral("/about.htm")), before);
                QCOMPARE(
                    editor->vtiGetMetaTag(address, QString(), QStringLiteral("keywords"), 0, 0),
                    QStringLiteral("about, us"));
            }
        } else {
            QFAIL(qPrintable(check));
        }
    }

    void connections_data() {
        QTest::addColumn<int>("connections");
        QTest::addColumn<QString>("crawlDelay"); // robots.txt's, empty for none
        QTest::newRow("one") << 1 << QString();
        QTest::newRow("two") << 2 << QString();
        QTest::newRow("four") << 4 << QString();
        QTest::newRow("four, but a crawl delay") << 4 << QStringLiteral("0.2");
    }
    void connections() {
        QFETCH(int, connections);
        QFETCH(QString, crawlDelay);
        testsupport::ScriptedHttpServer slow;
        QStringList extra;
        if (!crawlDelay.isEmpty())
            extra << QStringLiteral("--delay") << crawlDelay;
        QVERIFY(slow.start(QStringLiteral("slow-pages"), extra));
        SiteOptions o = options(slow.url());
        o.limits.connections = connections;
        SiteWeb site(o, copyFolder());
        QCOMPARE(site.list().pages.size(), 13);
        const int peak = slow.peakConnections();
        const int expected = crawlDelay.isEmpty() ? connections : 1;
        QVERIFY2(peak <= expected, qPrintable(QString::number(peak)));
        // Transfers do overlap where they may.
        if (expected > 1)
            QVERIFY2(peak >= 2, qPrintable(QString::number(peak)));
    }

    void runLimit() {
        testsupport::ScriptedHttpServer slow;
        QVERIFY(slow.start(QStringLiteral("slow-pages")));
        SiteOptions o = options(slow.url());
        o.limits.runSeconds = 1;
        SiteWeb site(o, copyFolder());
        const SiteListing& l = site.list();
        // Each page takes 0.3 s, one at a time: a few are listed, the rest are named.
        QVERIFY2(l.pages.size() >= 1 && l.pages.size() < 13,
                 qPrintable(QString::number(l.pages.size())));
        QCOMPARE(l.notes, QStringList{QStringLiteral("The listing stopped after 1 second; %1 "
                                                     "addresses were not fetched.")
                                          .arg(13 - l.pages.size())});
    }

    void hostile_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("failure"); // of the start page, a pattern; empty: a page
        QTest::addColumn<int>("pages");
        QTest::newRow("redirect loop") << "redirect-loop"
                                       << "^too many redirects$" << 1;
        QTest::newRow("endless body") << "endless"
                                      << "^larger than 4 MB$" << 1;
        QTest::newRow("2 GB Content-Length") << "huge-length"
                                             << "^larger than 4 MB$" << 1;
        QTest::newRow("headers, then nothing") << "stall-headers"
                                               << "^Operation (timed out|too slow)" << 1;
        QTest::newRow("nothing at all") << "stall-silent"
                                        << "^Operation (timed out|too slow)" << 1;
        QTest::newRow("malformed status line") << "malformed"
                                               << "." << 1;
        QTest::newRow("compression bomb") << "gzip-bomb"
                                          << "^larger than 4 MB$" << 1;
        QTest::newRow("100,000 links a page") << "many-links" << QString() << 30;
        QTest::newRow("another origin") << "other-origin" << QString() << 2;
    }
    void hostile() {
        QFETCH(QString, mode);
        QFETCH(QString, failure);
        QFETCH(int, pages);
        testsupport::ScriptedHttpServer hostile;
        QVERIFY(
            hostile.start(mode, {QStringLiteral("--other"), QString::number(elsewhere.port())}));
        SiteOptions o = options(hostile.url());
        o.limits.maxPageBytes = 4 << 20; // a page of 100,000 links fits
        o.limits.requestSeconds = 2;
        o.limits.maxRedirects = 5;
        o.limits.maxPages = 30;
        o.limits.connections = 4;
        const QString copies = copyFolder();
        SiteWeb site(o, copies);
        QElapsedTimer clock;
        clock.start();
        const SiteListing& l = site.list();
        // Each ends within its request's timeout, with room for a slow machine.
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(l.pages.size(), pages);
        QCOMPARE(l.pages.first().address, QStringLiteral("/"));
        if (failure.isEmpty())
            QCOMPARE(l.pages.first().failure, QString());
        else
            QVERIFY2(QRegularExpression(failure).match(l.pages.first().failure).hasMatch(),
                     qPrintable(l.pages.first().failure));
        for (const webhost::SitePage& p : l.pages)
            if (site.hasCopy(p.address))
                QVERIFY(site.copyBytes(p.address).size() <= o.limits.maxPageBytes);
        qint64 kept = 0;
        for (const QFileInfo& f : QDir(copies).entryInfoList(QDir::Files))
            kept += f.size();
        QVERIFY(kept <= qint64(pages) * o.limits.maxPageBytes);
        if (mode == QLatin1String("redirect-loop"))
            QCOMPARE(hostile.requests().size(), 2 + 6); // robots, sitemap; the first and 5 more
        if (mode == QLatin1String("many-links"))
            QVERIFY(l.notes.contains(QStringLiteral(
                "The listing stopped at the limit of 30 pages; the site has more addresses.")));
        if (mode == QLatin1String("other-origin")) {
            QCOMPARE(described(l).last(),
                     "away.htm: redirects out of the site to " + elsewhere.url() + "landing.htm");
            QVERIFY(l.notes.contains(
                QStringLiteral("The sitemap %1sitemap.xml lies outside the site and was not read.")
                    .arg(elsewhere.url())));
        }
    }
};

QTEST_GUILESS_MAIN(TestSiteWeb)
#include "tst_siteweb.moc"
