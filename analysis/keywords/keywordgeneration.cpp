#include "keywordgeneration.h"

#include "analysis/engine/commatext.h"
#include "ickxmlp.h"
#include "stringhelpers.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace keywords {

namespace {

// Order of the sort keys ("%.6d" count, then the word, case aside): count first, then word.
bool keyLess(const WordCount& a, const WordCount& b) {
    if (a.count != b.count)
        return a.count < b.count;
    const int c = a.word.compare(b.word, Qt::CaseInsensitive);
    if (c != 0)
        return c < 0;
    return a.word < b.word;
}

bool removedByNormalising(char16_t c) {
    switch (c) {
    case u'%':
    case u'"':
    case u',':
    case u'\'':
    case u'<':
    case u'.':
    case u'>':
    case u')':
    case u'(':
        return true;
    default:
        return false;
    }
}

} // namespace

ExcerptResult bodyExcerpt(const QString& text, int& bodyLimit, QStringView& excerpt) {
    excerpt = QStringView();
    qsizetype start = text.indexOf(QLatin1String("<BODY"), 0, Qt::CaseInsensitive);
    if (start < 0)
        start = text.indexOf(QLatin1String("<FRAMESET"), 0, Qt::CaseInsensitive);
    if (start < 0)
        return ExcerptResult::NoBodyTag;
    qsizetype end = text.indexOf(QLatin1String("</BODY>"), start, Qt::CaseInsensitive);
    if (end < 0)
        end = text.indexOf(QLatin1String("</FRAMESET>"), start, Qt::CaseInsensitive);
    if (end < 0)
        return ExcerptResult::NoBodyEnd;
    // 7 is the length of "</BODY>", also after "</FRAMESET>".
    const qsizetype bodyLength = end + 7 - start;
    if (bodyLength < bodyLimit)
        bodyLimit = int(bodyLength);
    if (bodyLimit > 0)
        excerpt = QStringView(text).mid(start, qMin(qsizetype(bodyLimit), text.size() - start));
    return ExcerptResult::Excerpt;
}

void wireForText(TickXMLp& parser, QString& collection) {
    parser.SetFlushOnEOL(false);
    parser.SetPreserveWhiteSpace(true);
    parser.SetExtraNameChars(QString());
    parser.SetExtraSpaceChars(QString());
    parser.OnText = [&collection](TickXMLp&, QStringView run) {
        collection.append(run);
        collection.append(QLatin1String("\r\n"));
    };
    parser.OnEvalEntity = [](TickXMLp&, QStringView, QString& value) {
        value = QStringLiteral(" ");
    };
}

QString extractText(QStringView excerpt) {
    QString collection;
    collection.reserve(excerpt.size() + excerpt.size() / 4);
    TickXMLp parser;
    wireForText(parser, collection);
    parser.Input(excerpt);
    parser.Reset(true);
    return collection;
}

QString normalizeWord(const QString& word) {
    const auto* d = reinterpret_cast<const char16_t*>(word.constData());
    const qsizetype n = word.size();
    bool change = false;
    for (qsizetype i = 0; i < n && !change; ++i)
        change = removedByNormalising(d[i]) || (d[i] == u'=' && i + 1 < n && d[i + 1] == u'=');
    if (!change)
        return word;
    // Replacing "==" by "=" until none is left leaves one "=" of every run.
    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i];
        if (c == u'=' && !out.isEmpty() && out.back() == u'=' && i > 0 && d[i - 1] == u'=')
            continue;
        out += QChar(c);
    }
    out.removeIf([](QChar c) { return removedByNormalising(c.unicode()); });
    return out;
}

QList<WordCount> topWords(const QList<WordCount>& counts, int n) {
    const qsizetype m = qBound(qsizetype(0), qsizetype(n), counts.size());
    QList<WordCount> sorted = counts;
    const auto descending = [](const WordCount& a, const WordCount& b) { return keyLess(b, a); };
    std::partial_sort(sorted.begin(), sorted.begin() + m, sorted.end(), descending);
    sorted.resize(m);
    return sorted;
}

QString shareText(int count, int total, const QLocale& locale) {
    QLocale l = locale;
    l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator);
    const double share = total > 0 ? double(count) / double(total) * 100.0 : 0.0;
    return l.toString(share, 'f', 3);
}

Generation countText(const QString& text, const QStringList& noise, const QStringList& added,
                     int topCount) {
    // One table, keyed by the word case aside, answers both questions of a word: is it a noise
    // word or a queued keyword (as split), and which entry counts it (as normalised). A word
    // that normalising leaves as it was needs one look-up for both.
    struct Slot {
        bool drop = false;
        qsizetype entry = -1;
    };
    Generation g;
    // The words are filtered in place: the list of the split is the list that is kept.
    g.words = engine::splitCommaText(text);
    QStringList& words = g.words;
    QHash<QString, Slot> table;
    table.reserve(noise.size() + added.size() + words.size() / 8 + 16);
    for (const QString& w : noise)
        table[foldKey(w)].drop = true;
    for (const QString& w : added)
        table[foldKey(w)].drop = true;
    const auto count = [&g](Slot& slot, const QString& normal) {
        if (slot.entry < 0) {
            slot.entry = g.counts.size();
            g.counts.append({normal, 1});
        } else {
            ++g.counts[slot.entry].count;
        }
    };
    qsizetype kept = 0;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& w = words.at(i);
        QString key = foldKey(w);
        auto it = table.find(key);
        if (it != table.end() && it->drop)
            continue;
        const QString normal = normalizeWord(w);
        if (!normal.isEmpty()) {
            if (normal.constData() == w.constData()) {
                if (it == table.end())
                    it = table.insert(std::move(key), Slot{});
                count(*it, normal);
            } else {
                count(table[foldKey(normal)], normal);
            }
        }
        if (kept != i)
            words[kept] = std::move(words[i]);
        ++kept;
    }
    words.resize(kept);
    g.filteredWordCount = int(g.words.size());
    g.top = topWords(g.counts, topCount);
    return g;
}

} // namespace keywords
