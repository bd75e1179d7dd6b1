#include "passwordwindow.h"

#include "platform/ascii.h"
#include "platform/textcodec.h"

#include <QLabel>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace proxy {

namespace {

const qsizetype kLineLength = 72; // 54 bytes a line

QString swapCase(const QString& s) {
    QString r = s;
    for (QChar& c : r) {
        const char16_t u = c.unicode();
        if (u >= 'a' && u <= 'z')
            c = QChar(char16_t(u - 32));
        else if (u >= 'A' && u <= 'Z')
            c = QChar(char16_t(u + 32));
    }
    return r;
}

bool inAlphabet(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '+' ||
           u == '/';
}

bool decodeLine(QStringView line, QByteArray& out) {
    qsizetype i = 0;
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t'))
        ++i;
    qsizetype j = i;
    while (j < line.size() && inAlphabet(line[j]))
        ++j;
    QByteArray part = line.mid(i, j - i).toLatin1();
    if (part.size() % 4 == 1)
        return false;
    while (part.size() % 4 != 0)
        part += '=';
    out += QByteArray::fromBase64(part);
    return true;
}

// The password's bytes back as text: UTF-8 as the encoder writes it, Windows-1252 for bytes that
// are not UTF-8 (a value written elsewhere).
QString passwordText(const QByteArray& bytes) {
    if (platform::isValidUtf8(bytes.constData(), bytes.size())) {
        // A leading U+FEFF is part of the password, not a byte-order mark.
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return utf8.decode(bytes);
    }
    return platform::decodeWindows1252(bytes);
}

} // namespace

QString base64Lines(const QByteArray& bytes) {
    const QByteArray b64 = bytes.toBase64();
    QString text;
    text.reserve(b64.size() + (b64.size() / kLineLength + 1) * 2);
    for (qsizetype at = 0; at < b64.size(); at += kLineLength) {
        text += QString::fromLatin1(b64.mid(at, kLineLength));
        text += QLatin1String("\r\n");
    }
    return platform::trimControl(text);
}

bool decodeBase64Lines(const QString& text, QByteArray& out) {
    out.clear();
    qsizetype start = 0;
    const QStringView view(text);
    for (qsizetype i = 0; i <= view.size(); ++i) {
        if (i < view.size() && view[i] != u'\r' && view[i] != u'\n')
            continue;
        if (!decodeLine(view.mid(start, i - start), out)) {
            out.clear();
            return false;
        }
        start = i + 1;
    }
    return true;
}

QString EncodePWD(const QString& plain) {
    if (plain.isEmpty())
        return QString();
    const QString first = swapCase(base64Lines(plain.toUtf8()));
    if (first.isEmpty())
        return QString();
    return swapCase(base64Lines(first.toLatin1()));
}

QString DecodePWD(const QString& encoded) {
    if (encoded.isEmpty())
        return QString();
    QByteArray first;
    if (!decodeBase64Lines(swapCase(encoded), first))
        return QString();
    const QString middle = swapCase(QString::fromLatin1(first));
    if (middle.isEmpty())
        return QString();
    QByteArray plain;
    if (!decodeBase64Lines(middle, plain))
        return QString();
    return passwordText(plain);
}

} // namespace proxy

namespace quillmark {

const QString PasswordWindow::kLabel = QStringLiteral(
    "This form encodes and decodes passwords.\r\nuse the EncodePWD and DecodePWD functions");

PasswordWindow::PasswordWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("edpwdfrm"));
    Label1 = new QLabel(kLabel, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
}

} // namespace quillmark
