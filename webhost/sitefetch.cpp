#include "sitefetch.h"

#include "pagelinks.h"
#include "siteurl.h"

#include <QHash>

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <mutex>

namespace webhost::site {

namespace {

using Clock = std::chrono::steady_clock;

// An error answer's body is read past (so the connection stays open) only up to here.
constexpr qint64 kErrorBodyBytes = 64 * 1024;
constexpr int kTickMs = 50;

const char* standardReason(int status) {
    switch (status) {
    case 300:
        return "Multiple Choices";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 402:
        return "Payment Required";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 406:
        return "Not Acceptable";
    case 407:
        return "Proxy Authentication Required";
    case 408:
        return "Request Timeout";
    case 409:
        return "Conflict";
    case 410:
        return "Gone";
    case 411:
        return "Length Required";
    case 412:
        return "Precondition Failed";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 415:
        return "Unsupported Media Type";
    case 416:
        return "Range Not Satisfiable";
    case 417:
        return "Expectation Failed";
    case 421:
        return "Misdirected Request";
    case 422:
        return "Unprocessable Content";
    case 425:
        return "Too Early";
    case 426:
        return "Upgrade Required";
    case 428:
        return "Precondition Required";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 451:
        return "Unavailable For Legal Reasons";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    case 505:
        return "HTTP Version Not Supported";
    case 506:
        return "Variant Also Negotiates";
    case 507:
        return "Insufficient Storage";
    case 508:
        return "Loop Detected";
    case 511:
        return "Network Authentication Required";
    default:
        return "";
    }
}

// No connection could be made: the site is not there for us, rather than one page failing.
bool isUnreachable(CURLcode code) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
        return true;
    default:
        return false;
    }
}

bool startsWithNoCase(const char* p, size_t n, const char* prefix) {
    const size_t len = std::strlen(prefix);
    return n >= len && qstrnicmp(p, prefix, len) == 0;
}

} // namespace

QString statusText(int status, const QString& reason) {
    const QString why =
        reason.trimmed().isEmpty() ? QString::fromLatin1(standardReason(status)) : reason.trimmed();
    return why.isEmpty() ? QString::number(status) : QString::number(status) + u' ' + why;
}

QString tooLargeText(qint64 maxBytes) {
    if (maxBytes >= (1 << 20) && maxBytes % (1 << 20) == 0)
        return QStringLiteral("larger than %1 MB").arg(maxBytes >> 20);
    if (maxBytes >= 1024 && maxBytes % 1024 == 0)
        return QStringLiteral("larger than %1 KB").arg(maxBytes >> 10);
    return QStringLiteral("larger than %1 bytes").arg(maxBytes);
}

bool isPageType(const QByteArray& contentType) {
    const QString type = mediaTypeOf(contentType);
    return type == QLatin1String("text/html") || type == QLatin1String("application/xhtml+xml");
}

struct Fetcher::Impl {
    struct Transfer {
        Impl* owner = nullptr;
        CURL* easy = nullptr;
        quint64 id = 0;
        QString url;
        QString current;
        FetchKind kind = FetchKind::Page;
        RedirectCheck check;
        QStringList chain; // the URLs of this request's hops
        Clock::time_point started;
        // The current hop's answer.
        int status = 0;
        QByteArray reason;
        QByteArray contentType;
        QByteArray robotsTag; // the X-Robots-Tag headers, one a line
        QByteArray body;
        qint64 errorBytes = 0;
        enum class Stop { None, NotPage, TooBig, ErrorBody } stop = Stop::None;
        char errorText[CURL_ERROR_SIZE] = {};
    };
    struct Pending {
        quint64 id;
        QString url;
        FetchKind kind;
        RedirectCheck check;
    };

    FetchConfig config;
    CURLM* multi = nullptr;
    curl_slist* headers = nullptr;
    QByteArray caFile;
    std::deque<Pending> queue;
    QHash<CURL*, Transfer*> active;
    Clock::time_point lastStart;
    bool startedOnce = false;

    ~Impl() {
        clear();
        if (multi)
            curl_multi_cleanup(multi);
        curl_slist_free_all(headers);
    }

    void clear() {
        queue.clear();
        for (Transfer* t : std::as_const(active)) {
            curl_multi_remove_handle(multi, t->easy);
            curl_easy_cleanup(t->easy);
            delete t;
        }
        active.clear();
    }

    static size_t onHeader(char* p, size_t size, size_t n, void* data) {
        auto* t = static_cast<Transfer*>(data);
        const size_t len = size * n;
        if (startsWithNoCase(p, len, "HTTP/")) {
            // A new answer (after 100 Continue, or the next hop): its own status and headers.
            t->status = 0;
            t->reason.clear();
            t->contentType.clear();
            t->robotsTag.clear();
            const QByteArray line = QByteArray(p, qsizetype(len)).trimmed();
            const qsizetype sp = line.indexOf(' ');
            if (sp > 0) {
                const qsizetype sp2 = line.indexOf(' ', sp + 1);
                t->status = line.mid(sp + 1, sp2 < 0 ? -1 : sp2 - sp - 1).toInt();
                if (sp2 > 0)
                    t->reason = line.mid(sp2 + 1).trimmed();
            }
        } else if (startsWithNoCase(p, len, "content-type:")) {
            t->contentType = QByteArray(p + 13, qsizetype(len - 13)).trimmed();
        } else if (startsWithNoCase(p, len, "x-robots-tag:") && t->robotsTag.size() < 4096) {
            t->robotsTag += QByteArray(p + 13, qsizetype(len - 13)).trimmed() + '\n';
        }
        return len;
    }

    static size_t onWrite(char* p, size_t size, size_t n, void* data) {
        auto* t = static_cast<Transfer*>(data);
        const size_t len = size * n;
        if (t->status < 200 || t->status >= 300) {
            // Redirects and errors: nothing of the body is kept.
            t->errorBytes += qint64(len);
            if (t->errorBytes > kErrorBodyBytes) {
                t->stop = Transfer::Stop::ErrorBody;
                return 0;
            }
            return len;
        }
        if (t->kind == FetchKind::Page && !isPageType(t->contentType)) {
            t->stop = Transfer::Stop::NotPage;
            return 0;
        }
        if (t->body.size() + qint64(len) > t->owner->config.maxBytes) {
            t->stop = Transfer::Stop::TooBig;
            t->body = QByteArray();
            return 0;
        }
        if (t->body.isEmpty()) {
            curl_off_t length = -1;
            if (curl_easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) ==
                    CURLE_OK &&
                length > 0)
                t->body.reserve(qsizetype(std::min<qint64>(length, t->owner->config.maxBytes)));
        }
        t->body.append(p, qsizetype(len));
        return len;
    }

    qint64 remainingMs(const Transfer& t) const {
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t.started).count();
        return qint64(config.requestSeconds) * 1000 - spent;
    }

    // Sets up the easy handle for the transfer's current hop and hands it to the multi handle.
    void startHop(Transfer* t) {
        t->status = 0;
        t->reason.clear();
        t->contentType.clear();
        t->body.clear();
        t->errorBytes = 0;
        t->stop = Transfer::Stop::None;
        t->errorText[0] = 0;
        CURL* e = t->easy;
        const QByteArray url = t->current.toUtf8();
        curl_easy_setopt(e, CURLOPT_URL, url.constData());
        curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, long(std::max<qint64>(1, remainingMs(*t))));
        curl_multi_add_handle(multi, e);
        active.insert(e, t);
        lastStart = Clock::now();
        startedOnce = true;
    }

    CURL* newEasy(Transfer* t) {
        CURL* e = curl_easy_init();
        if (!e)
            return nullptr;
        curl_easy_setopt(e, CURLOPT_PRIVATE, t);
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(e, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
        curl_easy_setopt(e, CURLOPT_PIPEWAIT, 1L);
        curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(e, CURLOPT_USERAGENT, config.userAgent.constData());
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(config.maxBytes));
        const long stallSeconds = std::clamp(config.requestSeconds, 1, 30);
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, stallSeconds);
        if (config.insecure) {
            curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
            curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
        } else {
            curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
            curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
            if (!caFile.isEmpty()) {
                curl_easy_setopt(e, CURLOPT_CAINFO, caFile.constData());
                curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);
            }
        }
        curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->errorText);
        curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Impl::onHeader);
        curl_easy_setopt(e, CURLOPT_HEADERDATA, t);
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Impl::onWrite);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, t);
        return e;
    }

    bool mayStart() const {
        if (queue.empty() || active.size() >= std::max(1, config.connections))
            return false;
        if (config.delaySeconds > 0 && startedOnce) {
            if (!active.isEmpty())
                return false;
            return Clock::now() - lastStart >= std::chrono::duration<double>(config.delaySeconds);
        }
        return true;
    }

    // Milliseconds until the crawl delay lets the next request start.
    int delayLeftMs() const {
        if (config.delaySeconds <= 0 || queue.empty() || !active.isEmpty() || !startedOnce)
            return kTickMs;
        const auto due = lastStart + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(config.delaySeconds));
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
        return int(std::clamp<qint64>(left, 0, kTickMs));
    }

    void startQueued(const std::function<void(FetchResult&)>& done) {
        while (mayStart()) {
            Pending p = std::move(queue.front());
            queue.pop_front();
            auto* t = new Transfer;
            t->owner = this;
            t->id = p.id;
            t->url = p.url;
            t->current = p.url;
            t->kind = p.kind;
            t->check = std::move(p.check);
            t->chain = QStringList{p.url};
            t->started = Clock::now();
            t->easy = newEasy(t);
            if (!t->easy) {
                FetchResult r;
                r.id = t->id;
                r.url = r.finalUrl = t->url;
                r.failure = QStringLiteral("Out of memory");
                delete t;
                done(r);
                continue;
            }
            startHop(t);
        }
    }

    // The transfer's hop ended; either the next hop starts or the request is done.
    void finished(CURL* e, CURLcode code, const std::function<void(FetchResult&)>& done) {
        Transfer* t = active.take(e);
        curl_multi_remove_handle(multi, e);
        FetchResult r;
        r.id = t->id;
        r.url = t->url;
        r.finalUrl = t->current;
        r.status = t->status;
        r.contentType = t->contentType;
        r.robotsTag = t->robotsTag;
        using Outcome = FetchResult::Outcome;
        using Stop = Transfer::Stop;
        const bool answered =
            code == CURLE_OK || (code == CURLE_WRITE_ERROR && t->stop != Stop::None);
        auto failText = [&] {
            return t->errorText[0] ? QString::fromUtf8(t->errorText)
                                   : QString::fromUtf8(curl_easy_strerror(code));
        };
        if (answered && t->stop == Stop::TooBig) {
            r.outcome = Outcome::Failed;
            r.failure = tooLargeText(config.maxBytes);
        } else if (answered && t->status >= 300 && t->status < 400) {
            char* location = nullptr;
            curl_easy_getinfo(e, CURLINFO_REDIRECT_URL, &location);
            if (!location) {
                r.outcome = Outcome::Failed;
                r.failure = statusText(t->status, QString::fromUtf8(t->reason));
            } else {
                const QString raw = QString::fromUtf8(location);
                const QString target = normalUrl(raw);
                RedirectVerdict verdict = RedirectVerdict::OutOfSite;
                if (!target.isEmpty()) {
                    if (t->chain.contains(target))
                        verdict = RedirectVerdict::Follow; // a loop: counted to the limit
                    else
                        verdict = t->check ? t->check(target) : RedirectVerdict::Follow;
                }
                if (verdict == RedirectVerdict::Follow &&
                    int(t->chain.size()) > config.maxRedirects) {
                    r.outcome = Outcome::Failed;
                    r.failure = QStringLiteral("too many redirects");
                } else if (verdict == RedirectVerdict::Follow && remainingMs(*t) <= 0) {
                    r.outcome = Outcome::Failed;
                    r.failure = QStringLiteral("Operation timed out after %1 milliseconds")
                                    .arg(qint64(config.requestSeconds) * 1000);
                } else if (verdict == RedirectVerdict::Follow) {
                    t->chain.append(target);
                    t->current = target;
                    startHop(t);
                    return;
                } else if (verdict == RedirectVerdict::OutOfSite) {
                    r.outcome = Outcome::Failed;
                    r.failure = QStringLiteral("redirects out of the site to %1")
                                    .arg(target.isEmpty() ? raw : target);
                } else {
                    r.outcome = Outcome::Skipped;
                    r.disallowed = verdict == RedirectVerdict::Disallowed;
                }
            }
        } else if (answered && t->status >= 200 && t->status < 300) {
            if (t->stop == Stop::NotPage ||
                (t->kind == FetchKind::Page && !isPageType(t->contentType))) {
                r.outcome = Outcome::NotPage;
            } else {
                r.outcome = Outcome::Body;
                r.body = std::move(t->body);
            }
        } else if (answered) {
            r.outcome = Outcome::Failed;
            r.failure = statusText(t->status, QString::fromUtf8(t->reason));
        } else if (code == CURLE_FILESIZE_EXCEEDED) {
            r.outcome = Outcome::Failed;
            r.failure = tooLargeText(config.maxBytes);
        } else {
            curl_off_t connected = 0;
            curl_easy_getinfo(e, CURLINFO_CONNECT_TIME_T, &connected);
            // A timeout before any connection was made: nobody answers there.
            const bool neverConnected = code == CURLE_OPERATION_TIMEDOUT && connected == 0;
            r.outcome =
                isUnreachable(code) || neverConnected ? Outcome::Unreachable : Outcome::Failed;
            r.failure = failText();
        }
        curl_easy_cleanup(e);
        delete t;
        done(r);
    }
};

Fetcher::Fetcher(FetchConfig config) : d(std::make_unique<Impl>()) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    d->config = std::move(config);
    d->caFile = d->config.caFile;
    d->multi = curl_multi_init();
    const long connections = std::max(1, d->config.connections);
    curl_multi_setopt(d->multi, CURLMOPT_MAX_HOST_CONNECTIONS, connections);
    curl_multi_setopt(d->multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, connections);
    curl_multi_setopt(d->multi, CURLMOPT_MAXCONNECTS, connections);
    for (const QByteArray& h : std::as_const(d->config.headers))
        d->headers = curl_slist_append(d->headers, h.constData());
}

Fetcher::~Fetcher() = default;

void Fetcher::add(quint64 id, const QString& url, FetchKind kind, RedirectCheck check) {
    d->queue.push_back(Impl::Pending{id, url, kind, std::move(check)});
}

int Fetcher::running() const {
    return int(d->active.size());
}

int Fetcher::queued() const {
    return int(d->queue.size());
}

void Fetcher::setDelay(double seconds) {
    d->config.delaySeconds = seconds;
}

void Fetcher::clear() {
    d->clear();
}

bool Fetcher::run(const std::function<void(FetchResult&)>& done,
                  const std::function<bool()>& tick) {
    // The first tick comes at once: even a short run can be cancelled.
    auto lastTick = Clock::now() - std::chrono::milliseconds(kTickMs);
    for (;;) {
        d->startQueued(done);
        if (d->queue.empty() && d->active.isEmpty())
            return true;
        int still = 0;
        curl_multi_perform(d->multi, &still);
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(d->multi, &left)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            CURL* e = msg->easy_handle;
            const CURLcode code = msg->data.result;
            d->finished(e, code, done);
        }
        if (Clock::now() - lastTick >= std::chrono::milliseconds(kTickMs)) {
            lastTick = Clock::now();
            if (tick && !tick()) {
                d->clear();
                return false;
            }
        }
        d->startQueued(done);
        if (d->queue.empty() && d->active.isEmpty())
            return true;
        if (!d->active.isEmpty() || d->delayLeftMs() > 0)
            curl_multi_poll(d->multi, nullptr, 0, d->active.isEmpty() ? d->delayLeftMs() : kTickMs,
                            nullptr);
    }
}

} // namespace webhost::site
