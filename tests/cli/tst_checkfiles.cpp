// The checker's output and input files at the edges: devices, FIFOs, pipes, links of other users,
// outputs that are also inputs, a full device and the file size limit.
#include "support/testenv.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

struct Outcome {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The checker as `program` runs it (the checker itself, or a shell in front of it).
Outcome run(const QString& program, const QStringList& args, const QString& configHome,
            const QString& stdoutFile = QString()) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    p.setProcessEnvironment(env);
    if (!stdoutFile.isEmpty())
        p.setStandardOutputFile(stdoutFile);
    p.start(program, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {-2, {}, "the checker did not end"};
    }
    Outcome o{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
              p.readAllStandardError()};
    // The note of the rule sources that starts every run's messages is no message of these cases.
    if (o.err.startsWith("quillmark-check: rules from "))
        o.err.remove(0, o.err.indexOf('\n') + 1);
    return o;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

} // namespace

class TestCheckFiles : public QObject {
    Q_OBJECT

    testsupport::TestEnv m_env;
    QString m_web;

    QString config() const { return m_env.path(QStringLiteral("config")); }
    Outcome check(const QStringList& args, const QString& stdoutFile = QString()) {
        return run(QStringLiteral(CHECK_EXE), args, config(), stdoutFile);
    }

private slots:
    void initTestCase() {
        QVERIFY(QFileInfo(QStringLiteral(CHECK_EXE)).isExecutable());
        m_web = m_env.path(QStringLiteral("web"));
        testsupport::copyTree(testsupport::fixturePath(QStringLiteral("batchweb")), m_web);
        QDir().mkpath(config());
        m_env.writeFile(QStringLiteral("rules.reg"),
                        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\r\n"
                        "\"KeyReq\"=\"1\"\r\n");
        m_env.writeFile(QStringLiteral("metareq.txt"), "author\r\n");
        m_env.writeFile(QStringLiteral("few.reg"),
                        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\r\n"
                        "\"KeyReq\"=\"1\"\r\n\"keywordsm\"=\"few\"\r\n");
    }

    // Outputs that are not regular files are written in place and stay what they were.
    void outputsInPlace_data() {
        QTest::addColumn<QString>("option");
        QTest::newRow("results") << "--results";
        QTest::newRow("report") << "--report";
        QTest::newRow("junit") << "--junit";
    }
    void outputsInPlace() {
        QFETCH(QString, option);
        // A copy of /dev/null, as root CI writing "--junit /dev/null" would reach the real one.
        const QString device = m_env.path(QStringLiteral("null-") + option.mid(2));
        if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("making a device needs root");
        Outcome o = check({QStringLiteral("--quiet"), option, device, m_web});
        QCOMPARE(o.status, 1);
        QVERIFY2(o.err.isEmpty(), o.err.constData());
        struct stat sb;
        QCOMPARE(::lstat(QFile::encodeName(device).constData(), &sb), 0);
        QVERIFY(S_ISCHR(sb.st_mode));

        // Standard output into a pipe, as in a pipeline.
        o = check({QStringLiteral("--quiet"), option, QStringLiteral("/dev/stdout"), m_web});
        QCOMPARE(o.status, 1);
        QVERIFY2(o.err.isEmpty(), o.err.constData());
        const QByteArray first = option == QLatin1String("--results")
                                     ? QByteArray("Listing of files that passed")
                                 : option == QLatin1String("--report") ? QByteArray("<html")
                                                                       : QByteArray("<?xml");
        QVERIFY2(o.out.startsWith(first), o.out.left(80).constData());
    }

    // An output that is an input or another output is refused before anything is written.
    void sharedFilesRefused_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("victim"); // the file that must keep its bytes
        QTest::addColumn<QString>("message");
        const QString rules = m_env.path(QStringLiteral("rules.reg"));
        const QString required = m_env.path(QStringLiteral("metareq.txt"));
        const QString out = m_env.path(QStringLiteral("out.rls"));
        const QString page = m_web + QStringLiteral("/good.htm");
        QTest::newRow("report over the rules")
            << QStringList{"--rules", rules, "--report", rules} << rules
            << "the report " + rules + " is the same file as the rules file " + rules;
        QTest::newRow("junit over the required tags")
            << QStringList{"--required", required, "--junit", required} << required
            << "required tag file";
        QTest::newRow("results over a page of the web")
            << QStringList{"--results", page} << page << "is the same file as the page good.htm";
        QTest::newRow("report over a page through another path")
            << QStringList{"--report", m_web + QStringLiteral("/sub/../good.htm")} << page
            << "the page good.htm";
        QTest::newRow("two outputs, one file")
            << QStringList{"--results", out, "--junit", m_env.path(QStringLiteral("./out.rls"))}
            << out << "the JUnit file";
        QTest::newRow("user's settings as the results")
            << QStringList{"--results", config() + QStringLiteral("/VRNH/registry.reg")}
            << config() + QStringLiteral("/VRNH/registry.reg") << "the rules file";
    }
    void sharedFilesRefused() {
        QFETCH(QStringList, args);
        QFETCH(QString, victim);
        QFETCH(QString, message);
        m_env.setValue(QStringLiteral("\\Software\\VRNH\\Quillmark"), QStringLiteral("KeyReq"),
                       QStringLiteral("1"));
        QDir().mkpath(config() + QStringLiteral("/VRNH"));
        QFile::copy(m_env.registryPath(), config() + QStringLiteral("/VRNH/registry.reg"));
        if (QFileInfo(victim).fileName() == QLatin1String("out.rls"))
            m_env.writeFile(QStringLiteral("out.rls"), "old results\r\n");
        const QByteArray before = fileBytes(victim);
        const Outcome o = check(QStringList{QStringLiteral("--quiet")} + args + QStringList{m_web});
        QCOMPARE(o.status, 2);
        const QString err = QString::fromLocal8Bit(o.err);
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        QVERIFY2(err.contains(message), qPrintable(err));
        QCOMPARE(fileBytes(victim), before);
        QFile::remove(config() + QStringLiteral("/VRNH/registry.reg"));
    }

    // A link planted in a shared folder by another user does not redirect the write; the user's
    // own link does. Run as an unprivileged user, since root passes every permission check.
    void plantedLinks_data() {
        QTest::addColumn<int>("linkOwner");
        QTest::addColumn<bool>("followed");
        QTest::newRow("another user's link") << 4321 << false;
        QTest::newRow("own link") << 65534 << true;
    }
    void plantedLinks() {
        QFETCH(int, linkOwner);
        QFETCH(bool, followed);
        if (!testsupport::runningAsRoot())
            QSKIP("needs root and setpriv to act as two other users");
        QTemporaryDir dir(QStringLiteral("/tmp/qm-links-XXXXXX"));
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        const QString shared = dir.filePath(QStringLiteral("shared"));
        const QString mine = dir.filePath(QStringLiteral("mine"));
        QVERIFY(QDir().mkdir(shared) && QDir().mkdir(mine));
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), 01777) == 0);
        QVERIFY(::chown(QFile::encodeName(mine).constData(), 65534, 65534) == 0);
        const QString web = dir.filePath(QStringLiteral("web"));
        testsupport::copyTree(m_web, web);
        const QString target = mine + QStringLiteral("/junit.xml");
        const QString link = shared + QStringLiteral("/junit.xml");
        QVERIFY(QFile::link(target, link));
        QVERIFY(::lchown(QFile::encodeName(link).constData(), uid_t(linkOwner), gid_t(linkOwner)) ==
                0);
        const QString required = dir.filePath(QStringLiteral("metareq.txt"));
        QVERIFY(QFile::copy(m_env.path(QStringLiteral("metareq.txt")), required));
        const QString home = dir.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkdir(home) &&
                ::chown(QFile::encodeName(home).constData(), 65534, 65534) == 0);
        testsupport::shareFolder(web, false);
        QVERIFY(::chmod(QFile::encodeName(required).constData(), 0644) == 0);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
        p.setProcessEnvironment(env);
        testsupport::startUnprivileged(p, QStringLiteral(CHECK_EXE),
                                       {QStringLiteral("--quiet"), QStringLiteral("--required"),
                                        required, QStringLiteral("--junit"), link, web},
                                       dir.path());
        QVERIFY(p.waitForFinished(60000));
        const Outcome o{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                        p.readAllStandardOutput(), p.readAllStandardError()};
        QCOMPARE(QFileInfo::exists(target), followed);
        QVERIFY(QFileInfo(link).isSymLink());
        if (followed) {
            QVERIFY2(o.status == 1 && o.err.isEmpty(), o.err.constData());
        } else {
            QCOMPARE(o.status, 2);
            QVERIFY2(o.err.contains("not followed") && o.err.contains(QFile::encodeName(link)),
                     o.err.constData());
        }
    }

    // Inputs that are not regular files end the run at once instead of reading for ever.
    void inputsThatNeverEnd_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("source");
        QTest::newRow("required from /dev/zero") << "--required"
                                                 << "/dev/zero";
        QTest::newRow("rules from /dev/zero") << "--rules"
                                              << "/dev/zero";
        QTest::newRow("required from a FIFO") << "--required"
                                              << "fifo";
        QTest::newRow("rules from a FIFO") << "--rules"
                                           << "fifo";
    }
    void inputsThatNeverEnd() {
        QFETCH(QString, option);
        QFETCH(QString, source);
        if (source == QLatin1String("fifo")) {
            source = m_env.path(QStringLiteral("input-") + option.mid(2));
            if (!QFileInfo::exists(source))
                QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0600), 0);
        }
        const Outcome o = check({option, source, m_web});
        QCOMPARE(o.status, 2);
        const QString err = QString::fromLocal8Bit(o.err);
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        QVERIFY2(err.contains(source) && err.contains(QLatin1String("cannot be read")),
                 qPrintable(err));
    }

    // Each message names the real cause.
    void messages_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("stdoutFile");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("notInMessage");
        const QString exe = QStringLiteral(CHECK_EXE);
        QTest::newRow("help into a full device")
            << exe << QStringList{"--help"} << "/dev/full"
            << "standard output cannot be written: No space left on device"
            << "";
        QTest::newRow("panes into a full device")
            << exe << QStringList{m_web} << "/dev/full"
            << "standard output cannot be written: No space left on device"
            << "";
        QTest::newRow("results past the file size limit")
            << "/bin/sh"
            << QStringList{"-c", "ulimit -f 1; exec \"$0\" --quiet --results \"$1\" \"$2\"", exe,
                           m_env.path(QStringLiteral("big.rls")), m_web}
            << ""
            << "File too large"
            << "Unknown error";
        QTest::newRow("rule value that is no number")
            << exe << QStringList{"--rules", m_env.path(QStringLiteral("few.reg")), m_web} << ""
            << "quillmark-check: The value \"few\" of \"keywordsm\" is not a whole number"
            << ".htm";
    }
    void messages() {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QString, stdoutFile);
        QFETCH(QString, message);
        QFETCH(QString, notInMessage);
        const Outcome o = run(program, args, config(), stdoutFile);
        QCOMPARE(o.status, 2);
        const QString err = QString::fromLocal8Bit(o.err);
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        QVERIFY2(err.contains(message), qPrintable(err));
        if (!notInMessage.isEmpty())
            QVERIFY2(!err.contains(notInMessage), qPrintable(err));
    }

    // The suite is named after the web folder however it is given; class names are its folders.
    void junitNamesWithATrailingSlash() {
        const QString junit = m_env.path(QStringLiteral("suite.xml"));
        const Outcome o = check({QStringLiteral("--quiet"), QStringLiteral("--junit"), junit,
                                 m_web + QStringLiteral("/")});
        QCOMPARE(o.status, 1);
        QXmlStreamReader xml(fileBytes(junit));
        QStringList classes;
        QString suite;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("testsuite"))
                suite = xml.attributes().value(QLatin1String("name")).toString();
            else if (xml.name() == QLatin1String("testcase"))
                classes.append(xml.attributes().value(QLatin1String("classname")).toString());
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(suite, QStringLiteral("web"));
        QVERIFY(!classes.isEmpty());
        for (const QString& c : classes)
            QVERIFY2(c == QLatin1String("web") || c.startsWith(QLatin1String("web/")),
                     qPrintable(c));
        QVERIFY(classes.contains(QStringLiteral("web/sub")));
    }
};

QTEST_GUILESS_MAIN(TestCheckFiles)
#include "tst_checkfiles.moc"
