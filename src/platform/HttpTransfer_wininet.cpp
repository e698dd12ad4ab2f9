// One exchange of the transfer seam on WinINet, asynchronous: a blocked synchronous read is
// not released by closing its handle (Wine), and WinINet's own receive time-out is not
// honoured everywhere, so every wait here is on an event, in short slices, with the stop
// flag and the time limits checked between them.
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/HttpTransfer.h"

namespace nb::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kWaitSliceMs = 250;
constexpr DWORD kReadBlock = 64 * 1024;
// How long a handle with nothing pending may take to confirm that it closed.
constexpr DWORD kCloseConfirmMs = 2000;

int64_t Ticks() { return Clock::now().time_since_epoch().count(); }

// What WinINet's threads share with the transferring thread for one request handle. It is
// only freed once WinINet has confirmed the handle closed; a handle given up with a call
// still pending leaves it behind, since that call may complete into it at any later time.
struct AsyncCall {
    HANDLE completed = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE closed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD_PTR> result{0};
    std::atomic<DWORD> error{0};
    std::atomic<bool> connected{false};
    std::atomic<int64_t> lastActivity{Ticks()};
    // Targets of calls that may complete later.
    DWORD available = 0;
    DWORD read = 0;
    char buffer[kReadBlock];

    bool Valid() const { return completed && closed; }
    ~AsyncCall() {
        if (completed) ::CloseHandle(completed);
        if (closed) ::CloseHandle(closed);
    }
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD) {
    auto* call = reinterpret_cast<AsyncCall*>(context);
    if (!call) return;
    switch (status) {
        case INTERNET_STATUS_CONNECTED_TO_SERVER:
        case INTERNET_STATUS_SENDING_REQUEST:
        case INTERNET_STATUS_REQUEST_SENT:
        case INTERNET_STATUS_RECEIVING_RESPONSE:
            call->connected.store(true);
            break;
        case INTERNET_STATUS_RESPONSE_RECEIVED:
            call->connected.store(true);
            call->lastActivity.store(Ticks());
            break;
        case INTERNET_STATUS_REQUEST_COMPLETE: {
            const auto* r = static_cast<const INTERNET_ASYNC_RESULT*>(info);
            call->result.store(r->dwResult);
            call->error.store(r->dwError);
            ::SetEvent(call->completed);
            break;
        }
        case INTERNET_STATUS_HANDLE_CLOSING:
            ::SetEvent(call->closed);
            break;
        default:
            break;
    }
}

class InternetHandle {
public:
    InternetHandle() = default;
    ~InternetHandle() { Reset(); }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    void Reset(HINTERNET handle = nullptr) {
        if (m_handle) ::InternetCloseHandle(m_handle);
        m_handle = handle;
    }
    HINTERNET Get() const { return m_handle; }

private:
    HINTERNET m_handle = nullptr;
};

std::string ErrorText(DWORD code) {
    char text[256] = {};
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                               ::GetModuleHandleW(L"wininet.dll"), code, 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.'))
        text[--n] = '\0';
    char line[320];
    std::snprintf(line, sizeof line, "WinINet error %lu%s%s", static_cast<unsigned long>(code), n ? ": " : "",
                  text);
    return line;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && ::_strnicmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// Digits only; false on anything else or on overflow.
bool ParseLength(std::string_view text, uint64_t& value) {
    if (text.empty()) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || v > (UINT64_MAX - 9) / 10) return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    value = v;
    return true;
}

class Exchange {
public:
    Exchange(const HttpRequest& request, const HttpTimeLimits& limits, const HttpReceiver& receiver)
        : m_request(request), m_limits(limits), m_receiver(receiver), m_call(new AsyncCall) {}

    ~Exchange() {
        CloseRequest();
        m_connect.Reset();
        m_session.Reset();
    }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    HttpResult Run(const std::string& url, const std::string& headers) {
        m_start = Clock::now();
        if (!m_call->Valid()) return Fail(HttpOutcome::NoReply, "no event for the transfer");
        if (!Open(url, headers)) return m_result;
        if (!Call(::HttpSendRequestA(m_handle, nullptr, 0, nullptr, 0))) return m_result;
        if (!ReadHead()) return m_result;
        if (StopRequested()) return Fail(HttpOutcome::Stopped, "stopped");
        if (m_receiver.onHead && !m_receiver.onHead(m_result.head)) return Fail(HttpOutcome::Declined, "declined");
        return ReadBody();
    }

private:
    HttpResult& Fail(HttpOutcome outcome, std::string error) {
        m_result.outcome = outcome;
        m_result.error = std::move(error);
        return m_result;
    }

    // A failure before the head is no reply; after it, a broken body.
    void FailWith(DWORD code) {
        switch (code) {
            case ERROR_INTERNET_INVALID_CA:
            case ERROR_INTERNET_SEC_CERT_CN_INVALID:
            case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
            case ERROR_INTERNET_SEC_CERT_ERRORS:
            case ERROR_INTERNET_SEC_CERT_REVOKED:
            case ERROR_INTERNET_SEC_INVALID_CERT:
                Fail(HttpOutcome::Untrusted, ErrorText(code));
                return;
            default:
                Fail(m_headDone ? HttpOutcome::Broken : HttpOutcome::NoReply, ErrorText(code));
                return;
        }
    }

    bool StopRequested() const { return m_request.stop && m_request.stop->load(std::memory_order_relaxed); }

    // Waits for the call in flight to complete. False when the stop flag or a time limit
    // ended the wait; the call is then abandoned with its handle.
    bool Wait() {
        for (;;) {
            if (::WaitForSingleObject(m_call->completed, kWaitSliceMs) == WAIT_OBJECT_0) return true;
            const auto now = Clock::now();
            if (StopRequested()) {
                Fail(HttpOutcome::Stopped, "stopped");
            } else if (!m_call->connected.load() && now - m_start >= std::chrono::seconds(m_limits.connectSeconds)) {
                Fail(HttpOutcome::NoReply, "no connection within the connect limit");
            } else if (now - Clock::time_point(Clock::duration(m_call->lastActivity.load())) >=
                       std::chrono::seconds(m_limits.stallSeconds)) {
                Fail(HttpOutcome::Stalled, "nothing received within the stall limit");
            } else {
                continue;
            }
            m_abandoned = true;
            return false;
        }
    }

    // A call that may answer at once or complete later through the status callback.
    bool Call(BOOL answeredAtOnce) {
        if (answeredAtOnce) return true;
        const DWORD code = ::GetLastError();
        if (code != ERROR_IO_PENDING) {
            FailWith(code);
            return false;
        }
        if (!Wait()) return false;
        // Some completions carry a count rather than a flag in dwResult (0 bytes at the end of
        // a body); only an error code marks a failure.
        if (!m_call->result.load() && m_call->error.load() != ERROR_SUCCESS) {
            FailWith(m_call->error.load());
            return false;
        }
        return true;
    }

    bool Open(const std::string& url, const std::string& headers) {
        URL_COMPONENTSA parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwSchemeLength = 1;
        parts.dwHostNameLength = 1;
        parts.dwUrlPathLength = 1;
        parts.dwExtraInfoLength = 1;
        if (!::InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
            parts.dwHostNameLength == 0 ||
            (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) ||
            (parts.nScheme == INTERNET_SCHEME_HTTPS && m_request.schemes != HttpSchemes::HttpOrHttps)) {
            Fail(HttpOutcome::BadAddress, "not an address this request may reach: " + url);
            return false;
        }
        const std::string host(parts.lpszHostName, parts.dwHostNameLength);
        std::string object(parts.lpszUrlPath ? parts.lpszUrlPath : "", parts.dwUrlPathLength);
        if (object.empty()) object.push_back('/');  // appended: GCC 12 at -O3 misreads an assignment here (-Wrestrict)
        // The fragment names a place in the document and never goes to the server.
        if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        object = object.substr(0, object.find('#'));

        // The session of the system's own network settings, without automatic proxy discovery.
        m_session.Reset(::InternetOpenA(m_request.agent.empty() ? nullptr : m_request.agent.c_str(),
                                        INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY, nullptr, nullptr,
                                        INTERNET_FLAG_ASYNC));
        if (!m_session.Get()) {
            FailWith(::GetLastError());
            return false;
        }
        ::InternetSetStatusCallbackA(m_session.Get(), OnStatus);
        // WinINet's own limits stay out of the way of the launcher's: the connection limit is
        // the request's, and a receive is never cut before the stall rule would end it.
        DWORD connectMs = static_cast<DWORD>(m_limits.connectSeconds) * 1000;
        DWORD receiveMs = static_cast<DWORD>(m_limits.stallSeconds + 30) * 1000;
        ::InternetSetOptionA(m_session.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
        ::InternetSetOptionA(m_session.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveMs, sizeof receiveMs);
        ::InternetSetOptionA(m_session.Get(), INTERNET_OPTION_SEND_TIMEOUT, &receiveMs, sizeof receiveMs);

        m_connect.Reset(::InternetConnectA(m_session.Get(), host.c_str(), parts.nPort, nullptr, nullptr,
                                           INTERNET_SERVICE_HTTP, 0, 0));
        if (!m_connect.Get()) {
            FailWith(::GetLastError());
            return false;
        }
        // Never from a cache nor into one, no cookie store, no redirect but the seam's own, no
        // dialogs: the exchange is exactly the request's header block.
        DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_BINARY |
                      INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                      INTERNET_FLAG_NO_AUTH;
        if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
        m_handle = ::HttpOpenRequestA(m_connect.Get(), "GET", object.c_str(), nullptr, nullptr, nullptr, flags,
                                      reinterpret_cast<DWORD_PTR>(m_call.get()));
        if (!m_handle) {
            FailWith(::GetLastError());
            return false;
        }

        std::string block = headers;
        if (m_request.rangeStart) {
            char line[48];
            std::snprintf(line, sizeof line, "Range: bytes=%llu-\r\n",
                          static_cast<unsigned long long>(*m_request.rangeStart));
            block += line;
        }
        // A line of the block replaces what WinINet would send under that name (Host,
        // User-Agent), as the seam promises.
        if (!block.empty() && !::HttpAddRequestHeadersA(m_handle, block.c_str(), static_cast<DWORD>(block.size()),
                                                        HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE)) {
            Fail(HttpOutcome::BadAddress, "the request header block was refused: " + ErrorText(::GetLastError()));
            return false;
        }
        return true;
    }

    std::string QueryText(DWORD what) {
        DWORD size = 0;
        ::HttpQueryInfoA(m_handle, what, nullptr, &size, nullptr);
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
        std::string text(size, '\0');
        if (!::HttpQueryInfoA(m_handle, what, text.data(), &size, nullptr)) return {};
        text.resize(size);
        return text;
    }

    bool ReadHead() {
        HttpHead& head = m_result.head;
        head.headers = QueryText(HTTP_QUERY_RAW_HEADERS_CRLF);
        // An answer without a status line (HTTP/0.9, or no HTTP at all) is no reply: its bytes
        // must never pass for a body.
        if (!StartsWithNoCase(head.headers, "HTTP/")) {
            head.headers.clear();
            Fail(HttpOutcome::NoReply, "the answer is not HTTP");
            return false;
        }
        while (!head.headers.ends_with("\r\n\r\n")) head.headers += "\r\n";
        DWORD status = 0;
        DWORD size = sizeof status;
        if (::HttpQueryInfoA(m_handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
            head.status = static_cast<int>(status);
        m_headDone = true;
        m_call->lastActivity.store(Ticks());

        // The length the body must reach to count as whole; none for a chunked body.
        const std::optional<std::string> length = HttpHeaderValue(head.headers, "Content-Length");
        const std::optional<std::string> coding = HttpHeaderValue(head.headers, "Transfer-Encoding");
        uint64_t announced = 0;
        if (length && !coding && ParseLength(*length, announced)) m_announced = announced;
        return true;
    }

    // Under a speed limit: waits until `received` bytes are no more than the limit allows
    // since the body began. False when the stop flag ended the wait.
    bool Pace(uint64_t received) {
        const uint64_t rate = m_request.maxBytesPerSecond;
        if (rate == 0) return true;
        const auto due = m_bodyStart + std::chrono::microseconds(received * 1000000 / rate);
        for (;;) {
            if (StopRequested()) {
                Fail(HttpOutcome::Stopped, "stopped");
                return false;
            }
            const auto now = Clock::now();
            if (now >= due) break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count() + 1;
            ::Sleep(left < static_cast<long long>(kWaitSliceMs) ? static_cast<DWORD>(left) : kWaitSliceMs);
        }
        // Holding back is no silence of the server's.
        m_call->lastActivity.store(Ticks());
        return true;
    }

    HttpResult ReadBody() {
        m_bodyStart = Clock::now();
        uint64_t received = 0;
        for (;;) {
            // Ask how much has arrived and read no more than that: a read of more may wait
            // until the whole buffer is full.
            m_call->available = 0;
            if (!Call(::InternetQueryDataAvailable(m_handle, &m_call->available, 0, 0))) return m_result;
            DWORD available = m_call->available;
            if (available == 0) {
                // A query that completed later tells its count in the completion on some
                // systems and nowhere on others; asked again, it answers at once.
                if (!Call(::InternetQueryDataAvailable(m_handle, &m_call->available, 0, 0))) return m_result;
                available = m_call->available;
                if (available == 0) break;
            }
            m_call->read = 0;
            DWORD want = available < kReadBlock ? available : kReadBlock;
            if (m_request.maxBytesPerSecond > 0) {
                // Blocks of a quarter second at most keep the pace even.
                const uint64_t quarter = m_request.maxBytesPerSecond / 4 > 0 ? m_request.maxBytesPerSecond / 4 : 1;
                if (quarter < want) want = static_cast<DWORD>(quarter);
            }
            if (!Call(::InternetReadFile(m_handle, m_call->buffer, want, &m_call->read))) return m_result;
            if (m_call->read == 0) break;
            m_call->lastActivity.store(Ticks());
            received += m_call->read;
            if (StopRequested()) return Fail(HttpOutcome::Stopped, "stopped");
            if (!m_receiver.onBody(m_call->buffer, m_call->read))
                return Fail(HttpOutcome::ReceiverFailed, "the receiver refused a block");
            if (!Pace(received)) return m_result;
        }
        if (m_announced && received < *m_announced) {
            char text[96];
            std::snprintf(text, sizeof text, "the body ended after %llu of %llu bytes",
                          static_cast<unsigned long long>(received), static_cast<unsigned long long>(*m_announced));
            return Fail(HttpOutcome::Broken, text);
        }
        m_result.outcome = HttpOutcome::Completed;
        m_result.error.clear();
        return m_result;
    }

    void CloseRequest() {
        if (!m_handle) return;
        ::InternetCloseHandle(m_handle);
        m_handle = nullptr;
        if (m_abandoned || ::WaitForSingleObject(m_call->closed, kCloseConfirmMs) != WAIT_OBJECT_0) {
            (void)m_call.release();
        }
    }

    const HttpRequest& m_request;
    const HttpTimeLimits m_limits;
    const HttpReceiver& m_receiver;
    std::unique_ptr<AsyncCall> m_call;
    InternetHandle m_session;
    InternetHandle m_connect;
    HINTERNET m_handle = nullptr;
    HttpResult m_result;
    Clock::time_point m_start;
    Clock::time_point m_bodyStart;
    bool m_headDone = false;
    bool m_abandoned = false;
    std::optional<uint64_t> m_announced;
};

}  // namespace

HttpResult HttpExchange(const HttpRequest& request, const std::string& url, const std::string& headers,
                        const HttpTimeLimits& limits, const HttpReceiver& receiver) {
    Exchange exchange(request, limits, receiver);
    return exchange.Run(url, headers);
}

}  // namespace nb::platform
