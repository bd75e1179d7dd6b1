#include "commatext.h"

namespace engine {

namespace {

inline bool isSkip(char16_t c) {
    return c >= 1 && c <= 32;
}

} // namespace

QStringList splitCommaText(const QString& text) {
    QStringList items;
    const QChar* const begin = text.constData();
    qsizetype n = text.indexOf(QChar(u'\0'));
    if (n < 0)
        n = text.size();
    const QChar* p = begin;
    const QChar* const end = begin + n;
    while (p < end && isSkip(p->unicode()))
        ++p;
    while (p < end) {
        if (*p == u'"') {
            ++p;
            QString item;
            for (;;) {
                const QChar* q = p;
                while (q < end && *q != u'"')
                    ++q;
                if (q == end) {
                    // No closing quote: the rest, less its last character.
                    item.append(p, q - p);
                    item.chop(1);
                    p = end;
                    break;
                }
                item.append(p, q - p);
                p = q + 1;
                if (p < end && *p == u'"') {
                    item.append(u'"');
                    ++p;
                    continue;
                }
                break;
            }
            items.append(item);
        } else {
            const QChar* q = p;
            while (p < end && p->unicode() > 32 && *p != u',')
                ++p;
            items.append(QString(q, p - q));
        }
        while (p < end && isSkip(p->unicode()))
            ++p;
        if (p < end && *p == u',') {
            do
                ++p;
            while (p < end && isSkip(p->unicode()));
        }
    }
    return items;
}

} // namespace engine
