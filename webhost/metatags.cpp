#include "metatags.h"

#include "host.h"

#include <QList>

#include <algorithm>
#include <iterator>

namespace webhost {

namespace {

bool isSpace(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\n') || c == QLatin1Char('\f');
}

struct Attribute {
    QString name;
    QString value;
    qsizetype valueStart = -1; // quotes included
    qsizetype valueEnd = -1;
    qsizetype innerStart = -1; // quotes excluded
    qsizetype innerEnd = -1;
    QChar quote; // null for a value without quotes
};

// The named character references of HTML 4 (and XML's apos), sorted by name.
struct NamedEntity {
    const char* name;
    char32_t codePoint;
};
constexpr NamedEntity kEntities[] = {
    {"AElig", 0xC6},     {"Aacute", 0xC1},   {"Acirc", 0xC2},     {"Agrave", 0xC0},
    {"Alpha", 0x391},    {"Aring", 0xC5},    {"Atilde", 0xC3},    {"Auml", 0xC4},
    {"Beta", 0x392},     {"Ccedil", 0xC7},   {"Chi", 0x3A7},      {"Dagger", 0x2021},
    {"Delta", 0x394},    {"ETH", 0xD0},      {"Eacute", 0xC9},    {"Ecirc", 0xCA},
    {"Egrave", 0xC8},    {"Epsilon", 0x395}, {"Eta", 0x397},      {"Euml", 0xCB},
    {"Gamma", 0x393},    {"Iacute", 0xCD},   {"Icirc", 0xCE},     {"Igrave", 0xCC},
    {"Iota", 0x399},     {"Iuml", 0xCF},     {"Kappa", 0x39A},    {"Lambda", 0x39B},
    {"Mu", 0x39C},       {"Ntilde", 0xD1},   {"Nu", 0x39D},       {"OElig", 0x152},
    {"Oacute", 0xD3},    {"Ocirc", 0xD4},    {"Ograve", 0xD2},    {"Omega", 0x3A9},
    {"Omicron", 0x39F},  {"Oslash", 0xD8},   {"Otilde", 0xD5},    {"Ouml", 0xD6},
    {"Phi", 0x3A6},      {"Pi", 0x3A0},      {"Prime", 0x2033},   {"Psi", 0x3A8},
    {"Rho", 0x3A1},      {"Scaron", 0x160},  {"Sigma", 0x3A3},    {"THORN", 0xDE},
    {"Tau", 0x3A4},      {"Theta", 0x398},   {"Uacute", 0xDA},    {"Ucirc", 0xDB},
    {"Ugrave", 0xD9},    {"Upsilon", 0x3A5}, {"Uuml", 0xDC},      {"Xi", 0x39E},
    {"Yacute", 0xDD},    {"Yuml", 0x178},    {"Zeta", 0x396},     {"aacute", 0xE1},
    {"acirc", 0xE2},     {"acute", 0xB4},    {"aelig", 0xE6},     {"agrave", 0xE0},
    {"alefsym", 0x2135}, {"alpha", 0x3B1},   {"amp", 0x26},       {"and", 0x2227},
    {"ang", 0x2220},     {"apos", 0x27},     {"aring", 0xE5},     {"asymp", 0x2248},
    {"atilde", 0xE3},    {"auml", 0xE4},     {"bdquo", 0x201E},   {"beta", 0x3B2},
    {"brvbar", 0xA6},    {"bull", 0x2022},   {"cap", 0x2229},     {"ccedil", 0xE7},
    {"cedil", 0xB8},     {"cent", 0xA2},     {"chi", 0x3C7},      {"circ", 0x2C6},
    {"clubs", 0x2663},   {"cong", 0x2245},   {"copy", 0xA9},      {"crarr", 0x21B5},
    {"cup", 0x222A},     {"curren", 0xA4},   {"dArr", 0x21D3},    {"dagger", 0x2020},
    {"darr", 0x2193},    {"deg", 0xB0},      {"delta", 0x3B4},    {"diams", 0x2666},
    {"divide", 0xF7},    {"eacute", 0xE9},   {"ecirc", 0xEA},     {"egrave", 0xE8},
    {"empty", 0x2205},   {"emsp", 0x2003},   {"ensp", 0x2002},    {"epsilon", 0x3B5},
    {"equiv", 0x2261},   {"eta", 0x3B7},     {"eth", 0xF0},       {"euml", 0xEB},
    {"euro", 0x20AC},    {"exist", 0x2203},  {"fnof", 0x192},     {"forall", 0x2200},
    {"frac12", 0xBD},    {"frac14", 0xBC},   {"frac34", 0xBE},    {"frasl", 0x2044},
    {"gamma", 0x3B3},    {"ge", 0x2265},     {"gt", 0x3E},        {"hArr", 0x21D4},
    {"harr", 0x2194},    {"hearts", 0x2665}, {"hellip", 0x2026},  {"iacute", 0xED},
    {"icirc", 0xEE},     {"iexcl", 0xA1},    {"igrave", 0xEC},    {"image", 0x2111},
    {"infin", 0x221E},   {"int", 0x222B},    {"iota", 0x3B9},     {"iquest", 0xBF},
    {"isin", 0x2208},    {"iuml", 0xEF},     {"kappa", 0x3BA},    {"lArr", 0x21D0},
    {"lambda", 0x3BB},   {"lang", 0x2329},   {"laquo", 0xAB},     {"larr", 0x2190},
    {"lceil", 0x2308},   {"ldquo", 0x201C},  {"le", 0x2264},      {"lfloor", 0x230A},
    {"lowast", 0x2217},  {"loz", 0x25CA},    {"lrm", 0x200E},     {"lsaquo", 0x2039},
    {"lsquo", 0x2018},   {"lt", 0x3C},       {"macr", 0xAF},      {"mdash", 0x2014},
    {"micro", 0xB5},     {"middot", 0xB7},   {"minus", 0x2212},   {"mu", 0x3BC},
    {"nabla", 0x2207},   {"nbsp", 0xA0},     {"ndash", 0x2013},   {"ne", 0x2260},
    {"ni", 0x220B},      {"not", 0xAC},      {"notin", 0x2209},   {"nsub", 0x2284},
    {"ntilde", 0xF1},    {"nu", 0x3BD},      {"oacute", 0xF3},    {"ocirc", 0xF4},
    {"oelig", 0x153},    {"ograve", 0xF2},   {"oline", 0x203E},   {"omega", 0x3C9},
    {"omicron", 0x3BF},  {"oplus", 0x2295},  {"or", 0x2228},      {"ordf", 0xAA},
    {"ordm", 0xBA},      {"oslash", 0xF8},   {"otilde", 0xF5},    {"otimes", 0x2297},
    {"ouml", 0xF6},      {"para", 0xB6},     {"part", 0x2202},    {"permil", 0x2030},
    {"perp", 0x22A5},    {"phi", 0x3C6},     {"pi", 0x3C0},       {"piv", 0x3D6},
    {"plusmn", 0xB1},    {"pound", 0xA3},    {"prime", 0x2032},   {"prod", 0x220F},
    {"prop", 0x221D},    {"psi", 0x3C8},     {"quot", 0x22},      {"rArr", 0x21D2},
    {"radic", 0x221A},   {"rang", 0x232A},   {"raquo", 0xBB},     {"rarr", 0x2192},
    {"rceil", 0x2309},   {"rdquo", 0x201D},  {"real", 0x211C},    {"reg", 0xAE},
    {"rfloor", 0x230B},  {"rho", 0x3C1},     {"rlm", 0x200F},     {"rsaquo", 0x203A},
    {"rsquo", 0x2019},   {"sbquo", 0x201A},  {"scaron", 0x161},   {"sdot", 0x22C5},
    {"sect", 0xA7},      {"shy", 0xAD},      {"sigma", 0x3C3},    {"sigmaf", 0x3C2},
    {"sim", 0x223C},     {"spades", 0x2660}, {"sub", 0x2282},     {"sube", 0x2286},
    {"sum", 0x2211},     {"sup", 0x2283},    {"sup1", 0xB9},      {"sup2", 0xB2},
    {"sup3", 0xB3},      {"supe", 0x2287},   {"szlig", 0xDF},     {"tau", 0x3C4},
    {"there4", 0x2234},  {"theta", 0x3B8},   {"thetasym", 0x3D1}, {"thinsp", 0x2009},
    {"thorn", 0xFE},     {"tilde", 0x2DC},   {"times", 0xD7},     {"trade", 0x2122},
    {"uArr", 0x21D1},    {"uacute", 0xFA},   {"uarr", 0x2191},    {"ucirc", 0xFB},
    {"ugrave", 0xF9},    {"uml", 0xA8},      {"upsih", 0x3D2},    {"upsilon", 0x3C5},
    {"uuml", 0xFC},      {"weierp", 0x2118}, {"xi", 0x3BE},       {"yacute", 0xFD},
    {"yen", 0xA5},       {"yuml", 0xFF},     {"zeta", 0x3B6},     {"zwj", 0x200D},
    {"zwnj", 0x200C},
};

char32_t namedEntity(QStringView name) {
    const auto it = std::lower_bound(
        std::begin(kEntities), std::end(kEntities), name,
        [](const NamedEntity& e, QStringView n) { return n.compare(QLatin1String(e.name)) > 0; });
    return it != std::end(kEntities) && name.compare(QLatin1String(it->name)) == 0 ? it->codePoint
                                                                                   : 0;
}

// Where a decoded value's characters come from: one entry per character or reference of the raw
// text, with the raw and decoded offsets just after it.
struct Unit {
    qsizetype rawEnd;
    qsizetype decodedEnd;
};

QString decodeAttribute(QStringView raw, QList<Unit>* units) {
    QString out;
    out.reserve(raw.size());
    qsizetype i = 0;
    while (i < raw.size()) {
        const QChar c = raw.at(i);
        const qsizetype semi = c == QLatin1Char('&') ? raw.indexOf(QLatin1Char(';'), i + 1) : -1;
        qsizetype next = i + 1;
        if (semi > i && semi - i <= 10) {
            const QStringView ent = raw.mid(i + 1, semi - i - 1);
            char32_t cp = 0;
            if (ent.startsWith(QLatin1Char('#'))) {
                bool ok = false;
                const uint n = (ent.size() > 1 &&
                                (ent.at(1) == QLatin1Char('x') || ent.at(1) == QLatin1Char('X')))
                                   ? ent.mid(2).toUInt(&ok, 16)
                                   : ent.mid(1).toUInt(&ok, 10);
                if (ok && n > 0 && n <= 0x10FFFF && (n < 0xD800 || n > 0xDFFF))
                    cp = n;
            } else {
                cp = namedEntity(ent);
            }
            if (cp) {
                out += QString::fromUcs4(&cp, 1);
                next = semi + 1;
            }
        }
        if (next == i + 1) {
            out += c;
            if (c.isHighSurrogate() && i + 1 < raw.size() && raw.at(i + 1).isLowSurrogate()) {
                out += raw.at(i + 1);
                next = i + 2;
            }
        }
        i = next;
        if (units)
            units->append({i, out.size()});
    }
    return out;
}

// Escapes for a value between the given quotes (null: none).
QString escapeFor(const QString& value, QChar quote) {
    if (quote != QLatin1Char('\''))
        return escapeAttribute(value);
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool needsQuotes(const QString& value) {
    if (value.isEmpty())
        return true;
    for (QChar c : value)
        if (isSpace(c) || QStringView(u"\"'=<>`").contains(c))
            return true;
    return false;
}

struct Tag {
    QString name; // lower case, '/' first for an end tag
    qsizetype start = 0;
    qsizetype end = 0; // after '>'
    bool selfClosing = false;
    QList<Attribute> attributes;
};

// Reads the tag that starts with '<' at pos; end is the text's size when it is never closed.
Tag readTag(const QString& s, qsizetype pos) {
    Tag tag;
    tag.start = pos;
    const qsizetype n = s.size();
    qsizetype i = pos + 1;
    if (i < n && s.at(i) == QLatin1Char('/')) {
        tag.name += QLatin1Char('/');
        ++i;
    }
    while (i < n && (s.at(i).isLetterOrNumber() || s.at(i) == QLatin1Char('-') ||
                     s.at(i) == QLatin1Char(':')))
        tag.name += s.at(i++).toLower();
    while (i < n) {
        while (i < n && isSpace(s.at(i)))
            ++i;
        if (i >= n)
            break;
        const QChar c = s.at(i);
        if (c == QLatin1Char('>')) {
            tag.end = i + 1;
            return tag;
        }
        if (c == QLatin1Char('/')) {
            if (i + 1 < n && s.at(i + 1) == QLatin1Char('>')) {
                tag.selfClosing = true;
                tag.end = i + 2;
                return tag;
            }
            ++i;
            continue;
        }
        Attribute a;
        while (i < n && !isSpace(s.at(i)) && s.at(i) != QLatin1Char('=') &&
               s.at(i) != QLatin1Char('>') &&
               !(s.at(i) == QLatin1Char('/') && i + 1 < n && s.at(i + 1) == QLatin1Char('>')))
            a.name += s.at(i++);
        qsizetype j = i;
        while (j < n && isSpace(s.at(j)))
            ++j;
        if (j < n && s.at(j) == QLatin1Char('=')) {
            ++j;
            while (j < n && isSpace(s.at(j)))
                ++j;
            a.valueStart = j;
            if (j < n && (s.at(j) == QLatin1Char('"') || s.at(j) == QLatin1Char('\''))) {
                const QChar q = s.at(j);
                const qsizetype close = s.indexOf(q, j + 1);
                const qsizetype stop = close < 0 ? n : close;
                a.quote = q;
                a.innerStart = j + 1;
                a.innerEnd = stop;
                j = close < 0 ? n : close + 1;
            } else {
                a.innerStart = j;
                while (j < n && !isSpace(s.at(j)) && s.at(j) != QLatin1Char('>'))
                    ++j;
                a.innerEnd = j;
            }
            a.value = unescapeAttribute(s.mid(a.innerStart, a.innerEnd - a.innerStart));
            a.valueEnd = j;
            i = j;
        }
        if (a.name.isEmpty() && a.valueStart < 0)
            ++i; // a stray character; keep moving
        tag.attributes.append(a);
    }
    tag.end = n;
    return tag;
}

// The first tag of the head that matches; headEnd (when given) receives where the head ends, -1
// when the walk ran to the end of the text without finding it.
template <typename Match>
std::optional<Tag> findHeadTag(const QString& html, Match matches, qsizetype* headEnd) {
    const qsizetype n = html.size();
    qsizetype pos = 0;
    if (headEnd)
        *headEnd = -1;
    while (pos < n) {
        const qsizetype lt = html.indexOf(QLatin1Char('<'), pos);
        if (lt < 0)
            break;
        if (html.mid(lt, 4) == QLatin1String("<!--")) {
            const qsizetype close = html.indexOf(QLatin1String("-->"), lt + 4);
            if (close < 0)
                break;
            pos = close + 3;
            continue;
        }
        const Tag tag = readTag(html, lt);
        if (tag.name == QLatin1String("/head") || tag.name == QLatin1String("body")) {
            if (headEnd)
                *headEnd = lt;
            return std::nullopt;
        }
        if (matches(tag))
            return tag;
        if (tag.name == QLatin1String("script") || tag.name == QLatin1String("style")) {
            const qsizetype close =
                html.indexOf(QLatin1String("</") + tag.name, tag.end, Qt::CaseInsensitive);
            pos = close < 0 ? n : close;
            continue;
        }
        pos = tag.end > lt ? tag.end : lt + 1;
    }
    return std::nullopt;
}

// The first attribute of that name that has a value.
const Attribute* attribute(const Tag& tag, const char* name) {
    for (const Attribute& a : tag.attributes)
        if (a.valueStart >= 0 && a.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return &a;
    return nullptr;
}

std::optional<Tag> findMeta(const QString& html, const QString& name, qsizetype* headEnd) {
    return findHeadTag(
        html,
        [&](const Tag& tag) {
            if (tag.name != QLatin1String("meta"))
                return false;
            for (const Attribute& a : tag.attributes)
                if ((a.name.compare(QLatin1String("name"), Qt::CaseInsensitive) == 0 ||
                     a.name.compare(QLatin1String("http-equiv"), Qt::CaseInsensitive) == 0) &&
                    a.value.compare(name, Qt::CaseInsensitive) == 0)
                    return true;
            return false;
        },
        headEnd);
}

QString lineEnding(const QString& html) {
    const qsizetype lf = html.indexOf(QLatin1Char('\n'));
    if (lf > 0 && html.at(lf - 1) == QLatin1Char('\r'))
        return QStringLiteral("\r\n");
    if (lf >= 0)
        return QStringLiteral("\n");
    if (html.contains(QLatin1Char('\r')))
        return QStringLiteral("\r");
    return QStringLiteral("\r\n");
}

} // namespace

QString escapeAttribute(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescapeAttribute(const QString& value) {
    if (!value.contains(QLatin1Char('&')))
        return value;
    return decodeAttribute(value, nullptr);
}

std::optional<MetaTagSpan> findMetaTag(const QString& html, const QString& name) {
    const std::optional<Tag> tag = findMeta(html, name, nullptr);
    if (!tag)
        return std::nullopt;
    MetaTagSpan span;
    span.tagStart = tag->start;
    span.tagEnd = tag->end;
    span.selfClosing = tag->selfClosing;
    if (const Attribute* a = attribute(*tag, "content")) {
        span.hasContent = true;
        span.contentStart = a->valueStart;
        span.contentEnd = a->valueEnd;
        span.content = a->value;
    }
    return span;
}

namespace {

// The edit of an attribute value that keeps its raw text except where the decoded texts differ.
std::optional<TextEdit> valueEdit(const QString& html, const Attribute& a, const QString& content) {
    const QStringView raw = QStringView(html).mid(a.innerStart, a.innerEnd - a.innerStart);
    QList<Unit> units;
    const QString old = decodeAttribute(raw, &units);
    if (old == content)
        return std::nullopt;
    const qsizetype common = qMin(old.size(), content.size());
    qsizetype prefix = 0;
    while (prefix < common && old.at(prefix) == content.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < common - prefix &&
           old.at(old.size() - 1 - suffix) == content.at(content.size() - 1 - suffix))
        ++suffix;
    // Whole characters and references only: the kept stretches end on a unit's boundary.
    qsizetype rawFrom = 0, decodedFrom = 0;
    qsizetype rawTo = raw.size(), decodedTo = old.size();
    for (const Unit& u : units) {
        if (u.decodedEnd <= prefix) {
            rawFrom = u.rawEnd;
            decodedFrom = u.decodedEnd;
        }
    }
    const qsizetype keptEnd = old.size() - suffix;
    for (qsizetype k = -1; k < units.size(); ++k) {
        const qsizetype dec = k < 0 ? 0 : units.at(k).decodedEnd;
        if (dec >= keptEnd && dec >= decodedFrom) {
            rawTo = k < 0 ? 0 : units.at(k).rawEnd;
            decodedTo = dec;
            break;
        }
    }
    const QString middle =
        content.mid(decodedFrom, content.size() - (old.size() - decodedTo) - decodedFrom);
    const QString inserted = escapeFor(middle, a.quote);
    const QString value = raw.left(rawFrom).toString() + inserted + raw.mid(rawTo).toString();
    // A kept '&' could read differently beside the new text; then the whole value is written anew.
    if (decodeAttribute(value, nullptr) == content) {
        if (!a.quote.isNull() || !needsQuotes(value))
            return TextEdit{a.innerStart + rawFrom, rawTo - rawFrom, inserted};
        if (!value.contains(QLatin1Char('"')))
            return TextEdit{a.valueStart, a.valueEnd - a.valueStart,
                            QLatin1Char('"') + value + QLatin1Char('"')};
    }
    const QChar quote = a.quote.isNull() ? QChar(u'"') : a.quote;
    QString whole = quote + escapeFor(content, quote);
    if (a.quote.isNull() || a.valueEnd > a.innerEnd)
        whole += quote; // a value left open stays open
    return TextEdit{a.valueStart, a.valueEnd - a.valueStart, whole};
}

const QStringList& utf8Labels() {
    static const QStringList labels{"utf-8",         "utf8",          "unicode-1-1-utf-8",
                                    "unicode11utf8", "unicode20utf8", "x-unicode20utf8"};
    return labels;
}

// The labels that browsers read as Windows-1252 (ISO-8859-1 and ASCII among them).
const QStringList& windows1252Labels() {
    static const QStringList labels{"windows-1252",  "cp1252",   "x-cp1252",   "iso-8859-1",
                                    "iso8859-1",     "iso88591", "iso_8859-1", "iso_8859-1:1987",
                                    "iso-ir-100",    "l1",       "latin1",     "csisolatin1",
                                    "ibm819",        "cp819",    "us-ascii",   "ascii",
                                    "ansi_x3.4-1968"};
    return labels;
}

QString charsetIn(const QString& contentType) {
    const qsizetype at = contentType.indexOf(QLatin1String("charset"), 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    qsizetype i = at + 7;
    while (i < contentType.size() && isSpace(contentType.at(i)))
        ++i;
    if (i >= contentType.size() || contentType.at(i) != QLatin1Char('='))
        return QString();
    ++i;
    while (i < contentType.size() &&
           (isSpace(contentType.at(i)) || contentType.at(i) == QLatin1Char('"') ||
            contentType.at(i) == QLatin1Char('\'')))
        ++i;
    qsizetype end = i;
    while (end < contentType.size() && !isSpace(contentType.at(end)) &&
           !QStringView(u";\"'").contains(contentType.at(end)))
        ++end;
    return contentType.mid(i, end - i);
}

qsizetype utf8Length(QStringView text) {
    qsizetype n = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        n += u < 0x80                    ? 1
             : u < 0x800                 ? 2
             : QChar::isHighSurrogate(u) ? 4
             : QChar::isLowSurrogate(u)  ? 0
                                         : 3;
    }
    return n;
}

qsizetype byteOffset(const platform::DecodedText& page, qsizetype position) {
    switch (page.encoding) {
    case platform::TextEncoding::Windows1252:
        return position; // one byte a character
    case platform::TextEncoding::Utf8:
        return utf8Length(QStringView(page.text).left(position));
    case platform::TextEncoding::Utf8Bom:
        return 3 + utf8Length(QStringView(page.text).left(position));
    }
    return position;
}

} // namespace

std::optional<TextEdit> metaTagEdit(const QString& html, const QString& name,
                                    const QString& content) {
    qsizetype headEnd = -1;
    if (const std::optional<Tag> tag = findMeta(html, name, &headEnd)) {
        if (const Attribute* value = attribute(*tag, "content"))
            return valueEdit(html, *value, content);
        qsizetype at = tag->end - (tag->selfClosing ? 2 : 1);
        while (at > tag->start &&
               (html.at(at - 1) == QLatin1Char(' ') || html.at(at - 1) == QLatin1Char('/')))
            --at;
        return TextEdit{
            at, 0, QStringLiteral(" content=\"") + escapeAttribute(content) + QLatin1Char('"')};
    }
    if (headEnd < 0)
        throw HostError(
            QStringLiteral("The page has no head section to hold the meta tag \"%1\".").arg(name));
    const bool xhtml = html.contains(QLatin1String("<?xml")) ||
                       html.contains(QLatin1String("XHTML"), Qt::CaseInsensitive);
    const QString tag = QStringLiteral("<meta name=\"") + escapeAttribute(name) +
                        QStringLiteral("\" content=\"") + escapeAttribute(content) +
                        QLatin1Char('"') + (xhtml ? QStringLiteral(" />") : QStringLiteral(">"));
    qsizetype lineStart = headEnd;
    while (lineStart > 0 && (html.at(lineStart - 1) == QLatin1Char(' ') ||
                             html.at(lineStart - 1) == QLatin1Char('\t')))
        --lineStart;
    // On a line of its own, indented like the end of the head.
    if (lineStart == 0 || html.at(lineStart - 1) == QLatin1Char('\n') ||
        html.at(lineStart - 1) == QLatin1Char('\r'))
        return TextEdit{lineStart, 0,
                        html.mid(lineStart, headEnd - lineStart) + tag + lineEnding(html)};
    return TextEdit{headEnd, 0, tag};
}

QString withMetaTag(const QString& html, const QString& name, const QString& content) {
    const std::optional<TextEdit> edit = metaTagEdit(html, name, content);
    if (!edit)
        return html;
    QString out = html;
    return out.replace(edit->position, edit->removed, edit->inserted);
}

bool isUtf8Label(const QString& label) {
    return utf8Labels().contains(label);
}
bool isWindows1252Label(const QString& label) {
    return windows1252Labels().contains(label);
}

QString declaredCharset(const QString& html) {
    QString label;
    findHeadTag(
        html,
        [&](const Tag& tag) {
            if (tag.name != QLatin1String("meta"))
                return false;
            if (const Attribute* charset = attribute(tag, "charset"))
                label = charset->value;
            else if (const Attribute* equiv = attribute(tag, "http-equiv");
                     equiv &&
                     equiv->value.compare(QLatin1String("content-type"), Qt::CaseInsensitive) == 0)
                if (const Attribute* type = attribute(tag, "content"))
                    label = charsetIn(type->value);
            return !label.trimmed().isEmpty();
        },
        nullptr);
    if (label.trimmed().isEmpty() && html.startsWith(QLatin1String("<?xml"))) {
        const qsizetype close = html.indexOf(QLatin1String("?>"));
        const QString declaration = html.left(close < 0 ? 0 : close);
        const qsizetype at = declaration.indexOf(QLatin1String("encoding"));
        if (at >= 0)
            label = charsetIn(QStringLiteral("charset") + declaration.mid(at + 8));
    }
    return label.trimmed().toLower();
}

NewTextBytes newTextBytes(const QString& html, platform::TextEncoding encoding) {
    using platform::TextEncoding;
    if (encoding == TextEncoding::Utf8Bom)
        return NewTextBytes::Utf8; // the mark outranks any declaration
    const bool ascii =
        encoding == TextEncoding::Utf8 &&
        std::all_of(html.begin(), html.end(), [](QChar c) { return c.unicode() < 0x80; });
    const QString label = declaredCharset(html);
    if (label.isEmpty())
        return encoding == TextEncoding::Windows1252 ? NewTextBytes::Windows1252
               : ascii                               ? NewTextBytes::References
                                                     : NewTextBytes::Utf8;
    // Where the bytes contradict the declaration, references read right either way.
    if (utf8Labels().contains(label))
        return encoding == TextEncoding::Utf8 ? NewTextBytes::Utf8 : NewTextBytes::References;
    if (windows1252Labels().contains(label))
        return encoding == TextEncoding::Windows1252 || ascii ? NewTextBytes::Windows1252
                                                              : NewTextBytes::References;
    return NewTextBytes::References;
}

QByteArray encodeNewText(const QString& text, NewTextBytes how) {
    switch (how) {
    case NewTextBytes::Utf8:
        return text.toUtf8();
    case NewTextBytes::Windows1252:
        return platform::encodeWindows1252Ncr(text);
    case NewTextBytes::References: {
        QByteArray out;
        out.reserve(text.size());
        for (const char32_t cp : text.toUcs4()) {
            if (cp < 0x80)
                out.append(char(cp));
            else
                out.append("&#").append(QByteArray::number(quint32(cp))).append(';');
        }
        return out;
    }
    }
    return text.toUtf8();
}

std::optional<QByteArray> withMetaTagBytes(const QByteArray& page, const QString& name,
                                           const QString& content) {
    const platform::DecodedText decoded = platform::decodeText(page);
    const std::optional<TextEdit> edit = metaTagEdit(decoded.text, name, content);
    if (!edit)
        return std::nullopt;
    const qsizetype from = byteOffset(decoded, edit->position);
    const qsizetype to = byteOffset(decoded, edit->position + edit->removed);
    return page.left(from) +
           encodeNewText(edit->inserted, newTextBytes(decoded.text, decoded.encoding)) +
           page.mid(to);
}

} // namespace webhost
