#include "headpipeline.h"

#include "tagreading.h"

#include "platform/ascii.h"

#include <QVarLengthArray>

namespace engine {

using platform::trimControl;

const QString kMissingBody = QStringLiteral("Missing '<BODY> or <FRAMESET>' Tag");
const QString kMissingEndHead = QStringLiteral("Missing '</HEAD>' Tag");
const QString kMissingHead = QStringLiteral("Missing '<HEAD>' Tag");
const QString kMissingEndScript =
    QStringLiteral("Invalid Usage in HEAD, Missing '</SCRIPT>' Tag - Cannot Continue!");
const QString kMissingEndStyle =
    QStringLiteral("Invalid Usage in HEAD, Missing '</STYLE>' Tag - Cannot Continue!");
const QString kEmptyTitle =
    QStringLiteral("Title Tag used improperly (Missing 'Content') The title tag requires some "
                   "content to be a useful addition!  "
                   "e.g. My Home Page please update this file before submitting it to the search "
                   "engines for ranking! ");
const QString kTitleNotEnded = QStringLiteral("Title Tag improperly ended (Missing '</title>') ");
const QString kTitleTagInside =
    QStringLiteral("Title Tag improperly ended. Another tag starts before '</title>' tag");
const QString kTitleMissingLine = QStringLiteral("<title>Title Missing - Fernlet</title>");

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kEndHead = QStringLiteral("</HEAD>");

// The text without the control characters and blanks at its ends (see trimControl).
QStringView trimmedControl(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= 32)
        ++b;
    while (e > b && s.at(e - 1).unicode() <= 32)
        --e;
    return s.mid(b, e - b);
}

// Removes every run of blanks directly before `mark`: the fixed point of deleting one such blank
// at a time.
QString dropBlanksBefore(const QString& s, QChar mark) {
    if (!s.contains(QLatin1Char(' ')))
        return s;
    QString out(s.size(), Qt::Uninitialized);
    QChar* d = out.data();
    qsizetype w = 0;
    qsizetype pendingBlanks = 0;
    for (QChar c : s) {
        if (c == QLatin1Char(' ')) {
            ++pendingBlanks;
            continue;
        }
        if (c != mark)
            for (; pendingBlanks > 0; --pendingBlanks)
                d[w++] = QLatin1Char(' ');
        pendingBlanks = 0;
        d[w++] = c;
    }
    for (; pendingBlanks > 0; --pendingBlanks)
        d[w++] = QLatin1Char(' ');
    out.truncate(w);
    return out;
}

QString dropBlanksAfter(const QString& s, QChar mark) {
    if (!s.contains(QLatin1Char(' ')))
        return s;
    QString out(s.size(), Qt::Uninitialized);
    QChar* d = out.data();
    qsizetype w = 0;
    bool afterMark = false;
    for (QChar c : s) {
        if (afterMark && c == QLatin1Char(' '))
            continue;
        afterMark = c == mark;
        d[w++] = c;
    }
    out.truncate(w);
    return out;
}

// "<META" (any case) followed by two or more blanks keeps one blank.
QString collapseAfterTagName(const QString& s, const QString& tagName) {
    QString out;
    out.reserve(s.size());
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype p = findNoCase(s, tagName, i);
        if (p < 0) {
            out.append(QStringView(s).mid(i));
            break;
        }
        const qsizetype after = p + tagName.size();
        out.append(QStringView(s).mid(i, after - i));
        qsizetype j = after;
        while (j < n && s.at(j) == QLatin1Char(' '))
            ++j;
        if (j - after >= 2) {
            out.append(QLatin1Char(' '));
            i = j;
        } else {
            i = after;
        }
    }
    return out;
}

QString breakBetweenTags(const QString& s) {
    const qsizetype n = s.size();
    qsizetype breaks = 0;
    for (qsizetype i = 0; i + 1 < n; ++i)
        breaks += s.at(i) == QLatin1Char('>') && s.at(i + 1) == QLatin1Char('<');
    if (breaks == 0)
        return s;
    QString out(n + 2 * breaks, Qt::Uninitialized);
    QChar* d = out.data();
    qsizetype w = 0;
    for (qsizetype i = 0; i < n; ++i) {
        d[w++] = s.at(i);
        if (s.at(i) == QLatin1Char('>') && i + 1 < n && s.at(i + 1) == QLatin1Char('<')) {
            d[w++] = QLatin1Char('\r');
            d[w++] = QLatin1Char('\n');
        }
    }
    return out;
}

// While the text holds " </HEAD>" (any case), that occurrence with its blank becomes "</HEAD>".
QString joinEndHead(const QString& text) {
    if (findNoCase(text, QStringLiteral(" </HEAD>")) < 0)
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype p = findNoCase(text, kEndHead, i);
        if (p < 0) {
            out.append(QStringView(text).mid(i));
            break;
        }
        qsizetype b = p;
        while (b > i && text.at(b - 1) == QLatin1Char(' '))
            --b;
        out.append(QStringView(text).mid(i, b - i));
        out.append(b < p ? kEndHead : text.mid(p, kEndHead.size()));
        i = p + kEndHead.size();
    }
    return out;
}

} // namespace

void addLines(QStringList& pane, const QString& text) {
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')))
        pane += splitWorkingLines(text);
    else
        pane.append(text);
}

std::optional<Extracted> ExtractBetween(const QString& s, const QString& a, const QString& b,
                                        bool caseSensitive, bool include) {
    if (s.isEmpty())
        return std::nullopt;
    auto findIn = [&](const QString& what, qsizetype from) {
        return caseSensitive ? s.indexOf(what, from) : findNoCase(s, what, from);
    };
    const qsizetype pa = a.isEmpty() ? 0 : findIn(a, 0);
    if (pa < 0)
        return std::nullopt;
    const qsizetype start = include ? pa : pa + a.size();
    if (b.isEmpty())
        return Extracted{s.mid(start), start};
    const qsizetype pb = findIn(b, start);
    if (pb < 0)
        return std::nullopt;
    if (include)
        return Extracted{s.mid(pa, pb + b.size() - pa), pa};
    return Extracted{s.mid(start, pb - start), start};
}

QString RemoveBetween(const QString& s, const QString& a, const QString& b) {
    const qsizetype pa = findNoCase(s, a);
    if (pa < 0)
        return s;
    const qsizetype pb = findNoCase(s, b, pa + a.size());
    if (pb < 0)
        return s;
    QString out = s;
    out.remove(pa, pb + b.size() - pa);
    return out;
}

int HeadLineIndex(const WorkingCopy& wc) {
    for (int i = 0; i < wc.lineCount(); ++i)
        if (containsNoCase(wc.line(i), u"<HEAD"))
            return i;
    return -1;
}

bool IsXHTMLDocument(const QString& text) {
    const auto doctype =
        ExtractBetween(text, QStringLiteral("<!DOCTYPE"), QStringLiteral(">"), false, false);
    if (!doctype || !containsNoCase(doctype->text, QStringLiteral("HTML")))
        return false;
    for (const char16_t* fpi :
         {u"\"-//W3C//DTD XHTML 1.0 STRICT//EN\"", u"\"-//W3C//DTD XHTML 1.0 TRANSITIONAL//EN\"",
          u"\"-//W3C//DTD XHTML 1.0 FRAMESET//EN\""})
        if (containsNoCase(doctype->text, fpi))
            return true;
    return false;
}

QString FormatHeadTag(PageState& st) {
    const QString plain = QStringLiteral("<HEAD>");
    if (!st.xhtml)
        return plain;
    const QString t = st.htmlrichedit.text();
    const auto tag = ExtractBetween(t, QStringLiteral("<HEAD"), QStringLiteral(">"), false, true);
    if (!tag)
        return plain;
    QString h = tag->text;
    h.replace(kCrLf, QStringLiteral(" "));
    h.replace(QLatin1Char('\t'), QLatin1Char(' '));
    if (HeadLineIndex(st.htmlrichedit) == -1)
        return plain;
    QString rest = RemoveBetween(t, QStringLiteral("<HEAD"), QStringLiteral(">"));
    rest.insert(tag->position, h + kCrLf);
    st.htmlrichedit.setText(rest);
    if (st.htmlrichedit.indexOfLine(h) < 0) {
        const qsizetype p = st.htmlrichedit.find(QStringLiteral("<head"));
        if (p >= 0)
            st.htmlrichedit.insertText(p, kCrLf);
        SetCRLFLineBreaks(st);
    }
    return h;
}

void extractHeadSection(PageState& st, const QString& t) {
    st.headTag = QStringLiteral("<head>");
    st.htmlrichedit.setText(t);
    qsizetype body = findNoCase(t, QStringLiteral("<BODY"));
    if (body < 0)
        body = findNoCase(t, QStringLiteral("<FRAMESET"));
    if (body < 0) {
        st.failed.append(kMissingBody);
        return;
    }
    const qsizetype endHead = findNoCase(t, kEndHead, 0, body);
    if (endHead < 0) {
        st.failed.append(kMissingEndHead);
        return;
    }
    st.htmlrichedit.setText(t.left(endHead + kEndHead.size()));
    st.xhtml = IsXHTMLDocument(st.htmlrichedit.text());
    st.headTag = FormatHeadTag(st);
}

void SetCRLFLineBreaks(PageState& st) {
    const QString& t = st.htmlrichedit.text();
    if (!t.contains(QLatin1Char('\r')) && !t.contains(QLatin1Char('\n')))
        return;
    const qsizetype n = t.size();
    QString out(2 * n, Qt::Uninitialized);
    QChar* d = out.data();
    qsizetype w = 0;
    bool changed = false;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = t.at(i);
        if (c == QLatin1Char('\r')) {
            d[w++] = QLatin1Char('\r');
            d[w++] = QLatin1Char('\n');
            if (i + 1 < n && t.at(i + 1) == QLatin1Char('\n'))
                ++i;
            else
                changed = true;
        } else if (c == QLatin1Char('\n')) {
            d[w++] = QLatin1Char('\r');
            d[w++] = QLatin1Char('\n');
            changed = true;
        } else {
            d[w++] = c;
        }
    }
    if (!changed)
        return; // already CR LF throughout
    out.truncate(w);
    st.htmlrichedit.setText(out);
}

HeadBlock SetUpHeadBlock(PageState& st) {
    WorkingCopy& wc = st.htmlrichedit;
    wc.setText(joinEndHead(wc.text()));

    HeadBlock b;
    const qsizetype tagLen = st.headTag.size();
    if (wc.indexOfLine(st.headTag) >= 0) {
        b.hs = wc.find(st.headTag) + tagLen;
    } else {
        const qsizetype p = wc.find(st.headTag);
        if (p < 0) {
            st.failed.append(kMissingHead);
            b.hs = 0; // the layout does not hold for such a page; start from the top
        } else {
            wc.insertText(p + 6, kCrLf);
            qsizetype at = p;
            if (wc.indexOfLine(st.headTag) < 0) {
                wc.insertText(p, kCrLf);
                at = p + 2;
            }
            b.hs = at + tagLen;
        }
    }

    if (wc.indexOfLine(kEndHead) < 0) {
        const qsizetype p = wc.find(kEndHead, b.hs);
        if (p < 0) {
            st.failed.append(kMissingEndHead);
        } else {
            wc.insertText(p + kEndHead.size(), kCrLf);
            wc.insertText(p, kCrLf);
        }
    }
    b.he = wc.find(kEndHead, b.hs);

    // Only the first script and the first style element of the head are split off.
    const struct {
        QStringView open;
        QStringView close;
        const QString& missing;
    } elements[] = {{u"<script", u"</script>", kMissingEndScript},
                    {u"<style", u"</style>", kMissingEndStyle}};
    for (const auto& el : elements) {
        b.he = wc.find(kEndHead, b.hs);
        const qsizetype p = wc.find(el.open, b.hs, b.he);
        if (p < 0)
            continue;
        wc.insertText(p, kCrLf);
        b.he = wc.find(kEndHead, b.hs);
        const qsizetype q = wc.find(el.close, p + 2 + el.open.size(), b.he);
        if (q < 0) {
            st.failed.append(el.missing);
        } else {
            wc.insertText(q + el.close.size(), kCrLf);
            wc.insertText(q, kCrLf);
        }
    }
    b.he = wc.find(kEndHead, b.hs);
    return b;
}

qsizetype FormatTitleLine(PageState& st, qsizetype hs, qsizetype he, PaneOutput& out) {
    WorkingCopy& wc = st.htmlrichedit;
    const qsizetype rangeEnd = he < 0 ? -1 : he + 1;
    const qsizetype open = wc.find(QStringLiteral("<title>"), hs, rangeEnd);
    if (open < 0) {
        wc.insertLine(wc.indexOfLine(st.headTag) + 1, kTitleMissingLine);
        return he;
    }
    const qsizetype close = wc.find(QStringLiteral("</title>"), open, rangeEnd);
    if (close < 0) {
        out.failed.append(kTitleNotEnded);
        return he;
    }
    const qsizetype inner = wc.text().indexOf(QLatin1Char('<'), open + 1);
    if (inner >= 0 && inner < close)
        out.failed.append(kTitleTagInside);
    const qsizetype elementEnd = close + 8;
    QString element = wc.text().mid(open, elementEnd - open);
    element.remove(QLatin1Char('\r'));
    element.replace(QLatin1Char('\n'), QLatin1Char(' '));
    QString t = wc.text();
    t.replace(open, elementEnd - open, kCrLf + element + kCrLf);
    wc.setText(t);
    const qsizetype newHe = wc.find(kEndHead, hs);
    if (close == open + 7)
        st.failed.append(kEmptyTitle);
    return newHe;
}

void PositionTitleLine(PageState& st) {
    WorkingCopy& wc = st.htmlrichedit;
    const int start = wc.indexOfLine(st.headTag) + 1;
    int end = wc.indexOfLine(kEndHead);
    if (end < 0)
        end = wc.lineCount();
    for (int i = start; i < end; ++i) {
        if (containsNoCase(wc.line(i), u"<Title>")) {
            if (i != start)
                wc.moveLine(i, start);
            return;
        }
    }
}

void PositionLines(PageState& st) {
    // Every line break already separates lines here (the working copy splits what it is given),
    // so replacing the text by itself would change nothing.
    WorkingCopy& wc = st.htmlrichedit;
    const int s = wc.indexOfLine(st.headTag) + 2;
    const int e = wc.indexOfLine(u"</head>");
    if (e < 0 || s >= e || s < 0)
        return;
    // The PICS labels last one first, then the other meta tags, then the rest but empty lines.
    enum Kind : char { Pics, Meta, Other, Empty };
    QVarLengthArray<Kind, 256> kinds(e - s);
    for (int i = s; i < e; ++i) {
        const QStringView l = wc.line(i);
        kinds[i - s] = containsNoCase(l, u"<meta http-equiv=\"PICS-Label\"") ? Pics
                       : containsNoCase(l, u"<META")                         ? Meta
                       : l.isEmpty()                                         ? Empty
                                                                             : Other;
    }
    QList<int> order;
    order.reserve(e - s);
    for (int i = e - 1; i >= s; --i)
        if (kinds[i - s] == Pics)
            order.append(i);
    for (const Kind k : {Meta, Other})
        for (int i = s; i < e; ++i)
            if (kinds[i - s] == k)
                order.append(i);
    wc.arrangeLines(s, e, order);
}

void SetUpMetaLines(PageState& st, PaneOutput& out) {
    const HeadBlock b = SetUpHeadBlock(st);
    FormatTitleLine(st, b.hs, b.he, out);
    PositionTitleLine(st);

    WorkingCopy& wc = st.htmlrichedit;
    const int s = wc.indexOfLine(st.headTag) + 1;
    const int e = wc.indexOfLine(u"</head>");
    QString j;
    if (e >= 0) {
        bool inside = false;
        for (int i = s; i < e; ++i) {
            const QStringView l = wc.line(i);
            if (containsNoCase(l, u"<SCRIPT") || containsNoCase(l, u"<STYLE")) {
                inside = true;
            } else if (equalsNoCase(l, u"</SCRIPT>") || equalsNoCase(l, u"</STYLE>")) {
                inside = false;
            } else if (!inside) {
                j += trimmedControl(l);
                if (j.endsWith(QLatin1Char('"')))
                    j += QLatin1Char(' ');
                wc.clearLine(i);
            }
        }
    }
    // Each rule is applied until it no longer matches.
    j = dropBlanksBefore(j, QLatin1Char('<'));
    j = dropBlanksBefore(j, QLatin1Char('='));
    j = dropBlanksAfter(j, QLatin1Char('='));
    j = collapseAfterTagName(j, QStringLiteral("<META"));
    j = collapseAfterTagName(j, QStringLiteral("<LINK"));
    j = breakBetweenTags(j);
    wc.insertLine(s, j);

    PositionTitleLine(st);
    PositionLines(st);
}

void runHeadPipeline(PageState& st, const QString& pageText, RuleTable& grid1,
                     const RuleValues& rules, PaneOutput& out,
                     const std::function<void(PageStep)>& after) {
    auto done = [&](PageStep step) {
        if (after)
            after(step);
    };
    extractHeadSection(st, pageText);
    done(PageStep::HeadExtracted);
    SetCRLFLineBreaks(st);
    done(PageStep::LineBreaksSet);
    SetUpMetaLines(st, out);
    done(PageStep::MetaLinesSet);
    BuildTagList(st.tagList, TagReading::DescriptionAndKeywords, grid1, rules);
    ReadTags(st, TagReading::DescriptionAndKeywords, st.tagList, grid1);
    done(PageStep::DescriptionAndKeywordsRead);
    BuildTagList(st.tagList, TagReading::RuleTable, grid1, rules);
    ReadTags(st, TagReading::RuleTable, st.tagList, grid1);
    done(PageStep::RuleTableRead);
}

} // namespace engine
