#include "login/SessionClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/Endpoints.h"
#include "app/LauncherContext.h"
#include "app/TraceLog.h"

namespace nb {
namespace {

constexpr std::string_view kSessionCookie = "PHPSESSID";

struct CurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using CurlHandle = std::unique_ptr<CURL, CurlCleanup>;

struct SlistCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistCleanup>;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// Only plain web addresses: a reply URL must never make the launcher read a local file or
// talk another protocol, not even through a redirect.
void RestrictToWeb(CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
}

// ---- the reply fetch ----

struct ReplySink {
    FileHandle file;
    bool openFailed = false;

    bool Open() {
        // "w+": created or truncated, as the reply parser expects a whole new document.
        file.reset(std::fopen(kLoginReplyFile, "w+"));
        if (!file) {
            openFailed = true;
            TraceLog("--------stream is Null -------------\n");
        }
        return file != nullptr;
    }
};

size_t WriteReply(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<ReplySink*>(user);
    const size_t bytes = size * count;
    if (!sink->file && !sink->Open()) return 0;  // ends the transfer with a write error
    return std::fwrite(data, 1, bytes, sink->file.get()) == bytes ? bytes : 0;
}

// ---- the picture request ----

struct ImageSink {
    CURL* curl = nullptr;
    std::string headers;  // the raw header block of the last response, CR LF line ends
    FileHandle file;
    bool decided = false;
    bool keepBody = false;

    // A picture is stored only from an answer with status 200; any other answer leaves the
    // previous picture in place.
    bool StartBody() {
        decided = true;
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (status != 200) return true;
        file.reset(std::fopen(kVerificationImageFile, "wb"));
        keepBody = file != nullptr;
        return keepBody;
    }
};

size_t CollectHeader(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<ImageSink*>(user);
    std::string_view line(data, size * count);
    // An interim answer (100 Continue) is followed by the real one; keep only the last block.
    if (line.starts_with("HTTP/")) sink->headers.clear();
    sink->headers.append(line);
    return size * count;
}

size_t WriteImage(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<ImageSink*>(user);
    const size_t bytes = size * count;
    if (!sink->decided && !sink->StartBody()) return 0;
    if (!sink->keepBody) return bytes;
    return std::fwrite(data, 1, bytes, sink->file.get()) == bytes ? bytes : 0;
}

// The session id is as good as a password for the account service: the log gets the
// header block with the cookie's value hidden.
std::string MaskSessionCookie(const std::string& headers) {
    std::string masked;
    size_t from = 0;
    for (size_t at; (at = headers.find(kSessionCookie, from)) != std::string::npos;) {
        size_t value = at + kSessionCookie.size();
        if (value < headers.size() && headers[value] == '=') ++value;
        size_t end = headers.find_first_of(";\r\n", value);
        if (end == std::string::npos) end = headers.size();
        masked.append(headers, from, value - from);
        if (end > value) masked.append("***");
        from = end;
    }
    masked.append(headers, from, std::string::npos);
    return masked;
}

}  // namespace

bool FetchToLoginReply(const std::string& url) {
    TraceLog("%s \n", MaskQuerySecrets(url).c_str());
    CurlHandle curl(curl_easy_init());
    if (!curl) {
        std::remove(kLoginReplyFile);
        return false;
    }
    TraceLog("hSession != NULL\n");

    ReplySink sink;
    CURLcode code = CURLE_URL_MALFORMAT;
    if (!url.empty()) {
        RestrictToWeb(curl.get());
        curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, kReplyFetchAgent);
        // libcurl keeps no response cache, so nothing is ever written to one. Redirects are
        // followed, as the system's own URL opener does.
        curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &WriteReply);
        curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &sink);
        code = curl_easy_perform(curl.get());
    }
    // An answer without a body still replaces the reply file with an empty one.
    if (code == CURLE_OK && !sink.file && !sink.openFailed) sink.Open();
    const bool complete = code == CURLE_OK && sink.file != nullptr;
    bool written = complete;
    if (sink.file) written = std::fclose(sink.file.release()) == 0 && complete;
    if (!written) std::remove(kLoginReplyFile);
    return written;
}

void LauncherContext::FetchVerificationImage() {
    CurlHandle curl(curl_easy_init());
    if (!curl) return;
    const std::string host = endpoints::AccountHost();
    const std::string hostHeader = "HOST:" + host;
    HeaderList headers(curl_slist_append(nullptr, hostHeader.c_str()));
    if (!headers) return;

    ImageSink sink;
    sink.curl = curl.get();
    RestrictToWeb(curl.get());
    curl_easy_setopt(curl.get(), CURLOPT_URL, endpoints::VerificationImageUrl().c_str());
    curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, kImageRequestAgent);
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, &CollectHeader);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &sink);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &WriteImage);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &sink);
    curl_easy_perform(curl.get());

    // No answer at all counts as status 0.
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) {
        TraceLog("getResponse field! Error code is %d .", static_cast<int>(status));
        return;
    }
    // A picture of 0 bytes still replaces the previous one.
    if (!sink.decided) sink.StartBody();
    sink.file.reset();

    std::string sessionId = ExtractSessionId(sink.headers);
    if (!sessionId.empty()) m_strSessionId = sessionId;
}

std::string ExtractSessionId(const std::string& headers) {
    TraceLog("Response Headers = %s", MaskSessionCookie(headers).c_str());
    size_t at = headers.find(kSessionCookie);
    if (at == std::string::npos) return {};
    // The name and the "=" that follows it.
    std::string value = headers.substr(std::min(headers.size(), at + kSessionCookie.size() + 1));
    size_t end = value.find(';');
    if (end == std::string::npos) return {};
    value.erase(end);
    return value;
}

std::string EncodeQueryValue(std::string_view value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(value.size());
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                           byte == '~';
        if (plain) {
            encoded.push_back(c);
        } else {
            encoded.push_back('%');
            encoded.push_back(kHex[byte >> 4]);
            encoded.push_back(kHex[byte & 0x0F]);
        }
    }
    return encoded;
}

std::string MaskQuerySecrets(const std::string& url) {
    size_t query = url.find('?');
    if (query == std::string::npos) return url;
    size_t fragment = url.find('#', query);
    if (fragment == std::string::npos) fragment = url.size();

    std::string masked = url.substr(0, query + 1);
    size_t from = query + 1;
    while (from <= fragment) {
        size_t end = url.find('&', from);
        if (end == std::string::npos || end > fragment) end = fragment;
        std::string_view pair(url.data() + from, end - from);
        size_t eq = pair.find('=');
        std::string_view name = pair.substr(0, eq);
        if (eq != std::string_view::npos && (name == "p" || name == "p2")) {
            masked.append(name);
            masked.append("=***");
        } else {
            masked.append(pair);
        }
        if (end < fragment) masked.push_back('&');
        from = end + 1;
    }
    masked.append(url, fragment, std::string::npos);
    return masked;
}

}  // namespace nb
