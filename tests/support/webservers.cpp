#include "webservers.h"

#include "serverprocess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

bool connects(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

QStringList fileLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    lines.removeLast(); // after the last line's end: nothing, or a line being written
    return lines;
}

} // namespace

int freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = 0;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

NginxServer::~NginxServer() {
    stop();
}

bool NginxServer::start(const QString& root, const QString& serverConfig,
                        const QString& httpConfig) {
    stop();
    if (!m_dir.isValid())
        return false;
    if (!m_haveCertificates)
        m_haveCertificates = m_certificates.make();
    if (!m_haveCertificates)
        return false;
    for (const char* sub : {"logs", "temp"})
        QDir(m_dir.path()).mkpath(QString::fromLatin1(sub));
    // A port taken between our probe and nginx's bind: try again with others.
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = freeLoopbackPort();
        m_httpsPort = freeLoopbackPort();
        if (m_port == 0 || m_httpsPort == 0 || m_port == m_httpsPort)
            continue;
        const QString prefix = m_dir.path();
        const QString conf =
            QStringLiteral(
                "worker_processes 1;\n"
                "master_process off;\n"
                "pid %1/nginx.pid;\n"
                "error_log %1/logs/error.log info;\n"
                "events { worker_connections 512; }\n"
                "http {\n"
                "  log_format qm '$connection $status $body_bytes_sent \"$http_x_test\" "
                "\"$request\" "
                "\"$http_user_agent\"';\n"
                "  access_log %1/logs/access.log qm;\n"
                "  client_body_temp_path %1/temp/body;\n"
                "  proxy_temp_path %1/temp/proxy;\n"
                "  fastcgi_temp_path %1/temp/fastcgi;\n"
                "  uwsgi_temp_path %1/temp/uwsgi;\n"
                "  scgi_temp_path %1/temp/scgi;\n"
                "  types { text/html html htm; application/xhtml+xml xhtml; text/plain txt;\n"
                "          application/pdf pdf; application/xml xml; text/css css; }\n"
                "  default_type application/octet-stream;\n"
                "  keepalive_requests 10000;\n"
                "  %2\n"
                "  server {\n"
                "    listen 127.0.0.1:%3;\n"
                "    listen 127.0.0.1:%4 ssl http2;\n"
                "    server_name localhost;\n"
                "    ssl_certificate %5;\n"
                "    ssl_certificate_key %5;\n"
                "    root %6;\n"
                "    %7\n"
                "  }\n"
                "}\n")
                .arg(prefix, httpConfig)
                .arg(m_port)
                .arg(m_httpsPort)
                .arg(m_certificates.serverFile(), root, serverConfig);
        QFile f(m_dir.filePath(QStringLiteral("nginx.conf")));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(conf.toUtf8()) < 0)
            return false;
        f.close();
        QFile::remove(m_dir.filePath(QStringLiteral("logs/access.log")));
        m_process.setProgram(QStringLiteral("/usr/sbin/nginx"));
        m_process.setArguments({QStringLiteral("-p"), prefix, QStringLiteral("-e"),
                                m_dir.filePath(QStringLiteral("logs/error.log")),
                                QStringLiteral("-c"), f.fileName(), QStringLiteral("-g"),
                                QStringLiteral("daemon off;")});
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        diesWithTest(m_process);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running &&
               !(connects(m_port) && connects(m_httpsPort)))
            QThread::msleep(20);
        if (m_process.state() == QProcess::Running && connects(m_port) && connects(m_httpsPort)) {
            // The probes are in the access log's connection numbers only if they sent a
            // request; they did not.
            return true;
        }
        killProcess(m_process);
    }
    return false;
}

void NginxServer::stop() {
    killProcess(m_process);
}

QString NginxServer::url() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

QString NginxServer::httpsUrl() const {
    return QStringLiteral("https://127.0.0.1:%1/").arg(m_httpsPort);
}

QStringList NginxServer::accessLog() const {
    return fileLines(m_dir.filePath(QStringLiteral("logs/access.log")));
}

QString NginxServer::errorLog() const {
    QFile f(m_dir.filePath(QStringLiteral("logs/error.log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

ScriptedHttpServer::~ScriptedHttpServer() {
    stop();
}

bool ScriptedHttpServer::start(const QString& mode, const QStringList& extra) {
    stop();
    if (!m_dir.isValid())
        return false;
    const QString log = m_dir.filePath(QStringLiteral("requests.log"));
    QFile::remove(log);
    m_port = startPortServer(m_process, QStringList{QStringLiteral(HOSTILE_HTTPD_SCRIPT), mode,
                                                    QStringLiteral("--log"), log} +
                                            extra);
    return m_port > 0;
}

void ScriptedHttpServer::stop() {
    killProcess(m_process);
}

QString ScriptedHttpServer::url() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

QStringList ScriptedHttpServer::log() const {
    return fileLines(m_dir.filePath(QStringLiteral("requests.log")));
}

QStringList ScriptedHttpServer::requests() const {
    QStringList paths;
    for (const QString& line : log())
        if (line.startsWith(QLatin1String("GET ")))
            paths << line.mid(4);
    return paths;
}

int ScriptedHttpServer::peakConnections() const {
    int peak = 0;
    for (const QString& line : log())
        if (line.startsWith(QLatin1String("open ")))
            peak = std::max(peak, line.mid(5).toInt());
    return peak;
}

} // namespace testsupport
