#include "serverprocess.h"

#include <csignal>

#include <sys/prctl.h>

namespace testsupport {

void diesWithTest(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

void killProcess(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

int startPortServer(QProcess& process, const QStringList& arguments) {
    process.setProgram(QStringLiteral("/usr/bin/python3"));
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    diesWithTest(process);
    process.start();
    if (!process.waitForStarted(5000))
        return 0;
    while (!process.canReadLine())
        if (!process.waitForReadyRead(10000))
            return 0;
    return process.readLine().trimmed().toInt();
}

} // namespace testsupport
