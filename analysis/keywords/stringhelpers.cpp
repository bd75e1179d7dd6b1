#include "stringhelpers.h"

namespace keywords {

QString withCrLf(const QString& text) {
    const qsizetype n = text.size();
    const auto* d = reinterpret_cast<const char16_t*>(text.constData());
    qsizetype extra = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (d[i] == u'\r') {
            if (i + 1 < n && d[i + 1] == u'\n')
                ++i;
            else
                ++extra;
        } else if (d[i] == u'\n') {
            ++extra;
        }
    }
    if (extra == 0)
        return text;
    QString out;
    out.reserve(n + extra);
    qsizetype run = 0; // start of the stretch not yet copied
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i];
        if (c != u'\r' && c != u'\n')
            continue;
        out.append(text.constData() + run, i - run);
        out += QLatin1String("\r\n");
        if (c == u'\r' && i + 1 < n && d[i + 1] == u'\n')
            ++i;
        run = i + 1;
    }
    out.append(text.constData() + run, n - run);
    return out;
}

} // namespace keywords
