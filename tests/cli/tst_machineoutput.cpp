// quillmark-check's JSON and SARIF outputs, run as a real process on a small web: validated by
// the JSON Schema in docs/ and by the SARIF multitool, and their values checked.
#include "support/testenv.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QUrl>
#include <QtTest>

namespace {

using Outcome = testsupport::ProcessOutcome;
using testsupport::runProgram;

// The schema's verdict on a JSON file: "" when it is valid, else the validator's message.
QString schemaErrors(const QString& jsonFile) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral(
                 "import json, sys, jsonschema\n"
                 "schema = json.load(open(sys.argv[1]))\n"
                 "jsonschema.Draft202012Validator.check_schema(schema)\n"
                 "v = jsonschema.Draft202012Validator(schema)\n"
                 "errors = [e.message for e in v.iter_errors(json.load(open(sys.argv[2])))]\n"
                 "print('\\n'.join(errors[:5]))\n"
                 "sys.exit(1 if errors else 0)\n"),
             QStringLiteral(SCHEMA_FILE), jsonFile});
    p.waitForFinished(120000);
    if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return QString();
    const QString text = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return text.isEmpty() ? QStringLiteral("the validator did not run (python3-jsonschema)") : text;
}

QJsonObject parse(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning("not JSON: %s", qPrintable(error.errorString()));
    return doc.object();
}

QJsonObject pageOf(const QJsonObject& run, const QString& address) {
    for (const QJsonValue& p : run.value(QStringLiteral("pages")).toArray())
        if (p.toObject().value(QStringLiteral("address")).toString() == address)
            return p.toObject();
    return {};
}

// "kind@line" (or "kind" for the page as a whole) of each finding, in order.
QStringList findingsOf(const QJsonObject& page) {
    QStringList out;
    for (const QJsonValue& v : page.value(QStringLiteral("findings")).toArray()) {
        const QJsonObject f = v.toObject();
        QString s = f.value(QStringLiteral("kind")).toString();
        if (f.contains(QStringLiteral("line")))
            s += QLatin1Char('@') + QString::number(f.value(QStringLiteral("line")).toInt());
        out.append(s);
    }
    return out;
}

// A page that passes; its head spread over CR LF lines.
const QByteArray kPass = "<html>\r\n<head>\r\n<title>Harbour  shop</title>\r\n"
                         "<meta name=\"author\" content=\"Ann\">\r\n"
                         "<meta name=\"keywords\" content=\"pottery, glass\">\r\n"
                         "<meta name=\"description\" content=\"Pottery and glass by the sea\">\r\n"
                         "</head>\r\n<body>pottery glass pottery</body></html>\r\n";
// A page that fails: no author, keywords without a value, a description too short; LF lines.
const QByteArray kFail = "<html>\n<head>\n<title>Fail</title>\n"
                         "<meta name=\"keywords\" content=\"\">\n"
                         "<meta name=\"description\" content=\"Tiny\">\n"
                         "</head>\n<body>x</body></html>\n";
// A page that passes with warnings: a keyword repeated too often, none in the description.
const QByteArray kRepeat =
    "<html><head><title>Rep</title>\n<meta name=\"author\" content=\"A\">\n\n"
    "<meta name=\"keywords\" content=\"tea,tea,tea,tea,tea,tea,tea\">\n"
    "<meta name=\"description\" content=\"Coffee and more coffee\">\n"
    "</head><body>tea</body></html>\n";

} // namespace

class TestMachineOutput : public QObject {
    Q_OBJECT

    testsupport::TestEnv m_env;
    QString m_web;

    QString configHome() const { return m_env.root() + QStringLiteral("/config"); }
    QStringList common() const {
        return {QStringLiteral("--rules"), m_env.path(QStringLiteral("rules.reg")),
                QStringLiteral("--required"), m_env.path(QStringLiteral("metareq.txt"))};
    }
    Outcome check(const QStringList& args) const {
        return runProgram(QStringLiteral(CHECK_EXE), common() + args, configHome());
    }

private slots:
    void initTestCase() {
        m_env.writeFile(QStringLiteral("rules.reg"),
                        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\VRNH\\Quillmark]\r\n"
                        "\"KeyReq\"=\"1\"\r\n\"DescReq\"=\"1\"\r\n\"keywordsm\"=\"5\"\r\n"
                        "\"keywords\"=\"40\"\r\n\"descriptionm\"=\"10\"\r\n"
                        "\"description\"=\"60\"\r\n\"bodychk\"=\"300\"\r\n");
        m_env.writeFile(QStringLiteral("metareq.txt"), "author\r\n");
        m_web = m_env.path(QStringLiteral("web"));
        m_env.writeFile(QStringLiteral("web/pass.htm"), kPass);
        m_env.writeFile(QStringLiteral("web/sub/fail.htm"), kFail);
        m_env.writeFile(QStringLiteral("web/repeat.htm"), kRepeat);
        m_env.writeFile(
            QStringLiteral("web/greek.htm"),
            QStringLiteral("<html><head><title>\u03A9mega \"shop\"</title>"
                           "<meta name=\"author\" content=\"\u0391nn\">"
                           "<meta name=\"keywords\" content=\"\u03A9mega, glass\">"
                           "<meta name=\"description\" content=\"\u03A9mega glass from the isle\">"
                           "</head><body>\u03A9mega glass \u03C9mega</body></html>")
                .toUtf8());
    }

    // The JSON file holds the run's rules and, for each page in page order, its facts.
    void jsonFacts() {
        const QString file = m_env.path(QStringLiteral("run.json"));
        const Outcome r = check(
            {QStringLiteral("--json"), file, QStringLiteral("--jobs"), QStringLiteral("1"), m_web});
        QCOMPARE(r.status, 1);
        QCOMPARE(schemaErrors(file), QString());
        const QJsonObject run = parse(m_env.readFile(QStringLiteral("run.json")));
        QCOMPARE(run.value(QStringLiteral("tool")).toObject().value(QStringLiteral("version")),
                 QStringLiteral(QM_VERSION));
        const QJsonObject rules = run.value(QStringLiteral("rules")).toObject();
        QCOMPARE(rules.value(QStringLiteral("source")).toObject().value(QStringLiteral("kind")),
                 QStringLiteral("option"));
        QCOMPARE(
            rules.value(QStringLiteral("values")).toObject().value(QStringLiteral("keywordsm")),
            QStringLiteral("5"));
        QCOMPARE(rules.value(QStringLiteral("values")).toObject().value(QStringLiteral("rsafe")),
                 QString());
        const QJsonObject required = run.value(QStringLiteral("required")).toObject();
        QCOMPARE(required.value(QStringLiteral("tags")).toArray().toVariantList(),
                 QVariantList({QStringLiteral("author"), QStringLiteral("keywords"),
                               QStringLiteral("description")}));
        QStringList order;
        for (const QJsonValue& p : run.value(QStringLiteral("pages")).toArray())
            order.append(p.toObject().value(QStringLiteral("address")).toString());
        QCOMPARE(order,
                 QStringList({QStringLiteral("greek.htm"), QStringLiteral("pass.htm"),
                              QStringLiteral("repeat.htm"), QStringLiteral("sub/fail.htm")}));
        const QJsonObject summary = run.value(QStringLiteral("summary")).toObject();
        QCOMPARE(summary.value(QStringLiteral("pages")).toInt(), 4);
        QCOMPARE(summary.value(QStringLiteral("failed")).toInt(), 1);

        const struct {
            const char* address;
            const char* status;
            QString title;
            int keywords;
            int description;
            QVariantMap counts;
            QStringList findings;
        } table[] = {
            {"pass.htm",
             "passed",
             QStringLiteral("Harbour shop"),
             14,
             28,
             {{QStringLiteral("pottery"), 2}, {QStringLiteral("glass"), 1}},
             {}},
            {"greek.htm",
             "passed",
             QStringLiteral("\u03A9mega \"shop\""),
             12,
             25,
             {{QStringLiteral("\u03A9mega"), 2}, {QStringLiteral("glass"), 1}},
             {}},
            {"repeat.htm",
             "passed",
             QStringLiteral("Rep"),
             27,
             22,
             {{QStringLiteral("tea"), 1}},
             {QStringLiteral("keyword-repeated@4"),
              QStringLiteral("keywords-not-in-description@5")}},
            {"sub/fail.htm",
             "failed",
             QStringLiteral("Fail"),
             0,
             4,
             {},
             {QStringLiteral("missing-tag"), QStringLiteral("tag-without-value@4"),
              QStringLiteral("keywords-too-short@4"), QStringLiteral("description-too-short@5")}},
        };
        for (const auto& row : table) {
            const QJsonObject page = pageOf(run, QLatin1String(row.address));
            QVERIFY2(!page.isEmpty(), row.address);
            QCOMPARE(page.value(QStringLiteral("status")).toString(), QLatin1String(row.status));
            QCOMPARE(page.value(QStringLiteral("title")).toString(), row.title);
            QCOMPARE(page.value(QStringLiteral("keywordsLength")).toInt(), row.keywords);
            QCOMPARE(page.value(QStringLiteral("descriptionLength")).toInt(), row.description);
            QCOMPARE(page.value(QStringLiteral("keywords")).toObject().toVariantMap(), row.counts);
            QCOMPARE(findingsOf(page), row.findings);
            QCOMPARE(page.value(QStringLiteral("failure")).toArray().isEmpty(),
                     QLatin1String(row.status) == QLatin1String("passed"));
        }
        const QJsonObject fail = pageOf(run, QStringLiteral("sub/fail.htm"));
        QCOMPARE(fail.value(QStringLiteral("failure")).toArray().first().toString(),
                 QStringLiteral("File = sub/fail.htm"));
        const QJsonObject missing =
            fail.value(QStringLiteral("findings")).toArray().first().toObject();
        QCOMPARE(missing.value(QStringLiteral("tag")).toString(), QStringLiteral("author"));
        QCOMPARE(missing.value(QStringLiteral("detail")).toString(),
                 QStringLiteral("Error: author Does not have a value"));
    }

    // The SARIF log passes the multitool's validation; its results name the kinds and lines.
    void sarifLog() {
        if (!QFileInfo(QStringLiteral(SARIF_MULTITOOL)).isExecutable())
            QFAIL("the SARIF multitool is not installed in .tools/: run scripts/setup.sh");
        const QString file = m_env.path(QStringLiteral("run.sarif"));
        QCOMPARE(check({QStringLiteral("--sarif"), file, m_web}).status, 1);
        const Outcome v = runProgram(QStringLiteral(SARIF_MULTITOOL),
                                     {QStringLiteral("validate"), file}, configHome());
        QVERIFY2(v.status == 0 && !v.out.contains(": error "), v.out.constData());

        const QJsonObject log = parse(m_env.readFile(QStringLiteral("run.sarif")));
        QCOMPARE(log.value(QStringLiteral("version")).toString(), QStringLiteral("2.1.0"));
        const QJsonObject run = log.value(QStringLiteral("runs")).toArray().first().toObject();
        const QJsonObject driver =
            run.value(QStringLiteral("tool")).toObject().value(QStringLiteral("driver")).toObject();
        QCOMPARE(driver.value(QStringLiteral("name")).toString(),
                 QStringLiteral("quillmark-check"));
        QStringList ruleIds;
        for (const QJsonValue& rule : driver.value(QStringLiteral("rules")).toArray())
            ruleIds.append(rule.toObject().value(QStringLiteral("id")).toString());
        const QString root = run.value(QStringLiteral("originalUriBaseIds"))
                                 .toObject()
                                 .value(QStringLiteral("WEBROOT"))
                                 .toObject()
                                 .value(QStringLiteral("uri"))
                                 .toString();
        QCOMPARE(QUrl(root).toLocalFile(), QFileInfo(m_web).canonicalFilePath() + QLatin1Char('/'));
        QCOMPARE(run.value(QStringLiteral("invocations"))
                     .toArray()
                     .first()
                     .toObject()
                     .value(QStringLiteral("executionSuccessful")),
                 true);
        QCOMPARE(run.value(QStringLiteral("properties"))
                     .toObject()
                     .value(QStringLiteral("required"))
                     .toObject()
                     .value(QStringLiteral("kind")),
                 QStringLiteral("option"));

        QStringList results;
        for (const QJsonValue& v : run.value(QStringLiteral("results")).toArray()) {
            const QJsonObject r = v.toObject();
            const QString id = r.value(QStringLiteral("ruleId")).toString();
            QCOMPARE(ruleIds.value(r.value(QStringLiteral("ruleIndex")).toInt()), id);
            const QJsonObject where = r.value(QStringLiteral("locations"))
                                          .toArray()
                                          .first()
                                          .toObject()
                                          .value(QStringLiteral("physicalLocation"))
                                          .toObject();
            const QJsonObject artifact = where.value(QStringLiteral("artifactLocation")).toObject();
            QCOMPARE(artifact.value(QStringLiteral("uriBaseId")).toString(),
                     QStringLiteral("WEBROOT"));
            QString s = artifact.value(QStringLiteral("uri")).toString() + QLatin1Char(' ') + id +
                        QLatin1Char(' ') + r.value(QStringLiteral("level")).toString();
            const QJsonObject region = where.value(QStringLiteral("region")).toObject();
            if (region.contains(QStringLiteral("startLine")))
                s += QLatin1Char('@') +
                     QString::number(region.value(QStringLiteral("startLine")).toInt());
            results.append(s);
        }
        QCOMPARE(results,
                 QStringList({QStringLiteral("repeat.htm keyword-repeated warning@4"),
                              QStringLiteral("repeat.htm keywords-not-in-description warning@5"),
                              QStringLiteral("sub/fail.htm missing-tag error"),
                              QStringLiteral("sub/fail.htm tag-without-value error@4"),
                              QStringLiteral("sub/fail.htm keywords-too-short error@4"),
                              QStringLiteral("sub/fail.htm description-too-short error@5")}));
    }

    // --format prints the files' bytes on standard output instead of the panes.
    void formatOnStandardOutput() {
        for (const char* format : {"json", "sarif"}) {
            const QString file = m_env.path(QStringLiteral("out.") + QLatin1String(format));
            const Outcome r = check({QStringLiteral("--format"), QLatin1String(format),
                                     QStringLiteral("--") + QLatin1String(format), file, m_web});
            QCOMPARE(r.status, 1);
            QVERIFY(!r.out.isEmpty());
            QCOMPARE(r.out, m_env.readFile(QStringLiteral("out.") + QLatin1String(format)));
        }
        const Outcome bad = check({QStringLiteral("--format"), QStringLiteral("xml"), m_web});
        QCOMPARE(bad.status, 2);
        QVERIFY2(bad.err.contains("'--format' takes text, rls, json or sarif"),
                 bad.err.constData());
        QVERIFY(bad.out.isEmpty());
    }

    // The web's own rule files are the sources the outputs record.
    void webRuleFilesRecorded() {
        const QString web = m_env.path(QStringLiteral("own"));
        m_env.writeFile(QStringLiteral("own/index.htm"), kPass);
        m_env.writeFile(QStringLiteral("own/.quillmark/rules.reg"),
                        m_env.readFile(QStringLiteral("rules.reg")));
        m_env.writeFile(QStringLiteral("own/.quillmark/metareq.txt"), "author\r\n");
        const Outcome r =
            runProgram(QStringLiteral(CHECK_EXE),
                       {QStringLiteral("--format"), QStringLiteral("json"), web}, configHome());
        QCOMPARE(r.status, 0);
        const QString file = m_env.path(QStringLiteral("own.json"));
        m_env.writeFile(QStringLiteral("own.json"), r.out);
        QCOMPARE(schemaErrors(file), QString());
        const QJsonObject run = parse(r.out);
        for (const char* part : {"rules", "required"}) {
            const QJsonObject source = run.value(QLatin1String(part))
                                           .toObject()
                                           .value(QStringLiteral("source"))
                                           .toObject();
            QCOMPARE(source.value(QStringLiteral("kind")), QStringLiteral("web"));
            QVERIFY(source.value(QStringLiteral("path"))
                        .toString()
                        .startsWith(web + QStringLiteral("/.quillmark/")));
        }
    }

    // Many pages: spooled past memory, in the same order and bytes for 1 and many jobs.
    void manyPagesAnyJobs() {
        const QString web = m_env.path(QStringLiteral("big"));
        for (int i = 0; i < 3000; ++i)
            m_env.writeFile(QStringLiteral("big/f%1/p%2.htm").arg(i % 7).arg(i),
                            i % 3 ? kFail : kRepeat);
        const QString one = m_env.path(QStringLiteral("one.json"));
        const QString many = m_env.path(QStringLiteral("many.json"));
        QCOMPARE(check({QStringLiteral("--json"), one, QStringLiteral("--jobs"),
                        QStringLiteral("1"), QStringLiteral("--quiet"), web})
                     .status,
                 1);
        QCOMPARE(check({QStringLiteral("--json"), many, QStringLiteral("--jobs"),
                        QStringLiteral("6"), QStringLiteral("--quiet"), web})
                     .status,
                 1);
        QVERIFY(QFileInfo(one).size() > (1 << 20)); // past what a spool holds in memory
        QVERIFY(m_env.readFile(QStringLiteral("one.json")) ==
                m_env.readFile(QStringLiteral("many.json")));
        QCOMPARE(schemaErrors(many), QString());
        const QJsonObject run = parse(m_env.readFile(QStringLiteral("many.json")));
        const QJsonArray pages = run.value(QStringLiteral("pages")).toArray();
        QCOMPARE(pages.size(), 3000);
        QCOMPARE(pages.first().toObject().value(QStringLiteral("address")).toString(),
                 QStringLiteral("f0/p0.htm"));
        QCOMPARE(findingsOf(pages.first().toObject()).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestMachineOutput)
#include "tst_machineoutput.moc"
