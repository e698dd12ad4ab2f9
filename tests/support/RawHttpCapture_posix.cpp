#include "RawHttpCapture.h"
#include "RawHttpRequest.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <stdexcept>
#include <thread>

namespace nb::test {

struct RawHttpCapture::Impl {
    std::string reply;
    bool holdOpen = false;
    int listener = -1;
    int wake[2] = {-1, -1};
    int port = 0;
    std::thread thread;
    mutable std::mutex mutex;
    std::vector<std::string> requests;

    void Run();
    void Serve(int client);
};

namespace {

bool SendAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

RawHttpCapture::RawHttpCapture(std::string reply, bool holdOpen) : m_impl(std::make_unique<Impl>()) {
    Impl& impl = *m_impl;
    impl.reply = std::move(reply);
    impl.holdOpen = holdOpen;
    impl.listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (impl.listener < 0 || ::bind(impl.listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(impl.listener, 16) != 0 ||
        ::getsockname(impl.listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::pipe2(impl.wake, O_CLOEXEC) != 0) {
        if (impl.listener >= 0) ::close(impl.listener);
        throw std::runtime_error("raw capture: cannot listen");
    }
    impl.port = ntohs(addr.sin_port);
    impl.thread = std::thread([&impl] { impl.Run(); });
}

RawHttpCapture::~RawHttpCapture() {
    (void)!::write(m_impl->wake[1], "x", 1);
    m_impl->thread.join();
    ::close(m_impl->listener);
    ::close(m_impl->wake[0]);
    ::close(m_impl->wake[1]);
}

std::string RawHttpCapture::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_impl->port) + path;
}

std::vector<std::string> RawHttpCapture::Requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requests;
}

void RawHttpCapture::Impl::Run() {
    for (;;) {
        pollfd fds[2] = {{listener, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        Serve(client);
        ::close(client);
    }
}

void RawHttpCapture::Impl::Serve(int client) {
    RawHttpRequest request;
    char buffer[4096];
    while (!request.Complete()) {
        pollfd pfd[2] = {{client, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (::poll(pfd, 2, 10000) <= 0 || pfd[1].revents) break;
        ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.Add(buffer, static_cast<size_t>(n));
    }
    {
        std::lock_guard lock(mutex);
        requests.push_back(request.Bytes());
    }
    if (request.HasHead()) SendAll(client, reply);
    if (holdOpen) {
        // Nothing more is sent, and the connection stays until the client leaves or the
        // capture ends: a server that stalls.
        for (;;) {
            pollfd pfd[2] = {{client, POLLIN, 0}, {wake[0], POLLIN, 0}};
            if (::poll(pfd, 2, -1) < 0 || pfd[1].revents || ::recv(client, buffer, sizeof buffer, 0) <= 0) break;
        }
    }
    ::shutdown(client, SHUT_WR);
}

}  // namespace nb::test
