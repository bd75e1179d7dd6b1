#pragma once

#include <QString>
#include <QUrl>

namespace platform {

// Mail results, numbered as the mail programs' interface numbers them; 0 is success and 1 the
// user's abort. kMailNoProgram is ours: no mail program is set up to take the message.
enum MailResult : int {
    kMailSuccess = 0,
    kMailUserAbort = 1,
    kMailFailure = 2,
    kMailTextTooLarge = 18,
    kMailNoProgram = -1,
};

// The text of a mail result code; empty for codes without one.
QString mailResultText(int code);
// "MAPI: " + text + ". ErrorCode = " + code.
QString mailErrorMessage(int code);

// Hands a message to the user's mail program, which shows its compose window with the subject
// and body filled in and no recipients; the user addresses and sends it there.
class Mail {
public:
    virtual ~Mail() = default;
    // Answers a mail result code.
    virtual int sendMail(const QString& subject, const QString& body) = 0;
};

// mailto:?subject=...&body=..., every character but the unreserved ones percent-encoded, so
// line breaks, '&' and '+' reach the mail program as they are.
QUrl mailtoUrl(const QString& subject, const QString& body);

// Through the desktop's handler for mailto: addresses.
class QtMail : public Mail {
public:
    // Longer addresses do not survive the hand-over to the mail program's command line.
    static constexpr qsizetype kMaxUrlLength = 100000;

    int sendMail(const QString& subject, const QString& body) override;
};

} // namespace platform
