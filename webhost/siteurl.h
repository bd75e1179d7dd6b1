#pragma once

// The addresses of a site: URLs normalised so that a page is fetched once, and the relation of
// a URL to the site's root (its origin and path prefix).

#include <QByteArray>
#include <QString>

namespace webhost::site {

// The URL in one spelling: scheme and host in lower case, the default port dropped, the
// fragment dropped, "." and ".." segments resolved, percent-encoding normalised (unreserved
// characters decoded, hex digits upper case, other bytes that need it encoded), an empty path
// made "/". Empty for a URL that is not absolute http or https, or has no host.
QString normalUrl(const QString& url);

// A link of a page resolved against the page's base URL and normalised; empty for a link that
// leads to no http(s) page (mailto:, javascript:, data:, an empty or malformed one).
QString resolveLink(const QString& baseUrl, const QString& link);

// The root of the site a start address names: its origin and the folder of its path, with a
// final '/' ("https://example.org/docs/" for ".../docs/index.htm" and for ".../docs/").
// Empty when the address is not an http(s) URL.
QString siteRoot(const QString& startUrl);

// The normalised URL lies within the root: same origin, and its path starts with the root's.
bool withinRoot(const QString& root, const QString& url);

// A URL within the root as a page address: its path relative to the root's path, then '?' and
// the query when it has one ("a/b.htm", "list.php?page=2", "products/"); "/" for the root itself.
// Empty for a URL outside the root.
QString addressOf(const QString& root, const QString& url);

// The URL of a page address (the inverse of addressOf); an absolute URL given as an address is
// normalised. Empty when it does not lie within the root.
QString urlOfAddress(const QString& root, const QString& address);

// Path-and-query bytes with their percent-encoding normalised as normalUrl does it (for
// comparing them with other spellings, as robots.txt rules are).
QByteArray normalPercentEncoding(QByteArrayView pathAndQuery);

// The folder an address lies in, "" for the root: "a/b" for "a/b/c.htm" and for "a/b/?x=1".
QString folderOfAddress(const QString& address);

} // namespace webhost::site
