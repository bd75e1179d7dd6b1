// The command-line checker run as a real process on fixture webs, against the window's own panes.
#include "analysis/batch/pageselection.h"
#include "analysis/engine/workfiles.h"
#include "analysis/results/resultpane.h"
#include "analysis/rules/rulestore.h"
#include "platform/textfile.h"
#include "support/modal.h"
#include "support/quillmarkharness.h"
#include "support/unprivileged.h"

#include <QAction>
#include <QDateTime>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSysInfo>
#include <QXmlStreamReader>
#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using quillmark::MainWindow;
using testsupport::QuillmarkHarness;

namespace {

// Files of a web's .quillmark folder by name.
using WebFiles = QMap<QString, QByteArray>;

struct Outcome {
    int status = -1;
    QByteArray out;
    QByteArray err;     // the messages after the note of the rule sources
    QByteArray sources; // that note, "" when there is none
};

// The note of the rule sources that starts standard error, taken apart from the messages.
void takeSourcesNote(Outcome& o) {
    if (!o.err.startsWith("quillmark-check: rules from "))
        return;
    const qsizetype end = o.err.indexOf('\n') + 1;
    o.sources = o.err.left(end);
    o.err.remove(0, end);
}

// The checker with the test's own configuration folder, so that no user registry is read.
Outcome runCheck(const QStringList& args, const QString& configHome,
                 const QList<std::pair<QString, QString>>& moreEnv = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    for (const auto& [name, value] : moreEnv)
        env.insert(name, value);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(CHECK_EXE), args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    Outcome o{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
              p.readAllStandardError(), QByteArray()};
    takeSourcesNote(o);
    return o;
}

// The rule values that reach most of the checks: required keywords and description with length
// limits, a body count, and if asked a PICS label that no fixture page has.
void setRules(const testsupport::TestEnv& env, bool pics) {
    const QString key = rules::kSettingsKey;
    env.setValue(key, QStringLiteral("KeyReq"), QStringLiteral("1"));
    env.setValue(key, QStringLiteral("DescReq"), QStringLiteral("1"));
    env.setValue(key, QStringLiteral("keywordsm"), QStringLiteral("5"));
    env.setValue(key, QStringLiteral("keywords"), QStringLiteral("40"));
    env.setValue(key, QStringLiteral("descriptionm"), QStringLiteral("10"));
    env.setValue(key, QStringLiteral("description"), QStringLiteral("60"));
    if (pics)
        env.setValue(key, QStringLiteral("rrsac"), QStringLiteral("1"));
    env.setValue(key, QStringLiteral("bodychk"), QStringLiteral("300"));
}

// What a results file of the window's three panes holds.
QByteArray paneBytes(MainWindow* form) {
    return platform::ansiLinesBytes(results::paneLines(testsupport::passedPane(form)) +
                                    results::paneLines(testsupport::failedPane(form)) +
                                    results::paneLines(testsupport::keywordPane(form)));
}

// "Batch Check (All Files)" with every page of the selection dialog ticked.
void checkWholeWeb(MainWindow* form) {
    testsupport::ModalScript script(
        testsupport::expect<quillmark::PageSelectionDialog>([](quillmark::PageSelectionDialog* d) {
            d->selectAll();
            d->findChild<QAction*>(QStringLiteral("RzToolButton3"))->trigger();
        }));
    form->findChild<QAction*>(QStringLiteral("BatchCheckAllFiles1"))->trigger();
}

// A web of many pages of every kind the fixtures have, in folders of their own.
void buildBigWeb(const QString& to) {
    const QStringList sources{testsupport::fixturePath(QStringLiteral("batchweb")),
                              testsupport::fixturePath(QStringLiteral("checkweb")),
                              testsupport::builtProgramFolder() + QStringLiteral("sampleweb")};
    for (int copy = 0; copy < 12; ++copy)
        for (int s = 0; s < sources.size(); ++s)
            testsupport::copyTree(sources.at(s), to + QStringLiteral("/f%1_%2").arg(s).arg(copy));
    testsupport::copyTree(sources.first(), to);
}

// A file by the bytes of its path below a folder, the folders on the way made.
void writeNamed(const QString& folder, const QByteArray& relative, const QByteArray& bytes) {
    const QByteArray path = QFile::encodeName(folder) + '/' + relative;
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), 0755);
    FILE* f = std::fopen(path.constData(), "wb");
    QVERIFY2(f, path.constData());
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
    std::fclose(f);
}

// The checker with standard output on a pseudo-terminal (raw, so that line ends stay as written)
// and standard error to /dev/null; env: the variables to set, a null value to unset.
QByteArray runOnTerminal(const QStringList& args,
                         const QList<std::pair<QByteArray, QByteArray>>& env) {
    QList<QByteArray> argBytes{QByteArray(CHECK_EXE)};
    for (const QString& a : args)
        argBytes.append(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : env) {
        if (value.isNull())
            pe.remove(QString::fromUtf8(name));
        else
            pe.insert(QString::fromUtf8(name), QString::fromUtf8(value));
    }
    QList<QByteArray> envBytes;
    for (const QString& e : pe.toStringList())
        envBytes.append(e.toUtf8());
    std::vector<char*> envp;
    for (QByteArray& e : envBytes)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    termios raw{};
    ::cfmakeraw(&raw);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, &raw, nullptr);
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    QByteArray out;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0)
            out.append(buf, n);
        else if (!(n < 0 && errno == EINTR))
            break; // EIO once the checker has ended
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return out;
}

// The pages a run checked: the "File = " lines of the keyword pane, which every page has.
QStringList checkedPages(const QByteArray& textOut) {
    const QString text = QString::fromUtf8(textOut);
    QStringList pages;
    for (const QString& line :
         text.mid(text.indexOf(QLatin1String("\nKeyword Check\n"))).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("File = ")))
            pages.append(line.mid(7));
    return pages;
}

// A JUnit file without the attributes that say how long and when it ran.
QByteArray withoutTimes(QByteArray junit) {
    static const QRegularExpression times(QStringLiteral(" (time|timestamp)=\"[^\"]*\""));
    return QString::fromUtf8(junit).remove(times).toUtf8();
}

} // namespace

class TestQuillmarkCheck : public QObject {
    Q_OBJECT

    testsupport::TestEnv m_env;
    QString m_web;

    QString configHome() const { return m_env.root() + QStringLiteral("/config"); }
    QString rulesFile() const { return m_env.registryPath(); }
    QString requiredFile() const {
        return m_env.programFolder() + QStringLiteral("Required/metareq.txt");
    }
    // The results file's bytes on standard output, which these tests compare with the window's.
    QStringList common() const {
        return {QStringLiteral("--format=rls"), QStringLiteral("--rules"), rulesFile(),
                QStringLiteral("--required"), requiredFile()};
    }

    // The window on the same web, program data and rules as the checker's runs.
    std::unique_ptr<QuillmarkHarness> window(const QString& web, const QString& page,
                                             bool pics = false) {
        auto h = std::make_unique<QuillmarkHarness>();
        setRules(h->env, pics);
        h->openWeb(web, page);
        return h;
    }

private slots:
    void initTestCase() {
        QVERIFY(QFileInfo(QStringLiteral(CHECK_EXE)).isExecutable());
        setRules(m_env, false);
        m_web = m_env.path(QStringLiteral("web"));
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("batchweb")), m_web);
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("checkweb")),
                              m_web + QStringLiteral("/check"));
        // A page whose lines do not fit Windows-1252: the whole output is then UTF-8.
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("batchweb")),
                              m_env.path(QStringLiteral("utf8web")));
        m_env.writeFile(
            QStringLiteral("utf8web/greek.htm"),
            QStringLiteral("<html><head><title>\u03A9mega shop</title><meta name=\"author\" "
                           "content=\"\u0391nn\">"
                           "<meta name=\"keywords\" content=\"\u03A9mega, glass\">"
                           "<meta name=\"description\" content=\"\u03A9mega glass\"></head>"
                           "<body>\u03A9mega glass \u03A9mega</body></html>")
                .toUtf8());
        m_env.writeFile(QStringLiteral("outside.htm"),
                        "<html><head><title>x</title></head></html>");
        QDir().mkpath(m_env.path(QStringLiteral("emptyweb/sub")));
        m_env.writeFile(QStringLiteral("emptyweb/notes.txt"), "no pages here");
        m_env.writeFile(QStringLiteral("bad.reg"),
                        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\r\n"
                        "\"KeyReq\"=\"1\"\r\n\"keywordsm\"=\"few\"\r\n");
        m_env.writeFile(QStringLiteral("other.reg"),
                        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n");
    }

    // Without --required the checker reads quillmark's list as the window does: the user's copy
    // when there is one, else the delivered default. It writes no file of its own.
    void requiredListOfTheUser() {
        const QString dataHome = m_env.path(QStringLiteral("xdg-data"));
        const QString cacheHome = m_env.path(QStringLiteral("xdg-cache"));
        const QList<std::pair<QString, QString>> xdg{{"XDG_DATA_HOME", dataHome},
                                                     {"XDG_CACHE_HOME", cacheHome}};
        const QStringList args{QStringLiteral("--rules"), rulesFile(), m_web,
                               QStringLiteral("good.htm")};
        const Outcome delivered = runCheck(args, configHome(), xdg);
        QCOMPARE(delivered.status, 0); // the delivered list asks for "author" only
        m_env.writeFile(dataHome + QStringLiteral("/quillmark/Required/metareq.txt"),
                        "author\r\nsubject\r\n");
        const Outcome own = runCheck(args, configHome(), xdg);
        QCOMPARE(own.status, 1);
        QVERIFY2(own.out.contains("subject"), own.out.constData());
        QVERIFY(!QFileInfo::exists(cacheHome));
        QCOMPARE(QDir(dataHome + QStringLiteral("/quillmark/Required")).entryList(QDir::Files),
                 QStringList{QStringLiteral("metareq.txt")});
    }

    void exitStatus_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>(
            "message"); // a part of the one line on standard error; "" for none
        const QString w = m_web;
        const QString r = m_env.root();
        QTest::newRow("page passes") << QStringList{w, "good.htm"} << 0 << "";
        QTest::newRow("path of a page") << QStringList{w, w + "/sub/deep.htm"} << 0 << "";
        QTest::newRow("folder passes") << QStringList{"--folder", "sub", w} << 0 << "";
        QTest::newRow("page fails") << QStringList{w, "check/bad.htm"} << 1 << "";
        QTest::newRow("web fails") << QStringList{w} << 1 << "";
        QTest::newRow("root folder") << QStringList{"--folder=Web Root Directory", w} << 1 << "";
        QTest::newRow("quiet") << QStringList{"--quiet", w} << 1 << "";
        QTest::newRow("no web") << QStringList{} << 2 << "no web folder given";
        QTest::newRow("unknown option")
            << QStringList{"--colour", w} << 2 << "unknown option '--colour'";
        QTest::newRow("value missing")
            << QStringList{w, "--junit"} << 2 << "option '--junit' needs a value";
        QTest::newRow("jobs not a number") << QStringList{"--jobs", "two", w} << 2 << "'two'";
        QTest::newRow("web missing") << QStringList{r + "/nosuch"} << 2 << "nosuch";
        QTest::newRow("page missing") << QStringList{w, "gone.htm"} << 2 << "gone.htm";
        QTest::newRow("page outside") << QStringList{w, "../outside.htm"} << 2 << "outside the web";
        QTest::newRow("folder missing") << QStringList{"--folder", "nosuch", w} << 2 << "nosuch";
        QTest::newRow("no pages") << QStringList{r + "/emptyweb"} << 2 << "The are no Web Files";
        QTest::newRow("rules missing")
            << QStringList{"--rules", r + "/none.reg", w} << 2 << "none.reg";
        QTest::newRow("rules without key")
            << QStringList{"--rules", r + "/other.reg", w} << 2 << "holds no key";
        QTest::newRow("rule not a number")
            << QStringList{"--rules", r + "/bad.reg", w} << 2 << "\"few\"";
        QTest::newRow("required missing")
            << QStringList{"--required", r + "/none.txt", w} << 2 << "none.txt";
        QTest::newRow("results unwritable")
            << QStringList{"--results", r + "/no/such/dir/x.rls", w} << 2 << "x.rls";
    }
    void exitStatus() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        const bool custom =
            args.contains(QStringLiteral("--rules")) || args.contains(QStringLiteral("--required"));
        if (!custom && !args.isEmpty())
            args = common() + args;
        const Outcome o = runCheck(args, configHome());
        QCOMPARE(o.status, status);
        const QString err = QString::fromLocal8Bit(o.err);
        // A usage error says where to look next.
        const bool usage = err.endsWith(QLatin1String("\nTry 'quillmark-check --help'.\n"));
        if (status == 2) {
            QCOMPARE(err.count(QLatin1Char('\n')), usage ? 2 : 1);
            QVERIFY2(err.startsWith(QLatin1String("quillmark-check: ")) && err.contains(message),
                     qPrintable(err));
            QVERIFY(o.out.isEmpty());
        } else {
            QVERIFY2(err.isEmpty(), qPrintable(err));
            QCOMPARE(o.out.isEmpty(), args.contains(QStringLiteral("--quiet")));
        }
    }

    void help() {
        const Outcome o = runCheck({QStringLiteral("--help")}, configHome());
        QCOMPARE(o.status, 0);
        QVERIFY(o.out.startsWith("Usage: quillmark-check [options] WEB_FOLDER [PAGE ...]"));
        for (const char* option : {"--folder", "--rules", "--required", "--results", "--report",
                                   "--junit", "--jobs", "--quiet", "--version"})
            QVERIFY2(o.out.contains(option), option);
    }

    // --version answers alone, whatever else is given; after "--" it is a page.
    void version() {
        const Outcome o = runCheck({m_web, QStringLiteral("--version")}, configHome());
        QCOMPARE(o.status, 0);
        QCOMPARE(o.out, QByteArray("quillmark-check " QM_VERSION "\n"));
        const Outcome page =
            runCheck({m_web, QStringLiteral("--"), QStringLiteral("--version")}, configHome());
        QCOMPARE(page.status, 2);
        QVERIFY(!page.out.startsWith("quillmark-check"));
    }

    // The user's registry file is read when no rules file is named, and never written.
    void userRulesAreRead() {
        const QString home = m_env.path(QStringLiteral("home"));
        const Outcome plain = runCheck({m_web, QStringLiteral("check/good.htm")}, home);
        QCOMPARE(plain.status, 0);
        QVERIFY(!QFileInfo::exists(home + QStringLiteral("/VRNH/registry.reg")));
        m_env.writeFile(home + QStringLiteral("/VRNH/registry.reg"),
                        m_env.readFile(QStringLiteral("bad.reg")));
        const QByteArray before = m_env.readFile(home + QStringLiteral("/VRNH/registry.reg"));
        const Outcome bad = runCheck({m_web, QStringLiteral("check/good.htm")}, home);
        QCOMPARE(bad.status, 2);
        QCOMPARE(m_env.readFile(home + QStringLiteral("/VRNH/registry.reg")), before);
    }

    // A registry or rules file that cannot be read stops the check, as a user who may not read
    // it (CI runs as root).
    void unreadableRules_data() {
        QTest::addColumn<bool>("rulesOption"); // the file is named by --rules, else the user's
        QTest::addColumn<bool>("folderInItsPlace");
        QTest::addColumn<QString>("message");
        QTest::newRow("registry file, no read permission")
            << false << false << "the registry file cannot be read";
        QTest::newRow("registry file, a folder in its place")
            << false << true << "the registry file cannot be read";
        QTest::newRow("rules file, no read permission")
            << true << false << "the rules file cannot be read";
    }
    void unreadableRules() {
        QFETCH(bool, rulesOption);
        QFETCH(bool, folderInItsPlace);
        QFETCH(QString, message);
        testsupport::TestEnv env;
        const QString web = env.path(QStringLiteral("web"));
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("batchweb")), web);
        setRules(env, false);
        const QString file =
            rulesOption ? env.path(QStringLiteral("rules.reg")) : env.registryPath();
        if (rulesOption)
            QVERIFY(QFile::rename(env.registryPath(), file));
        QVERIFY(QDir().mkpath(env.path(QStringLiteral("out"))));
        testsupport::shareFolder(env.root(), false);
        testsupport::shareFolder(env.path(QStringLiteral("out")), true);
        if (folderInItsPlace) {
            QVERIFY(QFile::remove(file));
            QVERIFY(QDir().mkpath(file));
        } else {
            QVERIFY(QFile::setPermissions(file, QFile::Permissions()));
        }
        QStringList args{QStringLiteral("--required"),
                         env.programFolder() + QStringLiteral("Required/metareq.txt"), web,
                         QStringLiteral("good.htm")};
        if (rulesOption)
            args = QStringList{QStringLiteral("--rules"), file} + args;

        QProcess p;
        QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
        pe.insert(QStringLiteral("XDG_CONFIG_HOME"), env.path(QStringLiteral("config")));
        pe.insert(QStringLiteral("HOME"), env.path(QStringLiteral("out")));
        p.setProcessEnvironment(pe);
        testsupport::startUnprivileged(p, QStringLiteral(CHECK_EXE), args,
                                       env.path(QStringLiteral("out")));
        QVERIFY(p.waitForFinished(120000));
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 2);
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        QVERIFY2(err.startsWith(QStringLiteral("quillmark-check: ") + message) &&
                     err.contains(file),
                 qPrintable(err));
        QVERIFY(p.readAllStandardOutput().isEmpty());
    }

    // Standard output holds exactly what the window's panes hold after the same check.
    void sameAsWindow_data() {
        QTest::addColumn<QString>("web");
        QTest::addColumn<QString>("page"); // "" for the whole web
        QTest::addColumn<bool>("pics");
        const QString batchweb = testsupport::fixturePath(QStringLiteral("batchweb"));
        const QString checkweb = testsupport::fixturePath(QStringLiteral("checkweb"));
        const QString sampleweb = testsupport::builtProgramFolder() + QStringLiteral("sampleweb");
        QTest::newRow("batch web") << batchweb << "" << false;
        QTest::newRow("batch web, PICS label") << batchweb << "" << true;
        QTest::newRow("sample web") << sampleweb << "" << false;
        QTest::newRow("check web") << checkweb << "" << false;
        QTest::newRow("web beyond Windows-1252")
            << m_env.path(QStringLiteral("utf8web")) << "" << false;
        QTest::newRow("one page beyond Windows-1252")
            << m_env.path(QStringLiteral("utf8web")) << "greek.htm" << false;
        QTest::newRow("one passing page") << batchweb << "good.htm" << false;
        QTest::newRow("one page, PICS label") << batchweb << "good.htm" << true;
        QTest::newRow("one page without meta tags") << batchweb << "nometa1.htm" << false;
        QTest::newRow("one failing page") << checkweb << "bad.htm" << false;
        QTest::newRow("one page without head end") << sampleweb << "news/nohead.htm" << false;
        QTest::newRow("one page with empty title")
            << sampleweb << "products/emptytitle.htm" << false;
    }
    void sameAsWindow() {
        QFETCH(QString, web);
        QFETCH(QString, page);
        QFETCH(bool, pics);
        auto h = window(web, page, pics);
        MainWindow* form = h->start();
        if (page.isEmpty())
            checkWholeWeb(form);
        else
            form->runCommand(&MainWindow::checkCurrentFile);
        QVERIFY(results::paneLines(testsupport::passedPane(form)).size() +
                    results::paneLines(testsupport::failedPane(form)).size() >
                3);
        QStringList args{QStringLiteral("--format=rls"),
                         QStringLiteral("--rules"),
                         h->env.registryPath(),
                         QStringLiteral("--required"),
                         h->env.programFolder() + QStringLiteral("Required/metareq.txt"),
                         web};
        if (!page.isEmpty())
            args.append(page);
        const Outcome o = runCheck(args, configHome());
        QCOMPARE(o.out, paneBytes(form));
        QCOMPARE(o.out.startsWith("\xEF\xBB\xBF"), web.endsWith(QLatin1String("utf8web")));
        bool failed = false;
        for (const QString& line : results::paneLines(testsupport::failedPane(form)))
            failed = failed || line.startsWith(QLatin1String("File "));
        QCOMPARE(o.status, failed ? 1 : 0);
    }

    // Pages are checked in parallel, the output is that of one job byte for byte.
    void jobsGiveTheSameOutput() {
        const QString web = m_env.path(QStringLiteral("bigweb"));
        buildBigWeb(web);
        QByteArray first[3];
        for (const char* jobs : {"1", "2", "3"}) {
            const QString tag = QLatin1String(jobs);
            const Outcome o = runCheck(common() + QStringList{"--jobs", tag, "--results",
                                                              web + "-" + tag + ".rls", "--junit",
                                                              web + "-" + tag + ".xml", "--report",
                                                              web + "-" + tag + ".htm", web},
                                       configHome());
            QCOMPARE(o.status, 1);
            // Times differ from run to run; all else is the same.
            const QByteArray files[3] = {m_env.readFile(web + "-" + tag + ".rls"),
                                         withoutTimes(m_env.readFile(web + "-" + tag + ".xml")),
                                         m_env.readFile(web + "-" + tag + ".htm")};
            QCOMPARE(files[0], o.out);
            if (tag == QLatin1String("1")) {
                for (int i = 0; i < 3; ++i)
                    first[i] = files[i];
                QVERIFY(o.out.count("\r\nFile = ") > 400);
            } else {
                for (int i = 0; i < 3; ++i)
                    QCOMPARE(files[i], first[i]);
            }
        }
    }

    // The results file opens in the window into the panes the window's own run gives, the report
    // holds the same sections, and the JUnit file has one case per page.
    void filesOfTheRun() {
        const QString web = testsupport::fixturePath(QStringLiteral("batchweb"));
        auto h = window(web, QStringLiteral("good.htm"));
        MainWindow* form = h->start();
        h->dialogs.answers = {platform::Dialogs::Button::Yes}; // the report offer
        checkWholeWeb(form);
        const QStringList panes[3] = {results::paneLines(testsupport::passedPane(form)),
                                      results::paneLines(testsupport::failedPane(form)),
                                      results::paneLines(testsupport::keywordPane(form))};
        const QStringList windowReport =
            platform::readLines(engine::reportFile(h->env.programFolder()));

        const QString rls = h->env.path(QStringLiteral("run.rls"));
        const QString report = h->env.path(QStringLiteral("run.htm"));
        const QString junit = h->env.path(QStringLiteral("run.xml"));
        const Outcome o = runCheck({"--quiet", "--rules", h->env.registryPath(), "--required",
                                    h->env.programFolder() + "Required/metareq.txt", "--results",
                                    rls, "--report", report, "--junit", junit, web},
                                   configHome());
        QCOMPARE(o.status, 1);
        QVERIFY(o.out.isEmpty());

        for (QPlainTextEdit* pane : {testsupport::passedPane(form), testsupport::failedPane(form),
                                     testsupport::keywordPane(form)})
            results::clearPane(pane);
        h->fileDialogs.answers = {rls};
        form->runCommand(&MainWindow::openResultsFile);
        QCOMPARE(results::paneLines(testsupport::passedPane(form)), panes[0]);
        QCOMPARE(results::paneLines(testsupport::failedPane(form)), panes[1]);
        QCOMPARE(results::paneLines(testsupport::keywordPane(form)), panes[2]);

        // The head names the program folder of its writer; the sections are the same.
        QCOMPARE(platform::readLines(report).mid(18), windowReport.mid(18));

        QFile f(junit);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&f);
        QStringList cases;
        QStringList failures;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("testcase"))
                cases.append(xml.attributes().value(QLatin1String("name")).toString());
            else if (xml.name() == QLatin1String("failure"))
                failures.append(cases.last() + QLatin1Char('|') +
                                xml.attributes().value(QLatin1String("message")).toString());
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(cases, (QStringList{"colours.htm", "emptytitle.htm", "good.htm", "nometa1.htm",
                                     "nometa2.htm", "nometa3.htm", "shoes6.htm", "shoes7.htm",
                                     "sub/deep.htm"}));
        QVERIFY(!failures.isEmpty());
        for (const QString& failure : failures) {
            const QString page = failure.section(QLatin1Char('|'), 0, 0);
            QVERIFY2(
                failure.section(QLatin1Char('|'), 1).startsWith(QStringLiteral("File = ") + page),
                qPrintable(failure));
            QVERIFY(panes[1].contains(QStringLiteral("File = ") + page));
        }
        QVERIFY(!failures.join(QLatin1Char(' ')).contains(QLatin1String("good.htm|")));
    }
    // Names that Qt's own listing drops or splits: listed and checked, or counted as failed
    // with their folder named.
    void pageNames_data() {
        QTest::addColumn<QList<QByteArray>>("files");
        QTest::addColumn<QStringList>("args"); // before the web folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QList<QByteArray>>("out"); // parts of standard output
        QTest::addColumn<QString>("err");           // standard error, "" for none
        QTest::newRow("Windows-1252 name, whole web")
            << QList<QByteArray>{"caf\xE9.htm", "good.htm"} << QStringList{} << 0
            << QList<QByteArray>{"File = caf\xE9.htm\r\n", "2 of 2 passed verification."} << "";
        QTest::newRow("Windows-1252 folder")
            << QList<QByteArray>{"M\xFCll/\xE9t\xE9.htm", "good.htm"}
            << QStringList{"--folder", "M\u00FCll"} << 0
            << QList<QByteArray>{"File = M\xFCll/\xE9t\xE9.htm\r\n", "1 of 1 passed verification."}
            << "";
        QTest::newRow("line break, whole web")
            << QList<QByteArray>{"two\nlines.htm", "good.htm"} << QStringList{} << 1
            << QList<QByteArray>{"File = two?lines.htm\r\n    The page cannot be checked: its name "
                                 "holds a line break",
                                 "1 of 2 failed verification.", "1 of 2 passed verification."}
            << "quillmark-check: The page two?lines.htm in the folder Web Root Directory cannot be "
               "checked: its name "
               "holds a line break or another control character.\n";
        QTest::newRow("line break, folder")
            << QList<QByteArray>{"shop/a\rb.htm", "shop/good.htm"}
            << QStringList{"--folder", "shop"} << 1
            << QList<QByteArray>{"File = shop/a?b.htm\r\n", "1 of 2 failed verification."}
            << "quillmark-check: The page a?b.htm in the folder shop cannot be checked: its name "
               "holds a line break "
               "or another control character.\n";
        QTest::newRow("only a page with a line break")
            << QList<QByteArray>{"x\ny.htm"} << QStringList{} << 1
            << QList<QByteArray>{"File = x?y.htm\r\n", "1 of 1 failed verification."}
            << "quillmark-check: The page x?y.htm in the folder Web Root Directory cannot be "
               "checked: its name "
               "holds a line break or another control character.\n";
        QTest::newRow("folder with a line break")
            << QList<QByteArray>{"a\nb/x.htm", "good.htm"} << QStringList{} << 2
            << QList<QByteArray>{"1 of 1 passed verification."}
            << "quillmark-check: The folder a?b in the folder Web Root Directory cannot be listed: "
               "its name holds a "
               "line break or another control character.\n";
    }
    void pageNames() {
        QFETCH(QList<QByteArray>, files);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QList<QByteArray>, out);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const QByteArray good = m_env.readFile(m_web + QStringLiteral("/good.htm"));
        for (const QByteArray& f : files)
            writeNamed(dir.path(), f, good);
        const Outcome o = runCheck(common() + args + QStringList{dir.path()}, configHome());
        QCOMPARE(QString::fromUtf8(o.err), err);
        QCOMPARE(o.status, status);
        QProcess::execute(QStringLiteral("rm"),
                          {QStringLiteral("-rf"), dir.path()}); // names Qt passes over
        for (const QByteArray& part : out)
            QVERIFY2(o.out.contains(part), o.out.constData());
    }

    // A folder that cannot be read is said and makes the status 2; the rest of the web is checked.
    void unreadableFolder_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("whole web") << QStringList{} << QByteArray("1 of 1 passed verification.");
        QTest::newRow("that folder") << QStringList{"--folder", "locked"} << QByteArray();
        QTest::newRow("that folder and the root")
            << QStringList{"--folder", "locked", "--folder", ""}
            << QByteArray("1 of 1 passed verification.");
    }
    void unreadableFolder() {
        if (!testsupport::runsUnprivileged("unreadableFolder"))
            return;
        QFETCH(QStringList, args);
        QFETCH(QByteArray, out);
        testsupport::TestEnv env;
        setRules(env, false);
        const QString web = env.path(QStringLiteral("web"));
        env.writeFile(QStringLiteral("web/good.htm"),
                      m_env.readFile(m_web + QStringLiteral("/good.htm")));
        env.writeFile(QStringLiteral("web/locked/page.htm"), "<html></html>");
        QVERIFY(QFile::setPermissions(web + QStringLiteral("/locked"), QFileDevice::Permissions()));
        const Outcome o =
            runCheck(QStringList{"--rules", env.registryPath(), "--required",
                                 env.programFolder() + QStringLiteral("Required/metareq.txt")} +
                         args + QStringList{web},
                     env.root() + QStringLiteral("/config"));
        QFile::setPermissions(web + QStringLiteral("/locked"), QFileDevice::ReadOwner |
                                                                   QFileDevice::WriteOwner |
                                                                   QFileDevice::ExeOwner);
        QCOMPARE(o.status, 2);
        QCOMPARE(QString::fromUtf8(o.err),
                 QStringLiteral(
                     "quillmark-check: The folder locked cannot be read: Permission denied\n"));
        QCOMPARE(o.out.isEmpty(), out.isEmpty());
        QVERIFY2(o.out.contains(out), o.out.constData());
    }

    // A page argument that is there but no plain file is called what it is.
    void pageThatIsNoFile_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("cause");
        const QString w = m_env.path(QStringLiteral("specials"));
        QTest::newRow("named pipe by path")
            << w + "/pipe.htm"
            << "the page " + w + "/pipe.htm cannot be read: it is a named pipe";
        QTest::newRow("named pipe by address")
            << "pipe.htm"
            << "the page pipe.htm cannot be read: it is a named pipe";
        QTest::newRow("folder by path") << w + "/sub"
                                        << "the page " + w + "/sub cannot be read: it is a folder";
    }
    void pageThatIsNoFile() {
        QFETCH(QString, page);
        QFETCH(QString, cause);
        const QString w = m_env.path(QStringLiteral("specials"));
        QDir().mkpath(w + QStringLiteral("/sub"));
        if (!QFileInfo::exists(w + QStringLiteral("/pipe.htm")))
            QCOMPARE(::mkfifo(QFile::encodeName(w + QStringLiteral("/pipe.htm")).constData(), 0644),
                     0);
        const Outcome o = runCheck(common() + QStringList{w, page}, configHome());
        QCOMPARE(o.status, 2);
        QCOMPARE(QString::fromUtf8(o.err),
                 QStringLiteral("quillmark-check: ") + cause + QLatin1Char('\n'));
    }

    // A tree thousands of folders deep is listed and checked to its deepest page.
    void deepTree() {
        QTemporaryDir dir;
        QByteArray deep = "d";
        for (int i = 1; i < 2100; ++i)
            deep += "/d";
        const QByteArray good = m_env.readFile(m_web + QStringLiteral("/good.htm"));
        writeNamed(dir.path(), "good.htm", good);
        // Made a folder at a time: the whole path is longer than the system takes at once.
        int fd =
            ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 0; i < 2100; ++i) {
            QCOMPARE(::mkdirat(fd, "d", 0755), 0);
            const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(fd);
            fd = next;
        }
        const int page = ::openat(fd, "page.htm", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ::close(fd);
        QCOMPARE(::write(page, good.constData(), size_t(good.size())), ssize_t(good.size()));
        ::close(page);
        const Outcome o = runCheck(common() + QStringList{dir.path()}, configHome());
        QCOMPARE(o.status, 0);
        QVERIFY2(o.out.contains("File = " + deep + "/page.htm\r\n"), o.err.constData());
        QVERIFY(o.out.contains("2 of 2 passed verification."));
        QProcess::execute(QStringLiteral("rm"),
                          {QStringLiteral("-rf"), dir.path() + QStringLiteral("/d")});
    }

    // A web of a passing, a failing, a UTF-8 and a keyword-spamming page, as text for people.
    QString textWeb() {
        const QString web = m_env.path(QStringLiteral("textweb"));
        if (QFileInfo::exists(web))
            return web;
        const QByteArray good = m_env.readFile(m_web + QStringLiteral("/good.htm"));
        m_env.writeFile(QStringLiteral("textweb/good.htm"), good);
        m_env.writeFile(QStringLiteral("textweb/nometa1.htm"),
                        m_env.readFile(m_web + QStringLiteral("/nometa1.htm")));
        m_env.writeFile(QStringLiteral("textweb/caf\u00E9.htm"),
                        QStringLiteral("<html><head><title>Caf\u00E9 by the harbour</title>"
                                       "<meta name=\"author\" content=\"Ann\">"
                                       "<meta name=\"keywords\" content=\"caf\u00E9, glass\">"
                                       "<meta name=\"description\" content=\"Caf\u00E9 and glass "
                                       "by the sea\"></head><body>Caf\u00E9 glass</body></html>")
                            .toUtf8());
        m_env.writeFile(QStringLiteral("textweb/spam.htm"),
                        QByteArray(good).replace(
                            "pottery, glass", "glass, glass, glass, glass, glass, glass, glass"));
        return web;
    }

    // Standard output for people is the results file's lines in UTF-8 with LF, nothing else.
    void textOutput() {
        const QString web = textWeb();
        const Outcome text = runCheck(common().mid(1) + QStringList{web}, configHome());
        const Outcome rls = runCheck(common() + QStringList{web}, configHome());
        QCOMPARE(text.status, 1);
        QCOMPARE(rls.status, 1);
        QVERIFY(!rls.out.startsWith("\xEF\xBB\xBF")); // every line fits Windows-1252
        QVERIFY(!text.out.contains('\r') && !text.out.contains('\x1b'));
        QVERIFY2(text.out.contains("File = caf\xC3\xA9.htm\n") &&
                     text.out.contains("caf\xC3\xA9 - "),
                 text.out.constData());
        QCOMPARE(
            text.out,
            platform::decodeWindows1252(rls.out).replace(QLatin1String("\r\n"), "\n").toUtf8());
        QVERIFY2(text.sources.startsWith("quillmark-check: rules from " + rulesFile().toUtf8() +
                                         ", required tags from " + requiredFile().toUtf8()),
                 text.sources.constData());
    }

    // Colour on a terminal, or when asked; never through a pipe or with NO_COLOR unless asked.
    void colour_data() {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("noColor"); // null: not set
        QTest::addColumn<bool>("coloured");
        QTest::newRow("pipe") << false << QStringList{} << QByteArray() << false;
        QTest::newRow("pipe, always")
            << false << QStringList{"--color=always"} << QByteArray() << true;
        QTest::newRow("terminal") << true << QStringList{} << QByteArray() << true;
        QTest::newRow("terminal, NO_COLOR") << true << QStringList{} << QByteArray("1") << false;
        QTest::newRow("terminal, empty NO_COLOR")
            << true << QStringList{} << QByteArray("") << true;
        QTest::newRow("terminal, never")
            << true << QStringList{"--color", "never"} << QByteArray() << false;
        QTest::newRow("terminal, NO_COLOR, always")
            << true << QStringList{"--color=always"} << QByteArray("1") << true;
        QTest::newRow("terminal, rls")
            << true << QStringList{"--format=rls"} << QByteArray() << false;
    }
    void colour() {
        QFETCH(bool, terminal);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, noColor);
        QFETCH(bool, coloured);
        const QString web = textWeb();
        args = common().mid(1) + args + QStringList{web};
        const QByteArray out =
            terminal ? runOnTerminal(args, {{"XDG_CONFIG_HOME", configHome().toUtf8()},
                                            {"NO_COLOR", noColor}})
                     : runCheck(args, configHome(), {{"NO_COLOR", QString::fromUtf8(noColor)}}).out;
        QVERIFY(out.contains("File = good.htm"));
        QCOMPARE(out.contains('\x1b'), coloured);
        if (!coloured)
            return;
        // A passed page green, the failed pane red, the spam warning yellow; headings plain.
        QVERIFY(out.contains("\nListing of files that passed the checks.\n") ||
                out.startsWith("Listing of files that passed the checks.\n"));
        QVERIFY(out.contains("\n\x1b[32mFile = good.htm\x1b[0m\n"));
        QVERIFY(out.contains("\n\x1b[31mFile = nometa1.htm\x1b[0m\n"));
        QVERIFY2(out.contains("\n\x1b[33mWARNING! Keyword glass is repeated 7 times"),
                 out.constData());
        QByteArray plain = out;
        static const QRegularExpression escapes(QStringLiteral("\x1b\\[[0-9]*m"));
        plain = QString::fromUtf8(plain).remove(escapes).toUtf8();
        QCOMPARE(plain, runCheck(common().mid(1) + QStringList{web}, configHome()).out);
    }

    // --format rls gives the results file's bytes, also when they are UTF-8.
    void rlsIsTheResultsFile_data() {
        QTest::addColumn<QString>("web");
        QTest::newRow("Windows-1252") << textWeb();
        QTest::newRow("UTF-8") << m_env.path(QStringLiteral("utf8web"));
    }
    void rlsIsTheResultsFile() {
        QFETCH(QString, web);
        const QString file = m_env.path(QStringLiteral("formatrls.rls"));
        const Outcome o = runCheck(common() + QStringList{"--results", file, web}, configHome());
        QCOMPARE(o.status, 1);
        QCOMPARE(o.out, m_env.readFile(file));
        QVERIFY(o.out.contains("\r\n"));
    }

    // Rule values: --rules, else the web's .quillmark/rules.reg, else the user's settings;
    // required tags: --required, else .quillmark/metareq.txt, else the program's list.
    void ruleSources_data() {
        QTest::addColumn<WebFiles>("files"); // in the web; "/" makes a folder
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("note"); // a part of the note, or of the error for status 2
        const QByteArray pics = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]"
                                "\r\n\"rrsac\"=\"1\"\r\n";
        const QByteArray subject = "author\r\nsubject\r\n";
        const QString r = rulesFile();
        const QString q = requiredFile();
        using Files = WebFiles;
        QTest::newRow("user settings, program's list")
            << Files{} << QStringList{} << 0
            << "rules from the user's settings (" + r +
                   "), required tags from the program's list (";
        QTest::newRow("web's rules") << Files{{"rules.reg", pics}} << QStringList{} << 1
                                     << "rules from .quillmark/rules.reg, required tags from the "
                                        "program's list";
        QTest::newRow("--rules before the web's")
            << Files{{"rules.reg", pics}} << QStringList{"--rules", r} << 0
            << "rules from " + r + ", required";
        QTest::newRow("web's required tags") << Files{{"metareq.txt", subject}} << QStringList{}
                                             << 1 << "required tags from .quillmark/metareq.txt";
        QTest::newRow("--required before the web's")
            << Files{{"metareq.txt", subject}} << QStringList{"--required", q} << 0
            << "required tags from " + q;
        QTest::newRow("both of the web")
            << Files{{"rules.reg", pics}, {"metareq.txt", subject}} << QStringList{} << 1
            << "rules from .quillmark/rules.reg, required tags from .quillmark/metareq.txt";
        QTest::newRow("web's rules a folder")
            << Files{{"rules.reg", "/"}} << QStringList{} << 2 << "the rules file cannot be read";
        QTest::newRow("web's rules without the key")
            << Files{{"rules.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"}}
            << QStringList{} << 2 << "holds no key";
        QTest::newRow("web's rules a dangling link")
            << Files{{"rules.reg", "->nowhere.reg"}} << QStringList{} << 2 << "the rules file";
        QTest::newRow("web's required tags a folder")
            << Files{{"metareq.txt", "/"}} << QStringList{} << 2
            << "the required tag file cannot be read";
        QTest::newRow("web's ignore file a folder")
            << Files{{"ignore", "/"}} << QStringList{} << 2 << "the ignore file cannot be read";
    }
    void ruleSources() {
        QFETCH(WebFiles, files);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, note);
        QTemporaryDir web;
        m_env.writeFile(web.filePath(QStringLiteral("good.htm")),
                        m_env.readFile(m_web + QStringLiteral("/good.htm")));
        QVERIFY(QDir(web.path()).mkdir(QStringLiteral(".quillmark")));
        for (auto f = files.cbegin(); f != files.cend(); ++f) {
            const QString path = web.filePath(QStringLiteral(".quillmark/") + f.key());
            if (f.value() == "/")
                QVERIFY(QDir().mkdir(path));
            else if (f.value().startsWith("->"))
                QVERIFY(QFile::link(QString::fromUtf8(f.value().mid(2)), path));
            else
                m_env.writeFile(path, f.value());
        }
        const Outcome o = runCheck(args + QStringList{web.path(), "good.htm"}, configHome());
        QCOMPARE(o.status, status);
        if (status == 2) {
            QCOMPARE(o.err.count('\n'), 1);
            QVERIFY2(o.err.contains(note.toUtf8()) &&
                         o.err.contains(QFile::encodeName(web.path() + "/.quillmark/")),
                     o.err.constData());
            QVERIFY(o.out.isEmpty());
        } else {
            QVERIFY2(o.sources.contains(note.toUtf8()), o.sources.constData());
            QVERIFY2(o.err.isEmpty(), o.err.constData());
        }
        const Outcome quiet = runCheck(
            QStringList{"--quiet"} + args + QStringList{web.path(), "good.htm"}, configHome());
        QCOMPARE(quiet.status, status);
        QVERIFY(quiet.sources.isEmpty());
    }

    // A web's rule file that its reader may not read stops the run (CI runs as root).
    void unreadableWebFiles_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("lockFolder"); // else the file
        QTest::addColumn<QString>("message");
        QTest::newRow("rules") << "rules.reg" << false << "the rules file cannot be read";
        QTest::newRow("required tags")
            << "metareq.txt" << false << "the required tag file cannot be read";
        QTest::newRow("ignore file") << "ignore" << false << "the ignore file cannot be read";
        QTest::newRow("rules in a folder that may not be searched")
            << "rules.reg" << true << "the rules file cannot be read";
    }
    void unreadableWebFiles() {
        QFETCH(QString, file);
        QFETCH(bool, lockFolder);
        QFETCH(QString, message);
        testsupport::TestEnv env;
        setRules(env, false);
        const QString web = env.path(QStringLiteral("web"));
        env.writeFile(QStringLiteral("web/good.htm"),
                      m_env.readFile(m_web + QStringLiteral("/good.htm")));
        const QString path = web + QStringLiteral("/.quillmark/") + file;
        env.writeFile(path, file == QLatin1String("rules.reg") ? m_env.readFile(rulesFile())
                                                               : QByteArray("author\r\n"));
        QVERIFY(QDir().mkpath(env.path(QStringLiteral("out"))));
        testsupport::shareFolder(env.root(), false);
        testsupport::shareFolder(env.path(QStringLiteral("out")), true);
        QVERIFY(QFile::setPermissions(lockFolder ? web + QStringLiteral("/.quillmark") : path,
                                      QFile::Permissions()));
        QProcess p;
        QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
        pe.insert(QStringLiteral("XDG_CONFIG_HOME"), env.path(QStringLiteral("config")));
        pe.insert(QStringLiteral("HOME"), env.path(QStringLiteral("out")));
        p.setProcessEnvironment(pe);
        // The other source named, so that only the file of the row comes from the web.
        QStringList args{web};
        if (file != QLatin1String("rules.reg"))
            args = QStringList{QStringLiteral("--rules"), env.registryPath()} + args;
        if (file != QLatin1String("metareq.txt"))
            args = QStringList{QStringLiteral("--required"),
                               env.programFolder() + QStringLiteral("Required/metareq.txt")} +
                   args;
        testsupport::startUnprivileged(p, QStringLiteral(CHECK_EXE), args,
                                       env.path(QStringLiteral("out")));
        QVERIFY(p.waitForFinished(120000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 2);
        QVERIFY2(err.contains(message) && err.contains(path), qPrintable(err));
        QVERIFY(p.readAllStandardOutput().isEmpty());
    }

    // --init writes the rules and required tags in use beside the pages; the web then checks
    // the same without them.
    void initWritesTheWebsRuleFiles() {
        const QString web = m_env.path(QStringLiteral("initweb"));
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("batchweb")), web);
        const QString rules = web + QStringLiteral("/.quillmark/rules.reg");
        const QString required = web + QStringLiteral("/.quillmark/metareq.txt");
        const Outcome before = runCheck({web}, configHome());
        QCOMPARE(before.status, 1);

        const Outcome init = runCheck({QStringLiteral("--init"), web}, configHome());
        QCOMPARE(init.status, 0);
        QCOMPARE(init.err, "quillmark-check: wrote " + QFile::encodeName(rules) + " and " +
                               QFile::encodeName(required) + "\n");
        QVERIFY(init.out.isEmpty());
        QCOMPARE(
            m_env.readFile(required),
            m_env.readFile(before.sources.mid(before.sources.lastIndexOf('(') + 1).chopped(2)));

        // No user settings at all: only the web's files give the rules of the first run.
        const Outcome after = runCheck({web}, m_env.path(QStringLiteral("noconfig")));
        QVERIFY2(after.sources.contains("rules from .quillmark/rules.reg, required tags from "
                                        ".quillmark/metareq.txt"),
                 after.sources.constData());
        QCOMPARE(after.status, before.status);
        QCOMPARE(after.out, before.out);

        // Neither file is overwritten, nor the missing one written while the other is there.
        const QByteArray rulesBytes = m_env.readFile(rules);
        QVERIFY(QFile::remove(required));
        m_env.writeFile(required, "subject\r\n");
        const Outcome again = runCheck({QStringLiteral("--init"), web}, configHome());
        QCOMPARE(again.status, 2);
        QVERIFY2(again.err.contains(QFile::encodeName(rules) + " exists already"),
                 again.err.constData());
        QCOMPARE(m_env.readFile(rules), rulesBytes);
        QCOMPARE(m_env.readFile(required), QByteArray("subject\r\n"));
        QVERIFY(QFile::remove(rules));
        QCOMPARE(runCheck({QStringLiteral("--init"), web}, configHome()).status, 2);
        QVERIFY(!QFileInfo::exists(rules));

        // --required names the list that is written.
        QVERIFY(QFile::remove(required));
        const Outcome named =
            runCheck({QStringLiteral("--required"), m_env.path(QStringLiteral("subject.txt")),
                      QStringLiteral("--init"), web},
                     configHome());
        QCOMPARE(named.status, 2); // that file is not there
        QVERIFY(!QFileInfo::exists(rules) && !QFileInfo::exists(required));
        m_env.writeFile(QStringLiteral("subject.txt"), "author\r\nsubject\r\n");
        QCOMPARE(runCheck({QStringLiteral("--required"), m_env.path(QStringLiteral("subject.txt")),
                           QStringLiteral("--init"), web},
                          configHome())
                     .status,
                 0);
        QCOMPARE(m_env.readFile(required), QByteArray("author\r\nsubject\r\n"));
        QCOMPARE(
            runCheck({QStringLiteral("--init"), m_env.path(QStringLiteral("nosuch"))}, configHome())
                .status,
            2);
    }

    // --exclude and .quillmark/ignore leave pages out after the gathering; the .quillmark
    // folder is never a page.
    void excludes_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("ignore"); // null: no ignore file
        QTest::addColumn<QStringList>("pages");
        const QStringList all{"about.htm",      "blog/2024/draft-post.htm", "blog/2024/post.htm",
                              "blog/index.htm", "drafts/new.htm",           "drafts/old/older.htm",
                              "index.htm"};
        const auto without = [&](const QStringList& out) {
            QStringList left = all;
            for (const QString& o : out)
                left.removeAll(o);
            return left;
        };
        QTest::newRow("none") << QStringList{} << QByteArray() << all;
        QTest::newRow("a folder by name") << QStringList{"--exclude", "drafts"} << QByteArray()
                                          << without({"drafts/new.htm", "drafts/old/older.htm"});
        QTest::newRow("a folder with a slash")
            << QStringList{"--exclude=drafts/"} << QByteArray()
            << without({"drafts/new.htm", "drafts/old/older.htm"});
        QTest::newRow("a nested folder") << QStringList{"--exclude=drafts/old"} << QByteArray()
                                         << without({"drafts/old/older.htm"});
        QTest::newRow("star stays in its name") << QStringList{"--exclude=*.htm"} << QByteArray()
                                                << without({"about.htm", "index.htm"});
        QTest::newRow("any depth")
            << QStringList{"--exclude=**/draft*"} << QByteArray()
            << without({"blog/2024/draft-post.htm", "drafts/new.htm", "drafts/old/older.htm"});
        QTest::newRow("any depth, at the root too")
            << QStringList{"--exclude=**/index.htm"} << QByteArray()
            << without({"blog/index.htm", "index.htm"});
        QTest::newRow("question mark")
            << QStringList{"--exclude=?bout.htm", "--exclude=blog/2?2?/post.htm"} << QByteArray()
            << without({"about.htm", "blog/2024/post.htm"});
        QTest::newRow("ignore file with comments")
            << QStringList{} << QByteArray("# work in progress\r\n\r\n  drafts  \nblog/*/draft-*\n")
            << without({"blog/2024/draft-post.htm", "drafts/new.htm", "drafts/old/older.htm"});
        QTest::newRow("ignore file and option")
            << QStringList{"--exclude", "index.htm"} << QByteArray("drafts\n")
            << without({"drafts/new.htm", "drafts/old/older.htm", "index.htm"});
        QTest::newRow("a folder of the run")
            << QStringList{"--folder", "blog", "--exclude", "blog/2024"} << QByteArray()
            << QStringList{"blog/index.htm"};
    }
    void excludes() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, ignore);
        QFETCH(QStringList, pages);
        QTemporaryDir web;
        const QByteArray good = m_env.readFile(m_web + QStringLiteral("/good.htm"));
        for (const char* page :
             {"index.htm", "about.htm", "drafts/new.htm", "drafts/old/older.htm", "blog/index.htm",
              "blog/2024/post.htm", "blog/2024/draft-post.htm", ".quillmark/template.htm"})
            writeNamed(web.path(), page, good);
        if (!ignore.isNull())
            writeNamed(web.path(), ".quillmark/ignore", ignore);
        const Outcome o = runCheck(common().mid(1) + args + QStringList{web.path()}, configHome());
        QVERIFY2(o.err.isEmpty(), o.err.constData());
        QCOMPARE(o.status, 0);
        QStringList got = checkedPages(o.out);
        got.sort();
        QCOMPARE(got, pages);
    }

    // Named pages that an exclude matches are left out with a note; none left passes.
    void excludedNamedPages() {
        const QString web = m_env.path(QStringLiteral("namedweb"));
        const QByteArray good = m_env.readFile(m_web + QStringLiteral("/good.htm"));
        for (const char* page : {"about.htm", "drafts/new.htm", ".quillmark/template.htm"})
            writeNamed(web, page, good);
        const QStringList args = common().mid(1) + QStringList{"--exclude", "drafts"};
        const Outcome some =
            runCheck(args + QStringList{web, "drafts/new.htm", "about.htm"}, configHome());
        QCOMPARE(some.status, 0);
        QCOMPARE(checkedPages(some.out), QStringList{"about.htm"});
        QCOMPARE(some.err, QByteArray("quillmark-check: drafts/new.htm is not checked: --exclude "
                                      "or the ignore file leaves it out (drafts)\n"));
        const Outcome none =
            runCheck(args + QStringList{web, web + "/drafts/new.htm", ".quillmark/template.htm"},
                     configHome());
        QCOMPARE(none.status, 0);
        QVERIFY(none.out.isEmpty());
        QCOMPARE(none.err.count('\n'), 2);
        QVERIFY2(none.err.contains("template.htm is not checked: it is in the web's .quillmark "
                                   "folder"),
                 none.err.constData());
        const Outcome quiet = runCheck(QStringList{"--quiet"} + args +
                                           QStringList{web, "drafts/new.htm", "about.htm"},
                                       configHome());
        QCOMPARE(quiet.status, 0);
        QVERIFY(quiet.err.isEmpty() && quiet.sources.isEmpty());
        // Every page of the web left out: nothing to check, as in a web without pages.
        const Outcome all =
            runCheck(common().mid(1) + QStringList{"--exclude=**", web}, configHome());
        QCOMPARE(all.status, 2);
        QVERIFY2(all.err.contains("The are no Web Files"), all.err.constData());
    }

    // JUnit: each case's time, the suite's time, where and when it ran.
    void junitTimes() {
        const QString junit = m_env.path(QStringLiteral("times.xml"));
        const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
        const Outcome o =
            runCheck(common() + QStringList{"--quiet", "--junit", junit, m_web}, configHome());
        const QDateTime ended = QDateTime::currentDateTime().addSecs(1);
        QCOMPARE(o.status, 1);
        QXmlStreamReader xml(m_env.readFile(junit));
        static const QRegularExpression seconds(QStringLiteral("^[0-9]+\\.[0-9]{3}$"));
        double suiteTime = -1;
        double longestCase = 0;
        int cases = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes a = xml.attributes();
            const QString time = a.value(QLatin1String("time")).toString();
            if (xml.name() == QLatin1String("testsuite")) {
                QVERIFY2(seconds.match(time).hasMatch(), qPrintable(time));
                suiteTime = time.toDouble();
                QCOMPARE(a.value(QLatin1String("hostname")).toString(),
                         QSysInfo::machineHostName());
                const QString stamp = a.value(QLatin1String("timestamp")).toString();
                QVERIFY2(QRegularExpression(
                             QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$"))
                             .match(stamp)
                             .hasMatch(),
                         qPrintable(stamp));
                const QDateTime at = QDateTime::fromString(stamp, Qt::ISODate);
                QVERIFY2(at >= started.addMSecs(-started.time().msec()) && at <= ended,
                         qPrintable(stamp));
            } else if (xml.name() == QLatin1String("testcase")) {
                QVERIFY2(seconds.match(time).hasMatch(), qPrintable(time));
                longestCase = std::max(longestCase, time.toDouble());
                ++cases;
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(cases > 5);
        QVERIFY2(suiteTime >= longestCase && suiteTime > 0, qPrintable(QString::number(suiteTime)));
    }
};

QTEST_MAIN(TestQuillmarkCheck)
#include "tst_quillmarkcheck.moc"
