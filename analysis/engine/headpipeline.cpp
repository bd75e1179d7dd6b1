#include "headpipeline.h"

#include "tagreading.h"

#include "platform/ascii.h"

#include <QVarLengthArray>
#include <QtAlgorithms>

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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

// "<META" or "<LINK" (any case) stands right before position `at`.
inline bool isTagNameBefore(const char16_t* d, qsizetype at) {
    static const NoCaseNeedle meta(u"<META"), link(u"<LINK");
    if (at < 5)
        return false;
    const QStringView before(d + at - 5, 5);
    return equalsNoCase(before, meta) || equalsNoCase(before, link);
}

// The layout rules for the joined head in one pass, each as if applied until it no longer
// matches, in this order: no blanks before '<' and '=' nor after '=', one blank where "<META" or
// "<LINK" (any case) is followed by more, and a line break between "><".
QString normalizeJoinedHead(const QString& s) {
    const qsizetype n = s.size();
    const char16_t* d = QStringView(s).utf16();
    QString out(2 * n, Qt::Uninitialized);
    char16_t* o = reinterpret_cast<char16_t*>(out.data());
    qsizetype w = 0;
    qsizetype i = 0;
    while (i < n) {
#if defined(__x86_64__)
        // Characters other than blanks and '<' are copied as they stand, 8 at a time.
        const __m128i blank = _mm_set1_epi16(' '), lt = _mm_set1_epi16('<');
        while (i + 8 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
            const unsigned mask = unsigned(
                _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, blank), _mm_cmpeq_epi16(v, lt))));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + w), v); // room: w + 8 <= 2 * n
            if (!mask) {
                i += 8;
                w += 8;
                continue;
            }
            const qsizetype k = qCountTrailingZeroBits(mask) >> 1;
            i += k;
            w += k;
            break;
        }
        if (i >= n)
            break;
#endif
        const char16_t c = d[i];
        if (c == ' ') {
            // A run of blanks, decided as a whole: the rules only ever drop or shorten it.
            qsizetype k = i + 1;
            while (k < n && d[k] == ' ')
                ++k;
            const char16_t next = k < n ? d[k] : 0;
            if ((i > 0 && d[i - 1] == '=') || next == '<' || next == '=') {
                // dropped
            } else if (k - i >= 2 && isTagNameBefore(d, i)) {
                o[w++] = ' ';
            } else {
                for (qsizetype b = i; b < k; ++b)
                    o[w++] = ' ';
            }
            i = k;
            continue;
        }
        if (c == '<' && w > 0 && o[w - 1] == '>') {
            o[w++] = '\r';
            o[w++] = '\n';
        }
        o[w++] = c;
        ++i;
    }
    out.truncate(w);
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
    static const NoCaseNeedle head(u"<HEAD");
    for (int i = 0; i < wc.lineCount(); ++i)
        if (containsNoCase(wc.line(i), head))
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
    const QString t = st.workingCopy.text();
    const auto tag = ExtractBetween(t, QStringLiteral("<HEAD"), QStringLiteral(">"), false, true);
    if (!tag)
        return plain;
    QString h = tag->text;
    h.replace(kCrLf, QStringLiteral(" "));
    h.replace(QLatin1Char('\t'), QLatin1Char(' '));
    if (HeadLineIndex(st.workingCopy) == -1)
        return plain;
    QString rest = RemoveBetween(t, QStringLiteral("<HEAD"), QStringLiteral(">"));
    rest.insert(tag->position, h + kCrLf);
    st.workingCopy.setText(rest);
    if (st.workingCopy.indexOfLine(h) < 0) {
        const qsizetype p = st.workingCopy.find(QStringLiteral("<head"));
        if (p >= 0)
            st.workingCopy.insertText(p, kCrLf);
        SetCRLFLineBreaks(st);
    }
    return h;
}

void extractHeadSection(PageState& st, const QString& t) {
    st.headTag = QStringLiteral("<head>");
    st.workingCopy.setText(t);
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
    st.workingCopy.setText(t.left(endHead + kEndHead.size()));
    st.xhtml = IsXHTMLDocument(st.workingCopy.text());
    st.headTag = FormatHeadTag(st);
}

void SetCRLFLineBreaks(PageState& st) {
    const QString& t = st.workingCopy.text();
    const qsizetype n = t.size();
    const char16_t* d = QStringView(t).utf16();
    // Only a page with another kind of break than CR LF is rewritten.
    qsizetype i = nextLineBreak(t, 0);
    while (i < n && d[i] == '\r' && i + 1 < n && d[i + 1] == '\n')
        i = nextLineBreak(t, i + 2);
    if (i == n)
        return;
    QString out(2 * n - i, Qt::Uninitialized);
    char16_t* o = reinterpret_cast<char16_t*>(out.data());
    o = std::copy_n(d, i, o);
    while (i < n) {
        *o++ = '\r';
        *o++ = '\n';
        i += (d[i] == '\r' && i + 1 < n && d[i + 1] == '\n') ? 2 : 1;
        const qsizetype next = nextLineBreak(t, i);
        o = std::copy_n(d + i, next - i, o);
        i = next;
    }
    out.truncate(o - reinterpret_cast<char16_t*>(out.data()));
    st.workingCopy.setText(out);
}

HeadBlock SetUpHeadBlock(PageState& st) {
    WorkingCopy& wc = st.workingCopy;
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
    // A line break put in at or before the end-head tag moves it on by two; it never lands
    // inside that tag (each goes before '<' or after '>' of a tag) nor makes another.
    auto insertBreak = [&](qsizetype at) {
        wc.insertText(at, kCrLf);
        if (b.he >= 0 && at <= b.he)
            b.he += 2;
    };

    // Only the first script and the first style element of the head are split off.
    const struct {
        QStringView open;
        QStringView close;
        const QString& missing;
    } elements[] = {{u"<script", u"</script>", kMissingEndScript},
                    {u"<style", u"</style>", kMissingEndStyle}};
    for (const auto& el : elements) {
        const qsizetype p = wc.find(el.open, b.hs, b.he);
        if (p < 0)
            continue;
        insertBreak(p);
        const qsizetype q = wc.find(el.close, p + 2 + el.open.size(), b.he);
        if (q < 0) {
            st.failed.append(el.missing);
        } else {
            insertBreak(q + el.close.size());
            insertBreak(q);
        }
    }
    return b;
}

void FormatTitleLine(PageState& st, qsizetype hs, qsizetype he, PaneOutput& out) {
    WorkingCopy& wc = st.workingCopy;
    const qsizetype rangeEnd = he < 0 ? -1 : he + 1;
    const qsizetype open = wc.find(QStringLiteral("<title>"), hs, rangeEnd);
    if (open < 0) {
        wc.insertLine(wc.indexOfLine(st.headTag) + 1, kTitleMissingLine);
        return;
    }
    const qsizetype close = wc.find(QStringLiteral("</title>"), open, rangeEnd);
    if (close < 0) {
        out.failed.append(kTitleNotEnded);
        return;
    }
    const qsizetype inner = wc.text().indexOf(QLatin1Char('<'), open + 1);
    if (inner >= 0 && inner < close)
        out.failed.append(kTitleTagInside);
    const qsizetype elementEnd = close + 8;
    QString element = wc.text().mid(open, elementEnd - open);
    element.remove(QLatin1Char('\r'));
    element.replace(QLatin1Char('\n'), QLatin1Char(' '));
    wc.replaceText(open, elementEnd - open, kCrLf + element + kCrLf);
    if (close == open + 7)
        st.failed.append(kEmptyTitle);
}

void PositionTitleLine(PageState& st) {
    WorkingCopy& wc = st.workingCopy;
    const int count = wc.lineCount(); // split once, then looked up by lines
    const int start = wc.indexOfLine(st.headTag) + 1;
    int end = wc.indexOfLine(kEndHead);
    if (end < 0)
        end = count;
    static const NoCaseNeedle title(u"<Title>");
    for (int i = start; i < end; ++i) {
        if (containsNoCase(wc.line(i), title)) {
            if (i != start)
                wc.moveLine(i, start);
            return;
        }
    }
}

void PositionLines(PageState& st) {
    // Every line break already separates lines here (the working copy splits what it is given),
    // so replacing the text by itself would change nothing.
    WorkingCopy& wc = st.workingCopy;
    const int s = wc.indexOfLine(st.headTag) + 2;
    const int e = wc.indexOfLine(u"</head>");
    if (e < 0 || s >= e || s < 0)
        return;
    // The PICS labels last one first, then the other meta tags, then the rest but empty lines.
    static const NoCaseNeedle meta(u"<META"), pics(u"<meta http-equiv=\"PICS-Label\"");
    enum Kind : char { Pics, Meta, Other, Empty };
    QVarLengthArray<Kind, 256> kinds(e - s);
    for (int i = s; i < e; ++i) {
        const QStringView l = wc.line(i);
        // Both start with '<': one walk over the line's tags tells them.
        Kind kind = l.isEmpty() ? Empty : Other;
        for (qsizetype p = nextChar(l, '<'); p >= 0; p = nextChar(l, '<', p + 1)) {
            if (matchesNoCaseAt(l, p, pics)) {
                kind = Pics;
                break;
            }
            if (matchesNoCaseAt(l, p, meta))
                kind = Meta;
        }
        kinds[i - s] = kind;
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

    WorkingCopy& wc = st.workingCopy;
    const int s = wc.indexOfLine(st.headTag) + 1;
    const int e = wc.indexOfLine(u"</head>");
    QString j;
    if (e >= 0) {
        qsizetype size = 0;
        for (int i = s; i < e; ++i)
            size += wc.line(i).size() + 1;
        j.reserve(size);
        static const NoCaseNeedle script(u"<SCRIPT"), style(u"<STYLE"), endScript(u"</SCRIPT>"),
            endStyle(u"</STYLE>");
        bool inside = false;
        auto opensScriptOrStyle = [&](QStringView l) {
            for (qsizetype p = nextChar(l, '<'); p >= 0; p = nextChar(l, '<', p + 1))
                if (matchesNoCaseAt(l, p, script) || matchesNoCaseAt(l, p, style))
                    return true;
            return false;
        };
        for (int i = s; i < e; ++i) {
            const QStringView l = wc.line(i);
            if (opensScriptOrStyle(l)) {
                inside = true;
            } else if (equalsNoCase(l, endScript) || equalsNoCase(l, endStyle)) {
                inside = false;
            } else if (!inside) {
                j += trimmedControl(l);
                if (j.endsWith(QLatin1Char('"')))
                    j += QLatin1Char(' ');
                wc.clearLine(i);
            }
        }
    }
    wc.insertLine(s, normalizeJoinedHead(j));

    PositionTitleLine(st);
    PositionLines(st);
}

void runHeadPipeline(PageState& st, const QString& pageText, RuleTable& ruleTable,
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
    BuildTagList(st.tagList, TagReading::DescriptionAndKeywords, ruleTable, rules);
    ReadTags(st, TagReading::DescriptionAndKeywords, st.tagList, ruleTable);
    done(PageStep::DescriptionAndKeywordsRead);
    BuildTagList(st.tagList, TagReading::RuleTable, ruleTable, rules);
    ReadTags(st, TagReading::RuleTable, st.tagList, ruleTable);
    done(PageStep::RuleTableRead);
}

} // namespace engine
