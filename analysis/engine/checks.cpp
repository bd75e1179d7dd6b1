#include "checks.h"

#include "commatext.h"
#include "numbers.h"
#include "textmap.h"
#include "workingcopy.h"

#include "platform/ascii.h"

#include <QHash>
#include <QSet>
#include <QtAlgorithms>

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace engine {

using platform::trimControl;

const QString kPassedHeading = QStringLiteral("Listing of files that passed the checks.");
const QString kFailedHeading = QStringLiteral("Listing of files that failed the checks.");
const QString kKeywordHeading = QStringLiteral("Keyword Check");

namespace {

const QString kLabelStart = QStringLiteral("<meta http-equiv=\"PICS-Label\" content='(PICS-1.1 ");

struct AsciiWordTable {
    bool word[128] = {};
    constexpr AsciiWordTable() {
        for (int c = 0; c < 128; ++c)
            word[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_';
    }
};
constexpr AsciiWordTable kAsciiWord;

inline bool isWordChar(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return kAsciiWord.word[u];
    return c.isLetterOrNumber() || c.isMark();
}

// Simple case folding, character by character, so that positions stay; fast for ASCII.
QString fold(const QString& s) {
    QString out = s;
    QChar* d = out.data();
    const qsizetype n = out.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = d[i].unicode();
        if (u < 0x80) {
            if (u >= 'A' && u <= 'Z')
                d[i] = QChar(char16_t(u + 32));
        } else if (!QChar::isSurrogate(u)) {
            d[i] = QChar(char16_t(QChar::toCaseFolded(char32_t(u))));
        }
    }
    return out;
}

// Appends the pending head-problem lines of the page to a pane and empties them.
void movePending(PageState& st, QStringList& pane) {
    pane += st.failed;
    st.failed.clear();
}

void lengthRule(QString& reason, const QString& value, const QString& row, const QString& minName,
                const QString& minText, const QString& maxName, const QString& maxText) {
    const int min = wholeNumber(minName, minText);
    const int max = wholeNumber(maxName, maxText);
    if (value.size() < min)
        reason += QStringLiteral("\r\n    Warning: ") + row +
                  QStringLiteral(" is less than the minimum value");
    if (value.size() > max)
        reason += QStringLiteral("\r\n    Warning: ") + row +
                  QStringLiteral(" is greater than the maximum value");
}

} // namespace

const PicsLabel& safeSurfLabel() {
    static const PicsLabel l{kLabelStart + QStringLiteral("\"http://www.classify.org"),
                             QStringLiteral("SafeSurf not present")};
    return l;
}

const PicsLabel& rsacLabel() {
    static const PicsLabel l{kLabelStart + QStringLiteral("\"http://www.rsac.org"),
                             QStringLiteral("RSAC not present")};
    return l;
}

const PicsLabel& weburbiaLabel() {
    static const PicsLabel l{QStringLiteral("PICS-1.1 \"http://www.weburbia.com"),
                             QStringLiteral("Weburbia not present")};
    return l;
}

bool policyCheck(PageState& st, const PageText& pageText, const QString& address,
                 const RuleValues& rules, const RuleTable& ruleTable, PaneOutput& out,
                 const CheckOptions& options) {
    bool wroteEntry = false;
    QString failureReason;
    if (!pageText.read) {
        addLines(out.passed,
                 QStringLiteral("  ERROR: Cannot Load Active File: \r\n") + pageText.readError);
        out.passed.append(QString());
    } else {
        const QString& page = pageText.text;

        if (!containsNoCase(page, QStringLiteral("<META"))) {
            out.failed.append(
                (options.batch ? QStringLiteral("File = ") : QStringLiteral("File ")) + address);
            movePending(st, out.failed);
            out.failed << QStringLiteral("    File has no meta tags") << QString();
            wroteEntry = true;
        }

        const std::pair<const QString*, const PicsLabel*> pics[] = {
            {&rules.rsafe, &safeSurfLabel()},
            {&rules.rrsac, &rsacLabel()},
            {&rules.rweb, &weburbiaLabel()}};
        for (const auto& [sw, label] : pics) {
            if (RuleValues::on(*sw) && !containsNoCase(page, label->pattern)) {
                if (!failureReason.isEmpty())
                    failureReason += QStringLiteral(", ");
                failureReason += label->missingText;
            }
        }

        for (int r = 1; r < ruleTable.rowCount(); ++r) {
            const QString row = ruleTable.cell(0, r);
            const QString name = trimControl(platform::asciiLower(row));
            const QString value = trimControl(ruleTable.cell(1, r));
            if (!name.isEmpty() && value.isEmpty())
                failureReason += QStringLiteral("\r\n    Error: ") + row +
                                 QStringLiteral(" Does not have a value");
            if (name == QLatin1String("keywords")) {
                st.keywordsContent = value;
                lengthRule(failureReason, value, row, QStringLiteral("keywordsm"), rules.keywordsm,
                           QStringLiteral("keywords"), rules.keywords);
            } else if (name == QLatin1String("description")) {
                lengthRule(failureReason, value, row, QStringLiteral("descriptionm"),
                           rules.descriptionm, QStringLiteral("description"), rules.description);
            }
        }
    }

    if (failureReason.isEmpty()) {
        out.passed.append(QStringLiteral("File = ") + address);
        // Problem lines of a page that passes are shown with that page, never with another.
        movePending(st, out.passed);
    } else {
        out.failed.append(QStringLiteral("File = ") + address);
        movePending(st, out.failed);
        addLines(out.failed, QStringLiteral("    ") + failureReason);
        out.failed.append(QString());
        wroteEntry = true;
    }
    return wroteEntry;
}

BodyRegion prepareBodyRegion(const QString& t, int n) {
    BodyRegion region;
    const qsizetype body = findNoCase(t, QStringLiteral("<body"));
    if (body < 0)
        return region;
    region.found = true;
    const qsizetype start = qMin<qsizetype>(body + 5, t.size());
    const qsizetype limit = n <= 0 ? start : qMin<qsizetype>(start + qsizetype(n), t.size());
    // An end-body tag beyond the count limit does not matter: look only as far as it.
    const qsizetype close =
        findNoCase(t, QStringLiteral("</body>"), start, qMin<qsizetype>(limit + 7, t.size()));
    const qsizetype end = close >= 0 ? qMin(close, limit) : limit;
    // Eight characters at a time, '=' made a blank on the way; a '<' or '>' gets its blank one
    // at a time.
    const char16_t* src = QStringView(t).utf16() + start;
    const qsizetype len = end - start;
    QString prepared(2 * len, Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(prepared.data());
    qsizetype w = 0;
    qsizetype i = 0;
    while (i < len) {
#if defined(__x86_64__)
        const __m128i eq = _mm_set1_epi16('='), lt = _mm_set1_epi16('<'), gt = _mm_set1_epi16('>');
        const __m128i blank = _mm_set1_epi16(' ');
        while (i + 8 <= len) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
            const __m128i isEq = _mm_cmpeq_epi16(v, eq);
            v = _mm_or_si128(_mm_andnot_si128(isEq, v), _mm_and_si128(isEq, blank));
            const unsigned mask = unsigned(
                _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, lt), _mm_cmpeq_epi16(v, gt))));
            // Room for all 8: at most 2 characters are written for each one read.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + w), v);
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
        if (i >= len)
            break;
#endif
        const char16_t c = src[i++];
        if (c == '=') {
            d[w++] = ' ';
        } else if (c == '>') {
            d[w++] = c;
            d[w++] = ' ';
        } else if (c == '<') {
            d[w++] = ' ';
            d[w++] = c;
        } else {
            d[w++] = c;
        }
    }
    prepared.truncate(w);
    region.text = prepared;
    region.wordCutAtEnd =
        end > start && end < t.size() && isWordChar(t.at(end - 1)) && isWordChar(t.at(end));
    return region;
}

int countWholeWord(const QString& region, const QString& keyword, bool wordCutAtEnd) {
    if (keyword.isEmpty())
        return 0;
    int count = 0;
    qsizetype from = 0;
    const qsizetype m = keyword.size();
    const NoCaseNeedle needle(keyword);
    for (;;) {
        const qsizetype p = findNoCase(region, needle, from);
        if (p < 0)
            break;
        const bool before = p == 0 || !isWordChar(region.at(p - 1));
        const bool after = p + m >= region.size() ? !wordCutAtEnd : !isWordChar(region.at(p + m));
        // A keyword that itself starts or ends with a boundary needs none beside it there.
        const bool startOk = before || !isWordChar(keyword.at(0));
        const bool endOk = after || !isWordChar(keyword.at(m - 1));
        if (startOk && endOk)
            ++count;
        from = p + 1;
    }
    return count;
}

namespace {

bool isAsciiText(QStringView s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Occurrences of keywords in a region. Few keywords are each searched for; many one-word keywords
// are counted from one pass over the region's words, so that the work stays linear. A word
// counts as countWholeWord finds it: for an ASCII keyword only a word of ASCII letters of either
// case matches, for any other keyword every word equal to it under Unicode case folding.
class RegionCounter {
public:
    RegionCounter(const BodyRegion& region, const QStringList& keywords)
        : m_region(region.text), m_wordCutAtEnd(region.wordCutAtEnd),
          m_scan(qint64(keywords.size()) * region.text.size() <= kScanLimit) {
        if (m_scan)
            return;
        m_folded = fold(m_region); // character for character, so positions stay
        // Only words as long as some keyword can match one.
        QSet<qsizetype> lengths;
        for (const QString& k : keywords)
            lengths.insert(k.size());
        const qsizetype n = m_region.size();
        const QStringView text(m_region);
        qsizetype i = 0;
        while (i < n) {
            while (i < n && !isWordChar(text.at(i)))
                ++i;
            const qsizetype b = i;
            while (i < n && isWordChar(text.at(i)))
                ++i;
            if (i == n && m_wordCutAtEnd)
                break; // the page's word goes on past the region
            if (i > b && lengths.contains(i - b)) {
                Counts& counts = m_words[QStringView(m_folded).mid(b, i - b)];
                ++counts.any;
                counts.ascii += isAsciiText(text.mid(b, i - b));
            }
        }
    }
    int count(const QString& keyword) const {
        if (m_scan)
            return countWholeWord(m_region, keyword, m_wordCutAtEnd);
        for (QChar c : keyword)
            if (!isWordChar(c))
                return countWholeWord(m_region, keyword, m_wordCutAtEnd);
        const QString key = fold(keyword);
        const Counts counts = m_words.value(QStringView(key));
        return isAsciiText(keyword) ? counts.ascii : counts.any;
    }

private:
    struct Counts {
        int any = 0;   // words equal to the key under Unicode case folding
        int ascii = 0; // of those, the words of ASCII characters only
    };
    static constexpr qint64 kScanLimit = 4'000'000;
    const QString& m_region;
    const bool m_wordCutAtEnd;
    const bool m_scan;
    QString m_folded; // the keys below are views into it
    QHash<QStringView, Counts> m_words;
};

} // namespace

void keywordChecks(const PageState& st, const PageText& page, const QString& address,
                   const RuleValues& rules, PaneOutput& out, const CheckOptions& options) {
    out.keyword << QString() << QStringLiteral("File = ") + address;

    // Each keyword once, in order of first occurrence, with its number of occurrences.
    const QStringList k = splitCommaText(st.keywordsContent);
    QStringList c;
    TextMap counts;
    QList<QString> keys;
    for (const QString& item : k) {
        const QString key = fold(item);
        if (int* n = counts.find(key)) {
            ++*n;
        } else {
            counts.insertFirst(key, 1);
            c.append(item);
            keys.append(key);
        }
    }
    for (qsizetype i = 0; i < c.size(); ++i) {
        const int n = counts.value(keys.at(i));
        if (n > 6)
            out.keyword << QString()
                        << QStringLiteral("WARNING! Keyword %1 is repeated %2 times throughout "
                                          "keywords. Keywords Tag will be disqualified!")
                               .arg(c.at(i), QString::number(n))
                        << QString();
    }

    if (!c.isEmpty()) {
        const QStringList d = splitCommaText(st.descriptionContent);
        if (!d.isEmpty()) {
            TextMap words;
            for (const QString& w : d)
                words.insertFirst(fold(w), 0);
            const bool found = std::any_of(keys.begin(), keys.end(),
                                           [&](const QString& key) { return words.contains(key); });
            out.keyword.append(
                found
                    ? QStringLiteral(" Description Tag Passes: Keywords found in page description.")
                    : QStringLiteral(" WARNING! Keywords not found in page description."));
            if (!options.batch)
                out.keyword.append(QString());
        }
    }

    const int n = wholeNumber(QStringLiteral("bodychk"), rules.bodychk);
    if (!page.read) {
        addLines(out.passed,
                 QStringLiteral("ERROR: Cannot Load Active File: red\r\n") + page.readError);
        out.passed.append(QString());
        return;
    }
    if (!options.batch)
        out.keyword << QStringLiteral("Checking Keyword occurrences in first ") + rules.bodychk +
                           QStringLiteral(" characters")
                    << QString();
    if (c.isEmpty())
        return; // nothing to count: the body region is not needed
    const BodyRegion region = prepareBodyRegion(page.text, n);
    if (!options.batch)
        std::stable_sort(c.begin(), c.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
    const RegionCounter counter(region, c);
    for (const QString& kw : c) {
        if (kw.isEmpty() || kw == QLatin1String(" ") || kw == QLatin1String("\n") ||
            kw == QLatin1String("\r") || kw == QLatin1String("\r\n"))
            continue;
        out.keyword.append(
            QStringLiteral("%1 - %2 ").arg(trimControl(kw), QString::number(counter.count(kw))));
    }
}

} // namespace engine
