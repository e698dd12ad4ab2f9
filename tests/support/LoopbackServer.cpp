#include "LoopbackServerState.h"

#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace nb::test {

struct LoopbackServer::Impl : State {
    httplib::Server server;
    std::thread thread;

    void Answer(const httplib::Request& req, httplib::Response& res);
    void SendBody(httplib::Response& res, const std::string& body);
    bool SendSlice(const std::shared_ptr<std::string>& body, size_t offset, httplib::DataSink& sink,
                   size_t cut, size_t stall);
};

LoopbackServer::LoopbackServer() : m_impl(std::make_unique<Impl>()) {
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        ::unsetenv(name);

    Impl& impl = *m_impl;
    // One request per connection: a closed connection is the end of every exchange, and
    // stopping the server never waits for an idle keep-alive client.
    impl.server.set_keep_alive_max_count(1);
    auto answer = [&impl](const httplib::Request& req, httplib::Response& res) { impl.Answer(req, res); };
    impl.server.Get(".*", answer);
    impl.server.Post(".*", answer);
    impl.server.Put(".*", answer);
    impl.server.Delete(".*", answer);
    impl.server.Options(".*", answer);

    impl.port = impl.server.bind_to_any_port("127.0.0.1");
    if (impl.port <= 0) throw std::runtime_error("loopback server: no port");
    impl.thread = std::thread([&impl] { impl.server.listen_after_bind(); });
    // stop() only reaches a server that is already running; connections made before then
    // simply wait in the listen queue.
    while (!impl.server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->closing = true;
    }
    m_impl->changed.notify_all();
    m_impl->server.stop();
    if (m_impl->thread.joinable()) m_impl->thread.join();
}

LoopbackServer::State& LoopbackServer::Shared() const {
    return *m_impl;
}

void LoopbackServer::Impl::Answer(const httplib::Request& req, httplib::Response& res) {
    // The library would cut the body to the Range on its own; this server decides itself
    // (the request object is the server's own, not a constant).
    const_cast<httplib::Request&>(req).ranges.clear();

    Request record;
    record.method = req.method;
    record.path = req.path;
    record.target = req.target;
    for (const auto& [key, value] : req.headers) record.headers.emplace_back(key, value);
    for (const auto& [key, value] : req.params) record.params.emplace_back(key, value);
    record.body = req.body;

    std::unique_lock lock(mutex);
    requests.push_back(record);
    if (fixedStatus != 0) {
        res.status = fixedStatus;
        std::string body = fixedBody;
        lock.unlock();
        SendBody(res, body);
        return;
    }
    if (auto h = handlers.find(req.path); h != handlers.end()) {
        Handler handler = h->second;
        lock.unlock();
        Reply reply = handler(record);
        res.status = reply.status;
        for (const auto& [key, value] : reply.headers) res.set_header(key, value);
        if (!reply.contentType.empty()) res.set_header("Content-Type", reply.contentType);
        SendBody(res, reply.body);
        return;
    }
    auto b = bodies.find(req.path);
    if (b == bodies.end()) {
        lock.unlock();
        res.status = 404;
        SendBody(res, "not found");
        return;
    }
    std::string body = b->second;
    const bool honourRange = !ignoreRange;
    lock.unlock();

    res.set_header("Content-Type", "application/octet-stream");
    res.set_header("Accept-Ranges", "bytes");
    std::string range = req.get_header_value("Range");
    size_t start = 0;
    if (honourRange && range.rfind("bytes=", 0) == 0) {
        start = std::strtoull(range.c_str() + 6, nullptr, 10);
        if (start >= body.size()) {
            res.status = 416;
            res.set_header("Content-Range", "bytes */" + std::to_string(body.size()));
            SendBody(res, "range not satisfiable");
            return;
        }
        res.status = 206;
        res.set_header("Content-Range", "bytes " + std::to_string(start) + "-" +
                                            std::to_string(body.size() - 1) + "/" +
                                            std::to_string(body.size()));
        SendBody(res, body.substr(start));
        return;
    }
    res.status = 200;
    SendBody(res, body);
}

void LoopbackServer::Impl::SendBody(httplib::Response& res, const std::string& body) {
    size_t cut;
    size_t stall;
    bool asChunks;
    {
        std::lock_guard lock(mutex);
        cut = cutAfter;
        stall = stallAfter;
        asChunks = chunked;
    }
    const std::string type =
        res.has_header("Content-Type") ? res.get_header_value("Content-Type") : "text/plain";
    res.headers.erase("Content-Type");  // the calls below set it once more
    if (cut == npos && stall == npos && !asChunks) {
        res.set_content(body, type);
        return;
    }
    auto shared = std::make_shared<std::string>(body);
    if (asChunks) {
        res.set_chunked_content_provider(type,
                                         [this, shared, cut, stall](size_t offset, httplib::DataSink& sink) {
                                             if (offset >= shared->size()) {
                                                 sink.done();
                                                 return true;
                                             }
                                             return SendSlice(shared, offset, sink, cut, stall);
                                         });
    } else {
        res.set_content_provider(shared->size(), type,
                                 [this, shared, cut, stall](size_t offset, size_t, httplib::DataSink& sink) {
                                     return SendSlice(shared, offset, sink, cut, stall);
                                 });
    }
}

// One piece of a body from offset on, stopping at the cut (connection closed) or the stall.
bool LoopbackServer::Impl::SendSlice(const std::shared_ptr<std::string>& body, size_t offset,
                                     httplib::DataSink& sink, size_t cut, size_t stall) {
    if (offset >= cut) return false;
    if (offset >= stall) {
        std::unique_lock lock(mutex);
        ++stalls;
        changed.notify_all();
        changed.wait(lock, [this] { return released || closing; });
        if (closing) return false;
        stall = npos;
    }
    const size_t end = std::min({body->size(), offset + 64 * 1024, cut, stall});
    return sink.write(body->data() + offset, end - offset);
}

std::string ClosedLoopbackHost() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) ::close(fd);
    return "127.0.0.1:" + std::to_string(port);
}

}  // namespace nb::test
