#pragma once
#include <httplib.h>

#include <array>
#include <string>
#include <string_view>

namespace nbstandin {

// The socket stream of one connection. It keeps the bytes of the current request's head as
// they arrived, which the parsed request cannot give back (header order, spacing, case).
class CapturingStream : public httplib::Stream {
public:
    CapturingStream(socket_t sock, time_t readSec, time_t readUsec, time_t writeSec, time_t writeUsec);

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return m_sock; }

    bool HasBuffered() const { return m_offset < m_length; }
    // Starts recording the next request's head.
    void ResetCapture();
    // The request line and header lines read since ResetCapture, up to the empty line.
    std::string_view CapturedHead() const { return m_capture; }

private:
    void Capture(const char* data, size_t size);

    socket_t m_sock;
    int m_readTimeoutMs;
    int m_writeTimeoutMs;
    std::array<char, 4096> m_buffer{};
    size_t m_offset = 0;
    size_t m_length = 0;
    std::string m_capture;
    bool m_headComplete = false;
};

}  // namespace nbstandin
