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

// The UTF-8 sequence that starts at p (a byte of 0x80 or more), `left` bytes being there: its
// length with its code point in cp, or 0 when it is not valid UTF-8 (overlong forms, surrogates
// and anything past U+10FFFF are not).
inline int utf8Sequence(const unsigned char* p, qsizetype left, char32_t& cp) {
    const unsigned char c = p[0];
    int len;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (left < len)
        return 0;
    for (int k = 1; k < len; ++k) {
        const unsigned char cc = p[k];
        if ((cc & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

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
