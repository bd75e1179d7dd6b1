#pragma once

// sitemap.xml and sitemap indexes.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace webhost::site {

struct SitemapEntries {
    bool isIndex = false;  // a <sitemapindex>: its entries are sitemaps
    QStringList locations; // the <loc> texts, trimmed, in document order, at most maxEntries
    bool truncated = false; // there were more than maxEntries
    QString error;          // not a sitemap, or malformed XML; empty when it could be read
};

// A sitemap's or a sitemap index's locations. The XML is read without fetching anything it
// refers to (no DTDs, no external entities).
SitemapEntries parseSitemap(const QByteArray& xml, int maxEntries);

} // namespace webhost::site
