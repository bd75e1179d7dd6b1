// The checker's HTML report kept away from the machine that wrote it, as a build keeps its
// artifacts: the logo must come along, and a missing logo must not cost the report.
#include "analysis/engine/report.h"
#include "analysis/engine/workfiles.h"
#include "platform/textfile.h"
#include "support/testenv.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>
#include <QtTest>

namespace {

using Outcome = testsupport::ProcessOutcome;

Outcome runCheck(const QString& program, const QStringList& args, const QString& configHome) {
    return testsupport::runProgram(program, args, configHome, 60000);
}

// The checker as a package lays it out under `prefix`: bin/ and its data in share/quillmark/,
// with or without the logo. Answers the executable.
QString layOutChecker(const QString& prefix, bool withLogo) {
    const QString built = testsupport::builtProgramFolder();
    const QString data = prefix + QStringLiteral("/share/quillmark/");
    QDir().mkpath(prefix + QStringLiteral("/bin"));
    QDir().mkpath(data);
    const QString exe = prefix + QStringLiteral("/bin/quillmark-check");
    QFile::copy(QStringLiteral(CHECK_EXE), exe);
    QFile::copy(built + QStringLiteral("quillmark.hlp"), data + QStringLiteral("quillmark.hlp"));
    testsupport::copyTree(built + QStringLiteral("Required"), data + QStringLiteral("Required"));
    if (withLogo)
        testsupport::copyTree(built + QStringLiteral("dorazo"), data + QStringLiteral("dorazo"));
    return exe;
}

// The src of every <img> of a page. HTML is no XML: found by pattern, entities undone.
QStringList imageSources(const QString& html) {
    static const QRegularExpression img(QStringLiteral("<img\\b[^>]*>"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression src(
        QStringLiteral("\\ssrc\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList sources;
    for (const QRegularExpressionMatch& tag : img.globalMatch(html)) {
        const QRegularExpressionMatch m = src.match(tag.captured());
        if (!m.hasMatch())
            continue;
        QString value = m.captured(1) + m.captured(2) + m.captured(3);
        value.replace(QLatin1String("&quot;"), QLatin1String("\""))
            .replace(QLatin1String("&lt;"), QLatin1String("<"))
            .replace(QLatin1String("&gt;"), QLatin1String(">"))
            .replace(QLatin1String("&amp;"), QLatin1String("&"));
        sources.append(value);
    }
    return sources;
}

// What a browser shows for `src` in a page of `folder`: a data: URL decoded, anything else
// resolved against the folder and read. Null when it finds nothing.
QByteArray pictureBytes(const QString& src, const QString& folder) {
    if (src.startsWith(QLatin1String("data:"), Qt::CaseInsensitive)) {
        const qsizetype comma = src.indexOf(QLatin1Char(','));
        if (comma < 0)
            return {};
        const QByteArray payload = src.mid(comma + 1).toLatin1();
        if (!src.left(comma).endsWith(QLatin1String(";base64"), Qt::CaseInsensitive))
            return QByteArray::fromPercentEncoding(payload);
        const auto decoded =
            QByteArray::fromBase64Encoding(payload, QByteArray::AbortOnBase64DecodingErrors);
        return decoded ? *decoded : QByteArray();
    }
    const QUrl url = QUrl::fromLocalFile(folder + QLatin1Char('/')).resolved(QUrl(src));
    QFile f(url.toLocalFile());
    if (!url.isLocalFile() || !f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace

class TestCheckReport : public QObject {
    Q_OBJECT

    testsupport::TestEnv m_env;
    QString m_web;

    QString config() const { return m_env.path(QStringLiteral("config")); }

private slots:
    void initTestCase() {
        QVERIFY(QFileInfo(QStringLiteral(CHECK_EXE)).isExecutable());
        QDir().mkpath(config());
        m_web = testsupport::fixturePath(QStringLiteral("batchweb"));
    }

    // The report is moved to another folder and the checker's data is gone, as on the machine
    // that opens a build's artifact: the picture still shows the logo.
    void reportTravels() {
        const QString prefix = m_env.path(QStringLiteral("travel/usr"));
        const QString exe = layOutChecker(prefix, true);
        const QByteArray logo = platform::readFileBytes(
            prefix + QStringLiteral("/share/quillmark/") + engine::kLogoFile);
        QVERIFY(logo.startsWith("GIF"));
        const QString written = m_env.path(QStringLiteral("travel/out/meta"));
        QVERIFY(QDir().mkpath(written));
        const Outcome o = runCheck(
            exe,
            {QStringLiteral("--quiet"), QStringLiteral("--report"), written + "/run.htm", m_web},
            config());
        QCOMPARE(o.status, 1);
        QVERIFY2(o.err.isEmpty(), o.err.constData());

        const QString kept = m_env.path(QStringLiteral("kept/elsewhere"));
        QVERIFY(QDir().mkpath(QFileInfo(kept).path()));
        QVERIFY(QDir().rename(QFileInfo(written).path(), kept));
        QVERIFY(QDir(prefix).removeRecursively());

        const QStringList lines = platform::readLines(kept + QStringLiteral("/meta/run.htm"));
        const QStringList sources = imageSources(lines.join(QLatin1Char('\n')));
        QCOMPARE(sources.size(), 1);
        QCOMPARE(pictureBytes(sources.first(), kept + QStringLiteral("/meta")), logo);

        // Apart from the picture's source the head is the window's, and the body follows it.
        const QStringList windowHead = engine::reportHead(QStringLiteral("/any/"));
        QVERIFY(lines.size() > windowHead.size());
        for (int i = 0; i < windowHead.size(); ++i)
            if (i != 10)
                QCOMPARE(lines.at(i), windowHead.at(i));
        QVERIFY(lines.at(18).contains(QLatin1String("Section One")));
    }

    // Without a logo to read the report is still written, the same but for the picture; the
    // checker says so unless it is told to be quiet.
    void reportWithoutLogo_data() {
        QTest::addColumn<bool>("quiet");
        QTest::newRow("told") << false;
        QTest::newRow("quiet") << true;
    }
    void reportWithoutLogo() {
        QFETCH(bool, quiet);
        const QString prefix =
            m_env.path(quiet ? QStringLiteral("nologo-q") : QStringLiteral("nologo"));
        const QString exe = layOutChecker(prefix, false);
        const QString withLogoExe = layOutChecker(prefix + QStringLiteral("-logo"), true);
        const QString report = prefix + QStringLiteral("/run.htm");
        const QString reportWithLogo = prefix + QStringLiteral("/logo.htm");
        QStringList args{QStringLiteral("--results"), prefix + QStringLiteral("/run.rls"),
                         QStringLiteral("--report"), report, m_web};
        if (quiet)
            args.prepend(QStringLiteral("--quiet"));
        const Outcome o = runCheck(exe, args, config());
        const Outcome withLogo =
            runCheck(withLogoExe, {QStringLiteral("--report"), reportWithLogo, m_web}, config());
        QCOMPARE(o.status, withLogo.status);
        QCOMPARE(o.out, quiet ? QByteArray() : withLogo.out);

        const QString missing = prefix + QStringLiteral("/share/quillmark/") + engine::kLogoFile;
        if (quiet) {
            QVERIFY2(o.err.isEmpty(), o.err.constData());
        } else {
            // Besides the line that names the rule sources, one warning.
            QList<QByteArray> lines = o.err.split('\n');
            lines.removeIf([](const QByteArray& l) {
                return l.isEmpty() || l.startsWith("quillmark-check: rules from ");
            });
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines[0].startsWith("quillmark-check: the report shows no logo: "),
                     o.err.constData());
            QVERIFY2(lines[0].contains(QFile::encodeName(missing)), o.err.constData());
        }
        const QStringList lines = platform::readLines(report);
        const QStringList expected = platform::readLines(reportWithLogo);
        QVERIFY(imageSources(lines.join(QLatin1Char('\n'))).isEmpty());
        QCOMPARE(lines.size(), expected.size());
        QCOMPARE(lines.at(10), QStringLiteral("<p>"));
        QCOMPARE(lines.mid(11), expected.mid(11));
        QCOMPARE(lines.mid(0, 10), expected.mid(0, 10));
        QVERIFY(QFileInfo(prefix + QStringLiteral("/run.rls")).isFile());
    }
};

QTEST_GUILESS_MAIN(TestCheckReport)
#include "tst_checkreport.moc"
