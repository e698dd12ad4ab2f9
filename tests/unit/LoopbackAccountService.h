#pragma once
// An account service on 127.0.0.1 (ephemeral port) for the login tests: each path answers
// through a handler the test sets, and every request is recorded with its exact target and
// headers.
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nb::test {

struct ServiceAnswer {
    int status = 200;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

struct ServiceRequest {
    std::string path;
    std::string target;  // path and query exactly as sent
    httplib::Headers headers;
};

class LoopbackAccountService {
public:
    using Handler = std::function<ServiceAnswer(const httplib::Request&)>;

    LoopbackAccountService() {
        m_server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            Handler handler;
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back({request.path, request.target, request.headers});
                auto it = m_handlers.find(request.path);
                if (it != m_handlers.end()) handler = it->second;
            }
            ServiceAnswer answer = handler ? handler(request) : ServiceAnswer{404, "not here", {}};
            response.status = answer.status;
            for (const auto& [name, value] : answer.headers) response.set_header(name, value);
            response.set_content(answer.body, "application/octet-stream");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running()) std::this_thread::yield();
    }

    ~LoopbackAccountService() {
        m_server.stop();
        m_thread.join();
    }

    LoopbackAccountService(const LoopbackAccountService&) = delete;
    LoopbackAccountService& operator=(const LoopbackAccountService&) = delete;

    std::string Host() const { return "127.0.0.1:" + std::to_string(m_port); }

    void Handle(const std::string& path, Handler handler) {
        std::lock_guard lock(m_mutex);
        m_handlers[path] = std::move(handler);
    }
    void Answer(const std::string& path, ServiceAnswer answer) {
        Handle(path, [answer](const httplib::Request&) { return answer; });
    }

    std::vector<ServiceRequest> Requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (const auto& request : Requests()) targets.push_back(request.target);
        return targets;
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::map<std::string, Handler> m_handlers;
    std::vector<ServiceRequest> m_requests;
};

// A loopback address that refuses connections: a port that was just bound and released.
inline std::string ClosedLoopbackHost() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
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
