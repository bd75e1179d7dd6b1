#include "versionfile.h"

#include "signing.h"

#include <QCryptographicHash>
#include <QFile>

namespace tidewell {

bool isPlainFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name.contains(QLatin1String("..")))
        return false;
    for (QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c.unicode() < 32)
            return false;
    return true;
}

bool parseVersionFile(const QStringList& lines, VersionInfo& info) {
    if (lines.size() < 2)
        return false;
    const QString& version = lines.at(0);
    const QString& package = lines.at(1);
    if (version.isEmpty() || version == QLatin1String("html") || package.isEmpty())
        return false;
    if (!isPlainFileName(package))
        return false;
    info.version = version;
    info.package = package;
    return true;
}

namespace {

struct RawLine {
    QByteArray text;
};

// Lines end in CR LF, LF or CR, as the plain rules read them.
QList<RawLine> rawLines(const QByteArray& bytes) {
    QList<RawLine> lines;
    qsizetype start = 0, i = 0;
    while (i < bytes.size()) {
        const char c = bytes.at(i);
        if (c == '\r' || c == '\n') {
            lines.append({bytes.mid(start, i - start)});
            i += (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < bytes.size())
        lines.append({bytes.mid(start)});
    return lines;
}

const QByteArray kSignature = "signature=";

} // namespace

bool checkSignature(const QByteArray& bytes, const TrustPolicy& policy, VersionInfo& info,
                    QString& cause) {
    info.isSigned = false;
    info.size = -1;
    info.sha256.clear();
    info.expires = {};
    const QList<RawLine> lines = rawLines(bytes);
    qsizetype signatureLine = -1;
    for (qsizetype i = 2; i < lines.size() && signatureLine < 0; ++i)
        if (lines[i].text.startsWith(kSignature))
            signatureLine = i;
    if (signatureLine < 0) {
        if (policy.signedOnly) {
            cause = QStringLiteral("It is not signed, and only signed updates are accepted.");
            return false;
        }
        return true;
    }
    for (qsizetype i = signatureLine + 1; i < lines.size(); ++i)
        if (!lines[i].text.trimmed().isEmpty()) {
            cause = QStringLiteral("Its signature is not its last line.");
            return false;
        }
    const auto signature =
        QByteArray::fromBase64Encoding(lines[signatureLine].text.mid(kSignature.size()).trimmed(),
                                       QByteArray::AbortOnBase64DecodingErrors);
    if (!signature || signature.decoded.size() != signing::kSignatureBytes) {
        cause = QStringLiteral("Its signature is malformed.");
        return false;
    }
    if (policy.keys.isEmpty()) {
        cause = QStringLiteral("It is signed, but no signing keys are known to this program.");
        return false;
    }
    // The maker signs the file with CR LF line ends; a text transfer may hand them over as LF,
    // so each signed line counts with CR LF after it.
    QByteArray message;
    for (qsizetype i = 0; i < signatureLine; ++i)
        message += lines[i].text + "\r\n";
    if (!signing::verify(message, signature.decoded, policy.keys)) {
        cause = QStringLiteral("Its signature does not match any known signing key.");
        return false;
    }

    // Only signed lines count from here on.
    qint64 size = -1;
    QByteArray sha256;
    QDateTime expires;
    QStringList seen;
    for (qsizetype i = 2; i < signatureLine; ++i) {
        const QByteArray& text = lines[i].text;
        const qsizetype eq = text.indexOf('=');
        if (text.trimmed().isEmpty() || eq <= 0)
            continue;
        const QString name = QString::fromLatin1(text.left(eq));
        const QByteArray value = text.mid(eq + 1).trimmed();
        if (seen.contains(name)) {
            cause = QStringLiteral("It names %1 twice.").arg(name);
            return false;
        }
        seen << name;
        bool ok = true;
        if (name == QLatin1String("size")) {
            size = value.toLongLong(&ok);
            ok = ok && size >= 0;
        } else if (name == QLatin1String("sha256")) {
            sha256 = QByteArray::fromHex(value);
            ok = value.size() == 64 && sha256.size() == 32 && sha256.toHex() == value.toLower();
        } else if (name == QLatin1String("expires")) {
            expires = signing::parseExpiry(QString::fromLatin1(value));
            ok = expires.isValid();
        }
        if (!ok) {
            cause = QStringLiteral("Its %1 value is malformed.").arg(name);
            return false;
        }
    }
    if (size < 0 || sha256.isEmpty()) {
        cause = QStringLiteral("It does not state the size and SHA-256 of its package.");
        return false;
    }
    if (expires.isValid() && policy.now >= expires) {
        cause = QStringLiteral("It expired on %1.").arg(signing::formatExpiry(expires));
        return false;
    }
    info.isSigned = true;
    info.size = size;
    info.sha256 = sha256;
    info.expires = expires;
    return true;
}

bool checkPackage(const QString& file, const VersionInfo& info, QString& cause) {
    if (!info.isSigned)
        return true;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        cause = QStringLiteral("The downloaded package cannot be read.");
        return false;
    }
    if (f.size() != info.size) {
        cause = QStringLiteral("The package has %1 bytes, not the %2 its version file states.")
                    .arg(f.size())
                    .arg(info.size);
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f) || hash.result() != info.sha256) {
        cause = QStringLiteral("The package's SHA-256 differs from the one its version file "
                               "states.");
        return false;
    }
    return true;
}

} // namespace tidewell
