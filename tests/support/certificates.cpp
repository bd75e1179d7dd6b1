#include "certificates.h"

#include <QFile>
#include <QProcess>

namespace testsupport {

bool TestCertificates::run(const QStringList& args) const {
    QProcess p;
    p.setWorkingDirectory(m_dir.path());
    // Its chatter is shown only when it fails.
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    const bool made =
        p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!made)
        qWarning("openssl %s: %s", qPrintable(args.join(QLatin1Char(' '))),
                 p.readAll().constData());
    return made;
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

} // namespace testsupport
