#include "support/testenv.h"

#include <QProcess>
#include <QtTest>

// Two real processes of the program, named as the program is.
class TestSecondCopy : public QObject {
    Q_OBJECT
private slots:
    void secondCopyEndsAndLeavesTheFirst() {
        testsupport::TestEnv env;
        // The guard is named after the executable's file name: both copies are "quillmark".
        const QString dirA = env.path(QStringLiteral("a")), dirB = env.path(QStringLiteral("b"));
        QDir().mkpath(dirA);
        QDir().mkpath(dirB);
        QVERIFY(QFile::copy(QStringLiteral(TESTHOST), dirA + QStringLiteral("/quillmark")));
        QVERIFY(QFile::copy(QStringLiteral(TESTHOST), dirB + QStringLiteral("/quillmark")));
        QFile::setPermissions(dirA + QStringLiteral("/quillmark"),
                              QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
        QFile::setPermissions(dirB + QStringLiteral("/quillmark"),
                              QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);

        QProcessEnvironment pe = testsupport::programEnvironment(env, QStringLiteral("offscreen"));

        QProcess first;
        QProcessEnvironment e1 = pe;
        e1.insert(QStringLiteral("QM_DIALOG_LOG"), env.path(QStringLiteral("first.log")));
        first.setProcessEnvironment(e1);
        first.start(dirA + QStringLiteral("/quillmark"));
        QVERIFY(first.waitForReadyRead(60000));
        QCOMPARE(first.readAllStandardOutput().trimmed(), QByteArray("running"));

        QProcess second;
        QProcessEnvironment e2 = pe;
        e2.insert(QStringLiteral("QM_DIALOG_LOG"), env.path(QStringLiteral("second.log")));
        second.setProcessEnvironment(e2);
        second.start(dirB + QStringLiteral("/quillmark"));
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(env.readFile(QStringLiteral("second.log")),
                 QByteArray("A copy of Quillmark is already running\n"));
        QVERIFY(second.readAllStandardOutput().isEmpty()); // its window never came up

        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(env.readFile(QStringLiteral("first.log")).isEmpty());
        first.terminate();
        QVERIFY(first.waitForFinished(30000));
    }
};

QTEST_GUILESS_MAIN(TestSecondCopy)
#include "tst_secondcopy.moc"
