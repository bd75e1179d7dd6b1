#pragma once

// FTP servers for the tests: pyftpdlib on a folder, or the hostile scripted server, each on
// 127.0.0.1 and a free port, stopped by its process. Each logs the command lines it receives.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "support/certificates.h"

namespace testsupport {

class FtpServer {
public:
    FtpServer() = default;
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    // pyftpdlib serving `root` (user "qmzvb", password "qmz7719" unless extra says otherwise).
    bool start(const QString& root, const QStringList& extra = {});
    // The hostile server in one of its modes.
    bool startHostile(const QString& mode);
    void stop();
    int port() const { return m_port; }

    // Every command line the server received since it started or since clearCommands, in the
    // order of arrival, as sent (the password too). A command is logged before it is answered,
    // so once the client has its reply, the command is here.
    QStringList commands() const;
    void clearCommands();

private:
    bool launch(const QString& script, const QStringList& args);
    QByteArray readLog() const;
    QProcess m_process;
    int m_port = 0;
    QTemporaryDir m_logDir;
    qint64 m_logStart = 0;
};

// A port on 127.0.0.1 that nothing listens on (bound, then released).
int closedPort();

// The commands with the client's data port, which changes from run to run, as "*":
// "EPRT |1|127.0.0.1|*|", "PORT 127,0,0,1,*".
QStringList portsMasked(const QStringList& commands);

} // namespace testsupport
