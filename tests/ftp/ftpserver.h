#pragma once

// FTP servers for the tests: pyftpdlib on a folder, or the hostile scripted server, each on
// 127.0.0.1 and a free port, stopped by its process.

#include <QProcess>
#include <QString>
#include <QStringList>

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

private:
    bool launch(const QString& script, const QStringList& args);
    QProcess m_process;
    int m_port = 0;
};

// A port on 127.0.0.1 that nothing listens on (bound, then released).
int closedPort();

} // namespace testsupport
