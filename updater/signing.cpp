#include "signing.h"

#include "platform/errors.h"
#include "platform/textfile.h"

#include <sodium.h>

#include <QRegularExpression>
#include <QTimeZone>

#include <stdexcept>

namespace tidewell::signing {

void initialise() {
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium could not be initialised");
}

QByteArray decodePublicKey(const QString& base64) {
    const auto decoded = QByteArray::fromBase64Encoding(base64.trimmed().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != kPublicKeyBytes)
        return {};
    return decoded.decoded;
}

QList<QByteArray> parseKeyList(const QString& text) {
    QList<QByteArray> keys;
    static const QRegularExpression separators(QStringLiteral("[;\\s]+"));
    for (const QString& part : text.split(separators, Qt::SkipEmptyParts)) {
        const QByteArray key = decodePublicKey(part);
        if (!key.isEmpty() && !keys.contains(key))
            keys << key;
    }
    return keys;
}

QList<QByteArray> parseKeyFile(const QByteArray& contents) {
    QList<QByteArray> keys;
    for (QByteArray line : contents.split('\n')) {
        const qsizetype hash = line.indexOf('#');
        if (hash >= 0)
            line.truncate(hash);
        const QByteArray key = decodePublicKey(QString::fromLatin1(line));
        if (!key.isEmpty() && !keys.contains(key))
            keys << key;
    }
    return keys;
}

QList<QByteArray> loadKeys(const QString& builtIn, const QString& keyFile) {
    QList<QByteArray> keys = parseKeyList(builtIn);
    if (keyFile.isEmpty())
        return keys;
    QByteArray text;
    try {
        // A regular file of bounded size only: a FIFO in its place would hold up every Check.
        text = platform::readFileBytes(keyFile);
    } catch (const platform::Error&) {
        return keys; // no key file, or none that can be read: the built-in keys
    }
    for (const QByteArray& key : parseKeyFile(text))
        if (!keys.contains(key))
            keys << key;
    return keys;
}

KeyPair generateKeyPair() {
    initialise();
    KeyPair pair;
    pair.publicKey.resize(crypto_sign_PUBLICKEYBYTES);
    pair.secretKey.resize(crypto_sign_SECRETKEYBYTES);
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(pair.publicKey.data()),
                        reinterpret_cast<unsigned char*>(pair.secretKey.data()));
    return pair;
}

QByteArray sign(const QByteArray& message, const QByteArray& secretKey) {
    initialise();
    if (secretKey.size() != crypto_sign_SECRETKEYBYTES)
        throw std::invalid_argument("not an Ed25519 secret key");
    QByteArray signature(crypto_sign_BYTES, Qt::Uninitialized);
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(message.constData()),
                         quint64(message.size()),
                         reinterpret_cast<const unsigned char*>(secretKey.constData()));
    return signature;
}

bool verify(const QByteArray& message, const QByteArray& signature, const QList<QByteArray>& keys) {
    initialise();
    if (signature.size() != crypto_sign_BYTES)
        return false;
    for (const QByteArray& key : keys) {
        if (key.size() != crypto_sign_PUBLICKEYBYTES)
            continue;
        if (crypto_sign_verify_detached(
                reinterpret_cast<const unsigned char*>(signature.constData()),
                reinterpret_cast<const unsigned char*>(message.constData()),
                quint64(message.size()),
                reinterpret_cast<const unsigned char*>(key.constData())) == 0)
            return true;
    }
    return false;
}

QString formatExpiry(const QDateTime& when) {
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss'Z'"));
}

QDateTime parseExpiry(const QString& text) {
    static const QRegularExpression shape(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}Z$"));
    if (!shape.match(text).hasMatch())
        return {};
    QDateTime when = QDateTime::fromString(text.left(19), QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    if (!when.isValid())
        return {};
    when.setTimeZone(QTimeZone::utc());
    return when;
}

} // namespace tidewell::signing
