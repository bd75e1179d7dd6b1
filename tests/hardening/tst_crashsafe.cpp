#include "analysis/results/resultsfile.h"
#include "platform/registrystore.h"
#include "platform/textfile.h"
#include "support/testenv.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

// A process killed at a random moment while it writes leaves each file old or new, never torn.
class TestCrashSafe : public QObject {
    Q_OBJECT

    // Starts the writer, kills it after a random pause, and hands the file to `check`.
    template <typename Check> void killRepeatedly(const QStringList& args, int runs, Check check) {
        for (int run = 0; run < runs; ++run) {
            QProcess writer;
            writer.start(QStringLiteral(CRASH_WRITER), args);
            QVERIFY2(writer.waitForReadyRead(30000), writer.readAllStandardError().constData());
            QTest::qWait(int(QRandomGenerator::global()->bounded(1, 40)));
            writer.kill();
            QVERIFY(writer.waitForFinished(10000));
            check();
        }
    }

    static bool isAllOf(const QString& s, QChar c, qsizetype size) {
        return s.size() == size && s.count(c) == size;
    }

private slots:
    void registryFile() {
        testsupport::TestEnv env;
        const QString path = env.registryPath();
        killRepeatedly({QStringLiteral("registry"), path}, 8, [&] {
            platform::RegistryStore reg(path);
            QVERIFY(reg.openKeyReadOnly(QStringLiteral("\\Software\\VRNH\\Quillmark")));
            const QString v = reg.readString(QStringLiteral("big"));
            QVERIFY2(isAllOf(v, QLatin1Char('a'), 200000) || isAllOf(v, QLatin1Char('b'), 200000),
                     "torn registry file");
            // The killed writer's lock does not block the next one.
            platform::RegistryStore next(path);
            QVERIFY(next.openKey(QStringLiteral("\\Software\\VRNH\\Quillmark"), true));
            QVERIFY(next.writeString(QStringLiteral("after"), QStringLiteral("1")));
        });
    }

    void resultsFile() {
        testsupport::TestEnv env;
        const QString path = env.path(QStringLiteral("Results.rls"));
        killRepeatedly({QStringLiteral("results"), path}, 8, [&] {
            const QStringList lines = results::readResultsFile(path);
            QCOMPARE(lines.size(), 2);
            QVERIFY2(isAllOf(lines.at(1), QLatin1Char('a'), 200000) ||
                         isAllOf(lines.at(1), QLatin1Char('b'), 200000),
                     "torn results file");
        });
    }

    void pageThroughTheWebHost() {
        testsupport::TestEnv env;
        const QByteArray head = "<html>\r\n<head>\r\n<meta name=\"keywords\" content=\"";
        const QByteArray tail = "\">\r\n</head>\r\n<body>x</body>\r\n</html>\r\n";
        env.writeFile(QStringLiteral("web/p.htm"), head + QByteArray(200000, 'a') + tail);
        const QString page = env.path(QStringLiteral("web/p.htm"));
        killRepeatedly({QStringLiteral("page"), env.path(QStringLiteral("web")),
                        QStringLiteral("p.htm"), env.registryPath()},
                       8, [&] {
                           const QByteArray bytes = platform::readFileBytes(page);
                           QVERIFY2(bytes == head + QByteArray(200000, 'a') + tail ||
                                        bytes == head + QByteArray(200000, 'b') + tail,
                                    "torn page");
                       });
    }
};

QTEST_GUILESS_MAIN(TestCrashSafe)
#include "tst_crashsafe.moc"
