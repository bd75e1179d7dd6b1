#pragma once

#include <QDialog>
#include <QString>

class QLabel;

namespace proxy {

// The stored form of a proxy password: swap(B64(swap(B64(password)))), where swap changes the
// case of the ASCII letters and B64 writes lines of at most 72 characters, each ended by CR LF,
// the whole trimmed. The password's bytes are its UTF-8. Neither raises; the empty string stands
// for an empty input and for a text that cannot be decoded.
QString EncodePWD(const QString& plain);
QString DecodePWD(const QString& encoded);

// Base64 as the encoder uses it: lines of 72 characters, each followed by CR LF, the whole
// trimmed of blanks and control characters.
QString base64Lines(const QByteArray& bytes);
// Reads each line from its first character after leading blanks and tabs up to the first
// character outside the alphabet; the rest of the line is ignored. False when a line's Base64
// part cannot be decoded (a lone character in its last group).
bool decodeBase64Lines(const QString& text, QByteArray& out);

} // namespace proxy

namespace quillmark {

// The password window, created hidden at start-up and kept for the whole program run; it offers
// the password encoder.
class PasswordWindow : public QDialog {
    Q_OBJECT
public:
    static const QString kLabel;

    explicit PasswordWindow(QWidget* parent = nullptr);

    QString EncodePWD(const QString& plain) const { return proxy::EncodePWD(plain); }
    QString DecodePWD(const QString& encoded) const { return proxy::DecodePWD(encoded); }

    QLabel* Label1;
};

} // namespace quillmark
