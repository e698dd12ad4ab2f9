#include "CapturingStream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace nbstandin {

namespace {

// Heads are at most a few KiB (the parser refuses longer header lines); the cap only keeps
// a misbehaving client from growing the record without end.
constexpr size_t kMaxCapture = 64 * 1024;

int ToMilliseconds(time_t sec, time_t usec) {
    return static_cast<int>(sec * 1000 + usec / 1000);
}

bool WaitFor(socket_t sock, short events, int timeoutMs) {
    pollfd pfd{sock, events, 0};
    for (;;) {
        int rc = ::poll(&pfd, 1, timeoutMs);
        if (rc < 0 && errno == EINTR) continue;
        return rc > 0;
    }
}

void AddressText(const sockaddr_storage& addr, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (addr.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&addr);
        ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        port = ntohs(v4->sin_port);
    } else if (addr.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&addr);
        ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        port = ntohs(v6->sin6_port);
    }
    ip = text;
}

}  // namespace

CapturingStream::CapturingStream(socket_t sock, time_t readSec, time_t readUsec, time_t writeSec,
                                 time_t writeUsec)
    : m_sock(sock),
      m_readTimeoutMs(ToMilliseconds(readSec, readUsec)),
      m_writeTimeoutMs(ToMilliseconds(writeSec, writeUsec)) {}

bool CapturingStream::is_readable() const {
    return HasBuffered() || WaitFor(m_sock, POLLIN, m_readTimeoutMs);
}

bool CapturingStream::is_writable() const {
    return WaitFor(m_sock, POLLOUT, m_writeTimeoutMs);
}

ssize_t CapturingStream::read(char* ptr, size_t size) {
    if (!HasBuffered()) {
        if (!is_readable()) return -1;
        ssize_t n;
        do {
            n = ::recv(m_sock, m_buffer.data(), m_buffer.size(), 0);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) return n;
        m_offset = 0;
        m_length = static_cast<size_t>(n);
    }
    size_t count = std::min(size, m_length - m_offset);
    std::memcpy(ptr, m_buffer.data() + m_offset, count);
    Capture(ptr, count);
    m_offset += count;
    return static_cast<ssize_t>(count);
}

ssize_t CapturingStream::write(const char* ptr, size_t size) {
    if (!is_writable()) return -1;
    ssize_t n;
    do {
        n = ::send(m_sock, ptr, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
}

void CapturingStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(m_sock, reinterpret_cast<sockaddr*>(&addr), &len) == 0) AddressText(addr, ip, port);
}

void CapturingStream::get_local_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(m_sock, reinterpret_cast<sockaddr*>(&addr), &len) == 0) AddressText(addr, ip, port);
}

void CapturingStream::ResetCapture() {
    m_capture.clear();
    m_headComplete = false;
}

void CapturingStream::Capture(const char* data, size_t size) {
    for (size_t i = 0; i < size && !m_headComplete && m_capture.size() < kMaxCapture; ++i) {
        m_capture.push_back(data[i]);
        // The head ends with an empty line; bare LF line ends are accepted like the parser does.
        size_t n = m_capture.size();
        if (n >= 2 && m_capture[n - 1] == '\n' &&
            (m_capture[n - 2] == '\n' || (n >= 4 && m_capture.compare(n - 4, 4, "\r\n\r\n") == 0))) {
            m_headComplete = true;
        }
    }
}

}  // namespace nbstandin
