#include "platform/filenames.h"
#include "webhost/localweb.h"
#include "webhost/metatags.h"

#include "support/testenv.h"
#include "support/unprivileged.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using webhost::HostError;
using webhost::LocalWeb;

namespace {

const QByteArray kPage = "<html>\r\n<head>\r\n<title>T</title>\r\n"
                         "<meta name=\"keywords\" content=\"alpha, beta\">\r\n"
                         "</head>\r\n<body>x</body>\r\n</html>\r\n";

// Creates a file by the bytes of its absolute path, making the folders on the way one at a time,
// so that a path longer than the system takes at once can be made too.
void writeNative(const QByteArray& path, const QByteArray& bytes) {
    int dir = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const QList<QByteArray> names = path.mid(1).split('/');
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        ::mkdirat(dir, names.at(i).constData(), 0755);
        const int next = ::openat(dir, names.at(i).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(dir);
        QVERIFY2(next >= 0, names.at(i).constData());
        dir = next;
    }
    const int fd =
        ::openat(dir, names.last().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ::close(dir);
    QVERIFY2(fd >= 0, path.constData());
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
}

QStringList unlistedNames(const QList<webhost::UnlistedName>& unlisted) {
    QStringList names;
    for (const webhost::UnlistedName& u : unlisted)
        names.append(u.folder + QLatin1Char('|') + u.name +
                     (u.isFolder ? QStringLiteral("/") : QString()));
    return names;
}

} // namespace

class TestLocalWeb : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TestEnv> env;
    std::unique_ptr<LocalWeb> web;
    QString webDir;

    QByteArray page(const QString& address) const {
        return env->readFile(webDir + QLatin1Char('/') + address);
    }

private slots:
    void init() {
        env = std::make_unique<testsupport::TestEnv>();
        webDir = env->path(QStringLiteral("web"));
        env->writeFile(QStringLiteral("web/index.htm"), kPage);
        env->writeFile(QStringLiteral("web/b.html"), "<html><head></head><body></body></html>");
        env->writeFile(QStringLiteral("web/notes.txt"), "n");
        env->writeFile(QStringLiteral("web/products/widgets.htm"),
                       "<html><head><title>W</title></head><body></body></html>");
        env->writeFile(QStringLiteral("web/products/old/result.htm"), "r");
        env->writeFile(QStringLiteral("web/.git/config"), "c");
        env->writeFile(QStringLiteral("web/_vti_cnf/index.htm"), "c");
        env->writeFile(QStringLiteral("secret.htm"), "outside");
        web = std::make_unique<LocalWeb>(env->registryPath(), env->programFolder());
        web->openWeb(webDir);
    }

    void defaultsToSampleWeb() {
        testsupport::TestEnv fresh;
        LocalWeb host(fresh.registryPath(), fresh.programFolder());
        QCOMPARE(host.openPageAddress(), QStringLiteral("index.htm"));
        QVERIFY(host.webFolder().endsWith(QStringLiteral("sampleweb")));
        QCOMPARE(host.createEditor()->vtiGetTopPageURL(), QStringLiteral("index.htm"));
        QVERIFY(!fresh.keyExists(
            LocalWeb::kStateKey)); // nothing written until the user opens something
    }

    void stateIsKept() {
        web->openPage(QStringLiteral("products/widgets.htm"));
        QCOMPARE(env->value(LocalWeb::kStateKey, QStringLiteral("page")),
                 QStringLiteral("products/widgets.htm"));
        LocalWeb again(env->registryPath(), env->programFolder());
        QCOMPARE(QFileInfo(again.webFolder()).canonicalFilePath(),
                 QFileInfo(webDir).canonicalFilePath());
        QCOMPARE(again.createEditor()->vtiGetTopPageURL(), QStringLiteral("products/widgets.htm"));
        QVERIFY_THROWS_EXCEPTION(HostError, web->openPage(QStringLiteral("missing.htm")));
    }

    void getDocToFileCopiesBytes() {
        env->writeFile(QStringLiteral("web/latin.htm"), QByteArray("caf\xE9\r\n\x00\xFF", 8));
        QString address = QStringLiteral("latin.htm");
        const QString target = env->path(QStringLiteral("program/dorazo/temp.tgf"));
        web->createExplorer()->vtiGetDocToFile(address, target);
        QCOMPARE(env->readFile(target), QByteArray("caf\xE9\r\n\x00\xFF", 8));
        QString missing = QStringLiteral("nope.htm");
        QVERIFY_THROWS_EXCEPTION(HostError,
                                 web->createExplorer()->vtiGetDocToFile(missing, target));
        // A shorter page after a longer one leaves exactly the shorter page's bytes.
        env->writeFile(QStringLiteral("web/short.htm"), "<p>");
        QString shortPage = QStringLiteral("short.htm");
        web->createExplorer()->vtiGetDocToFile(shortPage, target);
        QCOMPARE(env->readFile(target), QByteArray("<p>"));
        // A copy that cannot be written is an error.
        QVERIFY_THROWS_EXCEPTION(HostError,
                                 web->createExplorer()->vtiGetDocToFile(
                                     address, env->path(QStringLiteral("program/nofolder/x.tgf"))));
    }

    void folderListing() {
        auto explorer = web->createExplorer();
        QCOMPARE(explorer->vtigetpagesinfolder(QString(), 1).pages,
                 (QStringList{"b.html", "index.htm", "notes.txt"}));
        QCOMPARE(explorer->vtigetpagesinfolder(QStringLiteral("products"), 1).pages,
                 QStringList{"products/widgets.htm"});
        QCOMPARE(explorer->vtigetpagesinfolder(QStringLiteral("products/old"), 1).pages,
                 QStringList{"products/old/result.htm"});
        QCOMPARE(explorer->webFolders(), (QStringList{"products", "products/old"}));
        QVERIFY_THROWS_EXCEPTION(
            HostError, explorer->vtigetpagesinfolder(QStringLiteral("Web Root Directory"), 1));
    }

    void confinement_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("parent") << QStringLiteral("../secret.htm");
        QTest::newRow("inner parent") << QStringLiteral("products/../../secret.htm");
        QTest::newRow("absolute") << QStringLiteral("/etc/passwd");
        QTest::newRow("backslashes") << QStringLiteral("..\\secret.htm");
        QTest::newRow("drive") << QStringLiteral("C:/secret.htm");
        QTest::newRow("link outside") << QStringLiteral("link.htm");
    }
    void confinement() {
        QFETCH(QString, address);
        QFile::link(env->path(QStringLiteral("secret.htm")), webDir + QStringLiteral("/link.htm"));
        const QString target = env->path(QStringLiteral("out.tgf"));
        QVERIFY_THROWS_EXCEPTION(HostError,
                                 web->createExplorer()->vtiGetDocToFile(address, target));
        QVERIFY(!QFile::exists(target));
        QVERIFY_THROWS_EXCEPTION(HostError, web->createEditor()->vtiGetMetaTag(
                                                address, QString(), QStringLiteral("x"), 0, 0));
        QVERIFY_THROWS_EXCEPTION(HostError, web->createExplorer()->vtigetpagesinfolder(address, 1));
        // The link is not listed either.
        QVERIFY(!web->createExplorer()
                     ->vtigetpagesinfolder(QString(), 1)
                     .pages.contains(QStringLiteral("link.htm")));
    }

    void metaTags() {
        auto editor = web->createEditor();
        QString address = QStringLiteral("index.htm");
        QCOMPARE(editor->vtiGetMetaTag(address, QString(), QStringLiteral("KEYWORDS"), 0, 0),
                 QStringLiteral("alpha, beta"));
        QCOMPARE(editor->vtiGetMetaTag(address, QString(), QStringLiteral("author"), 0, 0),
                 QString());

        QString content = QStringLiteral("gamma, \"quoted\" & <b>");
        editor->vtiSetMetaTag(address, QString(), QStringLiteral("keywords"), content, 0, 0);
        QByteArray expected = kPage;
        expected.replace("content=\"alpha, beta\"",
                         "content=\"gamma, &quot;quoted&quot; &amp; &lt;b&gt;\"");
        QCOMPARE(page(address), expected);
        QCOMPARE(editor->vtiGetMetaTag(address, QString(), QStringLiteral("keywords"), 0, 0),
                 content);

        // A new tag goes at the end of the head, in the page's own line ends.
        QString author = QStringLiteral("Ann");
        editor->vtiSetMetaTag(address, QString(), QStringLiteral("author"), author, -1, 0);
        expected.replace("</head>", "<meta name=\"author\" content=\"Ann\">\r\n</head>");
        QCOMPARE(page(address), expected);
    }

    void metaTagKeepsEncodingAndLineEnds() {
        const QByteArray latin = "<html>\n<head>\n<meta name=\"description\" "
                                 "content=\"caf\xE9\">\n</head>\n<body>\xE9t\xE9</body>\n";
        env->writeFile(QStringLiteral("web/latin.htm"), latin);
        auto editor = web->createEditor();
        QString address = QStringLiteral("latin.htm");
        QCOMPARE(editor->vtiGetMetaTag(address, QString(), QStringLiteral("description"), 0, 0),
                 QStringLiteral("caf\u00E9"));
        QString kw = QStringLiteral("cr\u00E8me, \u0444");
        editor->vtiSetMetaTag(address, QString(), QStringLiteral("keywords"), kw, -1, 0);
        QCOMPARE(page(address),
                 QByteArray("<html>\n<head>\n<meta name=\"description\" content=\"caf\xE9\">\n"
                            "<meta name=\"keywords\" content=\"cr\xE8me, "
                            "&#1092;\">\n</head>\n<body>\xE9t\xE9</body>\n"));
        QCOMPARE(editor->vtiGetMetaTag(address, QString(), QStringLiteral("keywords"), 0, 0), kw);
    }

    void setMetaTagChangesOnlyTheNewText_data() {
        QTest::addColumn<QByteArray>("prolog"); // before <html>
        QTest::addColumn<QByteArray>("head");   // before the keywords tag
        QTest::addColumn<QByteArray>("value");  // the keywords tag's content attribute
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("content"); // set
        QTest::addColumn<QByteArray>(
            "written"); // the attribute afterwards; empty: the page is not rewritten
        const QByteArray none;
        const QByteArray cp1252 =
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">";
        QTest::newRow("references kept")
            << none << none << QByteArray("\"caf&eacute;, r&amp;d\"") << none
            << QString("nouveau,caf\u00E9, r&d") << QByteArray("\"nouveau,caf&eacute;, r&amp;d\"");
        QTest::newRow("single quotes kept")
            << none << none << QByteArray("'a, \"b\"'") << none << QString("c, it's,a, \"b\"")
            << QByteArray("'c, it&#39;s,a, \"b\"'");
        QTest::newRow("same content, other spelling")
            << none << none << QByteArray("'caf&#233;'") << none << QString("caf\u00E9") << none;
        QTest::newRow("unquoted value") << none << none << QByteArray("alpha") << none
                                        << QString("gamma,alpha") << QByteArray("gamma,alpha");
        QTest::newRow("unquoted value that needs quotes now")
            << none << none << QByteArray("alpha") << none << QString("web design,alpha")
            << QByteArray("\"web design,alpha\"");
        QTest::newRow("a kept ampersand never joins new text")
            << none << none << QByteArray("\"&eac\"") << none << QString("&eacute;")
            << QByteArray("\"&amp;eacute;\"");
        QTest::newRow("ASCII page declaring windows-1252")
            << none << cp1252 << QByteArray("\"alpha\"") << none
            << QString("cr\u00E8me \u20AC \u0444,alpha")
            << QByteArray("\"cr\xE8me \x80 &#1092;,alpha\"");
        QTest::newRow("ASCII page declaring ISO-8859-1 in its XML declaration")
            << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n") << none
            << QByteArray("\"alpha\"") << none << QString("cr\u00E8me,alpha")
            << QByteArray("\"cr\xE8me,alpha\"");
        QTest::newRow("ASCII page declaring UTF-8")
            << none << QByteArray("<meta charset=\"UTF-8\">") << QByteArray("\"alpha\"") << none
            << QString("cr\u00E8me,alpha") << QByteArray("\"cr\xC3\xA8me,alpha\"");
        QTest::newRow("ASCII page declaring nothing")
            << none << none << QByteArray("\"alpha\"") << none << QString("cr\u00E8me,alpha")
            << QByteArray("\"cr&#232;me,alpha\"");
        QTest::newRow("Windows-1252 bytes, nothing declared")
            << none << none << QByteArray("\"alpha\"") << QByteArray("\xE9t\xE9")
            << QString("cr\u00E8me,alpha") << QByteArray("\"cr\xE8me,alpha\"");
        QTest::newRow("UTF-8 bytes, nothing declared")
            << none << none << QByteArray("\"alpha\"") << QByteArray("\xC3\xA9t\xC3\xA9")
            << QString("cr\u00E8me,alpha") << QByteArray("\"cr\xC3\xA8me,alpha\"");
        QTest::newRow("UTF-8 bytes declaring windows-1252")
            << none << cp1252 << QByteArray("\"alpha\"") << QByteArray("\xC3\xA9t\xC3\xA9")
            << QString("cr\u00E8me,alpha") << QByteArray("\"cr&#232;me,alpha\"");
    }
    void setMetaTagChangesOnlyTheNewText() {
        QFETCH(QByteArray, prolog);
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, body);
        QFETCH(QString, content);
        QFETCH(QByteArray, written);
        const QByteArray tag = "<meta name=\"keywords\" content=";
        const QByteArray before = prolog + "<html>\n<head>\n" + head + "\n" + tag + value +
                                  ">\n</head>\n<body>" + body + "</body>\n</html>\n";
        env->writeFile(QStringLiteral("web/page.htm"), before);
        const QString path = webDir + QStringLiteral("/page.htm");
        struct stat original;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &original), 0);
        QString address = QStringLiteral("page.htm");
        auto editor = web->createEditor();
        editor->vtiSetMetaTag(address, QString(), QStringLiteral("keywords"), content, 0, 0);
        QByteArray after = before;
        if (!written.isEmpty())
            after.replace(tag + value, tag + written);
        QCOMPARE(page(address), after);
        QCOMPARE(editor->vtiGetMetaTag(address, QString(), QStringLiteral("keywords"), 0, 0),
                 content);
        struct stat now;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &now), 0);
        QCOMPARE(now.st_ino == original.st_ino, written.isEmpty());
    }

    void failedSetMetaTagLeavesPage() {
        const QByteArray headless = "<p>no head or body here</p>";
        env->writeFile(QStringLiteral("web/headless.htm"), headless);
        QString address = QStringLiteral("headless.htm");
        QString content = QStringLiteral("x");
        QVERIFY_THROWS_EXCEPTION(
            HostError, web->createEditor()->vtiSetMetaTag(
                           address, QString(), QStringLiteral("keywords"), content, -1, 0));
        QCOMPARE(page(address), headless);
        QString missing = QStringLiteral("missing.htm");
        QVERIFY_THROWS_EXCEPTION(
            HostError, web->createEditor()->vtiSetMetaTag(
                           missing, QString(), QStringLiteral("keywords"), content, -1, 0));
        QVERIFY(!QFile::exists(webDir + QStringLiteral("/missing.htm")));
    }

    // Names as the file system holds them: each listed page opens and reads as itself; a name
    // that cannot be a line of a listing is named with its folder instead.
    void namesOfFiles_data() {
        QTest::addColumn<QList<QByteArray>>("files"); // paths below the web, as bytes
        QTest::addColumn<QStringList>("pages");       // every listed page, whole web
        QTest::addColumn<QStringList>("unlisted");    // folder|name, a folder with a final '/'
        QTest::newRow("Windows-1252 name")
            << QList<QByteArray>{"caf\xE9.htm"} << QStringList{"caf\u00E9.htm"} << QStringList{};
        QTest::newRow("UTF-8 name") << QList<QByteArray>{"caf\xC3\xA9.htm"}
                                    << QStringList{"caf\u00E9.htm"} << QStringList{};
        QTest::newRow("Windows-1252 folder")
            << QList<QByteArray>{"M\xFCll/alt.htm", "M\xFCll/x\x80.htm"}
            << QStringList{"M\u00FCll/alt.htm", "M\u00FCll/x\u20AC.htm"} << QStringList{};
        QTest::newRow("line break") << QList<QByteArray>{"two\nlines.htm", "ok.htm"}
                                    << QStringList{"ok.htm"} << QStringList{"|two?lines.htm"};
        QTest::newRow("tab and carriage return in a folder")
            << QList<QByteArray>{"shop/a\tb.htm", "shop/c\rd.htm"} << QStringList{}
            << QStringList{"shop|a?b.htm", "shop|c?d.htm"};
        QTest::newRow("folder with a line break")
            << QList<QByteArray>{"a\nb/x.htm"} << QStringList{} << QStringList{"|a?b/"};
        QTest::newRow("Windows-1252 reading of another name")
            << QList<QByteArray>{"caf\xC3\xA9.htm", "caf\xE9.htm"} << QStringList{"caf\u00E9.htm"}
            << QStringList{"|caf\u00E9.htm"};
    }
    void namesOfFiles() {
        QFETCH(QList<QByteArray>, files);
        QFETCH(QStringList, pages);
        QFETCH(QStringList, unlisted);
        const QString dir = env->path(QStringLiteral("names"));
        QDir().mkpath(dir);
        for (const QByteArray& f : files)
            writeNative(QFile::encodeName(dir) + '/' + f,
                        "<head><meta name=keywords content=\"" + f + "\"></head>");
        LocalWeb names = LocalWeb::onFolder(dir);
        const LocalWeb::WebListing whole = names.listWeb();
        QStringList listed;
        QList<webhost::UnlistedName> notListed;
        for (const LocalWeb::FolderListing& f : whole.folders) {
            listed += f.listing.pages;
            notListed += f.listing.unlisted;
            // A folder's own listing is the walk's.
            const webhost::PageListing own = names.filesInFolder(f.folder);
            QCOMPARE(own.pages, f.listing.pages);
            QCOMPARE(unlistedNames(own.unlisted), unlistedNames(f.listing.unlisted));
        }
        QVERIFY(whole.unreadable.isEmpty());
        QCOMPARE(listed, pages);
        QCOMPARE(names.allFiles(), pages);
        QCOMPARE(unlistedNames(notListed), unlisted);
        // Every listed page is the file it names, byte for byte.
        const QString target = env->path(QStringLiteral("copy.tgf"));
        for (QString page : pages) {
            names.createExplorer()->vtiGetDocToFile(page, target);
            const QByteArray copy = env->readFile(target);
            const QString keywords = names.createEditor()->vtiGetMetaTag(
                page, QString(), QStringLiteral("keywords"), 0, 0);
            QVERIFY2(copy.contains("content=\""), qPrintable(page));
            const QByteArray native = copy.mid(copy.indexOf("content=\"") + 9).chopped(9);
            QCOMPARE(platform::nativePath(dir + QLatin1Char('/') + page),
                     QFile::encodeName(dir) + '/' + native);
            QVERIFY(!keywords.isEmpty());
        }
        // Qt's own removal passes over such names.
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), dir});
    }

    // A folder that cannot be read is named, never passed over.
    void unreadableFolder() {
        if (!testsupport::runsUnprivileged("unreadableFolder"))
            return;
        env->writeFile(QStringLiteral("web/locked/inner/page.htm"), kPage);
        const QString locked = webDir + QStringLiteral("/locked");
        QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        });
        const LocalWeb::WebListing whole = web->listWeb();
        QCOMPARE(whole.unreadable,
                 QStringList{"The folder locked cannot be read: Permission denied"});
        QCOMPARE(web->folders(), (QStringList{"locked", "products", "products/old"}));
        QCOMPARE(web->allFiles(), (QStringList{"b.html", "index.htm", "notes.txt",
                                               "products/widgets.htm", "products/old/result.htm"}));
        try {
            web->createExplorer()->vtigetpagesinfolder(QStringLiteral("locked"), 1);
            QFAIL("the locked folder was listed");
        } catch (const HostError& e) {
            QCOMPARE(e.message(),
                     QStringLiteral("The folder locked cannot be read: Permission denied"));
        }
    }

    // A tree thousands of folders deep is walked in one pass, and its deepest page opens.
    void deepTree() {
        QByteArray path = QFile::encodeName(env->path(QStringLiteral("deep")));
        QString address;
        for (int i = 0; i < 2100; ++i) {
            path += "/d";
            address += address.isEmpty() ? QStringLiteral("d") : QStringLiteral("/d");
        }
        writeNative(path + "/page.htm", kPage);
        LocalWeb deep = LocalWeb::onFolder(env->path(QStringLiteral("deep")));
        const LocalWeb::WebListing whole = deep.listWeb();
        QCOMPARE(whole.folders.size(), 2101);
        QCOMPARE(whole.folders.last().listing.pages,
                 QStringList{address + QStringLiteral("/page.htm")});
        QCOMPARE(deep.filesInFolder(address).pages,
                 QStringList{address + QStringLiteral("/page.htm")});
        QString page = address + QStringLiteral("/page.htm");
        const QString target = env->path(QStringLiteral("deep.tgf"));
        deep.createExplorer()->vtiGetDocToFile(page, target);
        QCOMPARE(env->readFile(target), kPage);
        // Longer than a path may be: removed by a tool that walks it a folder at a time.
        QProcess::execute(QStringLiteral("rm"),
                          {QStringLiteral("-rf"), env->path(QStringLiteral("deep"))});
    }

    void metaTagScanner_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("content");
        QTest::newRow("commented out first")
            << QStringLiteral("<head><!-- <meta name=keywords content=old> --><meta content='new' "
                              "NAME=\"Keywords\"></head>")
            << QStringLiteral("new");
        QTest::newRow("unquoted") << QStringLiteral("<head><meta name=keywords content=a,b></head>")
                                  << QStringLiteral("a,b");
        QTest::newRow("in body ignored")
            << QStringLiteral("<head></head><body><meta name=keywords content=x></body>")
            << QString();
        QTest::newRow("script skipped")
            << QStringLiteral("<head><script>'<meta name=keywords content=s>'</script></head>")
            << QString();
        QTest::newRow("unclosed tag")
            << QStringLiteral("<head><meta name=\"keywords\" content=\"abc")
            << QStringLiteral("abc");
        QTest::newRow("entities")
            << QStringLiteral(
                   "<head><meta name=keywords content=\"AT&amp;T &#169; &#x41;\"></head>")
            << QStringLiteral("AT&T \u00A9 A");
    }
    void metaTagScanner() {
        QFETCH(QString, html);
        QFETCH(QString, content);
        const auto span = webhost::findMetaTag(html, QStringLiteral("keywords"));
        QCOMPARE(span ? span->content : QString(), content);
    }
};

QTEST_GUILESS_MAIN(TestLocalWeb)
#include "tst_localweb.moc"
