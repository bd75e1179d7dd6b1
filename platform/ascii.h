#pragma once

#include <QString>
#include <QStringView>

namespace platform {

// Upper- or lower-casing that changes the ASCII letters only.
inline QString asciiUpper(const QString& s) {
    QString r = s;
    for (QChar& c : r) {
        const char16_t u = c.unicode();
        if (u >= 'a' && u <= 'z')
            c = QChar(char16_t(u - 32));
    }
    return r;
}

inline QString asciiLower(const QString& s) {
    QString r = s;
    for (QChar& c : r) {
        const char16_t u = c.unicode();
        if (u >= 'A' && u <= 'Z')
            c = QChar(char16_t(u + 32));
    }
    return r;
}

// The order of names in listings: without regard to case, ties by exact text, so that the order
// is total and the same on every run.
inline bool caseFoldedLess(const QString& a, const QString& b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

// Trim as the system's own trim does: every character up to the blank counts as white space.
inline QStringView trimmedControl(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= 32)
        ++b;
    while (e > b && s.at(e - 1).unicode() <= 32)
        --e;
    return s.mid(b, e - b);
}

inline QString trimControl(const QString& s) {
    const QStringView t = trimmedControl(s);
    return t.size() == s.size() ? s : t.toString();
}

// Whole-text comparison without regard to case (Unicode case folding).
inline bool sameText(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace platform
