// SPDX-License-Identifier: GPL-3.0-or-later
// The fetch module (libtallyvox-fetch.so): tallyvox_fetch_v1 on libcurl.
// Opened by the update check's thread and never unloaded; libcurl is never
// cleaned up. The program may exit while a fetch still runs.
#include "numbers/AsciiCase.h"
#include "update/FetchModule.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include <openssl/crypto.h>
#include <pthread.h>
#include <signal.h>

namespace {

// The fetches in progress, so that exit() can stop them first. Never freed:
// static destructors run during exit() as well.
struct Running {
    std::mutex lock;
    std::condition_variable idle;
    std::vector<CURLM *> multis; // to wake from curl_multi_poll
    int fetches = 0;
    std::atomic<bool> stopping{false};
};

Running &Fetches()
{
    static Running *running = new Running;
    return *running;
}

// exit() runs OpenSSL's cleanup, an atexit handler, which frees state that
// a fetch on another thread may be using at that moment (measured: up to 54
// crashes in 300 exits with TLS fetches running). So OpenSSL is started
// without that handler (GlobalInit). If something else in the process
// started OpenSSL before this module was loaded, its handler is there
// anyway; this one, registered when the module is loaded and so later, runs
// before it: it stops every fetch and waits, a second at most, until they
// have left libcurl.
void StopFetches()
{
    Running &running = Fetches();
    std::unique_lock lock(running.lock);
    running.stopping = true;
    for (CURLM *multi : running.multis)
        curl_multi_wakeup(multi);
    running.idle.wait_for(lock, std::chrono::seconds(1), [&] { return running.fetches == 0; });
}

[[maybe_unused]] const bool kStopFetchesAtExit = std::atexit(StopFetches) == 0;

// Counts one fetch in Running; ok() is false once the process is exiting.
class FetchScope {
public:
    FetchScope()
    {
        Running &running = Fetches();
        std::lock_guard lock(running.lock);
        ok_ = !running.stopping;
        if (ok_)
            ++running.fetches;
    }
    ~FetchScope()
    {
        if (!ok_)
            return;
        Running &running = Fetches();
        std::lock_guard lock(running.lock);
        if (--running.fetches == 0)
            running.idle.notify_all();
    }
    FetchScope(const FetchScope &) = delete;
    FetchScope &operator=(const FetchScope &) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// A libcurl built without CURL_VERSION_THREADSAFE has a global init that
// must not race another; the first fetch does it, once, for every thread.
// OpenSSL's first init decides whether it registers its exit handler, so
// that comes before libcurl's init.
CURLcode GlobalInit()
{
    static std::once_flag once;
    static CURLcode result = CURLE_FAILED_INIT;
    std::call_once(once, [] {
        OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
        result = curl_global_init(CURL_GLOBAL_DEFAULT);
    });
    return result;
}

// libcurl with CURLOPT_NOSIGNAL does not touch the process's SIGPIPE
// handler and mostly avoids the signal, but not in every corner case.
// Blocking it on this thread turns a stray one into EPIPE; one raised here
// is taken back before the mask is restored.
class SigpipeBlocked {
public:
    SigpipeBlocked()
    {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    }
    ~SigpipeBlocked()
    {
        if (!wasPending_) {
            const timespec now{0, 0};
            while (sigtimedwait(&pipe_, nullptr, &now) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    SigpipeBlocked(const SigpipeBlocked &) = delete;
    SigpipeBlocked &operator=(const SigpipeBlocked &) = delete;

private:
    sigset_t pipe_, old_;
    bool wasPending_ = false;
};

struct Sink {
    CURL *curl;
    char *body;
    std::size_t capacity;
    std::size_t size = 0;
    bool overflow = false;
    bool notOk = false;
    bool credentials = false; // a redirect named a user: refused before its request
};

// Called before each request, the first and every redirect's: libcurl would
// send the user name and password a redirect's address carries (and an
// address with them can dress a foreign host up as ours), so such a request
// is never made.
int BeforeRequest(void *context, char *, char *, int, int)
{
    auto *sink = static_cast<Sink *>(context);
    char *url = nullptr;
    if (curl_easy_getinfo(sink->curl, CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || !url)
        return CURL_PREREQFUNC_ABORT;
    std::string_view rest(url);
    const std::size_t scheme = rest.find("://");
    rest = scheme == std::string_view::npos ? std::string_view{} : rest.substr(scheme + 3);
    if (rest.substr(0, rest.find_first_of("/?#")).find('@') != std::string_view::npos) {
        sink->credentials = true;
        return CURL_PREREQFUNC_ABORT;
    }
    return CURL_PREREQFUNC_OK;
}

// Bodies of followed redirects never arrive here; any other status than
// 200 stops the transfer before its body (an error page) is read.
std::size_t Write(char *data, std::size_t, std::size_t count, void *context)
{
    auto *sink = static_cast<Sink *>(context);
    long status = 0;
    curl_easy_getinfo(sink->curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) {
        sink->notOk = true;
        return 0;
    }
    if (count > sink->capacity - sink->size) {
        sink->overflow = true;
        return 0;
    }
    std::memcpy(sink->body + sink->size, data, count);
    sink->size += count;
    return count;
}

// proxyStatus: the proxy's answer to CONNECT, 0 if none was asked.
int Classify(CURLcode code, const Sink &sink, int httpStatus, long proxyStatus)
{
    // A proxy that refuses the tunnel ends the transfer as a receive error.
    if (sink.credentials)
        return TALLYVOX_FETCH_BAD_ADDRESS;
    if (code != CURLE_OK && proxyStatus != 0 && proxyStatus / 100 != 2)
        return TALLYVOX_FETCH_CONNECT_FAILED;
    switch (code) {
    case CURLE_OK: return httpStatus == 200 ? TALLYVOX_FETCH_OK : TALLYVOX_FETCH_HTTP_ERROR;
    case CURLE_WRITE_ERROR:
        if (sink.notOk)
            return TALLYVOX_FETCH_HTTP_ERROR;
        return sink.overflow ? TALLYVOX_FETCH_TOO_LARGE : TALLYVOX_FETCH_BAD_RESPONSE;
    case CURLE_FILESIZE_EXCEEDED:
        // Announced by Content-Length, before any byte reached Write.
        return httpStatus == 200 ? TALLYVOX_FETCH_TOO_LARGE : TALLYVOX_FETCH_HTTP_ERROR;
    case CURLE_URL_MALFORMAT: return TALLYVOX_FETCH_BAD_ADDRESS;
    case CURLE_UNSUPPORTED_PROTOCOL:
        // Either a redirect to a refused scheme, or an answer that is not
        // HTTP at all (libcurl reports HTTP/0.9 this way).
        return httpStatus / 100 == 3 ? TALLYVOX_FETCH_BAD_ADDRESS : TALLYVOX_FETCH_BAD_RESPONSE;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return TALLYVOX_FETCH_LOOKUP_FAILED;
    case CURLE_COULDNT_CONNECT:
    case CURLE_PROXY:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS: return TALLYVOX_FETCH_CONNECT_FAILED;
    case CURLE_OPERATION_TIMEDOUT: return TALLYVOX_FETCH_TIMED_OUT;
    case CURLE_TOO_MANY_REDIRECTS: return TALLYVOX_FETCH_TOO_MANY_REDIRECTS;
    default: return TALLYVOX_FETCH_BAD_RESPONSE;
    }
}

struct EasyDeleter {
    void operator()(CURL *curl) const { curl_easy_cleanup(curl); }
};
struct MultiDeleter {
    void operator()(CURLM *multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

// libcurl 7.88 gives up on a silent address when its share of the connect
// time is over, but starts the next address only on a later call: inside
// curl_easy_perform that is up to a second later. Calling
// curl_multi_perform again at once, and waking at least every 100 ms,
// starts it without delay.
CURLcode Perform(CURL *curl)
{
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), curl) != CURLM_OK)
        return CURLE_OUT_OF_MEMORY;
    Running &fetches = Fetches();
    {
        std::lock_guard lock(fetches.lock);
        fetches.multis.push_back(multi.get());
    }
    CURLcode result = CURLE_OK;
    int running = 1;
    while (running) {
        if (fetches.stopping) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK ||
            (running && curl_multi_perform(multi.get(), &running) != CURLM_OK) ||
            (running && curl_multi_poll(multi.get(), nullptr, 0, 100, nullptr) != CURLM_OK)) {
            result = CURLE_RECV_ERROR;
            break;
        }
    }
    int queued = 0;
    while (CURLMsg *message = curl_multi_info_read(multi.get(), &queued)) {
        if (message->msg == CURLMSG_DONE)
            result = message->data.result;
    }
    {
        std::lock_guard lock(fetches.lock);
        std::erase(fetches.multis, multi.get());
    }
    curl_multi_remove_handle(multi.get(), curl);
    return result;
}

int Fetch(const char *url, const TallyvoxFetchOptions &options, char *body, std::size_t capacity,
          TallyvoxFetchResult &result)
{
    // Anything but http(s) is refused before libcurl sees it, so that an
    // unsupported scheme later on can only mean a redirect or a non-HTTP answer.
    bool https = tallyvox::StartsWithNoCase(url, "https://");
    if (!https && !tallyvox::StartsWithNoCase(url, "http://"))
        return TALLYVOX_FETCH_BAD_ADDRESS;
    FetchScope scope; // first in, last out: covers every libcurl call below
    if (!scope.ok()) {
        std::snprintf(result.detail, sizeof result.detail, "the process is exiting");
        return TALLYVOX_FETCH_BAD_RESPONSE;
    }
    if (GlobalInit() != CURLE_OK) {
        std::snprintf(result.detail, sizeof result.detail, "curl_global_init failed");
        return TALLYVOX_FETCH_BAD_RESPONSE;
    }
    std::unique_ptr<CURL, EasyDeleter> curl(curl_easy_init());
    if (!curl)
        return TALLYVOX_FETCH_BAD_RESPONSE;
    CURL *c = curl.get();

    std::unique_ptr<curl_slist, ListDeleter> headers(curl_slist_append(nullptr, "Accept: text/plain"));
    std::unique_ptr<curl_slist, ListDeleter> resolve;
    for (const char *const *entry = options.resolve; entry && *entry; ++entry) {
        curl_slist *longer = curl_slist_append(resolve.get(), *entry);
        if (!longer)
            return TALLYVOX_FETCH_BAD_RESPONSE;
        resolve.release();
        resolve.reset(longer);
    }
    Sink sink{c, body, capacity};

    CURLcode set = CURLE_OK;
    auto option = [&](CURLoption name, auto value) {
        if (set == CURLE_OK)
            set = curl_easy_setopt(c, name, value);
    };
    option(CURLOPT_URL, url);
    option(CURLOPT_PROTOCOLS_STR, "http,https");
    option(CURLOPT_REDIR_PROTOCOLS_STR, https ? "https" : "http,https");
    option(CURLOPT_FOLLOWLOCATION, 1L);
    option(CURLOPT_MAXREDIRS, static_cast<long>(options.maxRedirects));
    option(CURLOPT_TIMEOUT_MS, options.timeoutMs);
    option(CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    option(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(capacity));
    option(CURLOPT_WRITEFUNCTION, &Write);
    option(CURLOPT_WRITEDATA, &sink);
    option(CURLOPT_PREREQFUNCTION, &BeforeRequest);
    option(CURLOPT_PREREQDATA, &sink);
    option(CURLOPT_NOSIGNAL, 1L);
    option(CURLOPT_QUICK_EXIT, 1L);
    option(CURLOPT_USERAGENT, options.userAgent);
    option(CURLOPT_HTTPHEADER, headers.get());
    option(CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    option(CURLOPT_ERRORBUFFER, result.detail);
    if (options.caFile) {
        option(CURLOPT_CAINFO, options.caFile);
        option(CURLOPT_CAPATH, static_cast<const char *>(nullptr));
    }
    if (resolve)
        option(CURLOPT_RESOLVE, resolve.get());
    if (set != CURLE_OK) {
        std::snprintf(result.detail, sizeof result.detail, "curl_easy_setopt: %s", curl_easy_strerror(set));
        return TALLYVOX_FETCH_BAD_RESPONSE;
    }

    CURLcode code = Perform(c);
    long status = 0, proxyStatus = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(c, CURLINFO_HTTP_CONNECTCODE, &proxyStatus);
    result.httpStatus = static_cast<int>(status);
    if (code != CURLE_OK && result.detail[0] == '\0')
        std::snprintf(result.detail, sizeof result.detail, "%s", curl_easy_strerror(code));
    int outcome = Classify(code, sink, result.httpStatus, proxyStatus);
    if (outcome == TALLYVOX_FETCH_OK)
        result.size = sink.size;
    return outcome;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int tallyvox_fetch_v1(const char *url,
                                                                        const TallyvoxFetchOptions *options, char *body,
                                                                        std::size_t capacity,
                                                                        TallyvoxFetchResult *result)
{
    if (!result)
        return TALLYVOX_FETCH_BAD_RESPONSE;
    *result = TallyvoxFetchResult{};
    if (!url || !options || (!body && capacity))
        return TALLYVOX_FETCH_BAD_ADDRESS;
    SigpipeBlocked sigpipe;
    try {
        return Fetch(url, *options, body, capacity, *result);
    } catch (...) {
        return TALLYVOX_FETCH_BAD_RESPONSE; // out of memory at worst
    }
}
