#include "textcodec.h"

#include <cstring>

namespace platform {

namespace {

// Windows-1252 0x80..0x9F; undefined positions keep their C1 value.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int windows1252Byte(char16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u)
            return 0x80 + i;
    return -1;
}

// Eight bytes at a time: pages are mostly ASCII.
qsizetype asciiPrefix(const char* p, qsizetype n) {
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 w;
        memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ULL)
            break;
    }
    while (i < n && static_cast<unsigned char>(p[i]) < 0x80)
        ++i;
    return i;
}

bool isAscii(const char* p, qsizetype n) {
    return asciiPrefix(p, n) == n;
}

template <typename OnMissing> QByteArray encode1252(const QString& text, OnMissing onMissing) {
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text.at(i).unicode();
        const int b = windows1252Byte(u);
        if (b >= 0) {
            out.append(char(b));
            continue;
        }
        char32_t cp = u;
        if (QChar::isHighSurrogate(u) && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(u, text.at(i + 1).unicode());
            ++i;
        }
        onMissing(out, cp);
    }
    return out;
}

} // namespace

bool isValidUtf8(const char* data, qsizetype size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            i += asciiPrefix(data + i, size - i);
            continue;
        }
        char32_t cp;
        const int len = utf8Sequence(p + i, size - i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

QString decodeWindows1252(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes.at(i));
        d[i] = QChar(char16_t(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b));
    }
    return out;
}

DecodedText decodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3), TextEncoding::Utf8Bom};
    if (isAscii(bytes.constData(), bytes.size()))
        return {QString::fromLatin1(bytes), TextEncoding::Utf8};
    if (isValidUtf8(bytes.constData(), bytes.size()))
        return {QString::fromUtf8(bytes), TextEncoding::Utf8};
    return {decodeWindows1252(bytes), TextEncoding::Windows1252};
}

bool fitsWindows1252(const QString& text) {
    for (QChar c : text)
        if (windows1252Byte(c.unicode()) < 0)
            return false;
    return true;
}

QByteArray encodeWindows1252(const QString& text) {
    return encode1252(text, [](QByteArray& out, char32_t) { out.append('?'); });
}

QByteArray encodeWindows1252Ncr(const QString& text) {
    return encode1252(text, [](QByteArray& out, char32_t cp) {
        out.append("&#").append(QByteArray::number(quint32(cp))).append(';');
    });
}

QByteArray encodeAnsiText(const QString& text) {
    if (fitsWindows1252(text))
        return encodeWindows1252(text);
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QByteArray encodeAs(const QString& text, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf8:
        return text.toUtf8();
    case TextEncoding::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case TextEncoding::Windows1252:
        return encodeWindows1252Ncr(text);
    }
    return text.toUtf8();
}

} // namespace platform
