// The checker in other people's pipelines: the pre-commit hook this repository offers, run by
// pre-commit itself, and the GitHub Actions example, read as YAML as the README shows it.
#include "support/testenv.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString kSource = QStringLiteral(SOURCE_DIR);

struct Outcome {
    int status = -1;
    QByteArray out;
};

Outcome runIn(const QString& folder, const QString& program, const QStringList& args,
              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAll()};
}

// A YAML file as JSON, read by PyYAML with YAML 1.2's booleans (only true and false), as
// GitHub reads a workflow: YAML 1.1 would take the key `on` for true.
QJsonValue readYaml(const QString& path) {
    static const char* const kScript =
        "import json, re, sys, yaml\n"
        "class Loader(yaml.SafeLoader): pass\n"
        "Loader.yaml_implicit_resolvers = {k: [r for r in v if r[0] != 'tag:yaml.org,2002:bool']\n"
        "    for k, v in yaml.SafeLoader.yaml_implicit_resolvers.items()}\n"
        "Loader.add_implicit_resolver('tag:yaml.org,2002:bool',\n"
        "    re.compile(r'^(?:true|True|TRUE|false|False|FALSE)$'), list('tTfF'))\n"
        "with open(sys.argv[1], encoding='utf-8') as f:\n"
        "    json.dump({'yaml': yaml.load(f, Loader=Loader)}, sys.stdout)\n";
    const Outcome o = runIn(QDir::currentPath(), QStringLiteral("/usr/bin/python3"),
                            {QStringLiteral("-c"), QLatin1String(kScript), path});
    if (o.status != 0) {
        qWarning("%s: %s", qPrintable(path), o.out.constData());
        return QJsonValue::Undefined;
    }
    return QJsonDocument::fromJson(o.out).object().value(QLatin1String("yaml"));
}

// The fenced ```yaml blocks of a Markdown file.
QStringList yamlBlocks(const QString& markdown) {
    static const QRegularExpression block(QStringLiteral("^```yaml\\n(.*?)^```$"),
                                          QRegularExpression::MultilineOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    QStringList blocks;
    for (const QRegularExpressionMatch& m : block.globalMatch(markdown))
        blocks.append(m.captured(1));
    return blocks;
}

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A step of a workflow job by what it uses or, for a run step, by a word of its command.
QJsonObject stepWith(const QJsonArray& steps, const QString& uses, const QString& runs = {}) {
    for (const QJsonValue& s : steps) {
        const QJsonObject step = s.toObject();
        if (!uses.isEmpty() && step.value(QLatin1String("uses")).toString().startsWith(uses))
            return step;
        if (!runs.isEmpty() && step.value(QLatin1String("run")).toString().contains(runs))
            return step;
    }
    return {};
}

} // namespace

class TestCiExamples : public QObject {
    Q_OBJECT

    testsupport::TestEnv m_env;

    void git(const QString& folder, const QStringList& args) {
        const Outcome o = runIn(
            folder, QStringLiteral("git"),
            QStringList{"-c", "user.name=Test", "-c", "user.email=test@example.invalid"} + args);
        QVERIFY2(o.status == 0, o.out.constData());
    }

private slots:
    void initTestCase() { QVERIFY(QFileInfo(QStringLiteral(CHECK_EXE)).isExecutable()); }

    // The hook runs the checker once on the whole web, and only for commits that touch a page.
    void preCommitHook() {
        const QJsonArray hooks =
            readYaml(kSource + QStringLiteral("/.pre-commit-hooks.yaml")).toArray();
        QCOMPARE(hooks.size(), 1);
        const QJsonObject hook = hooks.first().toObject();
        QCOMPARE(hook.value(QLatin1String("id")).toString(), QStringLiteral("quillmark-check"));
        QCOMPARE(hook.value(QLatin1String("entry")).toString(), QStringLiteral("quillmark-check"));
        QCOMPARE(hook.value(QLatin1String("language")).toString(), QStringLiteral("system"));
        QCOMPARE(hook.value(QLatin1String("pass_filenames")), QJsonValue(false));
        QCOMPARE(hook.value(QLatin1String("args")).toArray(), QJsonArray{QStringLiteral(".")});
        QVERIFY(!hook.value(QLatin1String("name")).toString().isEmpty());

        // The pages the checker checks, and nothing else.
        const QRegularExpression files(hook.value(QLatin1String("files")).toString());
        QVERIFY2(files.isValid(), qPrintable(files.errorString()));
        for (const char* page : {"index.htm", "a/b.HTML", "news.shtml", "x.shtm", "old.ASP"})
            QVERIFY2(files.match(QLatin1String(page)).hasMatch(), page);
        for (const char* other : {"notes.txt", "style.css", "logo.gif", "htm", "page.htm.bak"})
            QVERIFY2(!files.match(QLatin1String(other)).hasMatch(), other);
    }

    // pre-commit itself, offline, on a web in a git repository with the built checker on PATH:
    // it passes a good web, fails one with a failing page and shows that page, and skips a
    // change that touches no page.
    void preCommitRuns() {
        const QString preCommit = QStringLiteral("/usr/bin/pre-commit");
        QVERIFY2(QFileInfo(preCommit).isExecutable(), "pre-commit (scripts/setup.sh installs it)");
        const QString hooks = m_env.path(QStringLiteral("hooks"));
        const QString site = m_env.path(QStringLiteral("site"));
        QVERIFY(QDir().mkpath(hooks));
        QVERIFY(QDir().mkpath(site));
        QVERIFY(QFile::copy(kSource + QStringLiteral("/.pre-commit-hooks.yaml"),
                            hooks + QStringLiteral("/.pre-commit-hooks.yaml")));
        git(hooks, {"init", "-q"});
        git(hooks, {"add", "."});
        git(hooks, {"commit", "-q", "-m", "hooks"});
        const QString fixtures = testsupport::fixturePath(QStringLiteral("batchweb"));
        for (const char* name : {"good.htm", "notes.txt"})
            QVERIFY(QFile::copy(fixtures + QLatin1Char('/') + QLatin1String(name),
                                site + QLatin1Char('/') + QLatin1String(name)));
        git(site, {"init", "-q"});
        git(site, {"add", "."});

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), QFileInfo(QStringLiteral(CHECK_EXE)).path() +
                                               QLatin1Char(':') +
                                               env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("PRE_COMMIT_HOME"), m_env.path(QStringLiteral("pre-commit")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_env.path(QStringLiteral("config")));
        const auto tryHook = [&](const QStringList& which) {
            return runIn(
                site, preCommit,
                QStringList{"try-repo", hooks, "quillmark-check", "--color", "never"} + which, env);
        };

        const Outcome good = tryHook({"--all-files"});
        QVERIFY2(good.status == 0, good.out.constData());
        QVERIFY2(good.out.contains("Passed"), good.out.constData());

        QVERIFY(QFile::copy(fixtures + QStringLiteral("/nometa1.htm"),
                            site + QStringLiteral("/nometa1.htm")));
        git(site, {"add", "."});
        const Outcome bad = tryHook({"--all-files"});
        QCOMPARE(bad.status, 1);
        QVERIFY2(bad.out.contains("Failed"), bad.out.constData());
        QVERIFY2(bad.out.contains("File = nometa1.htm"), bad.out.constData());

        const Outcome noPage = tryHook({"--files", "notes.txt"});
        QVERIFY2(noPage.status == 0, noPage.out.constData());
        QVERIFY2(noPage.out.contains("Skipped"), noPage.out.constData());
    }

    // The workflow of docs/examples is the README's, and has the steps that make it work: the
    // checker installed, run with SARIF and JUnit output, the SARIF file uploaded even though a
    // failed page fails the step, and the JUnit file kept.
    void gitHubWorkflow() {
        const QString file = kSource + QStringLiteral("/docs/examples/quillmark-check.yml");
        QVERIFY(
            yamlBlocks(readText(kSource + QStringLiteral("/README.md"))).contains(readText(file)));

        const QJsonObject workflow = readYaml(file).toObject();
        const QJsonObject on = workflow.value(QLatin1String("on")).toObject();
        QVERIFY(on.contains(QLatin1String("push")));
        QVERIFY(on.contains(QLatin1String("pull_request")));
        QCOMPARE(workflow.value(QLatin1String("permissions"))
                     .toObject()
                     .value(QLatin1String("security-events"))
                     .toString(),
                 QStringLiteral("write"));
        const QJsonObject jobs = workflow.value(QLatin1String("jobs")).toObject();
        QCOMPARE(jobs.size(), 1);
        const QJsonObject job = jobs.begin()->toObject();
        QVERIFY(job.contains(QLatin1String("runs-on")));
        const QJsonArray steps = job.value(QLatin1String("steps")).toArray();

        const auto indexOf = [&](const QJsonObject& step) {
            for (int i = 0; i < steps.size(); ++i)
                if (steps.at(i).toObject() == step)
                    return i;
            return -1;
        };
        const QJsonObject checkout = stepWith(steps, QStringLiteral("actions/checkout@"));
        const QJsonObject install = stepWith(steps, {}, QStringLiteral("apt-get install"));
        const QJsonObject check = stepWith(steps, {}, QStringLiteral("quillmark-check "));
        const QJsonObject upload =
            stepWith(steps, QStringLiteral("github/codeql-action/upload-sarif@"));
        const QJsonObject artifact = stepWith(steps, QStringLiteral("actions/upload-artifact@"));
        for (const QJsonObject* step : {&checkout, &install, &check, &upload, &artifact})
            QVERIFY(!step->isEmpty());
        QVERIFY(indexOf(checkout) < indexOf(check));
        QVERIFY(indexOf(install) < indexOf(check));
        QVERIFY(indexOf(check) < indexOf(upload));
        QVERIFY(indexOf(check) < indexOf(artifact));

        // The command as a shell splits it: the SARIF and JUnit files named, the web last.
        const QStringList command =
            check.value(QLatin1String("run"))
                .toString()
                .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        QCOMPARE(command.first(), QStringLiteral("quillmark-check"));
        QCOMPARE(command.last(), QStringLiteral("."));
        const auto valueOf = [&](const char* option) {
            const qsizetype at = command.indexOf(QLatin1String(option));
            return at > 0 && at + 1 < command.size() ? command.at(at + 1) : QString();
        };
        const QString sarif = valueOf("--sarif");
        const QString junit = valueOf("--junit");
        QCOMPARE(sarif, QStringLiteral("quillmark.sarif"));
        QVERIFY(!junit.isEmpty());

        const QJsonObject with = upload.value(QLatin1String("with")).toObject();
        QCOMPARE(with.value(QLatin1String("sarif_file")).toString(), sarif);
        QVERIFY(artifact.value(QLatin1String("with"))
                    .toObject()
                    .value(QLatin1String("path"))
                    .toString()
                    .split(QLatin1Char('\n'))
                    .contains(junit));
        // Status 1 for a failed page would skip a step that runs on success only.
        for (const QJsonObject* step : {&upload, &artifact}) {
            const QString condition = step->value(QLatin1String("if")).toString();
            QVERIFY2(condition.contains(QLatin1String("always()")) ||
                         condition.contains(QLatin1String("cancelled()")) ||
                         condition.contains(QLatin1String("failure()")),
                     qPrintable(condition));
        }
    }

    // The README's .pre-commit-config.yaml takes the hook from this repository by its id.
    void preCommitConfigInReadme() {
        bool found = false;
        for (const QString& block : yamlBlocks(readText(kSource + QStringLiteral("/README.md")))) {
            if (!block.startsWith(QLatin1String("repos:")))
                continue;
            const QString path = m_env.path(QStringLiteral("pre-commit-config.yaml"));
            m_env.writeFile(QStringLiteral("pre-commit-config.yaml"), block.toUtf8());
            const QJsonArray repos =
                readYaml(path).toObject().value(QLatin1String("repos")).toArray();
            QCOMPARE(repos.size(), 1);
            const QJsonObject repo = repos.first().toObject();
            QVERIFY(!repo.value(QLatin1String("rev")).toString().isEmpty());
            QCOMPARE(repo.value(QLatin1String("hooks"))
                         .toArray()
                         .first()
                         .toObject()
                         .value(QLatin1String("id")),
                     QJsonValue(QStringLiteral("quillmark-check")));
            found = true;
        }
        QVERIFY(found);
    }
};

QTEST_GUILESS_MAIN(TestCiExamples)
#include "tst_ciexamples.moc"
