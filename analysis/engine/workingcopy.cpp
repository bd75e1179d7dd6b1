#include "workingcopy.h"

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace engine {

namespace {

inline char16_t asciiFold(char16_t c) {
    // Upper case of the ASCII letters only.
    return (c >= 'a' && c <= 'z') ? char16_t(c - 32) : c;
}

bool isAscii(const QString& s) {
    for (QChar c : s)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

} // namespace

QStringList splitWorkingLines(const QString& text) {
    QStringList lines;
    if (text.isEmpty())
        return lines;
    const QChar* d = text.constData();
    const qsizetype n = text.size();
    qsizetype breaks = 0;
    for (qsizetype i = 0; i < n; ++i)
        breaks += d[i].unicode() == '\n' || d[i].unicode() == '\r';
    lines.reserve(breaks + 1); // at most one line more than breaks: no regrowing on long texts
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c == '\r' || c == '\n') {
            lines.append(QString(d + start, i - start));
            if (c == '\r' && i + 1 < n && d[i + 1].unicode() == '\n')
                ++i;
            start = i + 1;
        }
    }
    lines.append(QString(d + start, n - start));
    return lines;
}

#if defined(__x86_64__)
// Candidates for an ASCII needle 16 characters at a time: where its first two characters stand,
// either case. Answers the first position that matches, or -1 with `i` left where it stopped.
static __attribute__((target("avx2"))) qsizetype scanAvx2(const char16_t* t, const char16_t* w, qsizetype m, qsizetype& i,
                                                  qsizetype last) {
    auto fold = [](char16_t c) { return (c >= 'a' && c <= 'z') ? char16_t(c - 32) : c; };
    auto lower = [](char16_t c) { return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c; };
    const char16_t f0 = fold(w[0]), f1 = fold(w[1]);
    const __m256i a0 = _mm256_set1_epi16(short(f0)), a0l = _mm256_set1_epi16(short(lower(f0)));
    const __m256i a1 = _mm256_set1_epi16(short(f1)), a1l = _mm256_set1_epi16(short(lower(f1)));
    for (; i + 16 <= last + 1; i += 16) {
        const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i));
        const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i + 1));
        const __m256i e0 = _mm256_or_si256(_mm256_cmpeq_epi16(v0, a0), _mm256_cmpeq_epi16(v0, a0l));
        const __m256i e1 = _mm256_or_si256(_mm256_cmpeq_epi16(v1, a1), _mm256_cmpeq_epi16(v1, a1l));
        unsigned mask = unsigned(_mm256_movemask_epi8(_mm256_and_si256(e0, e1)));
        while (mask) {
            const qsizetype at = i + (qCountTrailingZeroBits(mask) >> 1);
            qsizetype k = 2;
            while (k < m && fold(t[at + k]) == fold(w[k]))
                ++k;
            if (k == m)
                return at;
            mask &= mask - 1;
            mask &= mask - 1;
        }
    }
    return -1;
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif

qsizetype findNoCase(const QString& text, const QString& what, qsizetype from, qsizetype to) {
    const qsizetype n = text.size();
    if (to < 0 || to > n)
        to = n;
    if (from < 0)
        from = 0;
    const qsizetype m = what.size();
    if (m == 0 || to - from < m)
        return -1;
    if (!isAscii(what)) {
        // Unicode case folding for the rare non-ASCII needle.
        return QStringView(text).left(to).indexOf(what, from, Qt::CaseInsensitive);
    }
    const char16_t* t = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* w = reinterpret_cast<const char16_t*>(what.constData());
    const qsizetype last = to - m; // the last position where a match can start
    auto matchesAt = [&](qsizetype i) {
        for (qsizetype k = 0; k < m; ++k)
            if (asciiFold(t[i + k]) != asciiFold(w[k]))
                return false;
        return true;
    };
    const char16_t f0 = asciiFold(w[0]);
    const char16_t f0l = (f0 >= 'A' && f0 <= 'Z') ? char16_t(f0 + 32) : f0;
    qsizetype i = from;
#if defined(__x86_64__)
    if (m >= 2 && kHasAvx2) {
        const qsizetype at = scanAvx2(t, w, m, i, last);
        if (at >= 0)
            return at;
    }
    if (m >= 2) {
        // Candidates are the places where the needle's first two characters stand (either case).
        const char16_t f1 = asciiFold(w[1]);
        const char16_t f1l = (f1 >= 'A' && f1 <= 'Z') ? char16_t(f1 + 32) : f1;
        const __m128i a0 = _mm_set1_epi16(short(f0)), a0l = _mm_set1_epi16(short(f0l));
        const __m128i a1 = _mm_set1_epi16(short(f1)), a1l = _mm_set1_epi16(short(f1l));
        for (; i + 8 <= last + 1; i += 8) {
            const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + 1));
            const __m128i e0 = _mm_or_si128(_mm_cmpeq_epi16(v0, a0), _mm_cmpeq_epi16(v0, a0l));
            const __m128i e1 = _mm_or_si128(_mm_cmpeq_epi16(v1, a1), _mm_cmpeq_epi16(v1, a1l));
            unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(e0, e1)));
            while (mask) {
                const qsizetype at = i + (qCountTrailingZeroBits(mask) >> 1);
                if (matchesAt(at))
                    return at;
                mask &= mask - 1;
                mask &= mask - 1; // both bytes of the lane
            }
        }
    }
#endif
    for (; i <= last; ++i) {
        const char16_t c = t[i];
        if ((c == f0 || c == f0l) && matchesAt(i))
            return i;
    }
    return -1;
}

bool containsNoCase(const QString& text, const QString& what) {
    return findNoCase(text, what) >= 0;
}

const QString& WorkingCopy::text() const {
    if (!m_textValid) {
        m_text = m_lines.join(QLatin1String("\r\n"));
        m_textValid = true;
    }
    return m_text;
}

void WorkingCopy::setText(const QString& text) {
    m_text = text;
    m_textValid = true;
    m_linesValid = false;
}

const QStringList& WorkingCopy::lines() const {
    if (!m_linesValid) {
        m_lines = splitWorkingLines(m_text);
        m_linesValid = true;
    }
    return m_lines;
}

void WorkingCopy::setLines(const QStringList& lines) {
    auto hasBreak = [](const QString& l) {
        return l.contains(QLatin1Char('\r')) || l.contains(QLatin1Char('\n'));
    };
    const auto firstBreak = std::find_if(lines.cbegin(), lines.cend(), hasBreak);
    if (firstBreak == lines.cend()) {
        m_lines = lines; // shared, not copied line by line
    } else {
        QStringList split;
        split.reserve(lines.size());
        for (auto it = lines.cbegin(); it != lines.cend(); ++it) {
            if (it >= firstBreak && hasBreak(*it))
                split += splitWorkingLines(*it);
            else
                split.append(*it);
        }
        m_lines = std::move(split);
    }
    m_linesValid = true;
    m_textValid = false;
}

void WorkingCopy::insertLine(int index, const QString& text) {
    lines();
    if (!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n'))) {
        m_lines.insert(index, text);
    } else {
        // All the parts in one move of the lines after them: a head of many tags arrives here as
        // one text of many lines.
        const QStringList parts = splitWorkingLines(text);
        QStringList joined;
        joined.reserve(m_lines.size() + parts.size());
        for (qsizetype i = 0; i < index; ++i)
            joined.append(std::move(m_lines[i]));
        joined.append(parts);
        for (qsizetype i = index; i < m_lines.size(); ++i)
            joined.append(std::move(m_lines[i]));
        m_lines = std::move(joined);
    }
    m_textValid = false;
}

void WorkingCopy::deleteLine(int index) {
    lines();
    m_lines.removeAt(index);
    m_textValid = false;
}

int WorkingCopy::indexOfLine(const QString& text) const {
    if (m_linesValid) {
        for (qsizetype i = 0; i < m_lines.size(); ++i)
            if (m_lines.at(i).size() == text.size() && findNoCase(m_lines.at(i), text) == 0)
                return int(i);
        return -1;
    }
    // Walk the text's lines in place rather than splitting it.
    const QChar* d = m_text.constData();
    const qsizetype n = m_text.size();
    if (n == 0)
        return -1;
    int index = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= n; ++i) {
        const char16_t c = i < n ? d[i].unicode() : u'\n';
        if (c != '\r' && c != '\n')
            continue;
        if (i - start == text.size() && findNoCase(m_text, text, start, i) == start)
            return index;
        if (c == '\r' && i + 1 < n && d[i + 1].unicode() == '\n')
            ++i;
        start = i + 1;
        ++index;
    }
    return -1;
}

qsizetype WorkingCopy::find(const QString& what, qsizetype from, qsizetype to) const {
    return findNoCase(text(), what, from, to);
}

void WorkingCopy::insertText(qsizetype position, const QString& text) {
    QString t = this->text();
    t.insert(position, text);
    setText(t);
}

} // namespace engine
