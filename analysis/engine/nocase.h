#pragma once

#include <QStringView>

namespace engine {

// A text to search for without regard to case, prepared once for many searches. An ASCII text
// folds the ASCII letters only (and so is found only where the text has the same letters); any
// other text takes Qt's Unicode case folding.
class NoCaseNeedle {
public:
    explicit NoCaseNeedle(QStringView what);
    QStringView text() const { return m_what; }
    qsizetype size() const { return m_what.size(); }
    bool isAscii() const { return m_ascii; }
    // The first and the last character of an ASCII needle as (c | bit) == value tells them in
    // either case: a letter with the case bit, any other character as it is.
    char16_t firstBit() const { return m_firstBit; }
    char16_t firstValue() const { return m_firstValue; }
    char16_t lastBit() const { return m_lastBit; }
    char16_t lastValue() const { return m_lastValue; }

private:
    QStringView m_what;
    bool m_ascii = true;
    char16_t m_firstBit = 0, m_firstValue = 0, m_lastBit = 0, m_lastValue = 0;
};

// The first position at or after from where the needle occurs without regard to case and ends at
// or before to (-1 for the end of the text); -1 when there is none, also for an empty needle.
qsizetype findNoCase(QStringView text, const NoCaseNeedle& what, qsizetype from = 0,
                     qsizetype to = -1);
inline qsizetype findNoCase(QStringView text, QStringView what, qsizetype from = 0,
                            qsizetype to = -1) {
    return findNoCase(text, NoCaseNeedle(what), from, to);
}
inline bool containsNoCase(QStringView text, const NoCaseNeedle& what) {
    return findNoCase(text, what) >= 0;
}
inline bool containsNoCase(QStringView text, QStringView what) {
    return findNoCase(text, NoCaseNeedle(what)) >= 0;
}
// The text equal to the needle without regard to case, as findNoCase compares (so an empty
// needle equals nothing).
bool equalsNoCase(QStringView text, const NoCaseNeedle& what);
inline bool equalsNoCase(QStringView text, QStringView what) {
    return equalsNoCase(text, NoCaseNeedle(what));
}
// The needle stands at position `at` of the text.
inline bool matchesNoCaseAt(QStringView text, qsizetype at, const NoCaseNeedle& what) {
    const qsizetype m = what.size();
    if (m == 0 || at < 0 || at + m > text.size())
        return false;
    // Most places are told apart by the last character alone.
    if (what.isAscii() && char16_t(text.utf16()[at + m - 1] | what.lastBit()) != what.lastValue())
        return false;
    return equalsNoCase(text.mid(at, m), what);
}

} // namespace engine
