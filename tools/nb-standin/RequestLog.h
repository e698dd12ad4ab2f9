#pragma once
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace nbstandin {

// Appends the head of every request (request line and header lines, byte for byte as they
// arrived, ending with the empty line) to one file. Each block is written whole and flushed
// before the request is answered, so a test sees it as soon as its request returns.
class RequestLog {
public:
    RequestLog() = default;
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    bool Open(const std::string& path);
    void Write(std::string_view block);

private:
    std::mutex m_mutex;
    std::FILE* m_file = nullptr;
};

}  // namespace nbstandin
