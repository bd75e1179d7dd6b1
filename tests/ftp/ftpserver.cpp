#include "ftpserver.h"

#include <QTcpServer>

namespace testsupport {

FtpServer::~FtpServer() {
    stop();
}

bool FtpServer::launch(const QString& script, const QStringList& args) {
    m_process.setProgram(QStringLiteral("/usr/bin/python3"));
    m_process.setArguments(QStringList{script} + args);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    // The first line is the port the server listens on.
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(10000))
            return false;
    }
    m_port = m_process.readLine().trimmed().toInt();
    return m_port > 0;
}

bool FtpServer::start(const QString& root, const QStringList& extra) {
    return launch(QStringLiteral(FTPD_SCRIPT), QStringList{root, QStringLiteral("--watch-stdin")} + extra);
}

bool FtpServer::startHostile(const QString& mode) {
    return launch(QStringLiteral(HOSTILE_SCRIPT), {mode});
}

void FtpServer::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

int closedPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const int port = s.serverPort();
    s.close();
    return port;
}

} // namespace testsupport
