#include "webhost/siteurl.h"

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

QTEST_GUILESS_MAIN(TestSiteParts)
#include "tst_siteparts.moc"
