#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// Ed25519 signatures of version files, through libsodium.
namespace tidewell::signing {

constexpr int kPublicKeyBytes = 32;
constexpr int kSecretKeyBytes = 64;
constexpr int kSignatureBytes = 64;

// Raises std::runtime_error when libsodium cannot start.
void initialise();

// A Base64 public key as 32 bytes; empty when the text is no such key.
QByteArray decodePublicKey(const QString& base64);
// Keys separated by ';' or blanks (the build's built-in set); bad entries are skipped.
QList<QByteArray> parseKeyList(const QString& text);
// A key file: one Base64 key a line, '#' starts a comment; blank and bad lines are skipped.
QList<QByteArray> parseKeyFile(const QByteArray& contents);

// The build's keys plus those of `keyFile` when it exists; the file adds, never replaces.
QList<QByteArray> loadKeys(const QString& builtIn, const QString& keyFile);

struct KeyPair {
    QByteArray publicKey; // 32 bytes
    QByteArray secretKey; // 64 bytes
};
KeyPair generateKeyPair();

QByteArray sign(const QByteArray& message, const QByteArray& secretKey);
// True when one of `keys` made `signature` over `message`.
bool verify(const QByteArray& message, const QByteArray& signature, const QList<QByteArray>& keys);

// Version-file dates: UTC, "2027-01-31T00:00:00Z".
QString formatExpiry(const QDateTime& when);
QDateTime parseExpiry(const QString& text); // invalid when malformed

} // namespace tidewell::signing
