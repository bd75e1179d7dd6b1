#include "StringLib.h"

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
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i];
        if (c == u'\r') {
            out += QLatin1String("\r\n");
            if (i + 1 < n && d[i + 1] == u'\n')
                ++i;
        } else if (c == u'\n') {
            out += QLatin1String("\r\n");
        } else {
            out += QChar(c);
        }
    }
    return out;
}

} // namespace keywords
