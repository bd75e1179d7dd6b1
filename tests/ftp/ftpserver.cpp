#include "ftpserver.h"

#include "support/serverprocess.h"

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
    m_port = testsupport::startPortServer(
        m_process, QStringList{script} + args +
                       QStringList{QStringLiteral("--log"), m_logDir.filePath(kLogName)});
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
    testsupport::killProcess(m_process);
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
