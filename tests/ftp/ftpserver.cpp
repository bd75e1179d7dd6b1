#include "ftpserver.h"

#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>

namespace testsupport {

namespace {

const QString kLogName = QStringLiteral("commands.log");

} // namespace

FtpServer::~FtpServer() {
    stop();
}

bool FtpServer::launch(const QString& script, const QStringList& args) {
    if (!m_logDir.isValid())
        return false;
    // A server started again logs afresh.
    QFile::remove(m_logDir.filePath(kLogName));
    m_logStart = 0;
    m_process.setProgram(QStringLiteral("/usr/bin/python3"));
    m_process.setArguments(QStringList{script} + args +
                           QStringList{QStringLiteral("--log"), m_logDir.filePath(kLogName)});
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
    return launch(QStringLiteral(FTPD_SCRIPT),
                  QStringList{root, QStringLiteral("--watch-stdin")} + extra);
}

bool FtpServer::startHostile(const QString& mode) {
    return launch(QStringLiteral(HOSTILE_SCRIPT), {mode});
}

QByteArray FtpServer::readLog() const {
    QFile log(m_logDir.filePath(kLogName));
    if (!log.open(QIODevice::ReadOnly))
        return QByteArray();
    return log.readAll();
}

QStringList FtpServer::commands() const {
    const QByteArray log = readLog().mid(m_logStart);
    QStringList lines = QString::fromUtf8(log).split(QLatin1Char('\n'));
    lines.removeLast(); // what follows the last line's end: nothing, or a line being written
    return lines;
}

void FtpServer::clearCommands() {
    m_logStart = readLog().size();
}

void FtpServer::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool TestCertificates::run(const QStringList& args) const {
    QProcess p;
    p.setWorkingDirectory(m_dir.path());
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("openssl"), args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool TestCertificates::make() {
    if (!m_dir.isValid())
        return false;
    const QStringList key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    {
        QFile ext(m_dir.filePath(QStringLiteral("server.ext")));
        if (!ext.open(QIODevice::WriteOnly) ||
            ext.write("subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n") < 0)
            return false;
    }
    if (!run(QStringList{"req", "-x509"} + key +
             QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj",
                         "/CN=Throwaway Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                         "-addext", "keyUsage=critical,keyCertSign,cRLSign"}) ||
        !run(
            QStringList{"req"} + key +
            QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"}) ||
        !run({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
              "-CAcreateserial", "-out", "server.crt", "-days", "2", "-extfile", "server.ext"}))
        return false;
    QFile crt(m_dir.filePath(QStringLiteral("server.crt")));
    QFile pkey(m_dir.filePath(QStringLiteral("server.key")));
    QFile pem(serverFile());
    if (!crt.open(QIODevice::ReadOnly) || !pkey.open(QIODevice::ReadOnly) ||
        !pem.open(QIODevice::WriteOnly))
        return false;
    return pem.write(crt.readAll() + pkey.readAll()) > 0;
}

int closedPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const int port = s.serverPort();
    s.close();
    return port;
}

QStringList portsMasked(const QStringList& commands) {
    static const QRegularExpression eprt(QStringLiteral("^(EPRT \\|\\d\\|[^|]*\\|)\\d+\\|$"));
    static const QRegularExpression port(QStringLiteral("^(PORT \\d+,\\d+,\\d+,\\d+,)\\d+,\\d+$"));
    QStringList out;
    for (QString c : commands) {
        c.replace(eprt, QStringLiteral("\\1*|"));
        c.replace(port, QStringLiteral("\\1*"));
        out << c;
    }
    return out;
}

} // namespace testsupport
