#include "RawReplyServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace nbfuzz {

RawReplyServer::RawReplyServer() {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;  // the system picks a free port
    socklen_t len = sizeof addr;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        std::perror("loopback server");
        std::abort();
    }
    m_nPort = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

RawReplyServer::~RawReplyServer() {
    m_stopping = true;
    ::shutdown(m_listener, SHUT_RDWR);
    m_thread.join();
    ::close(m_listener);
}

std::string RawReplyServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_nPort) + path;
}

void RawReplyServer::SetReply(std::string reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reply = std::move(reply);
}

std::string RawReplyServer::LastRequest() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastRequest;
}

void RawReplyServer::Serve() {
    while (!m_stopping) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        Answer(client);
        ::close(client);
    }
}

void RawReplyServer::Answer(int client) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) return;
        ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, static_cast<size_t>(n));
    }
    std::string reply;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastRequest = head;
        reply = m_reply;
    }
    ++m_nRequests;
    size_t sent = 0;
    while (sent < reply.size()) {
        ssize_t n = ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    ::shutdown(client, SHUT_WR);
    // Drain what the client still sends so that closing does not reset the connection.
    while (true) {
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0 || ::recv(client, buffer, sizeof buffer, 0) <= 0) break;
    }
}

}  // namespace nbfuzz
