#pragma once

// Certificates for the tests' TLS servers (FTPS, HTTPS).

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// A throwaway CA and a certificate it signed for 127.0.0.1, made with the openssl tool in a
// folder of their own, for servers that offer TLS.
class TestCertificates {
public:
    bool make();
    // The CA's certificate, to trust.
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    // The server's certificate and key in one file.
    QString serverFile() const { return m_dir.filePath(QStringLiteral("server.pem")); }

private:
    bool run(const QStringList& args) const;
    QTemporaryDir m_dir;
};

} // namespace testsupport
