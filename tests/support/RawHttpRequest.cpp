#include "RawHttpRequest.h"

#include <cctype>
#include <cstdlib>

namespace nb::test {
namespace {

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i) {
        if (at + i >= text.size() ||
            std::tolower(static_cast<unsigned char>(text[at + i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

// The Content-Length of a request head, 0 when it has none.
size_t AnnouncedLength(const std::string& bytes, size_t headEnd) {
    for (size_t pos = 0; (pos = bytes.find("\r\n", pos)) != std::string::npos && pos < headEnd;) {
        pos += 2;
        if (StartsWithNoCase(bytes, pos, "Content-Length:")) return std::strtoull(bytes.c_str() + pos + 15, nullptr, 10);
    }
    return 0;
}

}  // namespace

void RawHttpRequest::Add(const char* data, size_t size) {
    m_bytes.append(data, size);
    if (HasHead()) return;
    const size_t end = m_bytes.find("\r\n\r\n");
    if (end == std::string::npos) return;
    m_headEnd = end + 4;
    m_bodyLength = AnnouncedLength(m_bytes, m_headEnd);
}

}  // namespace nb::test
