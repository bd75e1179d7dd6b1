// The markup event parser: the same text fed whole and in pieces of random sizes gives the same
// events, whatever the properties.
#include "analysis/keywords/ickxmlp.h"
#include "platform/textcodec.h"

#include <cstdint>
#include <cstdlib>

namespace {

QStringList events(const QString& text, uint8_t flags, const uint8_t* cuts, size_t ncuts) {
    keywords::TickXMLp p;
    p.SetFlushOnEOL(flags & 1);
    p.SetPreserveWhiteSpace(flags & 2);
    if (flags & 4)
        p.SetExtraNameChars(QStringLiteral("-_:."));
    if (flags & 8)
        p.SetExtraSpaceChars(QStringLiteral("|"));
    QStringList out;
    auto add = [&](const char* kind, QStringView a, QStringView b = {}) {
        out.append(QLatin1String(kind) + QLatin1Char('|') + a.toString() + QLatin1Char('|') +
                   b.toString());
    };
    p.OnBeginElement = [&](keywords::TickXMLp& s, QStringView e) {
        QString attrs;
        for (int i = 0; i < s.AttributeCount(); ++i)
            attrs += s.AttributeName(i).toString() + QLatin1Char('=') +
                     s.AttributeValue(i).toString() + QLatin1Char(';');
        add("begin", e, attrs);
    };
    p.OnEmptyElement = [&](keywords::TickXMLp&, QStringView e) { add("empty", e); };
    p.OnEndElement = [&](keywords::TickXMLp&, QStringView e) { add("end", e); };
    p.OnComment = [&](keywords::TickXMLp&, QStringView t) { add("comment", t); };
    p.OnMeta = [&](keywords::TickXMLp&, QStringView t) { add("meta", t); };
    p.OnPI = [&](keywords::TickXMLp&, QStringView t) { add("pi", t); };
    p.OnSpecialSection = [&](keywords::TickXMLp&, QStringView id, QStringView t) {
        add("section", id, t);
    };
    p.OnText = [&](keywords::TickXMLp&, QStringView t) { add("text", t); };
    p.OnEvalEntity = [&](keywords::TickXMLp&, QStringView e, QString& v) {
        add("entity", e, v);
        if (flags & 16)
            v = QStringLiteral(" ");
    };
    if (!cuts) {
        p.Input(text);
    } else {
        qsizetype at = 0;
        for (size_t i = 0; at < text.size(); ++i) {
            const qsizetype n = 1 + (ncuts ? cuts[i % ncuts] % 17 : 0);
            p.Input(QStringView(text).mid(at, qMin(n, text.size() - at)));
            at += n;
        }
    }
    p.Reset(true);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const size_t ncuts = data[1] % 8;
    if (size < 2 + ncuts)
        return 0;
    const uint8_t* cuts = data + 2;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 2 + ncuts),
                           qsizetype(size - 2 - ncuts));
    QString text = platform::decodeText(bytes).text;
    // Each call stops at its own first NUL, so pieces after one would be read: compare on the text
    // before it.
    if (const qsizetype nul = text.indexOf(QChar(u'\0')); nul >= 0)
        text.truncate(nul);
    if (events(text, flags, nullptr, 0) != events(text, flags, cuts, ncuts))
        abort();
    return 0;
}
