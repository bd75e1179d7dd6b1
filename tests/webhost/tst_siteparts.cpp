#include "webhost/pagelinks.h"
#include "webhost/robots.h"
#include "webhost/sitemap.h"
#include "webhost/siteurl.h"

#include "platform/textcodec.h"

#include <QtTest>

using namespace webhost::site;

class TestSiteParts : public QObject {
    Q_OBJECT

private slots:
    void normalUrl_data();
    void normalUrl();
    void resolveLink_data();
    void resolveLink();
    void rootAndAddresses_data();
    void rootAndAddresses();
    void addressRoundTrip();
    void folderOfAddress_data();
    void folderOfAddress();
    void pageLinks_data();
    void pageLinks();
    void contentType_data();
    void contentType();
    void robotsHeader_data();
    void robotsHeader();
    void bytesForChecks_data();
    void bytesForChecks();
    void robotsAllows_data();
    void robotsAllows();
    void robotsGroups();
    void sitemap_data();
    void sitemap();
    void sitemapEntityBomb();
};

void TestSiteParts::normalUrl_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char* name, const QString& url, const char* expected) {
        QTest::newRow(name) << url << QString::fromUtf8(expected);
    };
    row("case and default port", "HTTP://Example.ORG:80/A/b.htm", "http://example.org/A/b.htm");
    row("https default port", "https://example.org:443", "https://example.org/");
    row("other port kept", "https://example.org:08443/x", "https://example.org:8443/x");
    row("default port with zeros", "https://example.org:0443/x", "https://example.org/x");
    row("http on 443 keeps it", "http://example.org:443/", "http://example.org:443/");
    row("empty port", "http://example.org:/", "http://example.org/");
    row("port out of range", "http://example.org:65536/", "");
    row("port not a number", "http://example.org:8o/", "");
    row("fragment dropped", "http://example.org/a.htm#top", "http://example.org/a.htm");
    row("empty query dropped", "http://example.org/a.htm?#x", "http://example.org/a.htm");
    row("dot segments", "http://example.org/a/./b/../c/.", "http://example.org/a/c/");
    row("dot dot above root", "http://example.org/../../x", "http://example.org/x");
    row("trailing dot dot", "http://example.org/a/b/..", "http://example.org/a/");
    row("encoded dot segments", "http://example.org/a/%2e%2E/b", "http://example.org/b");
    row("unreserved decoded", "http://example.org/%7euser/%41%2d", "http://example.org/~user/A-");
    row("reserved stays encoded upper", "http://example.org/a%2fb%3f",
        "http://example.org/a%2Fb%3F");
    row("stray percent", "http://example.org/100%/x%zz", "http://example.org/100%25/x%25zz");
    row("space and non-ASCII", QStringLiteral("http://example.org/a b/ü?q=ä ö"),
        "http://example.org/a%20b/%C3%BC?q=%C3%A4%20%C3%B6");
    row("controls and quotes encoded", QStringLiteral("http://example.org/a\x01\"<>"),
        "http://example.org/a%01%22%3C%3E");
    row("query keeps its delimiters", "http://example.org/?a=1&b=/c?d",
        "http://example.org/?a=1&b=/c?d");
    row("query is not dot-resolved", "http://example.org/p?x=../y", "http://example.org/p?x=../y");
    row("idn host", QStringLiteral("http://BÜCHER.Example/"), "http://xn--bcher-kva.example/");
    row("idn host in ace", "http://xn--BCHER-kva.example/", "http://xn--bcher-kva.example/");
    row("encoded host", "http://ex%41mple.org/", "http://example.org/");
    row("ipv6 host", "http://[::FFFF:7F00:1]:8080/", "http://[::ffff:7f00:1]:8080/");
    row("userinfo kept", "http://Ann@Example.org/", "http://Ann@example.org/");
    row("backslash as slash", "http://example.org\\a\\b.htm", "http://example.org/a/b.htm");
    row("blanks trimmed, tabs dropped", " http://exam\tple.org/a\n.htm ",
        "http://example.org/a.htm");
    row("no host", "http:///a", "");
    row("host with a blank", "http://exa mple.org/", "");
    row("ftp", "ftp://example.org/", "");
    row("relative", "/a/b.htm", "");
    row("mailto", "mailto:ann@example.org", "");
}

void TestSiteParts::normalUrl() {
    QFETCH(QString, url);
    QFETCH(QString, expected);
    QCOMPARE(webhost::site::normalUrl(url), expected);
    // a normal spelling is its own normal spelling
    if (!expected.isEmpty())
        QCOMPARE(webhost::site::normalUrl(expected), expected);
}

void TestSiteParts::resolveLink_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("expected");
    const QString base = QStringLiteral("http://a.example/b/c/d.htm?q");
    const auto row = [&](const char* link, const char* expected) {
        QTest::newRow(link) << base << QString::fromUtf8(link) << QString::fromUtf8(expected);
    };
    // RFC 3986, section 5.4
    row("g", "http://a.example/b/c/g");
    row("./g", "http://a.example/b/c/g");
    row("g/", "http://a.example/b/c/g/");
    row("/g", "http://a.example/g");
    row("//g.example", "http://g.example/");
    row("//G.example:80/x", "http://g.example/x");
    row("?y", "http://a.example/b/c/d.htm?y");
    row("g?y", "http://a.example/b/c/g?y");
    row("#s", "http://a.example/b/c/d.htm?q");
    row("g#s", "http://a.example/b/c/g");
    row(".", "http://a.example/b/c/");
    row("..", "http://a.example/b/");
    row("../g", "http://a.example/b/g");
    row("../../../../g", "http://a.example/g");
    row("/./g", "http://a.example/g");
    row("g..", "http://a.example/b/c/g..");
    row("./g/.", "http://a.example/b/c/g/");
    row("g;x=1/../y", "http://a.example/b/c/y");
    row("http:g", "http://a.example/b/c/g");
    row("HTTPS://Other.example/%7Ex", "https://other.example/~x");
    row("  x y.htm  ", "http://a.example/b/c/x%20y.htm");
    row("..\\e\\f.htm", "http://a.example/b/e/f.htm");
    row("a.htm?x=1&amp;y", "http://a.example/b/c/a.htm?x=1&amp;y");
    row("", "");
    row("   ", "");
    row("javascript:void(0)", "");
    row("JavaScript:alert(1)", "");
    row("mailto:ann@a.example", "");
    row("data:text/html,<p>", "");
    row("ftp://a.example/f", "");
    row("tel:+1", "");
    row("http://", "");
    row("//", "");
    QTest::newRow("https base, scheme-relative") << "https://a.example/"
                                                 << "//cdn.example/x"
                                                 << "https://cdn.example/x";
    QTest::newRow("base without path") << "http://A.example"
                                       << "g"
                                       << "http://a.example/g";
    QTest::newRow("base not http") << "file:///tmp/x.htm"
                                   << "g"
                                   << "";
}

void TestSiteParts::resolveLink() {
    QFETCH(QString, base);
    QFETCH(QString, link);
    QFETCH(QString, expected);
    QCOMPARE(webhost::site::resolveLink(base, link), expected);
}

void TestSiteParts::rootAndAddresses_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("within");
    QTest::addColumn<QString>("address");
    const QString docs = QStringLiteral("https://example.org/docs/");
    const auto row = [&](const char* name, const char* start, const char* url, bool within,
                         const char* address) {
        QTest::newRow(name) << QString::fromUtf8(start) << docs << QString::fromUtf8(url) << within
                            << QString::fromUtf8(address);
    };
    row("page in folder", "https://example.org/docs/index.htm", "https://example.org/docs/a/b.htm",
        true, "a/b.htm");
    row("root itself", "https://EXAMPLE.org:443/docs/", "https://example.org/docs/", true, "/");
    row("root with query", "https://example.org/docs/?x", "https://example.org/docs/?page=2", true,
        "/?page=2");
    row("query kept", "https://example.org/docs/a.htm?lang=en",
        "https://example.org/docs/list.php?page=2", true, "list.php?page=2");
    row("subfolder", "https://example.org/docs/", "https://example.org/docs/products/", true,
        "products/");
    row("not normalised yet", "https://example.org/docs/", "HTTPS://example.org/docs/x/../%7Ey#f",
        true, "~y");
    row("folder without slash", "https://example.org/docs/", "https://example.org/docs", false, "");
    row("prefix but not a segment", "https://example.org/docs/", "https://example.org/docsx/a",
        false, "");
    row("other scheme", "https://example.org/docs/", "http://example.org/docs/a", false, "");
    row("other port", "https://example.org/docs/", "https://example.org:8443/docs/a", false, "");
    row("other host", "https://example.org/docs/", "https://example.org.evil.example/docs/a", false,
        "");
    row("userinfo trick", "https://example.org/docs/", "https://example.org@evil.example/docs/",
        false, "");
    row("out by dot dot", "https://example.org/docs/", "https://example.org/docs/../a", false, "");
    row("not a url", "https://example.org/docs/", "docs/a", false, "");
    QTest::newRow("file start without folder") << "http://example.org/docs"
                                               << "http://example.org/"
                                               << "http://example.org/docs/a" << true << "docs/a";
    QTest::newRow("not http") << "ftp://example.org/"
                              << ""
                              << "ftp://example.org/a" << false << "";
}

void TestSiteParts::rootAndAddresses() {
    QFETCH(QString, start);
    QFETCH(QString, root);
    QFETCH(QString, url);
    QFETCH(bool, within);
    QFETCH(QString, address);
    QCOMPARE(siteRoot(start), root);
    QCOMPARE(withinRoot(root, url), within);
    QCOMPARE(addressOf(root, url), address);
    if (!address.isEmpty())
        QCOMPARE(urlOfAddress(root, address), webhost::site::normalUrl(url));
}

void TestSiteParts::addressRoundTrip() {
    const QString root = QStringLiteral("http://example.org/site/");
    QCOMPARE(urlOfAddress(root, "/"), root);
    QCOMPARE(urlOfAddress(root, ""), root);
    QCOMPARE(urlOfAddress(root, "a b/c.htm"), "http://example.org/site/a%20b/c.htm");
    QCOMPARE(urlOfAddress(root, "/?x=1"), "http://example.org/site/?x=1");
    QCOMPARE(urlOfAddress(root, "HTTP://Example.org/site/x"), "http://example.org/site/x");
    // an address never leads out of the root
    QCOMPARE(urlOfAddress(root, "../other/x.htm"), QString());
    QCOMPARE(urlOfAddress(root, "a/%2e%2e/../x.htm"), QString());
    QCOMPARE(urlOfAddress(root, "http://example.org/x"), QString());
}

void TestSiteParts::folderOfAddress_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("folder");
    QTest::newRow("root") << "/"
                          << "";
    QTest::newRow("root query") << "/?x=1"
                                << "";
    QTest::newRow("top page") << "index.htm"
                              << "";
    QTest::newRow("nested page") << "a/b/c.htm"
                                 << "a/b";
    QTest::newRow("folder page") << "products/"
                                 << "products";
    QTest::newRow("query with slash") << "a/b/?x=1/2"
                                      << "a/b";
    QTest::newRow("page query") << "list.php?dir=a/b"
                                << "";
}

void TestSiteParts::folderOfAddress() {
    QFETCH(QString, address);
    QFETCH(QString, folder);
    QCOMPARE(webhost::site::folderOfAddress(address), folder);
}

void TestSiteParts::pageLinks_data() {
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("nofollow");
    QTest::addColumn<bool>("noindex");
    const auto row = [](const char* name, const QByteArray& html, const QStringList& links,
                        const char* base = "", bool nofollow = false, bool noindex = false) {
        QTest::newRow(name) << html << links << QString::fromUtf8(base) << nofollow << noindex;
    };
    row("quotes and unquoted",
        "<a href=\"a.htm\">x</a><A HREF='b c.htm'>y</A><a class=x href=c.htm>z</a>"
        "<a\nhref = \"d.htm\"\n>w</a><a href=e.htm/>",
        {"a.htm", "b c.htm", "c.htm", "d.htm", "e.htm/"});
    row("quoted value holds > and the other quote", "<a title='1 > 0' href=\"it's.htm?a>b\">",
        {"it's.htm?a>b"});
    row("first of two hrefs", "<a href=one.htm href=two.htm>", {"one.htm"});
    row("no href, empty href", "<a name=top><a href=\"\"><a href>", {});
    row("entities", "<a href=\"p?a=1&amp;b=2&amp&#38;c&#x3D;3&lt;&#0;&#150;&bogus;&copy=4\">",
        {QStringLiteral("p?a=1&b=2&&c=3<\uFFFD\u2013&bogus;&copy=4")});
    row("area, frames, iframes",
        "<map><area shape=rect href=map.htm></map><frameset><frame src=left.htm>"
        "<iframe src=\"in.htm\"></iframe>",
        {"map.htm", "left.htm", "in.htm"});
    row("link rel tokens",
        "<link rel=stylesheet href=s.css><link rel=\"Alternate\" hreflang=de href=de.htm>"
        "<link href=fr.htm rel=\"nofollow  ALTERNATE\"><link rel=\"alternate stylesheet\" "
        "href=alt.css><link rel=alternates href=no.htm>",
        {"de.htm", "fr.htm"});
    row("comments skipped",
        "<!-- <a href=c1.htm> --><a href=1.htm><!--><a href=2.htm><!---><a href=3.htm>"
        "<!-- -- <a href=c2.htm> -- --><a href=4.htm><!DOCTYPE html><?xml x?>",
        {"1.htm", "2.htm", "3.htm", "4.htm"});
    row("unclosed comment", "<a href=1.htm><!-- <a href=c.htm>", {"1.htm"});
    row("scripts and styles skipped",
        "<script>document.write('<a href=s1.htm>')</script><a href=1.htm>"
        "<SCRIPT type=x>if (a </b) '<a href=s2.htm>'</SCRIPTx></Script ><a href=2.htm>"
        "<style>a[href=s3]{}</style><textarea><a href=t.htm></textarea><a href=3.htm>",
        {"1.htm", "2.htm", "3.htm"});
    row("unclosed script", "<a href=1.htm><script><a href=2.htm>", {"1.htm"});
    row("unterminated tag", "<a href=1.htm><a href=\"2.htm", {"1.htm"});
    row("text lt", "a < b <3 <a href=1.htm>", {"1.htm"});
    row("non-ASCII",
        QStringLiteral("<a href=\"ü.htm\">").toUtf8() + "<a href=\"\xFC"
                                                        "2.htm\">",
        {QStringLiteral("ü.htm"), QStringLiteral("ü2.htm")});
    row("base", "<base target=_top><base href=\" http://x.example/d/ \"><base href=/other/>", {},
        "http://x.example/d/");
    row("robots nofollow", "<meta name=\"ROBOTS\" content=\"index, NoFollow\">", {}, "", true,
        false);
    row("robots none", "<meta content=none name=robots>", {}, "", true, true);
    row("robots noindex", "<meta name=robots content=\"noindex,follow\">", {}, "", false, true);
    row("other meta",
        "<meta name=description content=\"nofollow noindex\">"
        "<meta name=robots content=\"nofollowing\">",
        {});
    row("refresh", "<meta http-equiv=Refresh content=\"5; URL='next.htm'\">", {"next.htm"});
}

void TestSiteParts::pageLinks() {
    QFETCH(QByteArray, html);
    QFETCH(QStringList, links);
    QFETCH(QString, base);
    QFETCH(bool, nofollow);
    QFETCH(bool, noindex);
    const PageLinks found = webhost::site::pageLinks(html);
    QCOMPARE(found.links, links);
    QCOMPARE(found.base, base);
    QCOMPARE(found.nofollow, nofollow);
    QCOMPARE(found.noindex, noindex);
}

void TestSiteParts::contentType_data() {
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("mediaType");
    QTest::addColumn<QString>("charset");
    QTest::newRow("plain") << QByteArray("text/html") << "text/html"
                           << "";
    QTest::newRow("charset") << QByteArray(" Text/HTML ; Charset=ISO-8859-2") << "text/html"
                             << "iso-8859-2";
    QTest::newRow("quoted, among others")
        << QByteArray("application/xhtml+xml; q=1; charset=\"UTF-8\"; x=y")
        << "application/xhtml+xml"
        << "utf-8";
    QTest::newRow("empty") << QByteArray() << ""
                           << "";
    QTest::newRow("no value") << QByteArray("text/html; charset") << "text/html"
                              << "";
}

void TestSiteParts::contentType() {
    QFETCH(QByteArray, header);
    QFETCH(QString, mediaType);
    QFETCH(QString, charset);
    QCOMPARE(mediaTypeOf(header), mediaType);
    QCOMPARE(charsetOfContentType(header), charset);
}

void TestSiteParts::robotsHeader_data() {
    QTest::addColumn<QByteArray>("values");
    QTest::addColumn<bool>("nofollow");
    QTest::newRow("none given") << QByteArray() << false;
    QTest::newRow("nofollow") << QByteArray("noindex, NoFollow\n") << true;
    QTest::newRow("none") << QByteArray("none\n") << true;
    QTest::newRow("index only") << QByteArray("noindex\n") << false;
    QTest::newRow("for us") << QByteArray("noarchive\nQuillmark: nofollow\n") << true;
    QTest::newRow("for another agent") << QByteArray("otherbot: nofollow\n") << false;
    QTest::newRow("a directive with a colon")
        << QByteArray("unavailable_after: 2030-01-01, nofollow\n") << true;
    QTest::newRow("a word that holds it") << QByteArray("nofollowing\n") << false;
}

void TestSiteParts::robotsHeader() {
    QFETCH(QByteArray, values);
    QFETCH(bool, nofollow);
    QCOMPARE(robotsHeaderNofollow(values, QStringLiteral("quillmark")), nofollow);
}

void TestSiteParts::bytesForChecks_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("text"); // what the checks read; empty: the body stays as it is
    const QByteArray latin = "<p>caf\xE9 \x80</p>";
    const QByteArray utf8 = QStringLiteral("<p>café €</p>").toUtf8();
    const QByteArray latin2 = "<p>\xB1\xE6</p>";
    const QString polish = QStringLiteral("<p>ąć</p>");
    QTest::newRow("no charset") << latin << ""
                                << "";
    QTest::newRow("utf-8 stays") << utf8 << "utf-8"
                                 << "";
    QTest::newRow("windows-1252 stays") << latin << "windows-1252"
                                        << "";
    QTest::newRow("iso-8859-1 reads as windows-1252") << latin << "iso-8859-1"
                                                      << "";
    QTest::newRow("ascii in any charset") << QByteArray("<p>x</p>") << "shift_jis"
                                          << "";
    QTest::newRow("unknown charset") << latin << "x-no-such-charset"
                                     << "";
    QTest::newRow("byte-order mark outranks") << QByteArray("\xEF\xBB\xBF") + utf8 << "iso-8859-2"
                                              << "";
    QTest::newRow("iso-8859-2") << latin2 << "iso-8859-2" << polish;
    QTest::newRow("iso-8859-2 declared by the page")
        << "<meta charset=ISO-8859-2>" + latin2 << ""
        << QStringLiteral("<meta charset=ISO-8859-2>") + polish;
    QTest::newRow("header wins over the page")
        << "<meta charset=windows-1252>" + latin2 << "iso-8859-2"
        << QStringLiteral("<meta charset=windows-1252>") + polish;
    QTest::newRow("header wins: windows-1252 page stays")
        << "<meta charset=iso-8859-2>" + latin << "windows-1252"
        << "";
    QTest::newRow("shift_jis") << QByteArray("<p>\x82\xA0</p>") << "Shift_JIS"
                               << QStringLiteral("<p>あ</p>");
    QTest::newRow("windows-1252 that reads as UTF-8")
        << QByteArray("<p>\xC3\xA9</p>") << "windows-1252" << QStringLiteral("<p>Ã©</p>");
    QTest::newRow("utf-8 that is not")
        << latin << "utf-8" << QStringLiteral("<p>caf\uFFFD \uFFFD</p>");
    QTest::newRow("utf-16 with its mark")
        << QByteArray("\xFF\xFE<\0p\0>\0\xE9\0", 10) << "" << QStringLiteral("<p>é");
}

void TestSiteParts::bytesForChecks() {
    QFETCH(QByteArray, body);
    QFETCH(QString, header);
    QFETCH(QString, text);
    const QByteArray bytes = webhost::site::bytesForChecks(body, header);
    if (text.isEmpty()) {
        QCOMPARE(bytes, body);
    } else {
        QCOMPARE(platform::decodeText(bytes).encoding, platform::TextEncoding::Utf8Bom);
        QCOMPARE(platform::decodeText(bytes).text, text);
    }
}

void TestSiteParts::robotsAllows_data() {
    QTest::addColumn<QByteArray>("robots");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("allowed");
    const auto row = [](const char* name, const QByteArray& rules, const char* path, bool allowed) {
        QTest::newRow(name) << "User-agent: *\n" + rules << QString::fromUtf8(path) << allowed;
    };
    row("no rules", "", "/a", true);
    row("prefix", "Disallow: /fish\n", "/fish.html", false);
    row("prefix is case-sensitive", "Disallow: /fish\n", "/Fish.html", true);
    row("empty disallow", "Disallow:\n", "/a", true);
    row("longest match: allow", "Allow: /p\nDisallow: /\n", "/page", true);
    row("longest match: disallow", "Allow: /folder\nDisallow: /folder/page\n", "/folder/page.htm",
        false);
    row("tie: allow wins", "Disallow: /page\nAllow: /page\n", "/page", true);
    row("tie with wildcards", "Allow: /$\nDisallow: /\n", "/", true);
    row("anchor", "Allow: /$\nDisallow: /\n", "/page.htm", false);
    row("wildcard", "Disallow: /*.php$\n", "/index.php", false);
    row("wildcard anchored, query", "Disallow: /*.php$\n", "/index.php?x=1", true);
    row("wildcard in middle", "Disallow: /fish*.php\n", "/fishheads/catfish.php?p", false);
    row("wildcard no match", "Disallow: /fish*.php\n", "/fish.PHP", true);
    row("several stars", "Disallow: /*a*b*c\n", "/xxaxxbxxcxx", false);
    row("query in pattern", "Disallow: /*?sort=\n", "/list?sort=asc", false);
    row("percent-encoding", "Disallow: /%7Ejoe/\n", "/~joe/index.htm", false);
    row("percent-encoded path", "Disallow: /~joe/\n", "/%7ejoe/x", false);
    row("non-ASCII pattern", QStringLiteral("Disallow: /ä\n").toUtf8(), "/%C3%A4x", false);
    row("non-ASCII path", "Disallow: /%c3%a4\n", QStringLiteral("/äx").toUtf8(), false);
    row("robots.txt always allowed", "Disallow: /\n", "/robots.txt", true);
    row("no leading slash in path", "Disallow: /a\n", "a", false);
    row("comments, spacing, case", "  DISALLOW :  /x # why\n#Allow: /\n", "/x", false);
}

void TestSiteParts::robotsAllows() {
    QFETCH(QByteArray, robots);
    QFETCH(QString, path);
    QFETCH(bool, allowed);
    QCOMPARE(parseRobots(robots, "quillmark").allows(path), allowed);
}

void TestSiteParts::robotsGroups() {
    const auto disallowed = [](const QByteArray& text, const char* path) {
        return !parseRobots(text, "quillmark").allows(QString::fromUtf8(path));
    };
    // our group, not '*'; several User-agent lines share a group; groups of one agent combine
    const QByteArray groups = "User-agent: *\nDisallow: /z\n\n"
                              "User-agent: other\nUser-agent: QuillMark/5.0 (x)\nDisallow: /a\n"
                              "Sitemap: https://example.org/s1.xml\n"
                              "Crawl-delay: 2.5\n\n"
                              "user-agent: quillmarker\nDisallow: /c\n"
                              "User-agent: quillmark\nDisallow: /b\n";
    QVERIFY(disallowed(groups, "/a"));
    QVERIFY(disallowed(groups, "/b"));
    QVERIFY(!disallowed(groups, "/z"));
    QVERIFY(!disallowed(groups, "/c"));
    RobotsRules rules = parseRobots(groups, "quillmark");
    QCOMPARE(rules.crawlDelay, 2.5);
    QCOMPARE(rules.sitemaps, QStringList{"https://example.org/s1.xml"});

    // the '*' groups when none is ours; rules before any group and unreadable lines count for none
    const QByteArray star = "\xEF\xBB\xBF"
                            "Disallow: /early\r\nUser-agent: other\r\nDisallow: /o\r"
                            "User-agent: *\rnonsense\rDisallow: /s\r"
                            "Crawl-delay: soon\r\nSitemap: /map.xml\r\n"
                            "User-agent: *\nDisallow: /t";
    QVERIFY(!disallowed(star, "/early"));
    QVERIFY(!disallowed(star, "/o"));
    QVERIFY(disallowed(star, "/s"));
    QVERIFY(disallowed(star, "/t"));
    rules = parseRobots(star, "quillmark");
    QCOMPARE(rules.crawlDelay, 0.0);
    QCOMPARE(rules.sitemaps, QStringList{"/map.xml"});

    // a body past 500 KB is read up to the last whole line before the cap: the line the cap cuts
    // ("Disallow: /priv" of "/private-area") and all after it count for nothing
    QByteArray big = "User-agent: *\nDisallow: /first\n";
    big += QByteArray(500 * 1024 - big.size() - 16, '#') + "\nDisallow: /private-area\n";
    big += "Disallow: /late\n";
    QVERIFY(disallowed(big, "/first"));
    QVERIFY(!disallowed(big, "/privacy.htm"));
    QVERIFY(!disallowed(big, "/late"));
}

void TestSiteParts::sitemap_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<int>("max");
    QTest::addColumn<bool>("isIndex");
    QTest::addColumn<QStringList>("locations");
    QTest::addColumn<bool>("truncated");
    QTest::addColumn<QString>("error"); // the start of the error text
    const QByteArray urlset =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\" "
        "xmlns:image=\"http://www.google.com/schemas/sitemap-image/1.1\">\n"
        "<url><loc>\n  https://example.org/a.htm  \n</loc><lastmod>2024-01-01</lastmod></url>\n"
        "<url><image:image><image:loc>https://example.org/i.png</image:loc></image:image>"
        "<loc>https://example.org/b.htm?x=1&amp;y=2</loc></url>\n"
        "<url><loc><![CDATA[https://example.org/c.htm]]></loc></url>\n"
        "<url><loc></loc></url><loc>https://example.org/stray</loc>\n"
        "</urlset>\n";
    const QStringList all{"https://example.org/a.htm", "https://example.org/b.htm?x=1&y=2",
                          "https://example.org/c.htm"};
    QTest::newRow("urlset") << urlset << 100 << false << all << false << "";
    QTest::newRow("cap reached exactly") << urlset << 3 << false << all << false << "";
    QTest::newRow("cap") << urlset << 2 << false << all.mid(0, 2) << true << "";
    QTest::newRow("index, prefixed namespace")
        << QByteArray("<sm:sitemapindex xmlns:sm=\"http://www.sitemaps.org/schemas/sitemap/0.9\">"
                      "<sm:sitemap><sm:loc>https://example.org/s1.xml</sm:loc></sm:sitemap>"
                      "<sm:sitemap><sm:loc>https://example.org/s2.xml</sm:loc></sm:sitemap>"
                      "</sm:sitemapindex>")
        << 100 << true << QStringList{"https://example.org/s1.xml", "https://example.org/s2.xml"}
        << false << "";
    QTest::newRow("no namespace, Latin-1")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><urlset><url>"
                      "<loc>https://example.org/\xE4.htm</loc></url></urlset>")
        << 100 << false << QStringList{QStringLiteral("https://example.org/ä.htm")} << false << "";
    QTest::newRow("empty urlset") << QByteArray("<urlset/>") << 100 << false << QStringList()
                                  << false << "";
    QTest::newRow("html page") << QByteArray("<html><body><a href=x>") << 100 << false
                               << QStringList() << false << "Not a sitemap";
    QTest::newRow("rss") << QByteArray("<rss><channel><loc>x</loc></channel></rss>") << 100 << false
                         << QStringList() << false << "Not a sitemap";
    QTest::newRow("empty") << QByteArray() << 100 << false << QStringList() << false
                           << "The sitemap is not well-formed XML";
    QTest::newRow("malformed")
        << QByteArray("<urlset><url><loc>https://example.org/a</loc></url><url><loc>x</url>") << 100
        << false << QStringList{"https://example.org/a"} << false
        << "The sitemap is not well-formed XML (line 1";
    QTest::newRow("unclosed") << QByteArray("<urlset><url><loc>https://example.org/a</loc></url>")
                              << 100 << false << QStringList{"https://example.org/a"} << false
                              << "The sitemap is not well-formed XML";
}

void TestSiteParts::sitemap() {
    QFETCH(QByteArray, xml);
    QFETCH(int, max);
    QFETCH(bool, isIndex);
    QFETCH(QStringList, locations);
    QFETCH(bool, truncated);
    QFETCH(QString, error);
    const SitemapEntries entries = parseSitemap(xml, max);
    QCOMPARE(entries.isIndex, isIndex);
    QCOMPARE(entries.locations, locations);
    QCOMPARE(entries.truncated, truncated);
    QVERIFY2(error.isEmpty() ? entries.error.isEmpty() : entries.error.startsWith(error),
             qPrintable(entries.error));
}

void TestSiteParts::sitemapEntityBomb() {
    // ten levels of ten: 10^10 characters if it were expanded
    QByteArray xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE urlset [\n<!ENTITY e0 \"lollollol\">\n";
    for (int i = 1; i <= 10; ++i) {
        xml += "<!ENTITY e" + QByteArray::number(i) + " \"";
        for (int k = 0; k < 10; ++k)
            xml += "&e" + QByteArray::number(i - 1) + ";";
        xml += "\">\n";
    }
    xml += "]>\n<urlset><url><loc>https://example.org/&e10;</loc></url></urlset>\n";
    const SitemapEntries entries = parseSitemap(xml, 100);
    QVERIFY(entries.locations.isEmpty());
    QVERIFY(!entries.error.isEmpty());

    // an external entity is never fetched nor read
    const SitemapEntries external =
        parseSitemap("<!DOCTYPE urlset [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                     "<urlset><url><loc>&x;</loc></url></urlset>",
                     100);
    QVERIFY(external.locations.isEmpty());
    QVERIFY(!external.error.isEmpty());

    // a plain document type declaration is harmless
    const SitemapEntries plain = parseSitemap(
        "<!DOCTYPE urlset><urlset><url><loc>https://example.org/</loc></url></urlset>", 100);
    QCOMPARE(plain.locations, QStringList{"https://example.org/"});
    QVERIFY(plain.error.isEmpty());
}

QTEST_GUILESS_MAIN(TestSiteParts)
#include "tst_siteparts.moc"
