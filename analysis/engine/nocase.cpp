#include "nocase.h"

#include <QtAlgorithms>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace engine {

namespace {

inline char16_t asciiUpper(char16_t c) {
    return (c >= 'a' && c <= 'z') ? char16_t(c - 32) : c;
}

inline char16_t asciiLower(char16_t c) {
    return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
}

// The needle's characters between its first and its last.
inline bool middleMatches(const char16_t* t, const char16_t* w, qsizetype m) {
    for (qsizetype k = 1; k + 1 < m; ++k)
        if (asciiUpper(t[k]) != asciiUpper(w[k]))
            return false;
    return true;
}

// Either case of a needle character as (c | bit) == value.
inline void caseTest(char16_t c, char16_t& bit, char16_t& value) {
    const char16_t lower = asciiLower(c);
    const bool letter = lower >= 'a' && lower <= 'z';
    bit = letter ? 0x20 : 0;
    value = letter ? lower : c;
}

#if defined(__x86_64__)
// Candidates 32 positions at a time: where the needle's first and last characters stand at
// their distance, either case. The characters are packed to bytes first: every character past
// 0xFF packs to 0 or 0xFF, so it never passes for an ASCII character other than NUL (which this
// scan is not used for). Answers the first position that matches, or -1 with `i` left where it
// stopped.
__attribute__((target("avx2"))) qsizetype scanAvx2(const char16_t* t, const NoCaseNeedle& nd,
                                                   qsizetype& i, qsizetype last) {
    const char16_t* w = nd.text().utf16();
    const qsizetype m = nd.size();
    const __m256i fb = _mm256_set1_epi8(char(nd.firstBit()));
    const __m256i fv = _mm256_set1_epi8(char(nd.firstValue()));
    const __m256i lb = _mm256_set1_epi8(char(nd.lastBit()));
    const __m256i lv = _mm256_set1_epi8(char(nd.lastValue()));
    for (; i + 32 <= last + 1; i += 32) {
        const __m256i* first = reinterpret_cast<const __m256i*>(t + i);
        const __m256i* final = reinterpret_cast<const __m256i*>(t + i + m - 1);
        const __m256i f =
            _mm256_packus_epi16(_mm256_loadu_si256(first), _mm256_loadu_si256(first + 1));
        const __m256i l =
            _mm256_packus_epi16(_mm256_loadu_si256(final), _mm256_loadu_si256(final + 1));
        const __m256i hit = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(f, fb), fv),
                                             _mm256_cmpeq_epi8(_mm256_or_si256(l, lb), lv));
        quint32 mask = quint32(_mm256_movemask_epi8(hit));
        if (!mask)
            continue;
        // Packing interleaves the halves: bytes 8-15 hold positions 16-23, bytes 16-23 8-15.
        mask = (mask & 0xFF0000FFu) | ((mask & 0x0000FF00u) << 8) | ((mask & 0x00FF0000u) >> 8);
        while (mask) {
            const qsizetype p = i + qCountTrailingZeroBits(mask);
            if (middleMatches(t + p, w, m))
                return p;
            mask &= mask - 1;
        }
    }
    return -1;
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif

} // namespace

NoCaseNeedle::NoCaseNeedle(QStringView what) : m_what(what) {
    for (QChar c : what)
        if (c.unicode() >= 0x80) {
            m_ascii = false;
            return;
        }
    if (!what.isEmpty()) {
        caseTest(what.utf16()[0], m_firstBit, m_firstValue);
        caseTest(what.utf16()[what.size() - 1], m_lastBit, m_lastValue);
    }
}

qsizetype findNoCase(QStringView text, const NoCaseNeedle& nd, qsizetype from, qsizetype to) {
    const qsizetype n = text.size();
    if (to < 0 || to > n)
        to = n;
    if (from < 0)
        from = 0;
    const qsizetype m = nd.size();
    if (m == 0 || to - from < m)
        return -1;
    if (!nd.isAscii()) {
        // Unicode case folding for the rare non-ASCII needle.
        return text.left(to).indexOf(nd.text(), from, Qt::CaseInsensitive);
    }
    const char16_t* t = text.utf16();
    const char16_t* w = nd.text().utf16();
    const char16_t fb = nd.firstBit(), fv = nd.firstValue();
    const char16_t lb = nd.lastBit(), lv = nd.lastValue();
    const qsizetype last = to - m; // the last position where a match can start
    qsizetype i = from;
#if defined(__x86_64__)
    if (last - i >= 64 && kHasAvx2 && fv != 0 && lv != 0) {
        const qsizetype at = scanAvx2(t, nd, i, last);
        if (at >= 0)
            return at;
    }
    {
        const __m128i vfb = _mm_set1_epi16(short(fb)), vfv = _mm_set1_epi16(short(fv));
        const __m128i vlb = _mm_set1_epi16(short(lb)), vlv = _mm_set1_epi16(short(lv));
        for (; i + 8 <= last + 1; i += 8) {
            const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + m - 1));
            unsigned mask = unsigned(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(_mm_or_si128(v0, vfb), vfv),
                                                _mm_cmpeq_epi16(_mm_or_si128(v1, vlb), vlv))));
            while (mask) {
                const qsizetype at = i + (qCountTrailingZeroBits(mask) >> 1);
                if (middleMatches(t + at, w, m))
                    return at;
                mask &= mask - 1;
                mask &= mask - 1; // both bytes of the lane
            }
        }
    }
#endif
    for (; i <= last; ++i) {
        if (char16_t(t[i] | fb) == fv && char16_t(t[i + m - 1] | lb) == lv &&
            middleMatches(t + i, w, m))
            return i;
    }
    return -1;
}

bool equalsNoCase(QStringView text, const NoCaseNeedle& what) {
    const qsizetype m = what.size();
    if (m == 0 || text.size() != m)
        return false;
    if (!what.isAscii())
        return findNoCase(text, what) == 0;
    const char16_t* t = text.utf16();
    const char16_t* w = what.text().utf16();
    for (qsizetype k = 0; k < m; ++k)
        if (asciiUpper(t[k]) != asciiUpper(w[k]))
            return false;
    return true;
}

} // namespace engine
