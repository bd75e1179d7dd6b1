#pragma once

// Small string helpers of the keyword tools.

#include <QString>

namespace keywords {

// The text with every line break written CR LF (a lone LF or CR becomes CR LF), as the text
// controls hold it: positions and lengths count a break as two characters.
QString withCrLf(const QString& text);

// The key under which words are compared without regard to case.
inline QString foldKey(const QString& word) {
    return word.toCaseFolded();
}

} // namespace keywords
