#include "installer.h"

#include "errors.h"

#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace platform {

bool startProgram(const QString& command, const QString& parameters, const QString& directory,
                  bool wait) {
    if (command.isEmpty() || !QFileInfo(command).isFile())
        return false;
    const QStringList args = QProcess::splitCommand(parameters);
    if (!wait)
        return QProcess::startDetached(command, args, directory);
    QProcess p;
    p.setProgram(command);
    p.setArguments(args);
    if (!directory.isEmpty())
        p.setWorkingDirectory(directory);
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start();
    if (!p.waitForStarted(-1))
        return false;
    p.waitForFinished(-1);
    return true;
}

QString QtInstaller::systemDirectory() {
    const QString dir = QStringLiteral("/usr/bin");
    if (!QFileInfo(dir).isDir())
        throw Error(QStringLiteral("The system directory %1 cannot be found.").arg(dir));
    return dir;
}

bool QtInstaller::start(const QString& command, const QString& parameters, const QString& directory,
                        bool wait) {
    return startProgram(command, parameters, directory, wait);
}

void QtInstaller::pause(int milliseconds) {
    QThread::msleep(ulong(milliseconds));
}

} // namespace platform
