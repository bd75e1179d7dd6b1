#include "textfile.h"

#include "errors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace platform {

QByteArray readFileBytes(const QString& path) {
    QFile f(path);
    if (QFileInfo(path).isDir())
        throw EFOpenError(path, QStringLiteral("Is a directory"));
    if (!f.open(QIODevice::ReadOnly))
        throw EFOpenError(path, f.errorString());
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw EFOpenError(path, f.errorString());
    return bytes;
}

DecodedText readTextFile(const QString& path) {
    return decodeText(readFileBytes(path));
}

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw EFCreateError(path, f.errorString());
    if (f.write(bytes) != bytes.size()) {
        const QString reason = f.errorString();
        f.cancelWriting();
        throw EFCreateError(path, reason);
    }
    if (!f.commit())
        throw EFCreateError(path, f.errorString());
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    const qsizetype n = text.size();
    const QChar* d = text.constData();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c == '\r' || c == '\n') {
            lines.append(text.mid(start, i - start));
            if (c == '\r' && i + 1 < n && d[i + 1].unicode() == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QString joinLines(const QStringList& lines) {
    qsizetype size = 0;
    for (const QString& l : lines)
        size += l.size() + 2;
    QString out;
    out.reserve(size);
    for (const QString& l : lines) {
        out += l;
        out += QLatin1String("\r\n");
    }
    return out;
}

QStringList readLines(const QString& path) {
    return splitLines(readTextFile(path).text);
}

QByteArray ansiLinesBytes(const QStringList& lines) {
    return encodeAnsiText(joinLines(lines));
}

void writeAnsiLines(const QString& path, const QStringList& lines) {
    writeFileAtomically(path, ansiLinesBytes(lines));
}

} // namespace platform
