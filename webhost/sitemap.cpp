#include "sitemap.h"

#include <QXmlStreamReader>

namespace webhost::site {

SitemapEntries parseSitemap(const QByteArray& xml, int maxEntries) {
    SitemapEntries out;
    QXmlStreamReader reader(xml);
    // A sitemap needs no entities of its own; this bounds what a hostile one may expand to even
    // before the declaration check below sees it.
    reader.setEntityExpansionLimit(1024);
    int depth = 0;
    bool seenRoot = false;
    QStringView entryName; // "url" or "sitemap"
    bool inEntry = false;
    bool haveLoc = false; // the entry's first <loc> counts

    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            if (!reader.entityDeclarations().isEmpty()) {
                out.error = QStringLiteral("The sitemap declares entities, which sitemaps never "
                                           "need; it is not read.");
                out.locations.clear();
                return out;
            }
            break;
        case QXmlStreamReader::StartElement: {
            ++depth;
            const QStringView name = reader.name();
            if (!seenRoot) {
                seenRoot = true;
                if (name == u"urlset") {
                    entryName = u"url";
                } else if (name == u"sitemapindex") {
                    out.isIndex = true;
                    entryName = u"sitemap";
                } else {
                    out.error = QStringLiteral("Not a sitemap: the document is <%1>, not <urlset> "
                                               "or <sitemapindex>.")
                                    .arg(reader.qualifiedName());
                    return out;
                }
            } else if (depth == 2) {
                inEntry = name == entryName;
                haveLoc = false;
            } else if (depth == 3 && inEntry && !haveLoc && name == u"loc") {
                const QString location = reader.readElementText().trimmed();
                --depth; // readElementText consumed the end tag
                if (reader.hasError())
                    break;
                haveLoc = true;
                if (location.isEmpty())
                    break;
                if (out.locations.size() >= maxEntries) {
                    out.truncated = true;
                    return out;
                }
                out.locations.append(location);
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        out.error = QStringLiteral("The sitemap is not well-formed XML (line %1, column %2): %3")
                        .arg(reader.lineNumber())
                        .arg(reader.columnNumber())
                        .arg(reader.errorString());
    } else if (!seenRoot) {
        out.error = QStringLiteral("Not a sitemap: the document holds no element.");
    }
    return out;
}

} // namespace webhost::site
