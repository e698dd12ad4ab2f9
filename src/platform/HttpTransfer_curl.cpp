// One exchange of the transfer seam on libcurl's easy interface.
#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/HttpTransfer.h"

namespace nb::platform {
namespace {

// libcurl's own receive buffer; large blocks keep a fast local transfer cheap.
constexpr long kReceiveBufferSize = 256 * 1024;
constexpr uint64_t kSmallestReceiveBuffer = 1024;  // libcurl's own lower bound

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The header block as libcurl wants it: one entry per line, without the line ends.
std::unique_ptr<curl_slist, SlistCleanup> HeaderList(const std::string& block) {
    curl_slist* list = nullptr;
    size_t begin = 0;
    while (begin < block.size()) {
        size_t end = block.find("\r\n", begin);
        if (end == std::string::npos) end = block.size();
        if (end > begin) {
            curl_slist* longer = curl_slist_append(list, block.substr(begin, end - begin).c_str());
            if (!longer) break;
            list = longer;
        }
        begin = end + 2;
    }
    return std::unique_ptr<curl_slist, SlistCleanup>(list);
}

struct Exchange {
    const HttpReceiver* receiver = nullptr;
    const std::atomic<bool>* stop = nullptr;

    std::string pending;  // the header block being read
    int pendingStatus = 0;
    HttpHead head;
    bool headDone = false;

    bool declined = false;
    bool receiverFailed = false;
    bool stopped = false;
    bool stalled = false;

    std::chrono::steady_clock::duration stallLimit{};
    std::chrono::steady_clock::time_point lastActivity{};
    curl_off_t lastDownloaded = 0;

    uint64_t maxBytesPerSecond = 0;
    std::chrono::steady_clock::time_point bodyStart{};
    uint64_t bodyBytes = 0;

    bool StopRequested() const { return stop && stop->load(std::memory_order_relaxed); }
};

int ParseStatus(std::string_view statusLine) {
    const size_t blank = statusLine.find(' ');
    if (blank == std::string_view::npos) return 0;
    int status = 0;
    for (size_t i = blank + 1; i < statusLine.size() && i < blank + 4; ++i) {
        const char c = statusLine[i];
        if (c < '0' || c > '9') return 0;
        status = status * 10 + (c - '0');
    }
    return status;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& x = *static_cast<Exchange*>(user);
    const size_t bytes = size * count;
    x.lastActivity = std::chrono::steady_clock::now();
    // Trailer lines after a chunked body come here too; the head stands.
    if (x.headDone) return bytes;

    const std::string_view line(data, bytes);
    if (line.starts_with("HTTP/")) {
        x.pending.assign(line);
        x.pendingStatus = ParseStatus(line);
        return bytes;
    }
    x.pending.append(line);
    if (line != "\r\n" && line != "\n") return bytes;
    // An interim answer (100 Continue and the like) is followed by the real one.
    if (x.pendingStatus >= 100 && x.pendingStatus < 200) {
        x.pending.clear();
        return bytes;
    }
    x.head.status = x.pendingStatus;
    x.head.headers = std::move(x.pending);
    x.headDone = true;
    if (x.StopRequested()) {
        x.stopped = true;
        return 0;
    }
    if (x.receiver->onHead && !x.receiver->onHead(x.head)) {
        x.declined = true;
        return 0;
    }
    return bytes;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& x = *static_cast<Exchange*>(user);
    const size_t bytes = size * count;
    if (!x.headDone || x.declined) return 0;
    if (!x.receiver->onBody(data, bytes)) {
        x.receiverFailed = true;
        return 0;
    }
    if (x.maxBytesPerSecond == 0) return bytes;
    // libcurl's own limit lets bursts of several times the rate through (it judges in windows
    // of seconds), so the transfer also waits here until the bytes so far are due; the
    // connection's flow control then holds the server back.
    using namespace std::chrono;
    if (x.bodyBytes == 0) x.bodyStart = steady_clock::now();
    x.bodyBytes += bytes;
    const auto due = x.bodyStart + microseconds(x.bodyBytes * 1000000 / x.maxBytesPerSecond);
    for (auto now = steady_clock::now(); now < due; now = steady_clock::now()) {
        if (x.StopRequested()) {
            x.stopped = true;
            return 0;
        }
        std::this_thread::sleep_for(std::min<steady_clock::duration>(due - now, milliseconds(100)));
    }
    x.lastActivity = steady_clock::now();  // holding back is no silence of the server's
    return bytes;
}

// Called by libcurl at least once a second, also while nothing arrives.
int OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t) {
    auto& x = *static_cast<Exchange*>(user);
    if (x.StopRequested()) {
        x.stopped = true;
        return 1;
    }
    const auto now = std::chrono::steady_clock::now();
    if (downloaded != x.lastDownloaded) {
        x.lastDownloaded = downloaded;
        x.lastActivity = now;
        return 0;
    }
    if (now - x.lastActivity < x.stallLimit) return 0;
    x.stalled = true;
    return 1;
}

// NB_CA_BUNDLE names a PEM file of certificate authorities trusted besides the system's
// (tests bring their own). Added to the store libcurl has already filled from the system's
// bundle, so it widens the trust and never replaces it; a file that cannot be read fails the
// connection rather than being skipped.
CURLcode AddExtraAuthorities(CURL*, void* sslContext, void*) {
    const char* bundle = std::getenv("NB_CA_BUNDLE");
    if (!bundle || !*bundle) return CURLE_OK;
    X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
    return store && X509_STORE_load_file(store, bundle) == 1 ? CURLE_OK : CURLE_SSL_CACERT_BADFILE;
}

}  // namespace

HttpResult HttpExchange(const HttpRequest& request, const std::string& url, const std::string& headers,
                        const HttpTimeLimits& limits, const HttpReceiver& receiver) {
    HttpResult result;
    InitCurlOnce();
    std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    if (!curl) {
        result.error = "no transfer handle";
        return result;
    }

    std::string block = headers;
    if (request.rangeStart) {
        char line[48];
        std::snprintf(line, sizeof line, "Range: bytes=%" PRIu64 "-\r\n", *request.rangeStart);
        block += line;
    }
    auto headerList = HeaderList(block);

    Exchange x;
    x.receiver = &receiver;
    x.stop = request.stop;
    x.stallLimit = std::chrono::seconds(limits.stallSeconds);
    x.maxBytesPerSecond = request.maxBytesPerSecond;
    x.lastActivity = std::chrono::steady_clock::now();

    char errorText[CURL_ERROR_SIZE] = "";
    CURL* c = curl.get();
    // The seam follows redirects itself, so that every platform applies one rule to them.
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR,
                     request.schemes == HttpSchemes::HttpOnly ? "http" : "http,https");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    if (!request.agent.empty()) curl_easy_setopt(c, CURLOPT_USERAGENT, request.agent.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    long bufferSize = kReceiveBufferSize;
    if (request.maxBytesPerSecond > 0) {
        curl_easy_setopt(c, CURLOPT_MAX_RECV_SPEED_LARGE, static_cast<curl_off_t>(request.maxBytesPerSecond));
        // libcurl keeps to the limit by waiting after a read, so one read of a whole large
        // buffer at a low limit would look like a stall: a read holds a quarter second at most.
        const uint64_t quarter = request.maxBytesPerSecond / 4;
        if (quarter < static_cast<uint64_t>(bufferSize))
            bufferSize = quarter < kSmallestReceiveBuffer ? kSmallestReceiveBuffer : static_cast<long>(quarter);
    }
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, bufferSize);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &x);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &x);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &x);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    // The peer is always verified (name and chain); these are libcurl's defaults, set so
    // that no other setting can turn them off.
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_SSL_CTX_FUNCTION, AddExtraAuthorities);

    const CURLcode rc = curl_easy_perform(c);

    if (x.headDone) result.head = std::move(x.head);
    if (rc == CURLE_OK && x.headDone) {
        result.outcome = HttpOutcome::Completed;
        return result;
    }
    result.error = errorText[0] ? errorText : curl_easy_strerror(rc);
    if (x.stopped) {
        result.outcome = HttpOutcome::Stopped;
    } else if (x.stalled) {
        result.outcome = HttpOutcome::Stalled;
    } else if (x.declined) {
        result.outcome = HttpOutcome::Declined;
    } else if (x.receiverFailed) {
        result.outcome = HttpOutcome::ReceiverFailed;
    } else if (rc == CURLE_UNSUPPORTED_PROTOCOL || rc == CURLE_URL_MALFORMAT) {
        result.outcome = HttpOutcome::BadAddress;
    } else if (rc == CURLE_PEER_FAILED_VERIFICATION || rc == CURLE_SSL_CACERT_BADFILE) {
        result.outcome = HttpOutcome::Untrusted;
    } else {
        result.outcome = x.headDone ? HttpOutcome::Broken : HttpOutcome::NoReply;
    }
    return result;
}

}  // namespace nb::platform
