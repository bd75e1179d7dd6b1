#include "platform/singleinstance.h"

#include <QProcess>
#include <QtTest>

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void liveHolderBlocksDeadOneDoesNot() {
        const QString name =
            QStringLiteral("guard-test-%1").arg(QCoreApplication::applicationPid());
        QProcess holder;
        holder.start(QStringLiteral(LOCK_HOLDER), {name});
        QVERIFY(holder.waitForReadyRead(20000));
        QCOMPARE(holder.readAll().trimmed(), QByteArray("locked"));

        platform::SingleInstance second(name);
        QVERIFY(!second.tryAcquire());
        QVERIFY(!second.tryAcquire());

        holder.kill(); // no chance to remove its lock file
        QVERIFY(holder.waitForFinished());
        QVERIFY(QFile::exists(second.lockPath()));
        QVERIFY(second.tryAcquire());
    }

    void emptyLockOfACopyThatDiedStarting() {
        platform::SingleInstance guard(
            QStringLiteral("guard-empty-%1").arg(QCoreApplication::applicationPid()));
        QFile lock(guard.lockPath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                 QFileDevice::FileModificationTime));
        lock.close();
        QVERIFY(guard.tryAcquire());
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
