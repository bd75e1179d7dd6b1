// tidewell-feed: the maker's tool that makes signing keys, signs version files and checks them.

#include "platform/errors.h"
#include "platform/infooptions.h"
#include "platform/textfile.h"
#include "updater/signing.h"
#include "updater/versionfile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <cstdio>
#include <exception>

using namespace tidewell;

namespace {

const char* const kUsage =
    "usage: tidewell-feed keygen --out NAME\n"
    "       tidewell-feed sign --key NAME.key --package FILE --version V [--expires DAYS]\n"
    "       tidewell-feed verify --key NAME.pub FILE [--package PACKAGE]\n";

struct Failure {
    QString text;
    int code;
};

void fail(const QString& text, int code = 1) {
    throw Failure{text, code};
}

// "--name value" options after the command; the rest are plain arguments.
struct Options {
    QStringList plain;
    QList<std::pair<QString, QString>> named;
    QString value(const char* name) const {
        for (const auto& [n, v] : named)
            if (n == QLatin1String(name))
                return v;
        return {};
    }
    bool has(const char* name) const {
        for (const auto& [n, v] : named)
            if (n == QLatin1String(name))
                return true;
        return false;
    }
};

Options parseOptions(const QStringList& args, const QStringList& known) {
    Options o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith(QLatin1String("--"))) {
            o.plain << a;
            continue;
        }
        const QString name = a.mid(2);
        if (!known.contains(name))
            fail(QStringLiteral("unknown option %1").arg(a), 2);
        if (i + 1 >= args.size())
            fail(QStringLiteral("%1 needs a value").arg(a), 2);
        o.named.append({name, args[++i]});
    }
    return o;
}

QByteArray readFile(const QString& path, const char* what) {
    try {
        return platform::readFileBytes(path);
    } catch (const platform::Error& e) {
        fail(QStringLiteral("cannot read the %1 %2: %3")
                 .arg(QLatin1String(what), path, e.message()));
    }
    return {};
}

// A new file only, made with its final mode so the secret key is never readable by others.
void writeFile(const QString& path, const QByteArray& bytes, mode_t mode) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        fail(QStringLiteral("cannot write %1: %2")
                 .arg(path, QString::fromLocal8Bit(strerror(errno))));
    bool ok = ::fchmod(fd, mode) == 0 &&
              ::write(fd, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(native.constData());
        fail(QStringLiteral("cannot write %1").arg(path));
    }
}

int keygen(const Options& o) {
    const QString out = o.value("out");
    if (out.isEmpty() || !o.plain.isEmpty())
        fail(QStringLiteral("keygen needs --out NAME"), 2);
    const signing::KeyPair pair = signing::generateKeyPair();
    const QString secret = out + QStringLiteral(".key"), pub = out + QStringLiteral(".pub");
    if (QFileInfo::exists(secret) || QFileInfo::exists(pub))
        fail(QStringLiteral("%1 or %2 exists already; keys are not replaced").arg(secret, pub));
    writeFile(secret, pair.secretKey.toBase64() + '\n', 0600);
    writeFile(pub, pair.publicKey.toBase64() + '\n', 0644);
    return 0;
}

QByteArray readSecretKey(const QString& path) {
    const auto decoded = QByteArray::fromBase64Encoding(readFile(path, "key").trimmed(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != signing::kSecretKeyBytes)
        fail(QStringLiteral("%1 is not a secret key made by keygen").arg(path));
    return decoded.decoded;
}

int signFeed(const Options& o) {
    const QString keyFile = o.value("key"), package = o.value("package"),
                  version = o.value("version");
    if (keyFile.isEmpty() || package.isEmpty() || version.isEmpty() || !o.plain.isEmpty())
        fail(QStringLiteral("sign needs --key, --package and --version"), 2);
    int days = 90;
    if (o.has("expires")) {
        bool ok = false;
        days = o.value("expires").toInt(&ok);
        if (!ok || days <= 0)
            fail(QStringLiteral("--expires takes a number of days above 0"), 2);
    }
    const QString name = QFileInfo(package).fileName();
    VersionInfo info;
    if (!parseVersionFile({version, name}, info) || version.contains(QLatin1Char('\r')) ||
        version.contains(QLatin1Char('\n')))
        fail(QStringLiteral("the version or the package's name breaks the version file's rules"));
    const QByteArray secret = readSecretKey(keyFile);
    QFile f(package);
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read the package %1: %2").arg(package, f.errorString()));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    const QDateTime expires = QDateTime::currentDateTimeUtc().addDays(days);
    QByteArray text = version.toUtf8() + "\r\n" + name.toUtf8() + "\r\n";
    text += "size=" + QByteArray::number(f.size()) + "\r\n";
    text += "sha256=" + hash.result().toHex() + "\r\n";
    text += "expires=" + signing::formatExpiry(expires).toLatin1() + "\r\n";
    text += "signature=" + signing::sign(text, secret).toBase64() + "\r\n";
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int verifyFeed(const Options& o) {
    const QString keyFile = o.value("key");
    if (keyFile.isEmpty() || o.plain.size() != 1)
        fail(QStringLiteral("verify needs --key NAME.pub and one version file"), 2);
    const QList<QByteArray> keys = signing::parseKeyFile(readFile(keyFile, "key"));
    if (keys.isEmpty())
        fail(QStringLiteral("%1 holds no public key").arg(keyFile));
    const QByteArray bytes = readFile(o.plain[0], "version file");
    VersionInfo info;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = QString::fromUtf8(bytes).split(lineEnd);
    if (!parseVersionFile(lines, info))
        fail(QStringLiteral("%1: line 1 must be a version and line 2 a package file name")
                 .arg(o.plain[0]));
    TrustPolicy policy{keys, QDateTime::currentDateTimeUtc(), true};
    QString cause;
    if (!checkSignature(bytes, policy, info, cause))
        fail(QStringLiteral("%1: %2").arg(o.plain[0], cause));
    const QString package = o.value("package");
    if (!package.isEmpty()) {
        if (QFileInfo(package).fileName() != info.package)
            fail(QStringLiteral("%1 is not %2, the package the version file names")
                     .arg(package, info.package));
        if (!checkPackage(package, info, cause))
            fail(QStringLiteral("%1: %2").arg(package, cause));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.size() == 1 &&
        (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    if (args.size() == 1 && args[0] == QLatin1String("--version")) {
        std::printf("tidewell-feed %s\n", platform::programVersion());
        return std::fflush(stdout) == 0 ? 0 : 2;
    }
    try {
        signing::initialise();
        const QString command = args.value(0);
        if (!args.isEmpty())
            args.removeFirst();
        if (command == QLatin1String("keygen"))
            return keygen(parseOptions(args, {"out"}));
        if (command == QLatin1String("sign"))
            return signFeed(parseOptions(args, {"key", "package", "version", "expires"}));
        if (command == QLatin1String("verify"))
            return verifyFeed(parseOptions(args, {"key", "package"}));
        fail(command.isEmpty() ? QStringLiteral("no command given")
                               : QStringLiteral("unknown command %1").arg(command),
             2);
    } catch (const Failure& f) {
        std::fprintf(stderr, "tidewell-feed: %s\n", f.text.toLocal8Bit().constData());
        if (f.code == 2)
            std::fputs(kUsage, stderr);
        return f.code;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tidewell-feed: %s\n", e.what());
        return 1;
    }
    return 0;
}
