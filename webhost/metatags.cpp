#include "metatags.h"

#include "host.h"

#include <QList>

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
};

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
    while (i < n && (s.at(i).isLetterOrNumber() || s.at(i) == QLatin1Char('-') || s.at(i) == QLatin1Char(':')))
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
        while (i < n && !isSpace(s.at(i)) && s.at(i) != QLatin1Char('=') && s.at(i) != QLatin1Char('>') &&
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
                a.value = unescapeAttribute(s.mid(j + 1, stop - j - 1));
                j = close < 0 ? n : close + 1;
            } else {
                const qsizetype b = j;
                while (j < n && !isSpace(s.at(j)) && s.at(j) != QLatin1Char('>'))
                    ++j;
                a.value = unescapeAttribute(s.mid(b, j - b));
            }
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

std::optional<Tag> findMeta(const QString& html, const QString& name, qsizetype* headEnd) {
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
        if (tag.name == QLatin1String("meta")) {
            for (const Attribute& a : tag.attributes) {
                if ((a.name.compare(QLatin1String("name"), Qt::CaseInsensitive) == 0 ||
                     a.name.compare(QLatin1String("http-equiv"), Qt::CaseInsensitive) == 0) &&
                    a.value.compare(name, Qt::CaseInsensitive) == 0)
                    return tag;
            }
        }
        if (tag.name == QLatin1String("script") || tag.name == QLatin1String("style")) {
            const qsizetype close = html.indexOf(QLatin1String("</") + tag.name, tag.end, Qt::CaseInsensitive);
            pos = close < 0 ? n : close;
            continue;
        }
        pos = tag.end > lt ? tag.end : lt + 1;
    }
    return std::nullopt;
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
        case '&': out += QLatin1String("&amp;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        default: out += c;
        }
    }
    return out;
}

QString unescapeAttribute(const QString& value) {
    if (!value.contains(QLatin1Char('&')))
        return value;
    QString out;
    qsizetype i = 0;
    while (i < value.size()) {
        const QChar c = value.at(i);
        const qsizetype semi = c == QLatin1Char('&') ? value.indexOf(QLatin1Char(';'), i + 1) : -1;
        if (semi > i && semi - i <= 10) {
            const QString ent = value.mid(i + 1, semi - i - 1);
            QString rep;
            if (ent == QLatin1String("amp"))
                rep = QStringLiteral("&");
            else if (ent == QLatin1String("quot"))
                rep = QStringLiteral("\"");
            else if (ent == QLatin1String("lt"))
                rep = QStringLiteral("<");
            else if (ent == QLatin1String("gt"))
                rep = QStringLiteral(">");
            else if (ent == QLatin1String("apos"))
                rep = QStringLiteral("'");
            else if (ent.startsWith(QLatin1Char('#'))) {
                bool ok = false;
                const uint cp = (ent.size() > 1 && (ent.at(1) == QLatin1Char('x') || ent.at(1) == QLatin1Char('X')))
                                    ? ent.mid(2).toUInt(&ok, 16)
                                    : ent.mid(1).toUInt(&ok, 10);
                if (ok && cp > 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF)) {
                    const char32_t u = cp;
                    rep = QString::fromUcs4(&u, 1);
                }
            }
            if (!rep.isNull()) {
                out += rep;
                i = semi + 1;
                continue;
            }
        }
        out += c;
        ++i;
    }
    return out;
}

std::optional<MetaTagSpan> findMetaTag(const QString& html, const QString& name) {
    const std::optional<Tag> tag = findMeta(html, name, nullptr);
    if (!tag)
        return std::nullopt;
    MetaTagSpan span;
    span.tagStart = tag->start;
    span.tagEnd = tag->end;
    span.selfClosing = tag->selfClosing;
    for (const Attribute& a : tag->attributes) {
        if (a.name.compare(QLatin1String("content"), Qt::CaseInsensitive) == 0 && a.valueStart >= 0) {
            span.hasContent = true;
            span.contentStart = a.valueStart;
            span.contentEnd = a.valueEnd;
            span.content = a.value;
            break;
        }
    }
    return span;
}

QString withMetaTag(const QString& html, const QString& name, const QString& content) {
    const QString value = QLatin1Char('"') + escapeAttribute(content) + QLatin1Char('"');
    if (const auto span = findMetaTag(html, name)) {
        QString out = html;
        if (span->hasContent)
            return out.replace(span->contentStart, span->contentEnd - span->contentStart, value);
        qsizetype at = span->tagEnd - (span->selfClosing ? 2 : 1);
        while (at > span->tagStart && (html.at(at - 1) == QLatin1Char(' ') || html.at(at - 1) == QLatin1Char('/')))
            --at;
        return out.insert(at, QStringLiteral(" content=") + value);
    }
    qsizetype headEnd = -1;
    findMeta(html, name, &headEnd);
    if (headEnd < 0)
        throw HostError(QStringLiteral("The page has no head section to hold the meta tag \"%1\".").arg(name));
    const bool xhtml = html.contains(QLatin1String("<?xml")) || html.contains(QLatin1String("XHTML"), Qt::CaseInsensitive);
    const QString tag = QStringLiteral("<meta name=\"") + escapeAttribute(name) + QStringLiteral("\" content=") +
                        value + (xhtml ? QStringLiteral(" />") : QStringLiteral(">"));
    qsizetype lineStart = headEnd;
    while (lineStart > 0 && (html.at(lineStart - 1) == QLatin1Char(' ') || html.at(lineStart - 1) == QLatin1Char('\t')))
        --lineStart;
    QString out = html;
    if (lineStart == 0 || html.at(lineStart - 1) == QLatin1Char('\n') || html.at(lineStart - 1) == QLatin1Char('\r'))
        return out.insert(lineStart, html.mid(lineStart, headEnd - lineStart) + tag + lineEnding(html));
    return out.insert(headEnd, tag);
}

} // namespace webhost
