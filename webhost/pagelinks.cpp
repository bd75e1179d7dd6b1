#include "pagelinks.h"

#include "metatags.h"
#include "platform/textcodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace webhost::site {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAlnum(char c) {
    return isAlpha(c) || (c >= '0' && c <= '9');
}
char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

bool equalsLower(const char* p, qsizetype n, const char* lowerName) {
    const qsizetype len = qsizetype(std::strlen(lowerName));
    if (n != len)
        return false;
    for (qsizetype i = 0; i < n; ++i)
        if (lower(p[i]) != lowerName[i])
            return false;
    return true;
}

const char* findBytes(const char* from, const char* end, const char* needle, size_t n) {
    if (end - from < qsizetype(n))
        return nullptr;
    return static_cast<const char*>(memmem(from, size_t(end - from), needle, n));
}

// The tags whose attributes matter; the others are only stepped over.
enum class TagKind { Other, Anchor, Link, Frame, Base, Meta, RawText };

TagKind kindOf(const char* name, qsizetype n) {
    switch (n) {
    case 1:
        return lower(name[0]) == 'a' ? TagKind::Anchor : TagKind::Other;
    case 3:
        return equalsLower(name, n, "xmp") ? TagKind::RawText : TagKind::Other;
    case 4:
        if (equalsLower(name, n, "area"))
            return TagKind::Anchor;
        if (equalsLower(name, n, "link"))
            return TagKind::Link;
        if (equalsLower(name, n, "base"))
            return TagKind::Base;
        if (equalsLower(name, n, "meta"))
            return TagKind::Meta;
        return TagKind::Other;
    case 5:
        if (equalsLower(name, n, "frame"))
            return TagKind::Frame;
        if (equalsLower(name, n, "style") || equalsLower(name, n, "title"))
            return TagKind::RawText;
        return TagKind::Other;
    case 6:
        if (equalsLower(name, n, "iframe"))
            return TagKind::Frame;
        if (equalsLower(name, n, "script"))
            return TagKind::RawText;
        return TagKind::Other;
    case 8:
        return equalsLower(name, n, "textarea") ? TagKind::RawText : TagKind::Other;
    default:
        return TagKind::Other;
    }
}

struct Attribute {
    const char* name = nullptr;
    qsizetype nameSize = 0;
    const char* value = nullptr;
    qsizetype valueSize = 0;
};

// The attributes of a start tag from just after its name; returns the position after the
// tag's '>', or nullptr when the page ends inside the tag. Only the attributes named in `wanted`
// are kept (the first of each name, as browsers do).
template <int N>
const char* readAttributes(const char* p, const char* end, const char* const (&wanted)[N],
                           Attribute (&found)[N]) {
    while (p < end) {
        while (p < end && (isSpace(*p) || *p == '/'))
            ++p;
        if (p >= end)
            return nullptr;
        if (*p == '>')
            return p + 1;
        const char* name = p++;
        while (p < end && !isSpace(*p) && *p != '/' && *p != '>' && *p != '=')
            ++p;
        const qsizetype nameSize = p - name;
        while (p < end && isSpace(*p))
            ++p;
        const char* value = nullptr;
        qsizetype valueSize = 0;
        if (p < end && *p == '=') {
            ++p;
            while (p < end && isSpace(*p))
                ++p;
            if (p >= end)
                return nullptr;
            if (*p == '"' || *p == '\'') {
                const char* close =
                    static_cast<const char*>(std::memchr(p + 1, *p, size_t(end - p - 1)));
                if (!close)
                    return nullptr;
                value = p + 1;
                valueSize = close - value;
                p = close + 1;
            } else {
                value = p;
                while (p < end && !isSpace(*p) && *p != '>')
                    ++p;
                valueSize = p - value;
            }
        }
        for (int i = 0; i < N; ++i)
            if (!found[i].name && equalsLower(name, nameSize, wanted[i])) {
                found[i] = {name, nameSize, value ? value : name + nameSize, valueSize};
                break;
            }
    }
    return nullptr;
}

struct Entity {
    const char* name;
    char16_t value;
};
// The named references that links and robots tags use in practice.
constexpr Entity kEntities[] = {
    {"amp", u'&'},      {"lt", u'<'},      {"gt", u'>'},      {"quot", u'"'},     {"apos", u'\''},
    {"nbsp", 0xA0},     {"sol", u'/'},     {"colon", u':'},   {"quest", u'?'},    {"equals", u'='},
    {"num", u'#'},      {"percnt", u'%'},  {"period", u'.'},  {"comma", u','},    {"plus", u'+'},
    {"lowbar", u'_'},   {"tilde", u'~'},   {"copy", 0xA9},    {"reg", 0xAE},      {"auml", 0xE4},
    {"ouml", 0xF6},     {"uuml", 0xFC},    {"Auml", 0xC4},    {"Ouml", 0xD6},     {"Uuml", 0xDC},
    {"szlig", 0xDF},    {"eacute", 0xE9},  {"egrave", 0xE8},  {"agrave", 0xE0},   {"aacute", 0xE1},
    {"ccedil", 0xE7},   {"ntilde", 0xF1},  {"oacute", 0xF3},  {"iacute", 0xED},   {"uacute", 0xFA},
    {"hyphen", 0x2010}, {"ndash", 0x2013}, {"mdash", 0x2014}, {"hellip", 0x2026}, {"euro", 0x20AC},
};
// The few that browsers also read without their ';' (unless a letter, digit or '=' follows).
bool legacyWithoutSemicolon(QStringView name) {
    return name == u"amp" || name == u"lt" || name == u"gt" || name == u"quot";
}

int digitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (base == 16 && u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (base == 16 && u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

void appendCodePoint(QString& out, quint32 cp) {
    if (cp >= 0x80 && cp <= 0x9F) { // read as Windows-1252, as browsers do
        out += platform::decodeWindows1252(QByteArray(1, char(cp)));
        return;
    }
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    const char32_t c = cp;
    out += QString::fromUcs4(&c, 1);
}

QString decodeReferences(const QString& text) {
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'&' || i + 1 >= n) {
            out += c;
            continue;
        }
        if (text.at(i + 1) == u'#') {
            qsizetype j = i + 2;
            const bool hex = j < n && (text.at(j) == u'x' || text.at(j) == u'X');
            if (hex)
                ++j;
            const qsizetype digits = j;
            quint64 cp = 0;
            for (; j < n; ++j) {
                const int d = digitValue(text.at(j), hex ? 16 : 10);
                if (d < 0)
                    break;
                cp = std::min<quint64>(cp * (hex ? 16 : 10) + quint64(d), 0x110000);
            }
            if (j == digits) {
                out += c;
                continue;
            }
            appendCodePoint(out, quint32(cp));
            i = j < n && text.at(j) == u';' ? j : j - 1;
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && j - i <= 8 && text.at(j).unicode() < 0x80 &&
               isAlnum(char(text.at(j).unicode())))
            ++j;
        const QStringView name = QStringView(text).mid(i + 1, j - i - 1);
        const bool semicolon = j < n && text.at(j) == u';';
        bool decoded = false;
        if (semicolon ||
            (legacyWithoutSemicolon(name) &&
             !(j < n && (text.at(j) == u'=' ||
                         (text.at(j).unicode() < 0x80 && isAlnum(char(text.at(j).unicode()))))))) {
            for (const Entity& e : kEntities)
                if (name == QLatin1String(e.name)) {
                    out += QChar(e.value);
                    i = semicolon ? j : j - 1;
                    decoded = true;
                    break;
                }
        }
        if (!decoded)
            out += c;
    }
    return out;
}

// An attribute's text: its bytes as UTF-8 when they are that, else as Windows-1252 (the checks'
// reading of a page), references decoded.
QString attributeText(const Attribute& a) {
    bool ascii = true;
    bool reference = false;
    for (qsizetype i = 0; i < a.valueSize; ++i) {
        const auto c = static_cast<unsigned char>(a.value[i]);
        ascii = ascii && c < 0x80;
        reference = reference || c == '&';
    }
    QString text;
    if (ascii)
        text = QString::fromLatin1(a.value, a.valueSize);
    else if (platform::isValidUtf8(a.value, a.valueSize))
        text = QString::fromUtf8(a.value, a.valueSize);
    else
        text = platform::decodeWindows1252(QByteArray(a.value, a.valueSize));
    return reference ? decodeReferences(text) : text;
}

bool hasToken(const QString& list, QStringView token, QChar separator) {
    for (const QStringView part : QStringView(list).split(separator)) {
        const QStringView t = part.trimmed();
        if (t.compare(token, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The url of a refresh: "5; url=next.htm", "0;URL='next.htm'".
QString refreshTarget(const QString& content) {
    const qsizetype at = content.indexOf(QLatin1String("url"), 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    QStringView rest = QStringView(content).mid(at + 3).trimmed();
    if (!rest.startsWith(u'='))
        return QString();
    rest = rest.mid(1).trimmed();
    if (rest.startsWith(u'"') || rest.startsWith(u'\'')) {
        const qsizetype close = rest.indexOf(rest.front(), 1);
        rest = rest.mid(1, close < 0 ? -1 : close - 1);
    }
    return rest.toString();
}

void addLink(PageLinks& out, const Attribute& a) {
    if (!a.name)
        return;
    QString link = attributeText(a);
    if (!link.trimmed().isEmpty())
        out.links.append(std::move(link));
}

// Steps over the text of a raw-text element to just after its end tag (name in lower case).
const char* skipRawText(const char* p, const char* end, const char* name, qsizetype nameSize) {
    while (p < end) {
        const char* lt = static_cast<const char*>(std::memchr(p, '<', size_t(end - p)));
        if (!lt)
            return end;
        p = lt + 1;
        if (end - p > nameSize && *p == '/' && equalsLower(p + 1, nameSize, name)) {
            const char after = p[1 + nameSize];
            if (isSpace(after) || after == '>' || after == '/') {
                const char* close = static_cast<const char*>(std::memchr(p, '>', size_t(end - p)));
                return close ? close + 1 : end;
            }
        }
    }
    return end;
}

} // namespace

PageLinks pageLinks(const QByteArray& html) {
    PageLinks out;
    const char* p = html.constData();
    const char* const end = p + html.size();
    while (p < end) {
        const char* lt = static_cast<const char*>(std::memchr(p, '<', size_t(end - p)));
        if (!lt || lt + 1 >= end)
            break;
        p = lt + 1;
        const char c = *p;
        if (c == '!') {
            if (end - p >= 3 && p[1] == '-' && p[2] == '-') {
                const char* body = p + 3;
                if (body < end && *body == '>') // "<!-->"
                    p = body + 1;
                else if (end - body >= 2 && body[0] == '-' && body[1] == '>') // "<!--->"
                    p = body + 2;
                else if (const char* close = findBytes(body, end, "-->", 3))
                    p = close + 3;
                else
                    break;
                continue;
            }
            const char* close = static_cast<const char*>(std::memchr(p, '>', size_t(end - p)));
            if (!close)
                break;
            p = close + 1;
            continue;
        }
        if (c == '/' || c == '?') {
            const char* close = static_cast<const char*>(std::memchr(p, '>', size_t(end - p)));
            if (!close)
                break;
            p = close + 1;
            continue;
        }
        if (!isAlpha(c))
            continue;
        const char* name = p;
        while (p < end && !isSpace(*p) && *p != '/' && *p != '>')
            ++p;
        const qsizetype nameSize = p - name;
        const TagKind kind = kindOf(name, nameSize);
        switch (kind) {
        case TagKind::Other:
        case TagKind::RawText: {
            const char* const none[1] = {""};
            Attribute unused[1];
            p = readAttributes(p, end, none, unused);
            if (p && kind == TagKind::RawText) {
                char lowerName[16];
                for (qsizetype i = 0; i < nameSize; ++i)
                    lowerName[i] = lower(name[i]);
                lowerName[nameSize] = '\0';
                p = skipRawText(p, end, lowerName, nameSize);
            }
            break;
        }
        case TagKind::Anchor:
        case TagKind::Base: {
            const char* const names[1] = {"href"};
            Attribute found[1];
            p = readAttributes(p, end, names, found);
            if (!p)
                break;
            if (kind == TagKind::Anchor)
                addLink(out, found[0]);
            else if (out.base.isEmpty() && found[0].name)
                out.base = attributeText(found[0]).trimmed();
            break;
        }
        case TagKind::Frame: {
            const char* const names[1] = {"src"};
            Attribute found[1];
            p = readAttributes(p, end, names, found);
            if (p)
                addLink(out, found[0]);
            break;
        }
        case TagKind::Link: {
            const char* const names[2] = {"rel", "href"};
            Attribute found[2];
            p = readAttributes(p, end, names, found);
            if (p && found[0].name) {
                const QString rel = attributeText(found[0]);
                // an alternate style sheet is no page
                if (hasToken(rel.simplified(), u"alternate", u' ') &&
                    !hasToken(rel.simplified(), u"stylesheet", u' '))
                    addLink(out, found[1]);
            }
            break;
        }
        case TagKind::Meta: {
            const char* const names[3] = {"name", "content", "http-equiv"};
            Attribute found[3];
            p = readAttributes(p, end, names, found);
            if (!p || !found[1].name)
                break;
            if (found[0].name && attributeText(found[0]).trimmed().compare(
                                     QLatin1String("robots"), Qt::CaseInsensitive) == 0) {
                const QString content = attributeText(found[1]);
                const bool none = hasToken(content, u"none", u',');
                out.nofollow = out.nofollow || none || hasToken(content, u"nofollow", u',');
                out.noindex = out.noindex || none || hasToken(content, u"noindex", u',');
            } else if (found[2].name && attributeText(found[2]).trimmed().compare(
                                            QLatin1String("refresh"), Qt::CaseInsensitive) == 0) {
                const QString target = refreshTarget(attributeText(found[1]));
                if (!target.trimmed().isEmpty())
                    out.links.append(target);
            }
            break;
        }
        }
        if (!p)
            break;
    }
    return out;
}

QString mediaTypeOf(const QByteArray& contentType) {
    const qsizetype semicolon = contentType.indexOf(';');
    return QString::fromLatin1(contentType.left(semicolon < 0 ? contentType.size() : semicolon))
        .trimmed()
        .toLower();
}

QString charsetOfContentType(const QByteArray& contentType) {
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray part = parts.at(i).trimmed();
        const qsizetype eq = part.indexOf('=');
        if (eq < 0 || part.left(eq).trimmed().toLower() != "charset")
            continue;
        QByteArray value = part.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2).trimmed();
        return QString::fromLatin1(value).toLower();
    }
    return QString();
}

namespace {

// Labels that name the same decoding as another the decoders know better (as browsers read them).
QString decoderName(const QString& label) {
    if (label == QLatin1String("gb2312") || label == QLatin1String("x-gbk"))
        return QStringLiteral("gbk");
    if (label == QLatin1String("iso-8859-9") || label == QLatin1String("latin5"))
        return QStringLiteral("windows-1254");
    if (label == QLatin1String("tis-620") || label == QLatin1String("iso-8859-11"))
        return QStringLiteral("windows-874");
    if (label == QLatin1String("ks_c_5601-1987"))
        return QStringLiteral("euc-kr");
    return label;
}

bool isAscii(const QByteArray& bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

QByteArray utf8WithMark(const QString& text) {
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

} // namespace

QByteArray bytesForChecks(const QByteArray& body, const QString& headerCharset) {
    if (body.startsWith("\xEF\xBB\xBF"))
        return body; // the mark outranks any charset, for browsers and for the checks
    if (body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(body.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                         : QStringDecoder::Utf16BE);
        return utf8WithMark(utf16(QByteArrayView(body).sliced(2)));
    }
    QString label = headerCharset.trimmed().toLower();
    const bool fromHeader = !label.isEmpty();
    const bool validUtf8 = platform::isValidUtf8(body.constData(), body.size());
    if (!fromHeader)
        label = declaredCharset(validUtf8 ? QString::fromUtf8(body)
                                          : platform::decodeWindows1252(body));
    if (label.isEmpty())
        return body;
    const bool utf8 = isUtf8Label(label);
    const bool windows1252 = isWindows1252Label(label);
    // A page can only declare charsets it is written in bytes that ASCII reads alike; a meta tag
    // that says UTF-16 is read as UTF-8, as browsers do.
    if (!fromHeader && label.startsWith(QLatin1String("utf-16")))
        return validUtf8 ? body : utf8WithMark(QString::fromUtf8(body));
    if (utf8)
        return validUtf8 ? body : utf8WithMark(QString::fromUtf8(body));
    if (windows1252)
        return !validUtf8 || isAscii(body) ? body : utf8WithMark(platform::decodeWindows1252(body));
    QStringDecoder decoder(decoderName(label).toLatin1().constData());
    if (!decoder.isValid())
        return body;
    const QString text = decoder(body);
    const QString checksRead =
        validUtf8 ? QString::fromUtf8(body) : platform::decodeWindows1252(body);
    return text == checksRead ? body : utf8WithMark(text);
}

bool robotsHeaderNofollow(const QByteArray& values, const QString& agent) {
    for (const QByteArray& raw : values.split('\n')) {
        QByteArray line = raw.trimmed().toLower();
        // "name: directives" names the agent it is for; a directive such as unavailable_after
        // also holds a colon, but after a comma or as a known word.
        const qsizetype colon = line.indexOf(':');
        const qsizetype comma = line.indexOf(',');
        if (colon > 0 && (comma < 0 || colon < comma)) {
            const QByteArray name = line.left(colon).trimmed();
            if (name != "unavailable_after" && name != "max-snippet" &&
                name != "max-image-preview" && name != "max-video-preview") {
                if (name != agent.toLower().toUtf8())
                    continue;
                line = line.mid(colon + 1);
            }
        }
        for (const QByteArray& d : line.split(','))
            if (d.trimmed() == "nofollow" || d.trimmed() == "none")
                return true;
    }
    return false;
}

} // namespace webhost::site
