#include "mail.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace platform {

QString mailResultText(int code) {
    const char* text = "";
    switch (code) {
    case 2:
        text = "General Failure";
        break;
    case 3:
        text = "Login Failure";
        break;
    case 4:
        text = "Disk Full";
        break;
    case 5:
        text = "Insufficient Memory";
        break;
    case 6:
        text = "Access Denied";
        break;
    case 8:
        text = "Too Many Sessions";
        break;
    case 9:
        text = "Too Many Files";
        break;
    case 10:
        text = "Too Many Recipients";
        break;
    case 11:
        text = "Attachment Not Found";
        break;
    case 12:
        text = "Attachment Open Failure";
        break;
    case 13:
        text = "Attachment Write Failure";
        break;
    case 14:
        text = "Unknown Recipient";
        break;
    case 15:
        text = "Bad Recipient Type";
        break;
    case 16:
        text = "No Messages";
        break;
    case 17:
        text = "Invalid Message";
        break;
    case 18:
        text = "Text Too Large";
        break;
    case 19:
        text = "Invalid Session";
        break;
    case 20:
        text = "Type Not Supported";
        break;
    case 21:
        text = "Ambiguous Recipient";
        break;
    case 22:
        text = "Message In Use";
        break;
    case 23:
        text = "Network Failure";
        break;
    case 24:
        text = "Invalid Edit Fields";
        break;
    case 25:
        text = "Invalid Recipients";
        break;
    case 26:
        text = "Feature Not Supported";
        break;
    }
    return QString::fromLatin1(text);
}

QString mailErrorMessage(int code) {
    return QString::asprintf("MAPI: %s. ErrorCode = %d",
                             mailResultText(code).toLatin1().constData(), code);
}

QUrl mailtoUrl(const QString& subject, const QString& body) {
    const QByteArray encoded = "mailto:?subject=" + QUrl::toPercentEncoding(subject) +
                               "&body=" + QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

namespace {

// False only when the desktop says plainly that nothing handles mailto: addresses; where it
// cannot be asked, opening the address tells.
bool mailHandlerSetUp() {
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return true;
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"),
                          QStringLiteral("x-scheme-handler/mailto")});
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished();
        return true;
    }
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace

int QtMail::sendMail(const QString& subject, const QString& body) {
    const QUrl url = mailtoUrl(subject, body);
    if (url.toEncoded().size() > kMaxUrlLength)
        return kMailTextTooLarge;
    if (!mailHandlerSetUp())
        return kMailNoProgram;
    return QDesktopServices::openUrl(url) ? kMailSuccess : kMailNoProgram;
}

} // namespace platform
