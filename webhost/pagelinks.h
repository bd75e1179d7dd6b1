#pragma once

// What a crawl takes from a page: its links, its base, its robots meta tag and the charset it
// declares. Read from the page's bytes, which are ASCII-compatible in every charset a page may
// declare, without building a document.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace webhost::site {

struct PageLinks {
    QStringList links;     // as written, entities decoded, in page order: <a href>, <area href>,
                           // <link rel=alternate href> (not an alternate style sheet), <frame src>,
                           // <iframe src>, the target of <meta http-equiv=refresh>; empty values,
                           // comments, scripts, styles, titles and text areas skipped. A value's
                           // bytes read as UTF-8 when they are that, else as Windows-1252.
    QString base;          // the first <base href>, trimmed; empty when none
    bool nofollow = false; // <meta name="robots"> says nofollow or none
    bool noindex = false;  // ... says noindex or none
};

PageLinks pageLinks(const QByteArray& html);

// The X-Robots-Tag header values of an answer (one a line) say nofollow or none, for every
// agent or for the one whose product token is `agent`.
bool robotsHeaderNofollow(const QByteArray& values, const QString& agent);

// The charset parameter of a Content-Type header value, lower case; empty when none.
QString charsetOfContentType(const QByteArray& contentType);
// The media type of a Content-Type header value, lower case, without parameters.
QString mediaTypeOf(const QByteArray& contentType);

// A page's bytes as the checks are to read them. The checks decode a page as UTF-8 when it has a
// byte-order mark or is valid UTF-8, else as Windows-1252. The charset is the header's, else the
// page's own declaration, else none. The bytes stay as they are when the checks would read them
// as that charset says (or no charset is known, or it is one that cannot be decoded); otherwise
// they become the text decoded by that charset, in UTF-8 with a byte-order mark.
QByteArray bytesForChecks(const QByteArray& body, const QString& headerCharset);

} // namespace webhost::site
