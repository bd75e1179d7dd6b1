#include "workingcopy.h"

#include <QtAlgorithms>

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace engine {

namespace {

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

qsizetype nextLineBreak(QStringView text, qsizetype from) {
    return nextBreak(text.utf16(), from, text.size());
}

qsizetype nextChar(QStringView text, char16_t c, qsizetype from) {
    const char16_t* d = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = qMax<qsizetype>(from, 0);
#if defined(__x86_64__)
    const __m128i v = _mm_set1_epi16(short(c));
    for (; i + 8 <= n; i += 8) {
        const unsigned mask = unsigned(_mm_movemask_epi8(
            _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i)), v)));
        if (mask)
            return i + (qCountTrailingZeroBits(mask) >> 1);
    }
#endif
    for (; i < n; ++i)
        if (d[i] == c)
            return i;
    return -1;
}

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
        QString t(qMax<qsizetype>(0, size - 2), Qt::Uninitialized);
        char16_t* d = reinterpret_cast<char16_t*>(t.data());
        for (qsizetype i = 0; i < m_lines.size(); ++i) {
            if (i > 0) {
                *d++ = '\r';
                *d++ = '\n';
            }
            const QStringView l = m_lines.at(i);
            std::copy_n(l.utf16(), l.size(), d);
            d += l.size();
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
    const NoCaseNeedle needle(text);
    const qsizetype size = text.size();
    if (m_linesValid) {
        for (qsizetype i = 0; i < m_lines.size(); ++i)
            if (m_lines.at(i).size() == size && equalsNoCase(m_lines.at(i), needle))
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
        if (i - start == size && equalsNoCase(QStringView(d + start, size), needle))
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

void WorkingCopy::replaceText(qsizetype position, qsizetype length, QStringView text) {
    this->text();
    // In place once the lines no longer share the text.
    m_linesValid = false;
    m_store.clear();
    m_lines.clear();
    m_text.replace(position, length, text.data(), text.size());
}

} // namespace engine
