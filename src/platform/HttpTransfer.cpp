// The part of the transfer seam that every platform shares: the platforms differ in how an
// exchange goes on the wire, never in which addresses a request may reach.
#include "platform/HttpTransfer.h"

#include <cctype>

namespace nb::platform {
namespace {

constexpr long kDefaultLimitSeconds = 60;

std::atomic<long> g_connectSeconds{kDefaultLimitSeconds};
std::atomic<long> g_stallSeconds{kDefaultLimitSeconds};

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool IsFollowedRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// "scheme://authority" of an absolute address, and where its path starts.
struct UrlParts {
    std::string_view origin;  // scheme "://" authority
    std::string_view authority;
    std::string_view rest;  // path, query and fragment
};

UrlParts SplitUrl(std::string_view url) {
    UrlParts parts;
    const size_t afterScheme = url.find("://");
    if (afterScheme == std::string_view::npos) return parts;
    const size_t authorityStart = afterScheme + 3;
    size_t authorityEnd = url.find_first_of("/?#", authorityStart);
    if (authorityEnd == std::string_view::npos) authorityEnd = url.size();
    parts.origin = url.substr(0, authorityEnd);
    parts.authority = url.substr(authorityStart, authorityEnd - authorityStart);
    parts.rest = url.substr(authorityEnd);
    return parts;
}

// "." and ".." segments of a path resolved the way browsers do; a ".." never climbs above
// the root.
std::string RemoveDotSegments(std::string_view path) {
    std::string out;
    size_t pos = 0;
    while (pos < path.size()) {
        size_t end = path.find('/', pos + 1);
        if (end == std::string_view::npos) end = path.size();
        std::string_view segment = path.substr(pos, end - pos);  // with its leading '/'
        if (segment == "/." || segment == "/..") {
            if (segment == "/.." && !out.empty()) out.erase(out.rfind('/'));
            if (end == path.size()) out.push_back('/');
        } else {
            out.append(segment);
        }
        pos = end;
    }
    return out.empty() ? "/" : out;
}

// A path with a query or fragment: the dot segments of the path part only.
std::string NormalisePathAndQuery(std::string_view rest) {
    const size_t tail = rest.find_first_of("?#");
    std::string_view path = rest.substr(0, tail);
    std::string out = RemoveDotSegments(path.empty() ? std::string_view("/") : path);
    if (tail != std::string_view::npos) out.append(rest.substr(tail));
    return out;
}

// The header block without its Host lines: a Host named for one server must not go to another.
std::string WithoutHostLines(std::string_view block) {
    std::string out;
    size_t begin = 0;
    while (begin < block.size()) {
        size_t end = block.find("\r\n", begin);
        end = end == std::string_view::npos ? block.size() : end + 2;
        std::string_view line = block.substr(begin, end - begin);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !EqualsNoCase(TrimBlanks(line.substr(0, colon)), "Host"))
            out.append(line);
        begin = end;
    }
    return out;
}

}  // namespace

HttpTimeLimits HttpLimits() {
    return {g_connectSeconds.load(std::memory_order_relaxed), g_stallSeconds.load(std::memory_order_relaxed)};
}

void SetHttpLimits(long connectSeconds, long stallSeconds) {
    g_connectSeconds.store(connectSeconds > 0 ? connectSeconds : kDefaultLimitSeconds,
                           std::memory_order_relaxed);
    g_stallSeconds.store(stallSeconds > 0 ? stallSeconds : kDefaultLimitSeconds, std::memory_order_relaxed);
}

std::string_view UrlScheme(std::string_view url) {
    const size_t colon = url.find("://");
    if (colon == std::string_view::npos || colon == 0) return {};
    if (!std::isalpha(static_cast<unsigned char>(url[0]))) return {};
    for (size_t i = 1; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return {};
    }
    return url.substr(0, colon);
}

bool SchemeAllowed(std::string_view url, HttpSchemes schemes) {
    const std::string_view scheme = UrlScheme(url);
    if (SplitUrl(url).authority.empty()) return false;
    if (EqualsNoCase(scheme, "http")) return true;
    return schemes == HttpSchemes::HttpOrHttps && EqualsNoCase(scheme, "https");
}

std::string ResolveLocation(std::string_view base, std::string_view location) {
    location = TrimBlanks(location);
    if (!UrlScheme(location).empty()) return std::string(location);
    const UrlParts parts = SplitUrl(base);
    std::string resolved;
    if (location.starts_with("//")) {
        resolved.assign(UrlScheme(base));
        resolved.push_back(':');
        resolved.append(location);
        return resolved;
    }
    resolved.assign(parts.origin);
    std::string_view basePath = parts.rest.substr(0, parts.rest.find_first_of("?#"));
    if (location.empty()) {
        resolved.append(parts.rest.substr(0, parts.rest.find('#')));
    } else if (location.front() == '/') {
        resolved.append(NormalisePathAndQuery(location));
    } else if (location.front() == '?' || location.front() == '#') {
        resolved.append(basePath.empty() ? "/" : basePath);
        resolved.append(location);
    } else {
        // An empty folder part means the root; built by appending, as GCC 12 at -O3 reports a
        // false overlap (-Wrestrict) for assigning a literal here.
        std::string merged(basePath.substr(0, basePath.rfind('/') + 1));
        if (merged.empty()) merged.push_back('/');
        merged.append(location);
        resolved.append(NormalisePathAndQuery(merged));
    }
    return resolved;
}

std::optional<std::string> HttpHeaderValue(std::string_view headers, std::string_view name) {
    size_t begin = 0;
    while (begin < headers.size()) {
        size_t end = headers.find('\n', begin);
        if (end == std::string_view::npos) end = headers.size();
        std::string_view line = headers.substr(begin, end - begin);
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos && EqualsNoCase(TrimBlanks(line.substr(0, colon)), name))
            return std::string(TrimBlanks(line.substr(colon + 1)));
        begin = end + 1;
    }
    return std::nullopt;
}

HttpResult HttpGet(const HttpRequest& request, const HttpReceiver& receiver) {
    HttpTimeLimits limits = HttpLimits();
    if (request.connectSeconds > 0) limits.connectSeconds = request.connectSeconds;
    if (request.stallSeconds > 0) limits.stallSeconds = request.stallSeconds;

    HttpResult result;
    if (!SchemeAllowed(request.url, request.schemes)) {
        result.outcome = HttpOutcome::BadAddress;
        result.error = "not an address this request may reach";
        return result;
    }

    std::string url = request.url;
    std::string headers = request.headers;
    std::string location;
    HttpReceiver step;
    step.onHead = [&](const HttpHead& head) {
        if (request.followRedirects && IsFollowedRedirect(head.status)) {
            std::optional<std::string> value = HttpHeaderValue(head.headers, "Location");
            if (value && !value->empty()) {
                location = std::move(*value);
                return false;  // its body is of no interest
            }
        }
        return receiver.onHead ? receiver.onHead(head) : true;
    };
    step.onBody = receiver.onBody ? receiver.onBody : [](const char*, size_t) { return true; };

    for (int redirects = 0;; ++redirects) {
        location.clear();
        result = HttpExchange(request, url, headers, limits, step);
        if (location.empty() || result.outcome != HttpOutcome::Declined) return result;

        result.outcome = HttpOutcome::RedirectRefused;
        if (redirects == kMaxHttpRedirects) {
            result.error = "too many redirects";
            return result;
        }
        std::string next = ResolveLocation(url, location);
        if (!SchemeAllowed(next, request.schemes)) {
            result.error = "redirect to an address this request may not reach: " + next;
            return result;
        }
        // What was asked for over a verified connection never continues in the clear.
        if (EqualsNoCase(UrlScheme(url), "https") && !EqualsNoCase(UrlScheme(next), "https")) {
            result.error = "redirect from https to an address without it: " + next;
            return result;
        }
        if (receiver.onRedirect) receiver.onRedirect(result.head);
        if (!EqualsNoCase(SplitUrl(next).authority, SplitUrl(url).authority))
            headers = WithoutHostLines(headers);
        url = std::move(next);
        if (request.stop && request.stop->load(std::memory_order_relaxed)) {
            result.outcome = HttpOutcome::Stopped;
            result.error = "stopped";
            return result;
        }
    }
}

bool ParseHttpNumber(std::string_view text, uint64_t& value) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty()) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        if (v > (UINT64_MAX - 9) / 10) return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    value = v;
    return true;
}

HttpContentRange ParseContentRange(std::string_view value) {
    HttpContentRange range;
    constexpr std::string_view kUnit = "bytes ";
    if (!value.starts_with(kUnit)) return range;
    value.remove_prefix(kUnit.size());
    const size_t slash = value.find('/');
    if (slash == std::string_view::npos) return range;
    range.hasTotal = ParseHttpNumber(value.substr(slash + 1), range.total);
    const std::string_view span = value.substr(0, slash);
    const size_t dash = span.find('-');
    range.hasStart = dash != std::string_view::npos && ParseHttpNumber(span.substr(0, dash), range.start) &&
                     ParseHttpNumber(span.substr(dash + 1), range.end) && range.end >= range.start;
    return range;
}

}  // namespace nb::platform
