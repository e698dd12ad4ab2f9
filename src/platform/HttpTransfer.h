#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// One HTTP GET with a streamed body: the launcher's only way onto the network. The logic of
// this header (redirects, which schemes a request may reach, header lookup) is shared by
// every platform; one exchange on the wire is the platform's own part (HttpExchange).
namespace nb::platform {

// Which addresses a request may reach, the first one and every redirect target alike.
enum class HttpSchemes {
    HttpOnly,     // plain http
    HttpOrHttps,  // http and https
};

struct HttpRequest {
    std::string url;
    // The user agent of the session. A "User-Agent:" line in the header block wins over it.
    std::string agent;
    // Extra request header lines exactly as they go on the wire, each ending in CR LF. The
    // platform adds what HTTP needs (the request line, Host unless the block has one).
    std::string headers;
    // Adds "Range: bytes=<start>-" after the header block.
    std::optional<uint64_t> rangeStart;
    bool followRedirects = true;
    HttpSchemes schemes = HttpSchemes::HttpOnly;
    // Seconds to get a connection, and seconds the exchange may receive nothing before it
    // is given up. Zero or less: the launcher's limits (HttpLimits()).
    long connectSeconds = 0;
    long stallSeconds = 0;
    // Set from any thread, ends the transfer within about a second. Null: none.
    const std::atomic<bool>* stop = nullptr;
    // The body is received no faster than this many bytes per second on average; 0: as fast
    // as it comes. A paced transfer still counts as receiving for the stall limit.
    uint64_t maxBytesPerSecond = 0;
};

// The final response's head: its status and its raw header block, the status line first,
// every line ending in CR LF, the empty line last.
struct HttpHead {
    int status = 0;
    std::string headers;
};

// Called on the transferring thread. onHead sees the final response (never an interim one
// nor a redirect that is followed) before any of its body; returning false ends the
// exchange without reading the body. onBody gets the body in blocks; returning false ends
// the exchange (the receiver could not keep the bytes). onRedirect, when set, sees each
// redirect response that is followed.
struct HttpReceiver {
    std::function<bool(const HttpHead&)> onHead;
    std::function<bool(const char* data, size_t size)> onBody;
    std::function<void(const HttpHead&)> onRedirect;
};

enum class HttpOutcome {
    Completed,        // the final response arrived whole (whatever its status)
    Declined,         // onHead refused the body
    ReceiverFailed,   // onBody refused a block
    BadAddress,       // no address, or a scheme the request may not reach: nothing was sent
    RedirectRefused,  // a redirect to a scheme the request may not reach, or too many of them
    NoReply,          // no connection, or it ended before a whole response head
    Untrusted,        // https: the server's certificate did not verify (name, dates, authority)
    Broken,           // the connection failed inside the body (a body shorter than announced too)
    Stalled,          // nothing arrived within the stall limit
    Stopped,          // the stop flag was set
};

struct HttpResult {
    HttpOutcome outcome = HttpOutcome::NoReply;
    HttpHead head;      // of the final response; status 0 when none arrived
    std::string error;  // what went wrong, for the trace; empty when completed
};

// The GET with redirects followed (when the request asks for it) up to kMaxHttpRedirects,
// each target checked against the request's schemes before anything is sent to it.
HttpResult HttpGet(const HttpRequest& request, const HttpReceiver& receiver);

inline constexpr int kMaxHttpRedirects = 10;

// The connection and stall limits of every transfer that does not name its own: 60 seconds
// each unless set. Tests shorten them; zero or less restores the default.
struct HttpTimeLimits {
    long connectSeconds;
    long stallSeconds;
};
HttpTimeLimits HttpLimits();
void SetHttpLimits(long connectSeconds, long stallSeconds);

// The scheme of "scheme://rest" (letters, digits, '+', '-', '.', starting with a letter), or
// the empty view when the text is no absolute address.
std::string_view UrlScheme(std::string_view url);

// Whether a request limited to schemes may reach url.
bool SchemeAllowed(std::string_view url, HttpSchemes schemes);

// The address a Location value points to, resolved against the address that answered it.
std::string ResolveLocation(std::string_view base, std::string_view location);

// The value of the first header line called name (any case) in a raw header block, with the
// blanks around it removed; nullopt when there is none.
std::optional<std::string> HttpHeaderValue(std::string_view headers, std::string_view name);

// A header's decimal number: digits only, no sign, blanks around them allowed; false on
// anything else or on overflow.
bool ParseHttpNumber(std::string_view text, uint64_t& value);

// Content-Range: "bytes S-E/T" (206; T may be "*") or "bytes */T" (416).
struct HttpContentRange {
    bool hasStart = false;  // S and E were read, and E >= S
    uint64_t start = 0;
    uint64_t end = 0;  // the last byte's offset
    bool hasTotal = false;
    uint64_t total = 0;
};
HttpContentRange ParseContentRange(std::string_view value);

// One exchange on the wire, implemented once per platform: a GET of url with the header block
// (plus the Range line) that follows no redirect and reports the first non-interim response
// through the receiver. limits are the request's, defaults already applied.
HttpResult HttpExchange(const HttpRequest& request, const std::string& url, const std::string& headers,
                        const HttpTimeLimits& limits, const HttpReceiver& receiver);

}  // namespace nb::platform
