#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

enum class TextEncoding { Utf8, Utf8Bom, Windows1252 };

struct DecodedText {
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
};

// UTF-8 when the bytes carry a UTF-8 byte-order mark or are valid UTF-8, otherwise Windows-1252.
DecodedText decodeText(const QByteArray& bytes);
bool isValidUtf8(const char* data, qsizetype size);

// Every byte maps to one character; the five bytes that Windows-1252 leaves undefined map to the
// C1 control of the same value, so any byte sequence survives a round trip.
QString decodeWindows1252(const QByteArray& bytes);
bool fitsWindows1252(const QString& text);
// Characters that do not fit become '?'.
QByteArray encodeWindows1252(const QString& text);
// Characters that do not fit become numeric character references (for HTML).
QByteArray encodeWindows1252Ncr(const QString& text);

// Text files kept in the ANSI code page: Windows-1252 when every character fits, otherwise UTF-8
// with a byte-order mark.
QByteArray encodeAnsiText(const QString& text);
// Encodes back into the encoding a text was read in; characters that Windows-1252 cannot hold
// become numeric character references there.
QByteArray encodeAs(const QString& text, TextEncoding encoding);

} // namespace platform
