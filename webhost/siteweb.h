#pragma once

#include "host.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace webhost {

// What bounds a site's listing and each of its requests.
struct SiteLimits {
    int maxPages = 10000;                   // pages listed, failed ones included
    int maxDepth = 100;                     // links followed from the start address
    qint64 maxPageBytes = qint64(64) << 20; // a page's body, decoded; the local pages' cap
    int requestSeconds = 30;                // one request, redirects included
    int runSeconds = 3600;                  // a whole listing
    int connections = 4;                    // to the site at once
    int maxRedirects = 10;                  // followed for one address
};

struct SiteOptions {
    QString address; // the start address: http:// or https://
    SiteLimits limits;
    QString userAgent;     // empty: "quillmark/<version>"
    QStringList headers;   // "Name: value", sent with every request to the site
    bool insecure = false; // certificates and host names not checked (only when asked for)
    QString caFile;        // certificates to trust in place of the system's; empty: the system's
};

// A page of a listing.
struct SitePage {
    QString address; // relative to the site's root: path, then '?' and the query when there is one
    QString url;     // absolute and normalised
    QString folder;  // the address's folder, "" for the root
    int depth = 0;   // links from the start address (0 for a page of the sitemap)
    QString failure; // why the page cannot be checked ("404 Not Found", ...); empty for a page
};

struct SiteListing {
    QList<SitePage> pages; // HTML answers and failed pages, in the order they were found
    QStringList folders;   // the folders below the root that hold a page, in rowLess order
    // What the listing left out or could not do, one line each: a limit reached, robots rules,
    // answers that are not pages.
    QStringList notes;
    QString source; // how the pages were found: the sitemap's address, or the start address
};

// Called every so often during a listing, on the listing's thread: pages fetched, addresses
// known. Answering false cancels the listing.
using SiteProgress = std::function<bool(int fetched, int known)>;

// The listing was cancelled through its progress function.
class SiteCancelled : public HostError {
public:
    using HostError::HostError;
};

// The web host on a site given by its address. Pages come from the site's sitemap (robots.txt's
// Sitemap lines, else /sitemap.xml), else from the links of the pages, within the start
// address's origin and path; robots.txt is obeyed. The site is read-only: vtiSetMetaTag refuses.
// A host that cannot be reached (name, connection, TLS) is a HostError with the cause; a page
// that answers an error is a PageFailure for that page only.
class SiteWeb : public Host {
public:
    // copyFolder: where a listing keeps the pages it fetched (made on demand, emptied by each
    // new listing, removed with the host). Throws HostError for an address that is not http(s).
    SiteWeb(SiteOptions options, QString copyFolder);
    ~SiteWeb() override;
    SiteWeb(const SiteWeb&) = delete;
    SiteWeb& operator=(const SiteWeb&) = delete;

    std::unique_ptr<Explorer> createExplorer() override;
    std::unique_ptr<Editor> createEditor() override;

    const SiteOptions& options() const;
    // The origin and path prefix that addresses are relative to: "https://example.org/docs/".
    QString rootUrl() const;
    // The address of an absolute URL within the site, or of an address as given; empty for one
    // outside the site.
    QString addressOf(const QString& urlOrAddress) const;

    // The progress function of the listings that webFolders and vtigetpagesinfolder start.
    void setProgress(SiteProgress progress);
    // Lists the whole site anew, fetching each page once and keeping its copy for
    // copyListedPage. Throws SiteCancelled, or HostError when the site cannot be reached.
    const SiteListing& list();
    // Fetches only the named pages (addresses or URLs within the site) as a listing of them.
    const SiteListing& listPages(const QStringList& addresses);
    // The last listing; empty before the first.
    const SiteListing& listing() const;
    // A listed page's copy is kept: not for a failed page or one not listed.
    bool hasCopy(const QString& address) const;
    // The bytes of a listed page's copy; throws HostError for a page without one. May be called
    // from several threads at once while no listing runs.
    QByteArray copyBytes(const QString& address) const;

    // The page the host has open (vtiGetTopPageURL); the start page until another is opened.
    QString openPageAddress() const;
    void openPage(const QString& address);

    // The host's state, shared with its explorer, editor and listing engine.
    struct State;

private:
    friend struct SiteWebAccess;
    std::unique_ptr<State> m;
};

} // namespace webhost
