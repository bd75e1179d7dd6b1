// --help and --version of the two windowed programs: answered on standard output before any
// window is made, so they work where no display is.
#include <QProcess>
#include <QtTest>

class TestInfoOptions : public QObject {
    Q_OBJECT

private slots:
    void answers_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("firstLine");
        const QString version = QStringLiteral(QM_VERSION);
        for (const char* program : {QUILLMARK_EXE, TIDEWELL_EXE}) {
            const QString name = QFileInfo(QString::fromLocal8Bit(program)).fileName();
            QTest::addRow("%s --version", qPrintable(name))
                << QString::fromLocal8Bit(program) << QStringList{"--version"}
                << name + QLatin1Char(' ') + version;
            QTest::addRow("%s --help", qPrintable(name))
                << QString::fromLocal8Bit(program) << QStringList{"--help"}
                << QStringLiteral("Usage: %1 [--help] [--version]").arg(name);
            QTest::addRow("%s -h after another argument", qPrintable(name))
                << QString::fromLocal8Bit(program) << QStringList{"extra", "-h"}
                << QStringLiteral("Usage: %1 [--help] [--version]").arg(name);
        }
    }

    void answers() {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QString, firstLine);
        // No display: a program that made its window here would fail to start.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, arguments);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(out.section(QLatin1Char('\n'), 0, 0), firstLine);
        QVERIFY2(p.readAllStandardError().isEmpty(), "nothing on standard error");
    }
};

QTEST_GUILESS_MAIN(TestInfoOptions)
#include "tst_infooptions.moc"
