#include "tickftp.h"

#include "ftplisting.h"
#include "ineterrors.h"
#include "platform/textcodec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QThread>
#include <QUrl>

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace ftp {

namespace {

const QString kBusyAction = QStringLiteral("Busy performing current action");
const QString kBusyPath = QStringLiteral("Busy performing current action.");
const QString kInvalidHost = QStringLiteral("The RemoteHost address is invalid");
const QString kCantOpenLocalFile = QStringLiteral("Can't open LocalFile");
const QString kLocalFileError = QStringLiteral("Local file error.");
const QString kInvalidAction = QStringLiteral("Invalid Action value");
const QString kInvalidName = QStringLiteral("The RemoteFile name is invalid");
const QString kWaitError = QStringLiteral("Error waiting for worker thread.");
const QString kInterrupted = QStringLiteral("Interrupted.");
const QString kOutOfMemory = QStringLiteral("Out of memory.");
const QString kNoEncryption =
    QStringLiteral("The server offers no encrypted connection, and one is required.");
const QString kStatusConnecting = QStringLiteral("Connecting to server");
const QString kStatusConnected = QStringLiteral("Connected to server");
const QString kStatusDirectory =
    QStringLiteral("Successfully sent the information request to the server.");
const QString kStatusClosed = QStringLiteral("Closed the connection to the server.");
const char* const kUserAgent = "TickFTP/1.0";
const QString kStalled = QStringLiteral("Nothing came from the server for %1 seconds.");
const QString kShortBody = QStringLiteral("Received %1 of the %2 bytes announced.");
const QString kLongBody = QStringLiteral("Received more than the %1 bytes announced.");
const QString kTooLarge = QStringLiteral("The file is larger than the %1 bytes allowed.");
const QString kForeignData =
    QStringLiteral("A data connection came from another address than the server's.");

constexpr int kBlock = 4096;
// libcurl's receive buffer, for as long as a transfer runs. Events still come per block of
// 4096 bytes; reading several blocks at a time lets a download keep pace with the link, where a
// read per block cost more than handling the block.
constexpr long kReceiveBuffer = 64 * 1024;
constexpr int kSliceMs = 10;
constexpr int kMaxReply = 2048;
constexpr int kMaxListLine = 8192;

// Spins while `changed` is false, for at most `budget` microseconds, and adapts the budget:
// during a transfer the other thread answers within microseconds when a core is free, and a sleep
// and wake-up per block would cost more than the block; when spins time out (a busy machine, an
// idle wait) the budget halves towards none, so waiting costs no CPU. Now and then a spin of 10 µs
// probes whether it pays again.
template <typename Pred> void spinBriefly(int& budget, unsigned& probe, Pred changed) {
    constexpr int kMaxSpinUs = 100;
    int us = budget;
    if (us == 0) {
        if ((++probe & 63) != 0)
            return;
        us = 10;
    }
    using clock = std::chrono::steady_clock;
    const auto until = clock::now() + std::chrono::microseconds(us);
    do {
        for (int i = 0; i < 64; ++i) {
            if (changed()) {
                budget = std::min(kMaxSpinUs, std::max(budget, 10) + 10);
                return;
            }
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
    } while (clock::now() < until);
    budget /= 2;
}

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A host name, an IPv4 address or an IPv6 address; anything else would change the URL's meaning.
bool plainHost(const QString& host) {
    if (host.isEmpty())
        return false;
    for (QChar c : host) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                        (u >= '0' && u <= '9') || u == '.' || u == '-' || u == '_' || u == ':';
        if (!ok)
            return false;
    }
    return true;
}

bool plainName(const QString& name) {
    for (QChar c : name)
        if (c.unicode() < 32)
            return false;
    return !name.isEmpty();
}

// The working directory after changing to `path` from `cwd`: an absolute path replaces it,
// a relative one is taken from it.
QString joinPath(const QString& cwd, const QString& path) {
    if (path.startsWith(QLatin1Char('/')))
        return path;
    if (cwd.isEmpty() || cwd.endsWith(QLatin1Char('/')))
        return cwd + path;
    return cwd + QLatin1Char('/') + path;
}

// URL path of a directory (relative to the login directory, or absolute) and an optional file.
QByteArray urlPath(const QString& dir, const QString& file) {
    QByteArray out;
    if (dir.startsWith(QLatin1Char('/')))
        out += "%2F";
    for (const QString& seg : dir.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (seg == QLatin1String("."))
            continue;
        if (!out.isEmpty() && !out.endsWith('/') && out != "%2F")
            out += '/';
        out += QUrl::toPercentEncoding(seg);
    }
    if (!out.isEmpty())
        out += '/';
    for (const QString& seg : file.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!out.isEmpty() && !out.endsWith('/'))
            out += '/';
        out += QUrl::toPercentEncoding(seg);
    }
    return out;
}

} // namespace

// What an action works on, copied on the calling thread before the worker starts, so that
// handlers may change properties meanwhile.
struct Params {
    TickftpActions action = ickftpIdle;
    QString host, user, password, remoteFile, renameTo, localFile, remotePath;
    int port = 21;
    TickftpTransferMode mode = icktmDefault;
    bool passive = false;
    int stall = TickFTP::kStallSeconds;
    qint64 maxSize = 0;
    QByteArray proxy, proxyUser, proxyPassword;
    bool requireTls = false;
    QByteArray caFile;
};

// Why a download was ended although its connections were fine.
enum class Cut { None, MoreThanAnnounced, TooLarge, ForeignData };

struct TickFTP::Impl {
    explicit Impl(TickFTP& owner) : q(owner) {}

    TickFTP& q;

    // The root internet handle: the proxy choice taken at the first Logon, kept until the
    // instance is destroyed, an action is stopped or a close ends a wait.
    bool rootOpen = false;
    QByteArray proxy, proxyUser, proxyPassword;

    // The connection's libcurl handles. The multi interface lets another thread wake the worker
    // at once (curl_multi_wakeup); the sockets are tracked so that a stop can also end a blocking
    // exchange inside libcurl (the QUIT of a closing connection).
    std::mutex sockMutex;
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    std::set<curl_socket_t> sockets;
    std::atomic<bool> abort{false};

    QString cwd; // the server's working directory, relative to the login directory

    // The worker and the hand-over of its events.
    std::thread worker;
    bool workerExists = false;
    TickftpActions running = ickftpIdle;
    std::mutex m;
    std::condition_variable cvCaller, cvWorker;
    std::function<void()> pending;
    bool hasPending = false;
    quint64 handoverSerial = 0;
    quint64 doneSerial = 0;
    bool released = false; // handlers are no longer run (close or quit during the wait)
    bool workerDone = false;
    int exitCode = 0;
    int handlerDepth = 0;
    bool stopRequested = false;
    bool closeSeen = false;
    bool workerDoneAtClose = false;
    std::exception_ptr handlerError;
    // Bumped under `m` at every change the other side may wait for, so that a waiter can spin on
    // it briefly before it sleeps.
    std::atomic<quint64> version{0};
    int callerSpin = 0, workerSpin = 0; // spin budgets in µs, each of its own thread
    unsigned callerProbe = 0, workerProbe = 0;

    // The server's replies and the action's own description of a failure.
    QString lastReply;
    QByteArray replyLines;
    QByteArray multiCode;
    QString description;
    // The description is a safeguard's own cause (TLS, a stall, bytes that do not belong), which
    // the window shows after its message.
    bool ownCause = false;
    char errorText[CURL_ERROR_SIZE] = {};    // libcurl's own words on the last failure
    QByteArray defaultCaFile, defaultCaPath; // libcurl's built-in CA bundle and folder
    // The control connection runs over TLS. libcurl cannot protect a data connection that the
    // server opens (active mode), so the data connections are then made passively.
    bool tlsInUse = false;

    // Per transfer.
    Params p;
    bool opened = false;  // the server answered the transfer command with 1xx
    bool started = false; // OnStartTransfer raised
    qint64 total = 0;
    int localError = 0;
    std::unique_ptr<QFile> file;
    QByteArray block; // a block being filled up to 4096 bytes
    QByteArray listLine;
    bool skippingLine = false;
    bool listing = false;
    bool namesOnly = false;
    qint64 announced = -1; // the size of the server's SIZE reply
    bool sizeAsked = false;
    bool sizeRefused = false; // SIZE said the file is not there (550)
    Cut cut = Cut::None;

    // ---- calling thread ----

    int run(const Params& params);
    void waitLoop(bool stopping);
    bool runPending(std::unique_lock<std::mutex>& lk);
    void stop();
    void onClose();
    void abortTransfer();
    QString describe(int code) const;

    // ---- worker ----

    int body();
    void handOver(std::function<void()> call);
    void createHandles();
    void destroyHandles(bool graceful);
    void prepare(const QByteArray& path);
    CURLcode perform();
    CURLcode performReusing();
    int fail(CURLcode res);
    int logon();
    int logoff();
    int ensureLogon();
    int changeDirectory();
    int download();
    int upload();
    int list();
    int quote(const QStringList& commands);
    void onReplyLine(const QByteArray& line);
    bool createLocalFile();
    bool onData(const char* data, size_t size);
    bool writeOut(const char* data, size_t size);
    void onListBytes(const char* data, size_t size);
    void onListLine(const QByteArray& line);

    static size_t headerCb(char* b, size_t s, size_t n, void* self);
    static size_t writeCb(char* b, size_t s, size_t n, void* self);
    static size_t readCb(char* b, size_t s, size_t n, void* self);
    static int sockOptCb(void* self, curl_socket_t fd, curlsocktype purpose);
    static curl_socket_t openSocketCb(void* self, curlsocktype purpose, curl_sockaddr* a);
    static int closeSocketCb(void* self, curl_socket_t fd);
};

namespace {

// Ends the wait when the calling thread receives a close request from the window system or a
// quit request; the event itself still reaches its receiver. Closes that the program makes itself
// (a dialog closed by its button sends one too) are no reason to end a transfer.
class CloseWatcher : public QObject {
public:
    explicit CloseWatcher(std::function<void()> onClose) : m_onClose(std::move(onClose)) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if ((e->type() == QEvent::Close && e->spontaneous()) || e->type() == QEvent::Quit)
            m_onClose();
        return false;
    }

private:
    std::function<void()> m_onClose;
};

} // namespace

// ================================================================ calling thread

int TickFTP::Impl::run(const Params& params) {
    p = params;
    {
        std::lock_guard lk(m);
        hasPending = false;
        released = false;
        workerDone = false;
        exitCode = 0;
        lastReply.clear();
        replyLines.clear();
        multiCode.clear();
    }
    description.clear();
    ownCause = false;
    abort = false;
    stopRequested = false;
    closeSeen = false;
    handlerError = nullptr;
    running = params.action;
    try {
        worker = std::thread([this] {
            int r;
            try {
                r = body();
            } catch (const std::exception&) {
                r = kErrOutOfMemory; // nothing but an allocation can throw in there
            }
            std::lock_guard lk(m);
            exitCode = r;
            workerDone = true;
            ++version;
            cvCaller.notify_all();
        });
    } catch (const std::exception&) {
        running = ickftpIdle;
        return kErrOutOfMemory;
    }
    workerExists = true;

    QElapsedTimer clock;
    clock.start();
    int result = 0;
    bool timedOut = false;
    {
        std::unique_ptr<CloseWatcher> watcher;
        QCoreApplication* app = QCoreApplication::instance();
        if (app && app->thread() == QThread::currentThread()) {
            watcher = std::make_unique<CloseWatcher>([this] { onClose(); });
            app->installEventFilter(watcher.get());
        }
        QElapsedTimer sinceEvents;
        sinceEvents.start();
        for (;;) {
            bool sliceEnded = false;
            bool done = false;
            {
                const quint64 seen = version.load();
                spinBriefly(callerSpin, callerProbe,
                            [&] { return version.load(std::memory_order_acquire) != seen; });
                std::unique_lock lk(m);
                auto ready = [&] {
                    return (hasPending && handlerDepth == 0) || workerDone || closeSeen;
                };
                if (!ready())
                    sliceEnded = !cvCaller.wait_for(lk, std::chrono::milliseconds(kSliceMs), ready);
                runPending(lk);
                done = workerDone && !hasPending;
            }
            if (closeSeen || done)
                break;
            if (sliceEnded || sinceEvents.elapsed() >= kSliceMs) {
                if (app)
                    QCoreApplication::processEvents(QEventLoop::AllEvents);
                sinceEvents.restart();
                if (closeSeen)
                    break;
            }
            if (q.m_timeout > 0 && clock.elapsed() > qint64(q.m_timeout) * 1000 && !stopRequested) {
                timedOut = true;
                stop();
                break;
            }
        }
        if (watcher)
            app->removeEventFilter(watcher.get());
    }

    if (closeSeen) {
        std::lock_guard lk(m);
        result = workerDoneAtClose ? exitCode : kErrStillActive;
        if (!workerDoneAtClose)
            description = kWaitError;
    }
    // Whatever ended the wait, the worker has been told to finish (it never waits for us once
    // released), so joining is short; no thread outlives its instance.
    worker.join();
    workerExists = false;
    running = ickftpIdle;
    if (!closeSeen)
        result = exitCode;
    if (timedOut)
        result = kErrInterrupted;
    if (stopRequested || closeSeen) {
        destroyHandles(false);
        rootOpen = false;
        q.m_connected = false;
    }
    if (handlerError)
        std::rethrow_exception(handlerError);
    return result;
}

bool TickFTP::Impl::runPending(std::unique_lock<std::mutex>& lk) {
    if (!hasPending || handlerDepth > 0)
        return false;
    std::function<void()> call = std::move(pending);
    hasPending = false;
    const quint64 serial = handoverSerial;
    lk.unlock();
    ++handlerDepth;
    try {
        call();
    } catch (...) {
        // A handler that throws ends the action; its error reaches the caller afterwards.
        if (!handlerError)
            handlerError = std::current_exception();
        abortTransfer();
        stopRequested = true;
        std::lock_guard g(m);
        released = true;
        ++version;
    }
    --handlerDepth;
    lk.lock();
    doneSerial = std::max(doneSerial, serial);
    ++version;
    cvWorker.notify_all();
    return true;
}

void TickFTP::Impl::abortTransfer() {
    abort = true;
    std::lock_guard lk(sockMutex);
    for (curl_socket_t fd : sockets)
        ::shutdown(fd, SHUT_RDWR);
    if (multi)
        curl_multi_wakeup(multi);
}

void TickFTP::Impl::stop() {
    stopRequested = true;
    abortTransfer();
    if (handlerDepth > 0) {
        // Called from one of our handlers: the worker may go on at once; the rest of its events
        // follow when the handler has returned.
        std::lock_guard lk(m);
        doneSerial = handoverSerial;
        ++version;
        cvWorker.notify_all();
        return;
    }
    // Wait for the worker, still handing its events to their handlers.
    for (;;) {
        std::unique_lock lk(m);
        auto ready = [&] { return hasPending || workerDone || released; };
        if (!ready())
            cvCaller.wait_for(lk, std::chrono::milliseconds(kSliceMs), ready);
        runPending(lk);
        if ((workerDone && !hasPending) || released)
            return;
    }
}

void TickFTP::Impl::onClose() {
    if (closeSeen)
        return;
    closeSeen = true;
    {
        std::lock_guard lk(m);
        workerDoneAtClose = workerDone;
        released = true;
        ++version;
        cvWorker.notify_all();
    }
    abortTransfer();
}

QString TickFTP::Impl::describe(int code) const {
    if (code == kErrInterrupted)
        return kInterrupted;
    if (code == kErrOutOfMemory)
        return kOutOfMemory;
    if (!description.isEmpty())
        return description;
    if (code == kInetExtendedError) {
        const QString reply = q.LastReply();
        if (!reply.isEmpty())
            return reply;
    }
    const QString text = internetErrorText(InternetError(code));
    if (text.isEmpty())
        return QStringLiteral("[%1] (no description available)").arg(code);
    return QStringLiteral("[%1] %2").arg(code).arg(text);
}

// ================================================================ worker

void TickFTP::Impl::handOver(std::function<void()> call) {
    std::unique_lock lk(m);
    if (released)
        return;
    pending = std::move(call);
    hasPending = true;
    const quint64 serial = ++handoverSerial;
    const quint64 seen = ++version;
    cvCaller.notify_all();
    lk.unlock();
    spinBriefly(workerSpin, workerProbe,
                [&] { return version.load(std::memory_order_acquire) != seen; });
    lk.lock();
    cvWorker.wait(lk, [&] { return doneSerial >= serial || released; });
}

void TickFTP::Impl::createHandles() {
    CURLM* mh = curl_multi_init();
    CURL* eh = curl_easy_init();
    if (eh && defaultCaFile.isEmpty() && defaultCaPath.isEmpty()) {
        char* ca = nullptr;
        if (curl_easy_getinfo(eh, CURLINFO_CAINFO, &ca) == CURLE_OK && ca)
            defaultCaFile = ca;
        ca = nullptr;
        if (curl_easy_getinfo(eh, CURLINFO_CAPATH, &ca) == CURLE_OK && ca)
            defaultCaPath = ca;
    }
    tlsInUse = false;
    std::lock_guard lk(sockMutex);
    multi = mh;
    easy = eh;
}

void TickFTP::Impl::destroyHandles(bool graceful) {
    CURLM* mh;
    CURL* eh;
    {
        std::lock_guard lk(sockMutex);
        mh = multi;
        eh = easy;
        multi = nullptr;
        easy = nullptr;
        if (!graceful)
            for (curl_socket_t fd : sockets)
                ::shutdown(fd, SHUT_RDWR);
    }
    if (eh)
        curl_easy_cleanup(eh);
    // Closes the cached connection; a graceful close says QUIT first.
    if (mh)
        curl_multi_cleanup(mh);
}

void TickFTP::Impl::prepare(const QByteArray& path) {
    CURL* e = easy;
    QByteArray hostPart = p.host.toUtf8();
    if (hostPart.contains(':'))
        hostPart = '[' + hostPart + ']';
    const QByteArray url = "ftp://" + hostPart + ':' + QByteArray::number(p.port) + '/' + path;
    curl_easy_setopt(e, CURLOPT_URL, url.constData());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    curl_easy_setopt(e, CURLOPT_USERAGENT, kUserAgent);
    // Active mode on the control connection's own address; in passive mode the address of a
    // PASV reply is never used, only its port on the server's address.
    curl_easy_setopt(e, CURLOPT_FTPPORT, p.passive || tlsInUse ? nullptr : "-");
    curl_easy_setopt(e, CURLOPT_FTP_SKIP_PASV_IP, 1L);
    const QByteArray user = p.user.toUtf8();
    const QByteArray password = p.password.toUtf8();
    if (!user.isEmpty()) {
        curl_easy_setopt(e, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(e, CURLOPT_PASSWORD, password.constData());
    } else if (!password.isEmpty()) {
        curl_easy_setopt(e, CURLOPT_USERNAME, "anonymous");
        curl_easy_setopt(e, CURLOPT_PASSWORD, password.constData());
    } else {
        curl_easy_setopt(e, CURLOPT_USERNAME, nullptr);
        curl_easy_setopt(e, CURLOPT_PASSWORD, nullptr);
    }
    // An empty proxy leaves the choice to the environment's proxy settings, the platform's
    // configured ones. A named proxy is an HTTP proxy that tunnels the FTP connections.
    // ProxyUser and ProxyPassword are presented to the proxy when set.
    if (!proxy.isEmpty()) {
        curl_easy_setopt(e, CURLOPT_PROXY, proxy.constData());
        curl_easy_setopt(e, CURLOPT_HTTPPROXYTUNNEL, 1L);
        curl_easy_setopt(e, CURLOPT_PROXYUSERNAME,
                         proxyUser.isEmpty() ? nullptr : proxyUser.constData());
        curl_easy_setopt(e, CURLOPT_PROXYPASSWORD,
                         proxyPassword.isEmpty() ? nullptr : proxyPassword.constData());
    } else {
        curl_easy_setopt(e, CURLOPT_PROXY, nullptr);
        curl_easy_setopt(e, CURLOPT_HTTPPROXYTUNNEL, 0L);
    }
    // TLS when the server offers it; the certificate is always verified, never accepted
    // unchecked.
    curl_easy_setopt(e, CURLOPT_USE_SSL,
                     p.requireTls ? long(CURLUSESSL_ALL) : long(CURLUSESSL_TRY));
    curl_easy_setopt(e, CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS));
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    // A CA file of the settings is the only trust; without one, the system's store.
    if (!p.caFile.isEmpty()) {
        curl_easy_setopt(e, CURLOPT_CAINFO, p.caFile.constData());
        curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);
    } else {
        curl_easy_setopt(e, CURLOPT_CAINFO,
                         defaultCaFile.isEmpty() ? nullptr : defaultCaFile.constData());
        curl_easy_setopt(e, CURLOPT_CAPATH,
                         defaultCaPath.isEmpty() ? nullptr : defaultCaPath.constData());
    }
    errorText[0] = 0;
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Impl::headerCb);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Impl::writeCb);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETFUNCTION, &Impl::openSocketCb);
    curl_easy_setopt(e, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(e, CURLOPT_CLOSESOCKETFUNCTION, &Impl::closeSocketCb);
    curl_easy_setopt(e, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(e, CURLOPT_SOCKOPTFUNCTION, &Impl::sockOptCb);
    curl_easy_setopt(e, CURLOPT_SOCKOPTDATA, this);
    // A transfer that stalls, a reply that never comes, or a data connection the server never
    // opens ends the action instead of holding the product forever.
    const long stall = p.stall;
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, stall);
    curl_easy_setopt(e, CURLOPT_SERVER_RESPONSE_TIMEOUT, stall);
    curl_easy_setopt(e, CURLOPT_ACCEPTTIMEOUT_MS, stall * 1000L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, stall);
    curl_easy_setopt(e, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(e, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(e, CURLOPT_QUOTE, nullptr);
    curl_easy_setopt(e, CURLOPT_DIRLISTONLY, 0L);
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 0L);
    // ASCII mode (TYPE A): libcurl drops the CR of CR LF here; the version files are read with
    // any line ends, so that is fine. The default mode is binary, the platform's default.
    curl_easy_setopt(e, CURLOPT_TRANSFERTEXT, p.mode == icktmASCII ? 1L : 0L);
    opened = false;
    started = false;
    total = 0;
    localError = 0;
    listing = false;
    namesOnly = false;
    listLine.clear();
    skippingLine = false;
    block.clear();
    announced = -1;
    sizeAsked = false;
    sizeRefused = false;
    cut = Cut::None;
    curl_easy_setopt(e, CURLOPT_PREQUOTE, nullptr);
    curl_easy_setopt(e, CURLOPT_IGNORE_CONTENT_LENGTH, 0L);
}

CURLcode TickFTP::Impl::perform() {
    if (abort)
        return CURLE_ABORTED_BY_CALLBACK;
    curl_multi_add_handle(multi, easy);
    CURLcode res = CURLE_OK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            res = CURLE_OUT_OF_MEMORY;
            break;
        }
        bool finished = false;
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left))
            if (msg->msg == CURLMSG_DONE) {
                res = msg->data.result;
                finished = true;
            }
        if (finished || running == 0)
            break;
        if (abort) {
            res = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    curl_multi_remove_handle(multi, easy);
    return res;
}

// A connection reused after the server's idle timeout fails with a 421 reply before anything
// was transferred: connect afresh and try once more. A timeout is never tried again: that would
// only double the wait on a server that does not answer.
CURLcode TickFTP::Impl::performReusing() {
    CURLcode res = perform();
    const bool idleDrop = q.LastReply().startsWith(QLatin1String("421"));
    if (res != CURLE_OK && idleDrop && !opened && total == 0 && !abort && localError == 0) {
        curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
        res = perform();
        curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 0L);
    }
    return res;
}

int TickFTP::Impl::fail(CURLcode res) {
    if (localError) {
        description = localError == kErrCantOpenLocalFile ? kCantOpenLocalFile : kLocalFileError;
        return localError;
    }
    const int code = internetErrorFromCurl(res, !proxy.isEmpty());
    // A TLS failure is told by its cause: the server's last reply says nothing of it.
    ownCause = true;
    if (res == CURLE_USE_SSL_FAILED)
        description = kNoEncryption;
    else if (code == kInetSecurityChannelError)
        description = errorText[0] ? QString::fromUtf8(errorText).trimmed()
                                   : QString::fromUtf8(curl_easy_strerror(res));
    else if (res == CURLE_OPERATION_TIMEDOUT || res == CURLE_FTP_ACCEPT_TIMEOUT)
        description = kStalled.arg(p.stall);
    else {
        description = q.LastReply();
        ownCause = false;
    }
    return code;
}

int TickFTP::Impl::body() {
    switch (p.action) {
    case ickftpIdle:
        return 0;
    case ickftpAbort:
    case ickftpLogoff:
        return logoff();
    case ickftpLogon:
        return logon();
    case ickftpChangeWorkingDirectory:
        return changeDirectory();
    default:
        break;
    }
    if (const int r = ensureLogon())
        return r;
    switch (p.action) {
    case ickftpDownload:
        return download();
    case ickftpUpload:
        return upload();
    case ickftpListDirectory:
    case ickftpListDirectoryLong:
        return list();
    case ickftpDeleteFile:
        if (!plainName(p.remoteFile))
            break;
        return quote({QStringLiteral("DELE ") + p.remoteFile});
    case ickftpRenameFile:
        if (!plainName(p.remoteFile) || !plainName(p.renameTo))
            break;
        return quote(
            {QStringLiteral("RNFR ") + p.remoteFile, QStringLiteral("RNTO ") + p.renameTo});
    case ickftpMakeDirectory:
        if (!plainName(p.remoteFile))
            break;
        return quote({QStringLiteral("MKD ") + p.remoteFile});
    case ickftpRemoveDirectory:
        if (!plainName(p.remoteFile))
            break;
        return quote({QStringLiteral("RMD ") + p.remoteFile});
    case ickftpGetWorkingDirectory:
        return quote({QStringLiteral("PWD")});
    default:
        break;
    }
    description = kInvalidName;
    return kErrInvalidParameter;
}

int TickFTP::Impl::logon() {
    if (p.host.isEmpty()) {
        description = kInvalidHost;
        return kErrInvalidHost;
    }
    if (!rootOpen) {
        rootOpen = true;
        proxy = p.proxy;
        proxyUser = p.proxyUser;
        proxyPassword = p.proxyPassword;
    }
    // A Logon replaces a connection that is still open.
    destroyHandles(true);
    q.m_connected = false;
    cwd.clear();
    createHandles();
    handOver([this] {
        if (q.OnStatus)
            q.OnStatus(q, 20, kStatusConnecting);
    });
    if (!plainHost(p.host)) {
        destroyHandles(false);
        return kInetNameNotResolved;
    }
    prepare(QByteArray());
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    const CURLcode res = perform();
    if (res != CURLE_OK) {
        const int code = fail(res);
        destroyHandles(false);
        return code;
    }
    q.m_connected = true;
    handOver([this] {
        if (q.OnStatus)
            q.OnStatus(q, 21, kStatusConnected);
    });
    return 0;
}

int TickFTP::Impl::logoff() {
    const bool wasConnected = q.m_connected;
    destroyHandles(true);
    q.m_connected = false;
    cwd.clear();
    if (wasConnected)
        handOver([this] {
            if (q.OnStatus)
                q.OnStatus(q, 51, kStatusClosed);
        });
    return 0;
}

int TickFTP::Impl::ensureLogon() {
    return q.m_connected ? 0 : logon();
}

int TickFTP::Impl::changeDirectory() {
    if (!q.m_connected)
        return 0;
    const QString target = joinPath(cwd, p.remotePath);
    prepare(urlPath(target, QString()));
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    const CURLcode res = performReusing();
    if (res != CURLE_OK)
        return fail(res);
    cwd = target;
    handOver([this] {
        if (q.OnStatus)
            q.OnStatus(q, 31, kStatusDirectory);
    });
    return 0;
}

bool TickFTP::Impl::createLocalFile() {
    if (file || p.localFile.isEmpty())
        return true;
    auto f = std::make_unique<QFile>(p.localFile);
    if (!f->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        localError = kErrCantOpenLocalFile;
        return false;
    }
    file = std::move(f);
    return true;
}

int TickFTP::Impl::download() {
    if (p.remoteFile.isEmpty() || !plainName(p.remoteFile)) {
        description = kInvalidName;
        return kErrInvalidParameter;
    }
    prepare(urlPath(cwd, p.remoteFile));
    // The size is asked here rather than by libcurl, which would read no byte past it: a body
    // longer than announced must fail, not be cut to fit. As before, a file that SIZE reports
    // missing is not retrieved, and a server without SIZE still delivers.
    curl_slist* sizeCommand = nullptr;
    QByteArray sizeText;
    if (p.mode != icktmASCII) {
        const QStringList parts = p.remoteFile.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        sizeText = "*SIZE " + parts.value(parts.size() - 1).toUtf8();
        sizeCommand = curl_slist_append(nullptr, sizeText.constData());
        curl_easy_setopt(easy, CURLOPT_PREQUOTE, sizeCommand);
        curl_easy_setopt(easy, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
        sizeAsked = true;
    }
    CURLcode res = performReusing();
    curl_easy_setopt(easy, CURLOPT_PREQUOTE, nullptr);
    curl_easy_setopt(easy, CURLOPT_IGNORE_CONTENT_LENGTH, 0L);
    curl_slist_free_all(sizeCommand);
    // The last, short block; after a stop nothing more is delivered.
    if (!block.isEmpty() && !abort && localError == 0 && cut == Cut::None) {
        if (onData(block.constData(), size_t(block.size())))
            writeOut(block.constData(), size_t(block.size()));
    }
    block.clear();
    // An empty remote file never reaches the write callback: the local file must still exist.
    if (res == CURLE_OK && !file && !p.localFile.isEmpty())
        createLocalFile();
    if (file) {
        file->close();
        file.reset();
    }
    const bool stopped = abort.load();
    if (opened || res == CURLE_OK || total > 0)
        handOver([this] {
            if (q.OnEndTransfer)
                q.OnEndTransfer(q);
        });
    if (localError)
        return fail(res);
    if (stopped)
        return 0;
    if (sizeRefused) {
        description = q.LastReply();
        return kInetExtendedError;
    }
    switch (cut) {
    case Cut::None:
        break;
    case Cut::MoreThanAnnounced:
        description = kLongBody.arg(announced);
        ownCause = true;
        return kInetConnectionAborted;
    case Cut::TooLarge:
        description = kTooLarge.arg(p.maxSize);
        ownCause = true;
        return kInetConnectionAborted;
    case Cut::ForeignData:
        description = kForeignData;
        ownCause = true;
        return kInetConnectionAborted;
    }
    // Fewer bytes than the server announced, whether it then said the transfer was complete or
    // dropped the connection.
    if (announced >= 0 && total < announced && (res == CURLE_OK || res == CURLE_PARTIAL_FILE)) {
        description = kShortBody.arg(total).arg(announced);
        ownCause = true;
        return kFtpDropped;
    }
    if (res == CURLE_OK)
        return 0;
    return fail(res);
}

int TickFTP::Impl::upload() {
    if (!plainName(p.remoteFile)) {
        description = kInvalidName;
        return kErrInvalidParameter;
    }
    auto f = std::make_unique<QFile>(p.localFile);
    if (p.localFile.isEmpty() || !f->open(QIODevice::ReadOnly)) {
        description = kCantOpenLocalFile;
        return kErrCantOpenLocalFile;
    }
    prepare(urlPath(cwd, p.remoteFile));
    file = std::move(f);
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Impl::readCb);
    curl_easy_setopt(easy, CURLOPT_READDATA, this);
    curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, curl_off_t(file->size()));
    const CURLcode res = performReusing();
    file.reset();
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 0L);
    const bool stopped = abort.load();
    handOver([this] {
        if (q.OnEndTransfer)
            q.OnEndTransfer(q);
    });
    if (localError)
        return fail(res);
    if (stopped || res == CURLE_OK)
        return 0;
    return fail(res);
}

int TickFTP::Impl::list() {
    // Plain LIST (or NLST) of the working directory; the mask is matched here, since servers
    // differ on "LIST mask".
    prepare(urlPath(cwd, QString()));
    listing = true;
    namesOnly = p.action == ickftpListDirectory;
    curl_easy_setopt(easy, CURLOPT_DIRLISTONLY, namesOnly ? 1L : 0L);
    const CURLcode res = performReusing();
    if (res == CURLE_OK && !listLine.isEmpty() && !skippingLine)
        onListLine(listLine);
    listLine.clear();
    listing = false;
    if (res == CURLE_OK || abort) {
        if (!started)
            handOver([this] {
                if (q.OnStartTransfer)
                    q.OnStartTransfer(q);
            });
        handOver([this] {
            if (q.OnEndTransfer)
                q.OnEndTransfer(q);
        });
        return 0;
    }
    if (started)
        handOver([this] {
            if (q.OnEndTransfer)
                q.OnEndTransfer(q);
        });
    if (cut == Cut::ForeignData) {
        description = kForeignData;
        ownCause = true;
        return kInetConnectionAborted;
    }
    return fail(res);
}

int TickFTP::Impl::quote(const QStringList& commands) {
    prepare(urlPath(cwd, QString()));
    curl_slist* cmds = nullptr;
    QList<QByteArray> texts;
    for (const QString& c : commands)
        texts.append(c.toUtf8());
    for (const QByteArray& t : texts)
        cmds = curl_slist_append(cmds, t.constData());
    curl_easy_setopt(easy, CURLOPT_QUOTE, cmds);
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    const CURLcode res = performReusing();
    curl_easy_setopt(easy, CURLOPT_QUOTE, nullptr);
    curl_slist_free_all(cmds);
    return res == CURLE_OK ? 0 : fail(res);
}

// The server's replies, one line at a time; a multi-line reply ("123-" ... "123 ") is kept whole.
void TickFTP::Impl::onReplyLine(const QByteArray& raw) {
    QByteArray line = raw.left(kMaxReply + 2);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    const bool coded = line.size() >= 3 && std::isdigit(uchar(line[0])) &&
                       std::isdigit(uchar(line[1])) && std::isdigit(uchar(line[2]));
    if (multiCode.isEmpty())
        replyLines.clear();
    if (!replyLines.isEmpty())
        replyLines += "\r\n";
    replyLines += line;
    if (replyLines.size() > kMaxReply)
        replyLines.truncate(kMaxReply);
    bool complete = false;
    if (multiCode.isEmpty()) {
        if (coded && line.size() >= 4 && line[3] == '-')
            multiCode = line.left(3);
        else
            complete = true;
    } else if (coded && line.startsWith(multiCode) && (line.size() == 3 || line[3] == ' ')) {
        multiCode.clear();
        complete = true;
    }
    // 234 answers AUTH alone: the control connection goes over TLS from here.
    if (complete && replyLines.startsWith("234"))
        tlsInUse = true;
    if (!complete)
        return;
    {
        std::lock_guard lk(m);
        lastReply = platform::decodeText(replyLines).text.left(kMaxReply);
    }
    // The answer to the SIZE that precedes a retrieval in binary mode.
    if (sizeAsked && !opened && line.startsWith("213 ")) {
        bool ok = false;
        const qint64 size = line.mid(4).trimmed().toLongLong(&ok);
        if (ok && size >= 0)
            announced = size;
    }
    // 550 before the transfer opened: the file (or its folder) is not there.
    if (sizeAsked && !opened && line.startsWith("550"))
        sizeRefused = true;
    if (coded && line[0] == '1' && (p.action == ickftpDownload || listing)) {
        opened = true;
        if (p.action == ickftpDownload)
            createLocalFile();
    }
}

size_t TickFTP::Impl::headerCb(char* b, size_t s, size_t n, void* self) {
    auto* d = static_cast<Impl*>(self);
    const size_t len = s * n;
    d->onReplyLine(QByteArray::fromRawData(b, qsizetype(qMin<size_t>(len, kMaxReply + 2))));
    if (d->localError || d->sizeRefused)
        return 0; // ends the transfer
    return len;
}

size_t TickFTP::Impl::writeCb(char* b, size_t s, size_t n, void* self) {
    auto* d = static_cast<Impl*>(self);
    const size_t len = s * n;
    if (d->abort)
        return 0;
    if (d->listing) {
        d->onListBytes(b, len);
        return len;
    }
    // Bytes past the announced size or past the cap end the transfer at once: a server that
    // sends more, or without end, fills neither the disk nor the time.
    const qint64 received = d->total + d->block.size() + qint64(len);
    if (d->announced >= 0 && received > d->announced) {
        d->cut = Cut::MoreThanAnnounced;
        return 0;
    }
    if (d->p.maxSize > 0 && received > d->p.maxSize) {
        d->cut = Cut::TooLarge;
        return 0;
    }
    // Full blocks of 4096 bytes, as the platform's reads return them, whatever size libcurl's
    // reads had: one OnTransfer per block, the same count on every run. Each block is written
    // after its event; the blocks of one read go to the file in one write once their events
    // have run, straight from libcurl's buffer (a write per block was the download's largest cost).
    size_t off = 0;
    bool carried = false;
    if (!d->block.isEmpty()) {
        const size_t take = qMin<size_t>(size_t(kBlock - d->block.size()), len);
        d->block.append(b, qsizetype(take));
        off = take;
        if (d->block.size() < kBlock)
            return len;
        if (!d->onData(d->block.constData(), kBlock))
            return 0;
        carried = true;
    }
    const size_t first = off;
    bool ok = true;
    // After a stop or a close nothing more is delivered.
    while (len - off >= size_t(kBlock) && !d->abort) {
        if (!(ok = d->onData(b + off, kBlock)))
            break;
        off += kBlock;
    }
    if (carried) {
        ok = d->writeOut(d->block.constData(), kBlock) && ok;
        d->block.resize(0);
    }
    ok = d->writeOut(b + first, off - first) && ok;
    if (!ok || d->abort)
        return 0;
    if (off < len)
        d->block.append(b + off, qsizetype(len - off));
    return len;
}

// Raises the events of one block; false ends the transfer (the local file cannot be created).
bool TickFTP::Impl::onData(const char* data, size_t size) {
    total += qint64(size);
    opened = true;
    if (!started) {
        started = true;
        handOver([this] {
            if (q.OnStartTransfer)
                q.OnStartTransfer(q);
        });
    }
    const qint64 t = total;
    if (!p.localFile.isEmpty()) {
        if (!createLocalFile())
            return false;
        handOver([this, t] {
            if (q.OnTransfer)
                q.OnTransfer(q, t, QByteArray());
        });
    } else {
        QByteArray text(data, qsizetype(size));
        handOver([this, t, text] {
            if (q.OnTransfer)
                q.OnTransfer(q, t, text);
        });
    }
    return true;
}

// Writes delivered blocks to the local file, when there is one; a failed write is 144.
bool TickFTP::Impl::writeOut(const char* data, size_t size) {
    if (size == 0 || !file)
        return true;
    if (file->write(data, qint64(size)) == qint64(size))
        return true;
    localError = kErrLocalFile;
    return false;
}

size_t TickFTP::Impl::readCb(char* b, size_t s, size_t n, void* self) {
    auto* d = static_cast<Impl*>(self);
    if (d->abort)
        return CURL_READFUNC_ABORT;
    const qint64 got = d->file->read(b, qint64(qMin<size_t>(s * n, kBlock)));
    if (got < 0) {
        d->localError = kErrLocalFile;
        return CURL_READFUNC_ABORT;
    }
    if (got == 0)
        return 0;
    d->total += got;
    if (!d->started) {
        d->started = true;
        d->handOver([d] {
            if (d->q.OnStartTransfer)
                d->q.OnStartTransfer(d->q);
        });
    }
    const qint64 t = d->total;
    d->handOver([d, t] {
        if (d->q.OnTransfer)
            d->q.OnTransfer(d->q, t, QByteArray());
    });
    return size_t(got);
}

void TickFTP::Impl::onListBytes(const char* data, size_t size) {
    const char* end = data + size;
    while (data < end) {
        const char* nl = static_cast<const char*>(memchr(data, '\n', size_t(end - data)));
        const char* stop = nl ? nl : end;
        if (!skippingLine) {
            listLine.append(data, qsizetype(stop - data));
            // A line longer than any real listing line is skipped whole.
            if (listLine.size() > kMaxListLine) {
                listLine.clear();
                skippingLine = true;
            }
        }
        if (nl) {
            if (!skippingLine)
                onListLine(listLine);
            listLine.clear();
            skippingLine = false;
            data = nl + 1;
        } else {
            data = end;
        }
    }
}

void TickFTP::Impl::onListLine(const QByteArray& raw) {
    QByteArray bytes = raw;
    while (bytes.endsWith('\r'))
        bytes.chop(1);
    if (bytes.isEmpty())
        return;
    const QString line = platform::decodeText(bytes).text;
    ListEntry e;
    if (namesOnly) {
        e.name = line;
        const qsizetype slash = e.name.lastIndexOf(QLatin1Char('/'));
        if (slash >= 0)
            e.name = e.name.mid(slash + 1);
    } else if (!parseListLine(line, e)) {
        return; // a line of no known format is skipped
    }
    if (e.name == QLatin1String(".") || e.name == QLatin1String("..") ||
        !matchesMask(e.name, p.remoteFile))
        return;
    if (!started) {
        started = true;
        handOver([this] {
            if (q.OnStartTransfer)
                q.OnStartTransfer(q);
        });
    }
    handOver([this, e] {
        if (q.OnDirList)
            q.OnDirList(q, e.name, e.isDir, e.size, e.date, e.time);
    });
}

namespace {

// An address as IPv6, IPv4 addresses mapped into it; false for other families.
bool asIpv6(const sockaddr_storage& a, in6_addr& out) {
    if (a.ss_family == AF_INET6) {
        out = reinterpret_cast<const sockaddr_in6&>(a).sin6_addr;
        return true;
    }
    if (a.ss_family == AF_INET) {
        std::memset(&out, 0, sizeof out);
        out.s6_addr[10] = 0xff;
        out.s6_addr[11] = 0xff;
        std::memcpy(&out.s6_addr[12], &reinterpret_cast<const sockaddr_in&>(a).sin_addr, 4);
        return true;
    }
    return false;
}

bool parseIp(const char* text, in6_addr& out) {
    sockaddr_storage a{};
    QByteArray ip(text);
    const qsizetype scope = ip.indexOf('%');
    if (scope >= 0)
        ip.truncate(scope);
    if (inet_pton(AF_INET, ip.constData(), &reinterpret_cast<sockaddr_in&>(a).sin_addr) == 1)
        a.ss_family = AF_INET;
    else if (inet_pton(AF_INET6, ip.constData(), &reinterpret_cast<sockaddr_in6&>(a).sin6_addr) ==
             1)
        a.ss_family = AF_INET6;
    return asIpv6(a, out);
}

} // namespace

// In active mode anyone may connect to the data port first; only the server's own address may
// deliver the file.
int TickFTP::Impl::sockOptCb(void* self, curl_socket_t fd, curlsocktype purpose) {
    if (purpose != CURLSOCKTYPE_ACCEPT)
        return CURL_SOCKOPT_OK;
    auto* d = static_cast<Impl*>(self);
    char* server = nullptr;
    in6_addr expected{}, peer{};
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    if (curl_easy_getinfo(d->easy, CURLINFO_PRIMARY_IP, &server) == CURLE_OK && server &&
        parseIp(server, expected) &&
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0 && asIpv6(a, peer) &&
        std::memcmp(&expected, &peer, sizeof peer) == 0)
        return CURL_SOCKOPT_OK;
    d->cut = Cut::ForeignData;
    return CURL_SOCKOPT_ERROR;
}

curl_socket_t TickFTP::Impl::openSocketCb(void* self, curlsocktype, curl_sockaddr* a) {
    auto* d = static_cast<Impl*>(self);
    const int fd = ::socket(a->family, a->socktype | SOCK_CLOEXEC, a->protocol);
    if (fd < 0)
        return CURL_SOCKET_BAD;
    std::lock_guard lk(d->sockMutex);
    d->sockets.insert(fd);
    return fd;
}

int TickFTP::Impl::closeSocketCb(void* self, curl_socket_t fd) {
    auto* d = static_cast<Impl*>(self);
    // Under the lock, so that a stop never shuts down a number that was reused meanwhile.
    std::lock_guard lk(d->sockMutex);
    d->sockets.erase(fd);
    return ::close(fd);
}

// ================================================================ TickFTP

TickFTP::TickFTP(int port) : m_port(port), d(std::make_unique<Impl>(*this)) {
    globalInit();
}

TickFTP::~TickFTP() {
    if (d->workerExists) {
        d->onClose();
        d->worker.join();
    }
    // No QUIT here: closing must never wait on a server that stalls.
    d->destroyHandles(false);
}

QString TickFTP::LastReply() const {
    std::lock_guard lk(d->m);
    return d->lastReply;
}

TickftpActions TickFTP::Action() const {
    return d->running;
}

bool TickFTP::busy() const {
    return d->workerExists;
}

void TickFTP::setRemotePath(const QString& v) {
    if (d->workerExists)
        throw EickFTP(kErrBusy, kBusyPath);
    m_remotePath = v.left(2048);
    if (m_connected)
        setAction(ickftpChangeWorkingDirectory);
}

void TickFTP::setAction(TickftpActions action) {
    if (action == ickftpIdle) {
        if (d->workerExists)
            d->stop();
        return;
    }
    if (d->workerExists)
        throw EickFTP(kErrBusy, kBusyAction);
    d->description.clear();
    if (int(action) < 0 || int(action) > int(ickftpChangeWorkingDirectory))
        throw EickFTP(kErrInvalidParameter, kInvalidAction);
    Params p;
    p.action = action;
    p.host = m_remoteHost;
    p.port = m_port;
    p.user = m_user;
    p.password = m_password;
    p.remoteFile = m_remoteFile;
    p.renameTo = m_renameTo;
    p.localFile = m_localFile;
    p.remotePath = m_remotePath;
    p.mode = m_transferMode;
    p.passive = m_passive;
    p.stall = m_stallTimeout;
    p.maxSize = m_maxSize;
    p.proxy = m_proxyServer.toUtf8();
    p.proxyUser = m_proxyUser.toUtf8();
    p.proxyPassword = m_proxyPassword.toUtf8();
    p.requireTls = m_requireTls;
    p.caFile = QFile::encodeName(m_caFile);
    const int code = d->run(p);
    if (code != 0)
        throw EickFTP(code, d->describe(code), d->ownCause);
}

} // namespace ftp
