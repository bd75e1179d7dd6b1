// The checker's command line and its page globs, called as plain functions.
#include "analysis/cli/checkrun.h"

#include <QtTest>

#include <cstdio>

namespace {

// The options that a command line sets, in a line that a table can hold.
QString describe(const checkcli::Options& o) {
    QStringList parts;
    const auto add = [&](const char* name, const QString& value) {
        if (!value.isEmpty())
            parts.append(QLatin1String(name) + QLatin1Char('=') + value);
    };
    add("web", o.web);
    add("pages", o.pages.join(QLatin1Char(',')));
    add("folders", o.folders.join(QLatin1Char(',')));
    add("excludes", o.excludes.join(QLatin1Char(',')));
    add("rules", o.rulesFile);
    add("required", o.requiredFile);
    add("results", o.resultsFile);
    add("report", o.reportFile);
    add("junit", o.junitFile);
    add("init", o.initWeb);
    if (o.format == checkcli::Format::Rls)
        parts.append(QStringLiteral("rls"));
    if (o.color != checkcli::ColorWhen::Auto)
        parts.append(o.color == checkcli::ColorWhen::Always ? QStringLiteral("color=always")
                                                            : QStringLiteral("color=never"));
    if (o.jobs)
        parts.append(QStringLiteral("jobs=%1").arg(o.jobs));
    const checkcli::SiteOptions site;
    if (o.site.maxPages != site.maxPages)
        parts.append(QStringLiteral("max-pages=%1").arg(o.site.maxPages));
    if (o.site.maxDepth != site.maxDepth)
        parts.append(QStringLiteral("max-depth=%1").arg(o.site.maxDepth));
    if (o.site.connections != site.connections)
        parts.append(QStringLiteral("connections=%1").arg(o.site.connections));
    add("user-agent", o.site.userAgent);
    add("headers", o.site.headers.join(QLatin1Char('|')));
    if (o.site.insecure)
        parts.append(QStringLiteral("insecure"));
    add("ca-file", o.site.caFile);
    if (o.quiet)
        parts.append(QStringLiteral("quiet"));
    if (o.help)
        parts.append(QStringLiteral("help"));
    if (o.version)
        parts.append(QStringLiteral("version"));
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestCheckOptions : public QObject {
    Q_OBJECT

private slots:
    // Each option in its long and short forms, its malformed values and unknown options.
    void options_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expect"); // describe(), or "error: " and the message
        QTest::newRow("web only") << QStringList{"w"} << "web=w";
        QTest::newRow("pages") << QStringList{"w", "a.htm", "b/c.htm"}
                               << "web=w pages=a.htm,b/c.htm";
        QTest::newRow("folders in order, root as empty")
            << QStringList{"--folder", "b", "--folder=", "--folder=a", "w"} << "web=w folders=b,,a";
        QTest::newRow("excludes") << QStringList{"--exclude", "d/**", "--exclude=*.bak", "w"}
                                  << "web=w excludes=d/**,*.bak";
        QTest::newRow("files") << QStringList{"--rules",   "r.reg",   "--required=m.txt",
                                              "--results", "o.rls",   "--report",
                                              "o.htm",     "--junit", "o.xml",
                                              "w"}
                               << "web=w rules=r.reg required=m.txt results=o.rls report=o.htm "
                                  "junit=o.xml";
        QTest::newRow("jobs") << QStringList{"--jobs", "4", "w"} << "web=w jobs=4";
        QTest::newRow("jobs short") << QStringList{"-j", "3", "w"} << "web=w jobs=3";
        QTest::newRow("jobs short, joined") << QStringList{"-j2", "w"} << "web=w jobs=2";
        QTest::newRow("quiet") << QStringList{"--quiet", "w"} << "web=w quiet";
        QTest::newRow("quiet short, after the web") << QStringList{"w", "-q"} << "web=w quiet";
        QTest::newRow("short switches together")
            << QStringList{"-qj5", "w"} << "web=w jobs=5 quiet";
        QTest::newRow("format text") << QStringList{"--format=text", "w"} << "web=w";
        QTest::newRow("format rls") << QStringList{"--format", "rls", "w"} << "web=w rls";
        QTest::newRow("color") << QStringList{"--color=never", "w"} << "web=w color=never";
        QTest::newRow("color always")
            << QStringList{"--color", "always", "w"} << "web=w color=always";
        QTest::newRow("last value counts")
            << QStringList{"--color=never", "--color=auto", "w"} << "web=w";
        QTest::newRow("init") << QStringList{"--init", "site"} << "init=site";
        QTest::newRow("help") << QStringList{"--help"} << "help";
        QTest::newRow("help short, with more")
            << QStringList{"w", "-h", "--colour"} << "error: unknown option '--colour'";
        QTest::newRow("version") << QStringList{"w", "--version"} << "version";
        QTest::newRow("after --, options are pages")
            << QStringList{"w", "--", "--version", "-q"} << "web=w pages=--version,-q";
        QTest::newRow("a lone dash is a page") << QStringList{"w", "-"} << "web=w pages=-";

        QTest::newRow("site") << QStringList{"https://example.org/docs/", "a.htm"}
                              << "web=https://example.org/docs/ pages=a.htm";
        QTest::newRow("site options")
            << QStringList{"--max-pages=50",
                           "--max-depth",
                           "3",
                           "--connections=2",
                           "--user-agent",
                           "ci-bot/1",
                           "--header",
                           "Authorization: Basic eA==",
                           "--header=X-A: 1",
                           "--insecure",
                           "--ca-file=ca.pem",
                           "HTTP://h/"}
            << "web=HTTP://h/ max-pages=50 max-depth=3 connections=2 user-agent=ci-bot/1 "
               "headers=Authorization: Basic eA==|X-A: 1 insecure ca-file=ca.pem";

        QTest::newRow("no web") << QStringList{} << "error: no web folder given";
        QTest::newRow("site option for a folder")
            << QStringList{"--insecure", "w"}
            << "error: option '--insecure' is for a site's address, not the web folder 'w'";
        QTest::newRow("connections zero")
            << QStringList{"--connections=0", "http://h/"}
            << "error: option '--connections' needs a number from 1 to 64, not '0'";
        QTest::newRow("header without a name")
            << QStringList{"--header", ": v", "http://h/"}
            << "error: option '--header' needs \"Name: value\" on one line, not ': v'";
        QTest::newRow("header with a line break")
            << QStringList{"--header", "A: b\r\nHost: evil", "http://h/"}
            << "error: option '--header' needs \"Name: value\" on one line, not 'A: b\r\nHost: "
               "evil'";
        QTest::newRow("header name with a space")
            << QStringList{"--header", "A b: c", "http://h/"}
            << "error: option '--header' needs \"Name: value\" on one line, not 'A b: c'";
        QTest::newRow("empty user agent")
            << QStringList{"--user-agent=", "http://h/"}
            << "error: option '--user-agent' needs a text on one line";
        QTest::newRow("unknown long")
            << QStringList{"--colour", "w"} << "error: unknown option '--colour'";
        QTest::newRow("unknown short") << QStringList{"-x", "w"} << "error: unknown option '-x'";
        QTest::newRow("value missing")
            << QStringList{"w", "--junit"} << "error: option '--junit' needs a value";
        QTest::newRow("short value missing")
            << QStringList{"w", "-j"} << "error: option '-j' needs a value";
        QTest::newRow("switch with a value")
            << QStringList{"--quiet=yes", "w"} << "error: option '--quiet' takes no value";
        QTest::newRow("empty file name")
            << QStringList{"--results=", "w"} << "error: option '--results' needs a file name";
        QTest::newRow("empty exclude")
            << QStringList{"--exclude=", "w"} << "error: option '--exclude' needs a pattern";
        QTest::newRow("jobs not a number")
            << QStringList{"--jobs", "two", "w"}
            << "error: option '--jobs' needs a number from 1 to 1024, not 'two'";
        QTest::newRow("jobs zero")
            << QStringList{"-j0", "w"}
            << "error: option '--jobs' needs a number from 1 to 1024, not '0'";
        QTest::newRow("jobs too many")
            << QStringList{"--jobs=1025", "w"}
            << "error: option '--jobs' needs a number from 1 to 1024, not '1025'";
        QTest::newRow("unknown format")
            << QStringList{"--format=xml", "w"}
            << "error: option '--format' takes text, rls, json or sarif, not 'xml'";
        QTest::newRow("unknown colour")
            << QStringList{"--color=yes", "w"}
            << "error: option '--color' takes auto, always or never, not 'yes'";
        QTest::newRow("init with a web as well")
            << QStringList{"--init", "site", "w"}
            << "error: --init takes no web folder or page besides its own, not 'w'";
    }
    void options() {
        QFETCH(QStringList, args);
        QFETCH(QString, expect);
        QString got;
        try {
            got = describe(checkcli::parseArguments(args));
        } catch (const checkcli::UsageError& e) {
            got = QStringLiteral("error: ") + e.message;
        }
        QCOMPARE(got, expect);
    }

    // A usage error is two lines on standard error, nothing on standard output, status 2.
    void usageErrorLines() {
        char* outText = nullptr;
        char* errText = nullptr;
        size_t outSize = 0;
        size_t errSize = 0;
        std::FILE* out = open_memstream(&outText, &outSize);
        std::FILE* err = open_memstream(&errText, &errSize);
        const int status =
            checkcli::main({QStringLiteral("--frobnicate")}, platform::Folders(), out, err);
        std::fclose(out);
        std::fclose(err);
        const QByteArray outBytes(outText, qsizetype(outSize));
        const QByteArray errBytes(errText, qsizetype(errSize));
        std::free(outText);
        std::free(errText);
        QCOMPARE(status, 2);
        QVERIFY(outBytes.isEmpty());
        QCOMPARE(errBytes, QByteArray("quillmark-check: unknown option '--frobnicate'\n"
                                      "Try 'quillmark-check --help'.\n"));
    }

    void globs_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("glob");
        QTest::addColumn<bool>("excluded");
        QTest::newRow("exact") << "a/b.htm"
                               << "a/b.htm" << true;
        QTest::newRow("case counts") << "a/B.htm"
                                     << "a/b.htm" << false;
        QTest::newRow("star within a name") << "a/b.htm"
                                            << "a/*.htm" << true;
        QTest::newRow("star not across folders") << "a/b/c.htm"
                                                 << "a/*.htm" << false;
        QTest::newRow("star matches a folder") << "a/b/c.htm"
                                               << "a/*" << true;
        QTest::newRow("star matches nothing") << "a/.htm"
                                              << "a/*.htm" << true;
        QTest::newRow("stars backtrack") << "a/xaxb.htm"
                                         << "a/*a*b.htm" << true;
        QTest::newRow("question mark one character") << "ab.htm"
                                                     << "a?.htm" << true;
        QTest::newRow("question mark not none") << "a.htm"
                                                << "a?.htm" << false;
        QTest::newRow("question mark not a slash") << "a/b.htm"
                                                   << "a?b.htm" << false;
        QTest::newRow("double star no folder") << "x.htm"
                                               << "**/x.htm" << true;
        QTest::newRow("double star deep") << "a/b/c/x.htm"
                                          << "**/x.htm" << true;
        QTest::newRow("double star in the middle") << "a/b/c/x.htm"
                                                   << "a/**/x.htm" << true;
        QTest::newRow("double star at the end") << "a/b/c/x.htm"
                                                << "a/**" << true;
        QTest::newRow("double star, other root") << "b/c/x.htm"
                                                 << "a/**" << false;
        QTest::newRow("folder name") << "drafts/x.htm"
                                     << "drafts" << true;
        QTest::newRow("folder name, not a prefix") << "drafts2/x.htm"
                                                   << "drafts" << false;
        QTest::newRow("folder glob is no page") << "drafts"
                                                << "drafts/" << false;
        QTest::newRow("folder glob") << "drafts/a/x.htm"
                                     << "drafts/" << true;
        QTest::newRow("leading slash") << "a/x.htm"
                                       << "/a/x.htm" << true;
        QTest::newRow("leading ./") << "a/x.htm"
                                    << "./a" << true;
        QTest::newRow("only at the root") << "sub/a/x.htm"
                                          << "a" << false;
        QTest::newRow("empty glob") << "a.htm"
                                    << "/" << false;
    }
    void globs() {
        QFETCH(QString, address);
        QFETCH(QString, glob);
        QFETCH(bool, excluded);
        QCOMPARE(checkcli::excludedBy(address, glob), excluded);
    }
};

QTEST_GUILESS_MAIN(TestCheckOptions)
#include "tst_checkoptions.moc"
