#include "siteweb.h"

#include "metatags.h"
#include "pagelinks.h"
#include "robots.h"
#include "sitefetch.h"
#include "sitemap.h"
#include "siteurl.h"

#include "platform/ascii.h"
#include "platform/infooptions.h"
#include "platform/textcodec.h"
#include "platform/textfile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QUrl>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <set>

#include <fcntl.h>
#include <unistd.h>

namespace webhost {

using site::FetchKind;
using site::FetchResult;
using site::RedirectVerdict;
using Outcome = site::FetchResult::Outcome;
using Clock = std::chrono::steady_clock;

namespace {

// A hostile robots.txt must not stall the listing for hours.
constexpr double kMaxCrawlDelaySeconds = 30;
// Sitemap indexes are followed this deep: an index, then its sitemaps.
constexpr int kSitemapLevels = 2;

// The text for one, or the other with the number.
QString counted(qsizetype n, const char* one, const char* many) {
    return n == 1 ? QString::fromUtf8(one) : QString::fromUtf8(many).arg(n);
}

QString originOf(const QString& url) {
    const QUrl u(url);
    return u.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                      QUrl::RemoveUserInfo)
               .toString(QUrl::FullyEncoded) +
           u'/';
}

} // namespace

struct SiteWeb::State {
    SiteOptions options;
    QString copyFolder;
    QString root;
    QString startUrl;
    SiteProgress progress;
    SiteListing listing;
    bool listed = false;
    QHash<QString, qsizetype> byAddress; // address → index in listing.pages
    // The listing's copies, one after another in one spool file: making a file for each page
    // costs the system more than fetching it.
    struct Copy {
        qint64 offset = 0;
        qint64 size = 0;
    };
    QHash<QString, Copy> copies; // address → where its copy stands in the spool
    int spool = -1;
    qint64 spoolSize = 0;
    QString openPage;

    site::FetchConfig fetchConfig(double delaySeconds = 0) const {
        site::FetchConfig c;
        c.maxBytes = options.limits.maxPageBytes;
        c.requestSeconds = std::max(1, options.limits.requestSeconds);
        c.connections = std::max(1, options.limits.connections);
        c.maxRedirects = std::max(0, options.limits.maxRedirects);
        c.delaySeconds = delaySeconds;
        c.userAgent = userAgent().toUtf8();
        for (const QString& h : options.headers)
            if (!h.trimmed().isEmpty())
                c.headers.append(h.trimmed().toUtf8());
        c.insecure = options.insecure;
        c.caFile = QFile::encodeName(options.caFile);
        return c;
    }
    QString userAgent() const {
        return options.userAgent.isEmpty()
                   ? QStringLiteral("quillmark/") + QString::fromLatin1(platform::programVersion())
                   : options.userAgent;
    }
    // The product token robots.txt's groups are matched against.
    QString agentToken() const {
        const QString ua = userAgent();
        qsizetype end = 0;
        while (end < ua.size() && ua.at(end) != u'/' && !ua.at(end).isSpace())
            ++end;
        return ua.left(end);
    }
    QString urlOf(const QString& address) const {
        const QString url = site::urlOfAddress(root, address);
        if (url.isEmpty())
            throw HostError(
                QStringLiteral("The address %1 is not within the site %2.").arg(address, root));
        return url;
    }
    [[noreturn]] void unreachable(const QString& cause) const {
        throw HostError(QStringLiteral("The site %1 cannot be reached: %2").arg(root, cause));
    }
    void removeCopies() {
        copies.clear();
        if (spool >= 0)
            ::close(spool);
        spool = -1;
        spoolSize = 0;
        if (!copyFolder.isEmpty())
            QDir(copyFolder).removeRecursively();
    }
    void setListing(SiteListing l) {
        listing = std::move(l);
        listed = true;
        byAddress.clear();
        for (qsizetype i = 0; i < listing.pages.size(); ++i)
            byAddress.insert(listing.pages.at(i).address, i);
    }
};

namespace {

// One listing: robots.txt, then the sitemaps or the crawl, the pages fetched through one
// Fetcher. Pages stand in the order they were found; what fails to become a page is dropped.
class Lister {
public:
    explicit Lister(SiteWeb::State& s)
        : m_s(s), m_started(Clock::now()), m_client(s.fetchConfig()) {}

    SiteListing run(bool wholeSite, const QStringList& addresses) {
        QDir().mkpath(m_s.copyFolder);
        if (!QFileInfo(m_s.copyFolder).isDir())
            throw HostError(QStringLiteral("The folder %1 for the copies of the site's pages "
                                           "cannot be made.")
                                .arg(m_s.copyFolder));
        const QString spool = m_s.copyFolder + QStringLiteral("/pages.spool");
        m_s.spool = ::open(QFile::encodeName(spool).constData(),
                           O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (m_s.spool < 0)
            throw HostError(
                QStringLiteral("The copies of the site's pages cannot be kept in %1: %2")
                    .arg(spool, QString::fromLocal8Bit(std::strerror(errno))));
        if (wholeSite) {
            readRobots();
            if (!m_blocked) {
                const bool fromSitemap = readSitemaps();
                if (!fromSitemap) {
                    m_crawl = true;
                    m_out.source = m_s.startUrl;
                    admit(m_s.startUrl, 0);
                    if (m_pages.empty() && m_disallowed.isEmpty())
                        m_out.notes << QStringLiteral("The start address %1 cannot be listed.")
                                           .arg(m_s.startUrl);
                }
            }
        } else {
            m_robotsChecked = false;
            m_out.source = m_s.root;
            for (const QString& a : addresses) {
                const QString url = site::urlOfAddress(m_s.root, a);
                if (url.isEmpty())
                    m_out.notes << QStringLiteral("%1 is not within the site.").arg(a);
                else
                    admit(url, 0);
            }
        }
        if (!m_pages.empty())
            fetchPages();
        return finish();
    }

private:
    struct Entry {
        SitePage page;
        bool done = false;
        bool dropped = false;
    };

    bool tick() {
        const int runSeconds = std::max(1, m_s.options.limits.runSeconds);
        if (Clock::now() - m_started >= std::chrono::seconds(runSeconds)) {
            m_timedOut = true;
            return false;
        }
        if (m_s.progress && !m_s.progress(m_fetched, known()))
            throw SiteCancelled(
                QStringLiteral("The listing of the site %1 was cancelled.").arg(m_s.root));
        return true;
    }

    int known() const { return int(m_pages.size()) - m_droppedCount; }

    bool allowed(const QString& url) const {
        if (!m_robotsChecked)
            return true;
        const QUrl u(url);
        QString pathAndQuery = u.path(QUrl::FullyEncoded);
        if (u.hasQuery())
            pathAndQuery += u'?' + u.query(QUrl::FullyEncoded);
        return m_robots.allows(pathAndQuery.isEmpty() ? QStringLiteral("/") : pathAndQuery);
    }

    // One request outside the pages (robots.txt, a sitemap), redirects kept to the origin.
    FetchResult fetchResource(const QString& url) {
        const QString origin = originOf(m_s.root);
        FetchResult result;
        m_client.add(0, url, FetchKind::Resource, [origin](const QString& target) {
            return target.startsWith(origin) ? RedirectVerdict::Follow : RedirectVerdict::OutOfSite;
        });
        result.outcome = Outcome::Failed;
        result.failure = QStringLiteral("not fetched");
        m_client.run([&](FetchResult& r) { result = std::move(r); }, [this] { return tick(); });
        if (m_timedOut)
            result.failure = QStringLiteral("the listing's time ran out");
        return result;
    }

    void readRobots() {
        const QString url = originOf(m_s.root) + QStringLiteral("robots.txt");
        FetchResult r = fetchResource(url);
        if (r.outcome == Outcome::Unreachable)
            m_s.unreachable(r.failure);
        m_answered = true;
        if (r.outcome == Outcome::Body) {
            m_robots = site::parseRobots(r.body, m_s.agentToken());
            m_robotsChecked = true;
            m_delay = std::min(m_robots.crawlDelay, kMaxCrawlDelaySeconds);
            if (m_robots.crawlDelay > kMaxCrawlDelaySeconds)
                m_out.notes << QStringLiteral("robots.txt asks for %1 s between requests; "
                                              "the listing waits %2 s.")
                                   .arg(m_robots.crawlDelay)
                                   .arg(kMaxCrawlDelaySeconds);
        } else if (r.status >= 400 && r.status < 500) {
            // No rules: everything may be fetched.
        } else {
            // A robots.txt that cannot be read may hold rules we must not miss: nothing is
            // fetched (RFC 9309, 2.3.1.4).
            m_blocked = true;
            m_out.source = m_s.startUrl;
            m_out.notes << QStringLiteral("robots.txt could not be read (%1): the site is taken "
                                          "as disallowing every page.")
                               .arg(r.failure.isEmpty() ? site::statusText(r.status, {})
                                                        : r.failure);
        }
    }

    // The pages of the sitemaps; false when there is no sitemap to take them from.
    bool readSitemaps() {
        const QString origin = originOf(m_s.root);
        QList<QPair<QString, int>> queue; // sitemap, level
        QSet<QString> queued;
        for (const QString& named : std::as_const(m_robots.sitemaps)) {
            const QString url = site::normalUrl(named.trimmed());
            if (url.isEmpty() || !url.startsWith(origin)) {
                m_out.notes << QStringLiteral("The sitemap %1 lies outside the site and was "
                                              "not read.")
                                   .arg(named.trimmed());
                continue;
            }
            if (!queued.contains(url)) {
                queued.insert(url);
                queue.append({url, 1});
            }
        }
        const bool named = !queue.isEmpty();
        if (!named)
            queue.append({m_s.root + QStringLiteral("sitemap.xml"), 1});
        const int maxPages = std::max(0, m_s.options.limits.maxPages);
        int entries = 0;
        int outside = 0;
        QString firstRead;
        for (qsizetype i = 0; i < queue.size() && !m_timedOut; ++i) {
            const QString url = queue.at(i).first;
            const int level = queue.at(i).second;
            FetchResult r = fetchResource(url);
            if (r.outcome == Outcome::Unreachable)
                m_s.unreachable(r.failure);
            if (r.outcome != Outcome::Body) {
                if (named || r.status != 404)
                    m_out.notes << QStringLiteral("The sitemap %1 could not be read: %2.")
                                       .arg(url, r.failure);
                continue;
            }
            const site::SitemapEntries map =
                site::parseSitemap(r.body, std::max(0, maxPages - entries));
            r.body = QByteArray();
            if (!map.error.isEmpty()) {
                m_out.notes
                    << QStringLiteral("The sitemap %1 could not be read: %2.").arg(url, map.error);
                continue;
            }
            if (firstRead.isEmpty())
                firstRead = url;
            entries += int(map.locations.size());
            if (map.truncated)
                m_sitemapTruncated = true;
            for (const QString& loc : map.locations) {
                const QString target = site::normalUrl(loc);
                if (map.isIndex) {
                    if (level >= kSitemapLevels) {
                        m_deepIndex = true;
                    } else if (!target.isEmpty() && target.startsWith(origin) &&
                               !queued.contains(target)) {
                        queued.insert(target);
                        queue.append({target, level + 1});
                    } else if (target.isEmpty() || !target.startsWith(origin)) {
                        ++outside;
                    }
                } else if (target.isEmpty() || !site::withinRoot(m_s.root, target)) {
                    ++outside;
                } else {
                    admit(target, 0);
                }
            }
        }
        if (outside > 0)
            m_out.notes << counted(outside,
                                   "1 address of the sitemaps lies outside the site and was left "
                                   "out.",
                                   "%1 addresses of the sitemaps lie outside the site and were "
                                   "left out.");
        if (m_deepIndex)
            m_out.notes << QStringLiteral("Sitemap indexes are followed %1 levels deep; deeper "
                                          "ones were not read.")
                               .arg(kSitemapLevels);
        if (m_sitemapTruncated && !firstRead.isEmpty())
            m_out.notes << QStringLiteral("The sitemaps list more than the limit of %1 "
                                          "addresses; only those were taken.")
                               .arg(maxPages);
        if (firstRead.isEmpty())
            return false;
        if (m_pages.empty() && m_disallowed.isEmpty()) {
            m_out.notes << QStringLiteral("The sitemap %1 lists no page of the site: the pages "
                                          "were found by their links.")
                               .arg(firstRead);
            return false;
        }
        m_out.source = firstRead;
        return true;
    }

    // Takes a URL (normalised, within the root) into the listing once.
    bool full() const { return known() >= std::max(0, m_s.options.limits.maxPages); }

    // Takes a URL (normalised, within the root) into the listing once.
    void admit(const QString& url, int depth) {
        if (m_seen.contains(url))
            return;
        if (!allowed(url)) {
            m_disallowed.insert(url);
            return;
        }
        if (full()) {
            m_limitReached = true;
            return;
        }
        m_seen.insert(url);
        Entry e;
        e.page.url = url;
        e.page.address = site::addressOf(m_s.root, url);
        e.page.folder = site::folderOfAddress(e.page.address);
        e.page.depth = depth;
        m_pages.push_back(std::move(e));
        if (m_fetching)
            queue(m_pages.size() - 1);
    }

    void queue(size_t index) {
        m_client.add(index, m_pages[index].page.url, FetchKind::Page,
                     [this](const QString& target) { return redirectVerdict(target); });
    }

    RedirectVerdict redirectVerdict(const QString& target) {
        if (!site::withinRoot(m_s.root, target))
            return RedirectVerdict::OutOfSite;
        if (m_seen.contains(target))
            return RedirectVerdict::Known;
        if (!allowed(target)) {
            m_disallowed.insert(target);
            return RedirectVerdict::Disallowed;
        }
        m_seen.insert(target);
        return RedirectVerdict::Follow;
    }

    void drop(Entry& e) {
        e.dropped = true;
        ++m_droppedCount;
    }

    void fetchPages() {
        m_client.setDelay(m_delay);
        m_fetching = true;
        for (size_t i = 0; i < m_pages.size(); ++i)
            queue(i);
        m_client.run([this](FetchResult& r) { take(r); }, [this] { return tick(); });
        m_fetching = false;
    }

    void take(FetchResult& r) {
        Entry& e = m_pages[size_t(r.id)];
        e.done = true;
        ++m_fetched;
        switch (r.outcome) {
        case Outcome::Body:
            m_answered = true;
            keep(e, r);
            break;
        case Outcome::NotPage:
            m_answered = true;
            drop(e);
            ++m_notPages;
            m_notPageTypes.insert(site::mediaTypeOf(r.contentType));
            break;
        case Outcome::Skipped:
            m_answered = true;
            drop(e);
            break;
        case Outcome::Unreachable:
            if (!m_answered)
                m_s.unreachable(r.failure);
            e.page.failure = r.failure;
            break;
        case Outcome::Failed:
            m_answered = true;
            e.page.failure = r.failure;
            break;
        }
    }
    void keep(Entry& e, FetchResult& r) {
        if (r.finalUrl != e.page.url) {
            e.page.url = r.finalUrl;
            e.page.address = site::addressOf(m_s.root, r.finalUrl);
            e.page.folder = site::folderOfAddress(e.page.address);
        }
        // The links of an answer that says nofollow in its header are not looked for.
        const bool follow = m_crawl && !site::robotsHeaderNofollow(r.robotsTag, m_s.agentToken());
        const site::PageLinks links = follow ? site::pageLinks(r.body) : site::PageLinks();
        const QByteArray bytes =
            site::bytesForChecks(r.body, site::charsetOfContentType(r.contentType));
        r.body = QByteArray();
        const SiteWeb::State::Copy copy{m_s.spoolSize, bytes.size()};
        for (qint64 done = 0; done < bytes.size();) {
            const ssize_t n = ::pwrite(m_s.spool, bytes.constData() + done,
                                       size_t(bytes.size() - done), copy.offset + done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw HostError(QStringLiteral("The copy of %1 cannot be kept in %2: %3")
                                    .arg(e.page.url, m_s.copyFolder,
                                         QString::fromLocal8Bit(std::strerror(errno))));
            done += n;
        }
        m_s.spoolSize += bytes.size();
        m_s.copies.insert(e.page.address, copy);
        if (!follow || links.nofollow)
            return;
        if (e.page.depth >= m_s.options.limits.maxDepth) {
            if (!links.links.isEmpty())
                m_depthReached = true;
            return;
        }
        QString base = e.page.url;
        if (!links.base.isEmpty()) {
            const QString given = site::resolveLink(e.page.url, links.base);
            if (!given.isEmpty())
                base = given;
        }
        for (const QString& link : links.links) {
            if (full()) {
                // What is left is not looked at: a page may hold 100,000 links.
                m_limitReached = true;
                break;
            }
            const QString url = site::resolveLink(base, link);
            if (!url.isEmpty() && site::withinRoot(m_s.root, url))
                admit(url, e.page.depth + 1);
        }
    }

    SiteListing finish() {
        int notFetched = 0;
        std::set<QString, decltype(&platform::caseFoldedLess)> folders(&platform::caseFoldedLess);
        QSet<QString> listedAddresses;
        for (Entry& e : m_pages) {
            if (e.dropped)
                continue;
            if (!e.done) {
                ++notFetched;
                continue;
            }
            // Two addresses that redirect to one page list it once.
            if (listedAddresses.contains(e.page.address))
                continue;
            listedAddresses.insert(e.page.address);
            QString folder = e.page.folder;
            while (!folder.isEmpty()) {
                folders.insert(folder);
                const qsizetype slash = folder.lastIndexOf(u'/');
                folder = slash < 0 ? QString() : folder.left(slash);
            }
            m_out.pages.append(std::move(e.page));
        }
        for (const QString& f : folders)
            m_out.folders.append(f);
        if (m_timedOut)
            m_out.notes << counted(m_s.options.limits.runSeconds,
                                   "The listing stopped after 1 second; ",
                                   "The listing stopped after %1 seconds; ") +
                               counted(notFetched, "1 address was not fetched.",
                                       "%1 addresses were not fetched.");
        if (!m_disallowed.isEmpty())
            m_out.notes << counted(m_disallowed.size(),
                                   "1 address was left out: robots.txt disallows it.",
                                   "%1 addresses were left out: robots.txt disallows them.");
        if (m_limitReached)
            m_out.notes << QStringLiteral("The listing stopped at the limit of %1 pages; the "
                                          "site has more addresses.")
                               .arg(m_s.options.limits.maxPages);
        if (m_depthReached)
            m_out.notes << counted(m_s.options.limits.maxDepth,
                                   "Links more than 1 step from the start address were not "
                                   "followed.",
                                   "Links more than %1 steps from the start address were not "
                                   "followed.");
        if (m_notPages > 0) {
            QStringList types = m_notPageTypes.values();
            types.removeAll(QString());
            std::sort(types.begin(), types.end());
            const QString list =
                types.isEmpty() ? QString()
                                : QStringLiteral(" (%1)").arg(types.join(QStringLiteral(", ")));
            m_out.notes << counted(m_notPages, "1 answer that is not a page was left out",
                                   "%1 answers that are not pages were left out") +
                               list + u'.';
        }
        return std::move(m_out);
    }

    SiteWeb::State& m_s;
    Clock::time_point m_started;
    SiteListing m_out;
    std::deque<Entry> m_pages; // stays in place while pages are added
    QSet<QString> m_seen;
    QSet<QString> m_disallowed;
    QSet<QString> m_notPageTypes;
    site::RobotsRules m_robots;
    // One client for the whole listing: its connections are kept open from robots.txt on.
    site::Fetcher m_client;
    bool m_fetching = false;
    double m_delay = 0;
    int m_fetched = 0;
    int m_droppedCount = 0;
    int m_notPages = 0;
    bool m_robotsChecked = false;
    bool m_blocked = false;
    bool m_crawl = false;
    bool m_answered = false;
    bool m_timedOut = false;
    bool m_limitReached = false;
    bool m_depthReached = false;
    bool m_sitemapTruncated = false;
    bool m_deepIndex = false;
};

// A page fetched anew, outside any listing: one request, the listing's caps and redirect rule.
FetchResult fetchAnew(const SiteWeb::State& s, const QString& address) {
    const QString url = s.urlOf(address);
    site::Fetcher fetcher(s.fetchConfig());
    FetchResult result;
    const QString root = s.root;
    fetcher.add(0, url, FetchKind::Document, [root](const QString& target) {
        return site::withinRoot(root, target) ? RedirectVerdict::Follow
                                              : RedirectVerdict::OutOfSite;
    });
    fetcher.run([&](FetchResult& r) { result = std::move(r); }, {});
    if (result.outcome == Outcome::Unreachable)
        s.unreachable(result.failure);
    if (result.outcome != Outcome::Body)
        throw PageFailure(result.failure);
    result.body = site::bytesForChecks(result.body, site::charsetOfContentType(result.contentType));
    return result;
}

class SiteExplorer : public Explorer {
public:
    explicit SiteExplorer(SiteWeb& site) : m_site(site) {}

    void vtiGetDocToFile(QString& address, const QString& localPath) override {
        const FetchResult r = fetchAnew(state(), address);
        try {
            platform::writeFileAtomically(localPath, r.body);
        } catch (const platform::Error& e) {
            throw HostError(e.message());
        }
    }
    PageListing vtigetpagesinfolder(const QString& folder, int) override {
        if (!state().listed)
            m_site.list();
        const SiteListing& l = m_site.listing();
        if (!folder.isEmpty() && !l.folders.contains(folder))
            throw HostError(QStringLiteral("The folder %1 is not in the listing of the site %2.")
                                .arg(folder, m_site.rootUrl()));
        PageListing out;
        out.allPages = true;
        for (const SitePage& p : l.pages)
            if (p.folder == folder)
                out.pages.append(p.address);
        return out;
    }
    QStringList webFolders() override { return m_site.list().folders; }
    void copyListedPage(QString& address, const QString& localPath) override {
        const SiteListing& l = m_site.listing();
        const auto it = state().byAddress.constFind(m_site.addressOf(address));
        if (it == state().byAddress.constEnd()) {
            vtiGetDocToFile(address, localPath);
            return;
        }
        const SitePage& page = l.pages.at(*it);
        if (!page.failure.isEmpty())
            throw PageFailure(page.failure);
        const QByteArray bytes = m_site.copyBytes(page.address);
        try {
            platform::writeFileAtomically(localPath, bytes);
        } catch (const platform::Error& e) {
            throw HostError(e.message());
        }
    }

private:
    SiteWeb::State& state() const;
    SiteWeb& m_site;
    friend class SiteWeb;
};

class SiteEditor : public Editor {
public:
    explicit SiteEditor(SiteWeb& site) : m_site(site) {}
    QString vtiGetTopPageURL() override { return m_site.openPageAddress(); }
    QString vtiGetMetaTag(QString& address, const QString&, const QString& name, int,
                          int) override {
        const FetchResult r = fetchAnew(state(), address);
        const QString text = platform::decodeText(r.body).text;
        const auto span = findMetaTag(text, name);
        return span ? span->content : QString();
    }
    void vtiSetMetaTag(QString& address, const QString&, const QString& name, QString&, int,
                       int) override {
        throw HostError(
            QStringLiteral("The site %1 is read-only: the %2 tag of %3 was not changed.")
                .arg(m_site.rootUrl(), name, address));
    }

private:
    SiteWeb::State& state() const;
    SiteWeb& m_site;
};

} // namespace

// The explorer and the editor reach the host's state through this accessor alone.
struct SiteWebAccess {
    static SiteWeb::State& of(SiteWeb& w) { return *w.m; }
};

namespace {
SiteWeb::State& SiteExplorer::state() const {
    return SiteWebAccess::of(m_site);
}
SiteWeb::State& SiteEditor::state() const {
    return SiteWebAccess::of(m_site);
}
} // namespace

SiteWeb::SiteWeb(SiteOptions options, QString copyFolder) : m(std::make_unique<State>()) {
    m->options = std::move(options);
    m->copyFolder = std::move(copyFolder);
    m->root = site::siteRoot(m->options.address.trimmed());
    m->startUrl = site::normalUrl(m->options.address.trimmed());
    if (m->root.isEmpty() || m->startUrl.isEmpty())
        throw HostError(QStringLiteral("The address %1 is not an http or https address of a site.")
                            .arg(m->options.address));
    m->openPage = site::addressOf(m->root, m->startUrl);
}

SiteWeb::~SiteWeb() {
    m->removeCopies();
}

std::unique_ptr<Explorer> SiteWeb::createExplorer() {
    return std::make_unique<SiteExplorer>(*this);
}

std::unique_ptr<Editor> SiteWeb::createEditor() {
    return std::make_unique<SiteEditor>(*this);
}

const SiteOptions& SiteWeb::options() const {
    return m->options;
}

QString SiteWeb::rootUrl() const {
    return m->root;
}

QString SiteWeb::addressOf(const QString& urlOrAddress) const {
    const QString url = site::urlOfAddress(m->root, urlOrAddress);
    return url.isEmpty() ? QString() : site::addressOf(m->root, url);
}

void SiteWeb::setProgress(SiteProgress progress) {
    m->progress = std::move(progress);
}

const SiteListing& SiteWeb::list() {
    m->removeCopies();
    m->setListing(SiteListing());
    m->listed = false;
    try {
        m->setListing(Lister(*m).run(true, {}));
    } catch (...) {
        m->removeCopies();
        throw;
    }
    return m->listing;
}

const SiteListing& SiteWeb::listPages(const QStringList& addresses) {
    m->removeCopies();
    m->setListing(SiteListing());
    m->listed = false;
    try {
        m->setListing(Lister(*m).run(false, addresses));
    } catch (...) {
        m->removeCopies();
        throw;
    }
    return m->listing;
}

const SiteListing& SiteWeb::listing() const {
    return m->listing;
}

bool SiteWeb::hasCopy(const QString& address) const {
    return m->copies.contains(addressOf(address));
}

QByteArray SiteWeb::copyBytes(const QString& address) const {
    const auto it = m->copies.constFind(addressOf(address));
    if (it == m->copies.constEnd())
        throw HostError(QStringLiteral("The listing holds no copy of %1.").arg(address));
    QByteArray bytes(qsizetype(it->size), Qt::Uninitialized);
    for (qint64 done = 0; done < it->size;) {
        const ssize_t n =
            ::pread(m->spool, bytes.data() + done, size_t(it->size - done), it->offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw HostError(QStringLiteral("The copy of %1 cannot be read: %2")
                                .arg(address, n == 0
                                                  ? QStringLiteral("it is cut short")
                                                  : QString::fromLocal8Bit(std::strerror(errno))));
        done += n;
    }
    return bytes;
}

QString SiteWeb::openPageAddress() const {
    return m->openPage;
}

void SiteWeb::openPage(const QString& address) {
    const QString a = addressOf(address);
    if (a.isEmpty())
        throw HostError(
            QStringLiteral("The address %1 is not within the site %2.").arg(address, m->root));
    m->openPage = a;
}

} // namespace webhost
