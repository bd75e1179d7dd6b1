#include "unprivileged.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace testsupport {

namespace {

constexpr int kNobody = 65534;

} // namespace

bool runsUnprivileged(const char* testFunction) {
    if (::geteuid() != 0)
        return true;
    QTemporaryDir home;
    [&] {
        QVERIFY2(home.isValid() &&
                     ::chown(QFile::encodeName(home.path()).constData(), kNobody, kNobody) == 0,
                 "no home for the unprivileged run");
    }();
    if (QTest::currentTestFailed())
        return false;
    for (const char* sub : {"config", "run", "tmp"}) {
        const QString dir = home.path() + QLatin1Char('/') + QLatin1String(sub);
        QDir().mkpath(dir);
        (void)::chown(QFile::encodeName(dir).constData(), kNobody, kNobody);
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path() + QStringLiteral("/run"));
    env.insert(QStringLiteral("TMPDIR"), home.path() + QStringLiteral("/tmp"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"),
                {QStringLiteral("--reuid=%1").arg(kNobody),
                 QStringLiteral("--regid=%1").arg(kNobody), QStringLiteral("--clear-groups"),
                 QCoreApplication::applicationFilePath(), QLatin1String(testFunction)});
    const bool finished = child.waitForFinished(240000);
    if (!finished)
        child.kill();
    child.waitForFinished();
    const QByteArray output = child.readAll();
    [&] {
        QVERIFY2(finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 output.constData());
    }();
    return false;
}

} // namespace testsupport
