#include "update/Download.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "app/TraceLog.h"
#include "platform/Files.h"
#include "platform/Sleep.h"

namespace nb {
namespace {

constexpr const char* kTempSuffix = ".dlhalf!";
constexpr const char* kAgentPrefix = "Update Download ";
// The request headers, byte for byte; libcurl adds only the Host line of its own.
constexpr const char* kHeaderBlock =
    "Accept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";
constexpr long kDefaultStallSeconds = 60;
constexpr long kReceiveBufferSize = 256 * 1024;
constexpr size_t kFileBufferSize = 1024 * 1024;
constexpr int kMessageDownloadFailed = 14;
constexpr int kMessageWriteFailed = 32;

std::atomic<const std::atomic<bool>*> g_stopFlag{nullptr};
std::atomic<long> g_stallSeconds{kDefaultStallSeconds};

void ShowMessage(int n) {
    if (LauncherContext* context = TheContext()) context->ShowNumberedMessage(n);
}

bool StopRequested() {
    const std::atomic<bool>* stop = g_stopFlag.load(std::memory_order_acquire);
    return stop && stop->load(std::memory_order_relaxed);
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// "scheme://..." with a scheme of letters, digits, '+', '-', '.' starting with a letter.
// Returns the scheme, or an empty view when the text is no address.
std::string_view UrlScheme(std::string_view url) {
    size_t colon = url.find("://");
    if (colon == std::string_view::npos || colon == 0) return {};
    if (!std::isalpha(static_cast<unsigned char>(url[0]))) return {};
    for (size_t i = 1; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(url[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return {};
    }
    return url.substr(0, colon);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string FileNamePart(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// Digits only, no sign; false on anything else or on overflow.
bool ParseUnsigned(std::string_view s, uint64_t& value) {
    if (s.empty()) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        if (v > (UINT64_MAX - 9) / 10) return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    value = v;
    return true;
}

// What the final reply means for the temporary file.
enum class Reply {
    Pending,          // no final header block yet
    Append,           // body continues the temporary file (or fills an empty one)
    Restart,          // full body to a Range request: the file is received again from byte 0
    AlreadyComplete,  // 416 naming the temporary file's length as the whole size
    NotFound,         // 404
    Refused,          // any other reply: nothing is written
};

// One request of TransferWithResume: the temporary file, what the reply said, and what arrived.
struct Transfer {
    FILE* file = nullptr;
    LauncherContext* context = nullptr;
    uint64_t existing = 0;  // bytes of the temporary file before this request's body
    uint64_t received = 0;
    bool rangeSent = false;
    Reply reply = Reply::Pending;
    bool writeFailed = false;
    bool stopped = false;

    // A transfer that receives nothing for this long is given up.
    std::chrono::steady_clock::duration stallLimit{};
    std::chrono::steady_clock::time_point lastActivity{};
    curl_off_t lastDownloaded = 0;

    // The header block being read; redirects and interim replies start a new one.
    int status = 0;
    bool hasLocation = false;
    uint64_t contentLength = 0;
    std::string contentRange;

    void PublishDone() {
        if (context)
            context->m_fDownDone.store(static_cast<float>(existing + received), std::memory_order_relaxed);
    }
};

bool IsFollowedRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// "bytes S-E/T" (206) or "bytes */T" (416).
bool ParseContentRangeStart(std::string_view value, uint64_t& start) {
    if (!StartsWithNoCase(value, "bytes ")) return false;
    value.remove_prefix(6);
    size_t dash = value.find('-');
    return dash != std::string_view::npos && ParseUnsigned(TrimBlanks(value.substr(0, dash)), start);
}

bool ParseUnsatisfiedRangeTotal(std::string_view value, uint64_t& total) {
    if (!StartsWithNoCase(value, "bytes ")) return false;
    value = TrimBlanks(value.substr(6));
    if (value.size() < 2 || value[0] != '*' || value[1] != '/') return false;
    return ParseUnsigned(TrimBlanks(value.substr(2)), total);
}

Reply Judge(const Transfer& t) {
    if (t.status == 404) return Reply::NotFound;
    if (t.status == 206) {
        uint64_t start = 0;
        if (t.rangeSent && ParseContentRangeStart(t.contentRange, start) && start == t.existing)
            return Reply::Append;
        return Reply::Refused;
    }
    if (t.status == 416) {
        uint64_t total = 0;
        if (t.rangeSent && ParseUnsatisfiedRangeTotal(t.contentRange, total) && total == t.existing)
            return Reply::AlreadyComplete;
        return Reply::Refused;
    }
    if (t.status >= 200 && t.status < 300) return t.rangeSent ? Reply::Restart : Reply::Append;
    return Reply::Refused;
}

// Decides at the end of the final header block, before any body byte, so that an error
// page never reaches the file. Returning a short count makes libcurl end the request.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    std::string_view line(data, bytes);
    // Trailer lines after a chunked body come here too; the decision stands.
    if (t.reply != Reply::Pending) return bytes;

    if (StartsWithNoCase(line, "HTTP/")) {
        t.status = 0;
        t.hasLocation = false;
        t.contentLength = 0;
        t.contentRange.clear();
        size_t blank = line.find(' ');
        if (blank != std::string_view::npos)
            t.status = std::atoi(std::string(line.substr(blank + 1, 3)).c_str());
        return bytes;
    }
    if (TrimBlanks(line).empty()) {
        if (t.status < 200 || (IsFollowedRedirect(t.status) && t.hasLocation)) return bytes;
        if (StopRequested()) {
            t.stopped = true;
            return 0;
        }
        t.reply = Judge(t);
        switch (t.reply) {
            case Reply::Restart:
                // The server sent the whole file; what the temporary file held is stale.
                if (std::fflush(t.file) != 0 || ::ftruncate(::fileno(t.file), 0) != 0 ||
                    std::fseek(t.file, 0, SEEK_SET) != 0) {
                    t.writeFailed = true;
                    return 0;
                }
                t.existing = 0;
                [[fallthrough]];
            case Reply::Append:
                if (t.context) {
                    t.context->m_fDownTotal.store(static_cast<float>(t.contentLength + t.existing),
                                                  std::memory_order_relaxed);
                }
                t.PublishDone();
                return bytes;
            case Reply::AlreadyComplete:
                if (t.context)
                    t.context->m_fDownTotal.store(static_cast<float>(t.existing), std::memory_order_relaxed);
                t.PublishDone();
                return 0;
            default:
                return 0;
        }
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) return bytes;
    std::string_view name = TrimBlanks(line.substr(0, colon));
    std::string_view value = TrimBlanks(line.substr(colon + 1));
    if (EqualsNoCase(name, "Content-Length")) {
        uint64_t length = 0;
        if (ParseUnsigned(value, length)) t.contentLength = length;
    } else if (EqualsNoCase(name, "Content-Range")) {
        t.contentRange.assign(value);
    } else if (EqualsNoCase(name, "Location")) {
        t.hasLocation = true;
    }
    return bytes;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (t.reply != Reply::Append && t.reply != Reply::Restart) return 0;
    if (std::fwrite(data, 1, bytes, t.file) != bytes) {
        t.writeFailed = true;
        return 0;
    }
    t.received += bytes;
    t.PublishDone();
    return bytes;
}

// Called by libcurl at least once a second even while nothing arrives.
int OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t) {
    auto& t = *static_cast<Transfer*>(user);
    if (StopRequested()) {
        t.stopped = true;
        return 1;
    }
    const auto now = std::chrono::steady_clock::now();
    if (downloaded != t.lastDownloaded) {
        t.lastDownloaded = downloaded;
        t.lastActivity = now;
        return 0;
    }
    return now - t.lastActivity >= t.stallLimit ? 1 : 0;
}

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

// The header block as libcurl wants it: one entry per line, without the line ends.
Slist HeaderList(const std::string& block) {
    curl_slist* list = nullptr;
    size_t begin = 0;
    while (begin < block.size()) {
        size_t end = block.find("\r\n", begin);
        if (end == std::string::npos) end = block.size();
        if (end > begin) list = curl_slist_append(list, block.substr(begin, end - begin).c_str());
        begin = end + 2;
    }
    return Slist(list);
}

// One request for url; its body goes to the end of tempPath (see Reply for which bodies do).
bool TransferWithResume(CURL* session, const std::string& url, const std::string& tempPath) {
    // Never truncated on open: its length is the resume point. The lock keeps a second
    // launcher from appending to the same file at the same time.
    int fd = ::open(tempPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (fd >= 0) ::close(fd);
        ShowMessage(kMessageDownloadFailed);
        return false;
    }
    struct stat st {};
    FILE* file = ::fstat(fd, &st) == 0 ? ::fdopen(fd, "r+b") : nullptr;
    if (!file) {
        ::close(fd);
        ShowMessage(kMessageDownloadFailed);
        return false;
    }
    std::unique_ptr<char[]> fileBuffer(new char[kFileBufferSize]);
    std::setvbuf(file, fileBuffer.get(), _IOFBF, kFileBufferSize);

    Transfer t;
    t.file = file;
    t.context = TheContext();
    t.existing = static_cast<uint64_t>(st.st_size);
    t.stallLimit = std::chrono::seconds(g_stallSeconds.load(std::memory_order_relaxed));
    t.lastActivity = std::chrono::steady_clock::now();

    std::string block = kHeaderBlock;
    if (t.existing > 0) {
        std::fseek(file, 0, SEEK_END);
        char line[64];
        std::snprintf(line, sizeof line, "Range: bytes=%" PRIu64 "-\r\n", t.existing);
        block += line;
        t.rangeSent = true;
    }
    Slist headers = HeaderList(block);

    curl_easy_setopt(session, CURLOPT_URL, url.c_str());
    curl_easy_setopt(session, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(session, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(session, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(session, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(session, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(session, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(session, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(session, CURLOPT_NOPROGRESS, 0L);

    CURLcode rc = curl_easy_perform(session);

    if (std::fclose(file) != 0) t.writeFailed = true;

    if (t.writeFailed) {
        ShowMessage(kMessageWriteFailed);
        return false;
    }
    switch (t.reply) {
        case Reply::AlreadyComplete:
            return true;
        case Reply::NotFound:
            ShowMessage(kMessageDownloadFailed);
            return false;
        case Reply::Refused:
            return false;
        case Reply::Pending:
            // No reply at all: the request itself failed (address, connection, a stall
            // before the headers). A stop on request is no failure to tell the user about.
            if (!t.stopped) ShowMessage(kMessageDownloadFailed);
            return false;
        case Reply::Append:
        case Reply::Restart:
            // A connection that broke, stalled or was stopped keeps the bytes that arrived;
            // libcurl reports a body shorter than its Content-Length as an error too.
            return rc == CURLE_OK;
    }
    return false;
}

}  // namespace

void SetDownloadStopFlag(const std::atomic<bool>* stop) {
    g_stopFlag.store(stop, std::memory_order_release);
}

void SetDownloadStallSeconds(long seconds) {
    g_stallSeconds.store(seconds > 0 ? seconds : kDefaultStallSeconds, std::memory_order_relaxed);
}

bool DownloadUrlToFile(const std::string& url, const std::string& targetPath, bool quiet) {
    std::string_view scheme = UrlScheme(url);
    if (scheme.empty()) {
        if (!quiet) Ui().ShowSystemBox("URL info erro", "ERRO");
        return false;
    }

    const std::string tempPath = targetPath + kTempSuffix;
    TraceLog("m_strTmpFileName = %s\n", tempPath.c_str());
    const std::string agent = kAgentPrefix + FileNamePart(targetPath);
    TraceLog("strAgentCaption = %s\n", agent.c_str());

    if (!EqualsNoCase(scheme, "http")) return false;
    if (StopRequested()) return false;

    InitCurlOnce();
    CURL* session = curl_easy_init();
    if (!session) {
        ShowMessage(kMessageDownloadFailed);
        return false;
    }
    curl_easy_setopt(session, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(session, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(session, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(session, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(session, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(session, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    curl_easy_setopt(session, CURLOPT_CONNECTTIMEOUT, g_stallSeconds.load(std::memory_order_relaxed));

    bool ok = TransferWithResume(session, url, tempPath);
    curl_easy_cleanup(session);

    if (ok && std::rename(tempPath.c_str(), targetPath.c_str()) != 0) {
        platform::SleepMilliseconds(1000);
        // The caller reads the target next, so a file left under the temporary name is a failure.
        ok = std::rename(tempPath.c_str(), targetPath.c_str()) == 0;
    }
    return ok;
}

bool LauncherContext::DownloadPatch() {
    if (platform::FileExists(m_strPatchFile)) {
        m_nUpdateState.store(kStateApplyPatch, std::memory_order_relaxed);
        return true;
    }
    if (DownloadUrlToFile(m_strUpdateURL, m_strPatchFile, false)) {
        m_nUpdateState.store(kStateApplyPatch, std::memory_order_relaxed);
        return true;
    }
    // A transfer ended by the stop flag is the launcher closing, not a failure to report.
    if (!StopRequested()) ShowNumberedMessage(kMessageDownloadFailed);
    return false;
}

}  // namespace nb
