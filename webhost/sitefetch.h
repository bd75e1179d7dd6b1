#pragma once

// The site host's requests: libcurl's multi interface driven by one poll loop on the caller's
// thread. Bodies are decoded (gzip, br, zstd) and capped; redirects are followed here, one hop
// at a time, so that each target can be checked before it is asked for.

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace webhost::site {

struct FetchConfig {
    qint64 maxBytes = qint64(64) << 20; // a body, decoded
    int requestSeconds = 30;            // one request, its redirects included
    int connections = 4;                // transfers and connections at once
    int maxRedirects = 10;
    double delaySeconds = 0; // between the starts of two requests; > 0 means one at a time
    QByteArray userAgent;
    QList<QByteArray> headers; // "Name: value"
    bool insecure = false;
    QByteArray caFile; // empty: the system's certificates
};

enum class FetchKind {
    Page,     // only an HTML answer's body is kept; any other type ends as NotPage
    Resource, // any successful answer's body is kept (robots.txt, sitemaps)
    Document, // any successful answer's body is kept, its media type told (a page fetched anew)
};

enum class RedirectVerdict {
    Follow,
    OutOfSite,  // a failure: "redirects out of the site to <url>"
    Known,      // the target is fetched anyway: this request ends as Skipped
    Disallowed, // robots rules keep the target: Skipped
};
// Asked for each redirect target (absolute and normalised) before it is requested.
using RedirectCheck = std::function<RedirectVerdict(const QString& target)>;

struct FetchResult {
    enum class Outcome {
        Body,        // a successful answer; body holds it
        NotPage,     // a successful answer of another type than HTML (FetchKind::Page)
        Failed,      // an error answer, a redirect out, too big, a transfer that failed
        Skipped,     // a redirect to a known or disallowed address
        Unreachable, // no connection: name, refused, TLS; failure holds curl's text
    };
    quint64 id = 0;
    QString url;      // as added
    QString finalUrl; // after the redirects followed
    Outcome outcome = Outcome::Failed;
    bool disallowed = false; // Skipped by robots rules
    int status = 0;          // the last answer's status, 0 for none
    QString failure;         // why it failed: "404 Not Found", curl's error text, ...
    QByteArray contentType;  // the answer's Content-Type header value
    QByteArray robotsTag;    // its X-Robots-Tag header values, one a line
    QByteArray body;         // decoded, at most maxBytes
};

// "404 Not Found": the status with the reason the server gave, else the standard one.
QString statusText(int status, const QString& reason);
// "larger than 64 MB"
QString tooLargeText(qint64 maxBytes);
bool isPageType(const QByteArray& contentType);

class Fetcher {
public:
    explicit Fetcher(FetchConfig config);
    ~Fetcher();
    Fetcher(const Fetcher&) = delete;
    Fetcher& operator=(const Fetcher&) = delete;

    // Queues a request; it starts when a connection is free (and the delay has passed).
    void add(quint64 id, const QString& url, FetchKind kind, RedirectCheck check = {});
    // Runs until nothing is queued or running. `done` gets each finished request and may add
    // more; `tick` is called about every 50 ms and stops the run by answering false (the queued
    // and running requests are then dropped). Answers false when stopped.
    bool run(const std::function<void(FetchResult&)>& done, const std::function<bool()>& tick);
    int running() const;
    int queued() const;
    // The pause between the starts of two requests from now on.
    void setDelay(double seconds);
    // Drops every queued and running request.
    void clear();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace webhost::site
