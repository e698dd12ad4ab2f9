#include "login/SessionClient.h"

#include <cstdio>
#include <memory>

#include "app/Endpoints.h"
#include "app/LauncherContext.h"
#include "app/TraceLog.h"
#include "platform/HttpTransfer.h"

namespace nb {
namespace {

constexpr std::string_view kSessionCookie = "PHPSESSID";

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// The account requests reach web addresses only, redirects included: a reply address must
// never make the launcher read a local file or talk another protocol. They run on the
// window's thread, so the transfer limits keep a silent service from freezing the window.
platform::HttpRequest AccountRequest(const std::string& url, const char* agent) {
    platform::HttpRequest request;
    request.url = url;
    request.agent = agent;
    request.followRedirects = true;
    request.schemes = platform::HttpSchemes::HttpOrHttps;
    return request;
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
    TraceLog("hSession != NULL\n");

    FileHandle file;
    bool openFailed = false;
    platform::HttpReceiver receiver;
    receiver.onHead = [&](const platform::HttpHead&) {
        // "w+": created or truncated, as the reply parser expects a whole new document; an
        // answer without a body still leaves an empty one.
        file.reset(std::fopen(kLoginReplyFile, "w+"));
        if (!file) {
            openFailed = true;
            TraceLog("--------stream is Null -------------\n");
        }
        return !openFailed;
    };
    receiver.onBody = [&](const char* data, size_t size) {
        return std::fwrite(data, 1, size, file.get()) == size;
    };
    const platform::HttpResult result = platform::HttpGet(AccountRequest(url, kReplyFetchAgent), receiver);

    bool written = result.outcome == platform::HttpOutcome::Completed && file != nullptr;
    if (file) written = std::fclose(file.release()) == 0 && written;
    // A reply cut short or never received leaves no file, so that no earlier document can
    // pass for the answer.
    if (!written) std::remove(kLoginReplyFile);
    return written;
}

void LauncherContext::FetchVerificationImage() {
    platform::HttpRequest request = AccountRequest(endpoints::VerificationImageUrl(), kImageRequestAgent);
    request.headers = "HOST:" + endpoints::AccountHost() + "\r\n";

    // A picture is stored only from an answer with status 200; any other answer leaves the
    // previous picture in place.
    FileHandle file;
    platform::HttpReceiver receiver;
    receiver.onHead = [&](const platform::HttpHead& head) {
        if (head.status != 200) return false;
        file.reset(std::fopen(kVerificationImageFile, "wb"));
        return file != nullptr;
    };
    receiver.onBody = [&](const char* data, size_t size) {
        return std::fwrite(data, 1, size, file.get()) == size;
    };
    std::string redirectWithSession;
    receiver.onRedirect = [&](const platform::HttpHead& head) {
        if (head.headers.find(kSessionCookie) != std::string::npos) redirectWithSession = head.headers;
    };
    const platform::HttpResult result = platform::HttpGet(request, receiver);
    file.reset();

    // No answer at all counts as status 0.
    if (result.head.status != 200) {
        TraceLog("getResponse field! Error code is %d .", result.head.status);
        return;
    }
    std::string sessionId = ExtractSessionId(result.head.headers);
    // A service may set the session on the redirect that leads to its picture.
    if (sessionId.empty() && !redirectWithSession.empty()) sessionId = ExtractSessionId(redirectWithSession);
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
