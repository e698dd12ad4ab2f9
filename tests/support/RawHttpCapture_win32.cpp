#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "LoopbackSocket_win32.h"
#include "RawHttpCapture.h"
#include "RawHttpRequest.h"

namespace nb::test {

struct RawHttpCapture::Impl {
    std::string reply;
    bool holdOpen = false;
    SOCKET listener = INVALID_SOCKET;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::thread thread;
    mutable std::mutex mutex;
    std::vector<std::string> requests;

    void Run();
    void Serve(SOCKET client);
    bool WaitReadable(SOCKET s, int timeoutMs) const { return win32::WaitReadable(s, timeoutMs, stopping); }
};

namespace {

bool SendAll(SOCKET s, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const int n = ::send(s, data.data() + done, static_cast<int>(data.size() - done), 0);
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
    impl.listener = win32::ListenOnLoopback(impl.port, 16);
    impl.thread = std::thread([&impl] { impl.Run(); });
}

RawHttpCapture::~RawHttpCapture() {
    m_impl->stopping.store(true);
    m_impl->thread.join();
    ::closesocket(m_impl->listener);
}

std::string RawHttpCapture::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_impl->port) + path;
}

std::vector<std::string> RawHttpCapture::Requests() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requests;
}

void RawHttpCapture::Impl::Run() {
    while (WaitReadable(listener, -1)) {
        SOCKET client = ::accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        Serve(client);
        ::closesocket(client);
    }
}

void RawHttpCapture::Impl::Serve(SOCKET client) {
    RawHttpRequest request;
    char buffer[4096];
    while (!request.Complete()) {
        if (!WaitReadable(client, 10000)) break;
        const int n = ::recv(client, buffer, sizeof buffer, 0);
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
        while (WaitReadable(client, -1) && ::recv(client, buffer, sizeof buffer, 0) > 0) {
        }
    }
    ::shutdown(client, SD_SEND);
}

}  // namespace nb::test
