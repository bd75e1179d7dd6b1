#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace tidewell {

// A product's version file on the update server: line 1 the offered version, line 2 the file
// name of its update package in the same folder. A signed file goes on with one name=value a
// line: size= and sha256= of the package, expires= (UTC) and, last, signature= (Ed25519, Base64,
// over every byte before that line, each line ending in CR LF).
struct VersionInfo {
    QString version;
    QString package;
    bool isSigned = false;
    qint64 size = -1;
    QByteArray sha256; // 32 bytes
    QDateTime expires; // invalid when the file names none
};

// False when the file breaks the rules: fewer than two lines, line 1 empty or exactly "html",
// line 2 empty, or line 2 not a plain file name.
bool parseVersionFile(const QStringList& lines, VersionInfo& info);

// What a version file must satisfy beyond those rules.
struct TrustPolicy {
    QList<QByteArray> keys; // public keys whose signatures count
    QDateTime now;
    bool signedOnly = false; // refuse unsigned files
};

// Checks the signed part of a version file's bytes and fills the signed values of `info`. False
// with the cause, a sentence, when the file is refused; an unsigned file passes unless the
// policy asks for signed ones only.
bool checkSignature(const QByteArray& bytes, const TrustPolicy& policy, VersionInfo& info,
                    QString& cause);

// False with the cause when a downloaded package differs from the signed size or SHA-256.
bool checkPackage(const QString& file, const VersionInfo& info, QString& cause);

// A name taken from the server names a file in the download folder and nothing else: no path
// separator, no "..", no drive letter, no control character.
bool isPlainFileName(const QString& name);

} // namespace tidewell
