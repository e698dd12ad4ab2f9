// The loopback test server on bare Winsock: cpp-httplib has no Windows build here. One
// request per connection, answered on a thread of its own, so that a stalled reply never
// holds up the next request.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "LoopbackServerState.h"
#include "LoopbackSocket_win32.h"
#include "RawHttpRequest.h"

namespace nb::test {
namespace {

std::string Trimmed(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

const char* Reason(int status) {
    switch (status) {
        case 200: return "OK";
        case 206: return "Partial Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 303: return "See Other";
        case 307: return "Temporary Redirect";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 416: return "Range Not Satisfiable";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

// A query's name or value with its %XX escapes and '+' blanks decoded.
std::string Decoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The request line, header lines and body of a complete request.
LoopbackServer::Request Parse(const std::string& bytes) {
    LoopbackServer::Request request;
    const size_t headEnd = bytes.find("\r\n\r\n");
    const std::string head = bytes.substr(0, headEnd);
    size_t lineEnd = head.find("\r\n");
    const std::string first = head.substr(0, lineEnd);
    const size_t sp1 = first.find(' ');
    const size_t sp2 = first.find(' ', sp1 + 1);
    request.method = first.substr(0, sp1);
    request.target = first.substr(sp1 + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp1 - 1);
    const size_t query = request.target.find('?');
    request.path = request.target.substr(0, query);
    for (size_t begin = query; begin != std::string::npos && begin < request.target.size();) {
        const size_t end = request.target.find('&', begin + 1);
        const std::string pair = request.target.substr(begin + 1, end == std::string::npos ? end : end - begin - 1);
        const size_t equals = pair.find('=');
        if (!pair.empty())
            request.params.emplace_back(Decoded(pair.substr(0, equals)),
                                        equals == std::string::npos ? std::string() : Decoded(pair.substr(equals + 1)));
        begin = end;
    }
    while (lineEnd != std::string::npos) {
        const size_t begin = lineEnd + 2;
        lineEnd = head.find("\r\n", begin);
        const std::string line = head.substr(begin, lineEnd == std::string::npos ? std::string::npos : lineEnd - begin);
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        request.headers.emplace_back(Trimmed(line.substr(0, colon)), Trimmed(line.substr(colon + 1)));
    }
    if (headEnd != std::string::npos) request.body = bytes.substr(headEnd + 4);
    return request;
}

}  // namespace

struct LoopbackServer::Impl : State {
    SOCKET listener = INVALID_SOCKET;
    std::thread acceptor;
    std::list<std::thread> connections;

    // Set with closing, for the waits that hold no lock.
    std::atomic<bool> stopping{false};

    bool WaitReadable(SOCKET s, int timeoutMs) const { return win32::WaitReadable(s, timeoutMs, stopping); }
    void Accept();
    void Serve(SOCKET client);
    Reply Answer(const Request& request, std::string& extraHeaders);
    void Send(SOCKET client, const Reply& reply, const std::string& extraHeaders, bool headOnly);
    bool SendAll(SOCKET s, const char* data, size_t size) const;
};

LoopbackServer::LoopbackServer() : m_impl(std::make_unique<Impl>()) {
    Impl& impl = *m_impl;
    impl.listener = win32::ListenOnLoopback(impl.port, 64);
    impl.acceptor = std::thread([&impl] { impl.Accept(); });
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->closing = true;
    }
    m_impl->stopping = true;
    m_impl->changed.notify_all();
    m_impl->acceptor.join();
    // No thread is added once the acceptor has ended.
    for (std::thread& connection : m_impl->connections) connection.join();
    ::closesocket(m_impl->listener);
}

LoopbackServer::State& LoopbackServer::Shared() const {
    return *m_impl;
}

void LoopbackServer::Impl::Accept() {
    while (WaitReadable(listener, -1)) {
        SOCKET client = ::accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        std::lock_guard lock(mutex);
        connections.emplace_back([this, client] {
            Serve(client);
            ::closesocket(client);
        });
    }
}

void LoopbackServer::Impl::Serve(SOCKET client) {
    RawHttpRequest raw;
    char buffer[4096];
    while (!raw.Complete()) {
        if (!WaitReadable(client, 10000)) return;
        const int n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        raw.Add(buffer, static_cast<size_t>(n));
    }
    const Request request = Parse(raw.Bytes());
    {
        std::lock_guard lock(mutex);
        requests.push_back(request);
    }
    std::string extraHeaders;
    const Reply reply = Answer(request, extraHeaders);
    Send(client, reply, extraHeaders, request.method == "HEAD");
    ::shutdown(client, SD_SEND);
    // The client reads to the end before it closes; leaving first would reset the connection.
    while (WaitReadable(client, 2000) && ::recv(client, buffer, sizeof buffer, 0) > 0) {
    }
}

LoopbackServer::Reply LoopbackServer::Impl::Answer(const Request& request, std::string& extraHeaders) {
    std::unique_lock lock(mutex);
    if (fixedStatus != 0) return Reply{fixedStatus, fixedBody, {}, "text/plain"};
    if (auto h = handlers.find(request.path); h != handlers.end()) {
        Handler handler = h->second;
        lock.unlock();
        return handler(request);
    }
    auto b = bodies.find(request.path);
    if (b == bodies.end()) return Reply{404, "not found", {}, "text/plain"};
    const std::string& body = b->second;
    Reply reply{200, {}, {{"Accept-Ranges", "bytes"}}, "application/octet-stream"};
    const std::string range = request.Header("Range");
    if (!ignoreRange && range.rfind("bytes=", 0) == 0) {
        const size_t start = std::strtoull(range.c_str() + 6, nullptr, 10);
        if (start >= body.size()) {
            reply.status = 416;
            reply.body = "range not satisfiable";
            reply.contentType = "text/plain";
            extraHeaders = "Content-Range: bytes */" + std::to_string(body.size()) + "\r\n";
            return reply;
        }
        reply.status = 206;
        reply.body = body.substr(start);
        extraHeaders = "Content-Range: bytes " + std::to_string(start) + "-" + std::to_string(body.size() - 1) + "/" +
                       std::to_string(body.size()) + "\r\n";
        return reply;
    }
    reply.body = body;
    return reply;
}

bool LoopbackServer::Impl::SendAll(SOCKET s, const char* data, size_t size) const {
    while (size > 0) {
        const int n = ::send(s, data, static_cast<int>(std::min<size_t>(size, 64 * 1024)), 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void LoopbackServer::Impl::Send(SOCKET client, const Reply& reply, const std::string& extraHeaders, bool headOnly) {
    size_t cut;
    size_t stall;
    bool asChunks;
    {
        std::lock_guard lock(mutex);
        cut = cutAfter;
        stall = stallAfter;
        asChunks = chunked;
    }
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) + "\r\n";
    for (const auto& [name, value] : reply.headers) head += name + ": " + value + "\r\n";
    if (!reply.contentType.empty()) head += "Content-Type: " + reply.contentType + "\r\n";
    head += extraHeaders;
    head += asChunks ? std::string("Transfer-Encoding: chunked\r\n")
                     : "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (!SendAll(client, head.data(), head.size()) || headOnly) return;

    const std::string& body = reply.body;
    for (size_t offset = 0; offset < body.size();) {
        if (offset >= cut) return;
        if (offset >= stall) {
            std::unique_lock lock(mutex);
            ++stalls;
            changed.notify_all();
            changed.wait(lock, [this] { return released || closing; });
            if (closing) return;
            stall = npos;
        }
        const size_t end = std::min({body.size(), offset + 64 * 1024, cut, stall});
        if (asChunks) {
            char size[24];
            std::snprintf(size, sizeof size, "%zx\r\n", end - offset);
            if (!SendAll(client, size, std::strlen(size))) return;
        }
        if (!SendAll(client, body.data() + offset, end - offset)) return;
        if (asChunks && !SendAll(client, "\r\n", 2)) return;
        offset = end;
    }
    if (asChunks) SendAll(client, "0\r\n\r\n", 5);
}

std::string ClosedLoopbackHost() {
    return "127.0.0.1:" + std::to_string(win32::ClosedLoopbackPort());
}

}  // namespace nb::test
