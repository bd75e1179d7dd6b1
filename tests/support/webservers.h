#pragma once

// Web servers for the tests, on 127.0.0.1 and free ports, run as the test's own processes and
// stopped by their process: nginx serving a folder over HTTP and HTTPS, and a scripted server
// for hostile answers.

#include "support/certificates.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// A free TCP port on 127.0.0.1 (bound, then released).
int freeLoopbackPort();

class NginxServer {
public:
    NginxServer() = default;
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    // Serves `root` on a plain and a TLS port (HTTP/1.1, and HTTP/2 over TLS). `serverConfig`
    // goes into the server block (locations, redirects, error pages, gzip, charset);
    // `httpConfig` into the http block.
    bool start(const QString& root, const QString& serverConfig = {},
               const QString& httpConfig = {});
    void stop();

    QString url() const;      // "http://127.0.0.1:<port>/"
    QString httpsUrl() const; // "https://127.0.0.1:<port>/"
    QString caFile() const { return m_certificates.caFile(); }
    int port() const { return m_port; }
    int httpsPort() const { return m_httpsPort; }
    // The access log's lines: "<connection> <status> <request line> <user agent>".
    QStringList accessLog() const;
    QString errorLog() const;

private:
    QTemporaryDir m_dir;
    TestCertificates m_certificates;
    bool m_haveCertificates = false;
    QProcess m_process;
    int m_port = 0;
    int m_httpsPort = 0;
};

// tests/webhost/hostile_httpd.py in one of its modes: redirect-loop, endless, huge-length,
// stall-headers, stall-silent, malformed, gzip-bomb, many-links, other-origin, slow-pages,
// record. It logs what it saw, one line each: "open <connections open>", "GET <path>".
class ScriptedHttpServer {
public:
    ScriptedHttpServer() = default;
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    bool start(const QString& mode, const QStringList& extra = {});
    void stop();
    int port() const { return m_port; }
    QString url() const; // "http://127.0.0.1:<port>/"
    QStringList log() const;
    // The requests' paths, in the order they came.
    QStringList requests() const;
    // The most connections that were open at once.
    int peakConnections() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

} // namespace testsupport
