#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace nbfuzz {

// An HTTP server on 127.0.0.1 that answers every request with one fixed byte string (the
// whole reply, status line included) and closes the connection. It reads the request head
// first, so the client never meets a reset before the reply. The fuzz targets put their
// input on the wire with it; nothing is interpreted on this side.
class RawReplyServer {
public:
    RawReplyServer();
    ~RawReplyServer();
    RawReplyServer(const RawReplyServer&) = delete;
    RawReplyServer& operator=(const RawReplyServer&) = delete;

    int Port() const { return m_nPort; }
    std::string Url(const std::string& path) const;

    void SetReply(std::string reply);
    // The head of the last request received (request line through the empty line).
    std::string LastRequest() const;
    int Requests() const { return m_nRequests.load(); }

private:
    void Serve();
    void Answer(int client);

    int m_listener = -1;
    int m_nPort = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_nRequests{0};
    mutable std::mutex m_mutex;
    std::string m_reply;
    std::string m_lastRequest;
    std::thread m_thread;
};

}  // namespace nbfuzz
