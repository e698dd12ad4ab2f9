#pragma once
#include <cstddef>
#include <string>

namespace nb::test {

// The bytes of one request as a bare test server receives them, and whether all of it is
// there: the head up to its empty line and the body its Content-Length announces.
class RawHttpRequest {
public:
    void Add(const char* data, size_t size);
    bool HasHead() const { return m_headEnd != std::string::npos; }
    bool Complete() const { return HasHead() && m_bytes.size() >= m_headEnd + m_bodyLength; }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    size_t m_headEnd = std::string::npos;
    size_t m_bodyLength = 0;
};

}  // namespace nb::test
