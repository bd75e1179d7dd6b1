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

bool isAscii(QStringView s) {
    for (QChar c : s)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// The next CR or LF at or after i, or n.
inline qsizetype nextBreak(const char16_t* d, qsizetype i, qsizetype n) {
#if defined(__x86_64__)
    const __m128i cr = _mm_set1_epi16('\r'), lf = _mm_set1_epi16('\n');
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf))));
        if (mask)
            return i + (qCountTrailingZeroBits(mask) >> 1);
    }
#endif
    for (; i < n; ++i)
        if (d[i] == '\r' || d[i] == '\n')
            return i;
    return n;
}

} // namespace

void splitWorkingLines(QStringView text, QList<QStringView>& lines) {
    const qsizetype n = text.size();
    if (n == 0)
        return;
    const char16_t* d = text.utf16();
    qsizetype start = 0;
    for (;;) {
        const qsizetype i = nextBreak(d, start, n);
        if (i == n)
            break;
        lines.append(text.mid(start, i - start));
        start = i + 1 + (d[i] == '\r' && i + 1 < n && d[i + 1] == '\n');
    }
    lines.append(text.mid(start));
}

QStringList splitWorkingLines(const QString& text) {
    QList<QStringView> views;
    splitWorkingLines(QStringView(text), views);
    QStringList lines;
    lines.reserve(views.size());
    for (QStringView v : views)
        lines.append(v.toString());
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

qsizetype findNoCase(QStringView text, QStringView what, qsizetype from, qsizetype to) {
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
        return text.left(to).indexOf(what, from, Qt::CaseInsensitive);
    }
    const char16_t* t = text.utf16();
    const char16_t* w = what.utf16();
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

bool containsNoCase(QStringView text, QStringView what) {
    return findNoCase(text, what) >= 0;
}

bool equalsNoCase(QStringView text, QStringView what) {
    const qsizetype m = what.size();
    if (m == 0 || text.size() != m)
        return false; // as findNoCase finds no empty text
    if (!isAscii(what))
        return findNoCase(text, what) == 0;
    const char16_t* t = text.utf16();
    const char16_t* w = what.utf16();
    for (qsizetype k = 0; k < m; ++k)
        if (asciiFold(t[k]) != asciiFold(w[k]))
            return false;
    return true;
}

void WorkingCopy::splitText() const {
    m_store = {m_text}; // shared: a later change of the text leaves these lines as they are
    m_lines.clear();
    splitWorkingLines(QStringView(m_store.first()), m_lines);
    m_linesValid = true;
}

const QString& WorkingCopy::text() const {
    if (!m_textValid) {
        qsizetype size = 0;
        for (QStringView l : m_lines)
            size += l.size() + 2;
        QString t;
        t.reserve(qMax<qsizetype>(0, size - 2));
        for (qsizetype i = 0; i < m_lines.size(); ++i) {
            if (i > 0)
                t.append(QLatin1String("\r\n"));
            t.append(m_lines.at(i));
        }
        m_text = std::move(t);
        m_textValid = true;
    }
    return m_text;
}

void WorkingCopy::setText(const QString& text) {
    m_text = text;
    m_textValid = true;
    m_linesValid = false;
    m_store.clear();
    m_lines.clear();
}

int WorkingCopy::lineCount() const {
    if (!m_linesValid)
        splitText();
    return int(m_lines.size());
}

QStringView WorkingCopy::line(int index) const {
    if (!m_linesValid)
        splitText();
    return m_lines.at(index);
}

QStringList WorkingCopy::lines() const {
    if (!m_linesValid)
        splitText();
    QStringList out;
    out.reserve(m_lines.size());
    for (QStringView l : m_lines)
        out.append(l.toString());
    return out;
}

void WorkingCopy::insertLine(int index, const QString& text) {
    if (!m_linesValid)
        splitText();
    m_store.append(text);
    const QStringView kept(m_store.last());
    if (!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n'))) {
        m_lines.insert(index, kept);
    } else {
        QList<QStringView> parts;
        splitWorkingLines(kept, parts);
        m_lines.insert(index, parts.size(), QStringView());
        std::copy(parts.cbegin(), parts.cend(), m_lines.begin() + index);
    }
    m_textValid = false;
}

void WorkingCopy::clearLine(int index) {
    if (!m_linesValid)
        splitText();
    m_lines[index] = QStringView();
    m_textValid = false;
}

void WorkingCopy::moveLine(int from, int to) {
    if (!m_linesValid)
        splitText();
    m_lines.move(from, to);
    m_textValid = false;
}

void WorkingCopy::arrangeLines(int from, int to, const QList<int>& order) {
    if (!m_linesValid)
        splitText();
    QList<QStringView> arranged;
    arranged.reserve(m_lines.size() - (to - from) + order.size());
    arranged.append(m_lines.mid(0, from));
    for (int i : order)
        arranged.append(m_lines.at(i));
    arranged.append(m_lines.mid(to));
    m_lines = std::move(arranged);
    m_textValid = false;
}

int WorkingCopy::indexOfLine(QStringView text) const {
    if (m_linesValid) {
        for (qsizetype i = 0; i < m_lines.size(); ++i)
            if (equalsNoCase(m_lines.at(i), text))
                return int(i);
        return -1;
    }
    // Walk the text's lines in place rather than splitting it.
    const char16_t* d = reinterpret_cast<const char16_t*>(m_text.utf16());
    const qsizetype n = m_text.size();
    if (n == 0)
        return -1;
    int index = 0;
    qsizetype start = 0;
    for (;;) {
        const qsizetype i = nextBreak(d, start, n);
        if (equalsNoCase(QStringView(d + start, i - start), text))
            return index;
        if (i == n)
            return -1;
        start = i + 1 + (d[i] == '\r' && i + 1 < n && d[i + 1] == '\n');
        ++index;
    }
}

qsizetype WorkingCopy::find(QStringView what, qsizetype from, qsizetype to) const {
    return findNoCase(text(), what, from, to);
}

void WorkingCopy::insertText(qsizetype position, QStringView text) {
    this->text();
    // In place where the text is not shared with the lines.
    m_linesValid = false;
    m_store.clear();
    m_lines.clear();
    m_text.insert(position, text);
}

} // namespace engine
