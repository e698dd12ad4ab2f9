#include "RequestLog.h"

namespace nbstandin {

RequestLog::~RequestLog() {
    if (m_file) std::fclose(m_file);
}

bool RequestLog::Open(const std::string& path) {
    m_file = std::fopen(path.c_str(), "ab");
    return m_file != nullptr;
}

void RequestLog::Write(std::string_view block) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_file) return;
    std::fwrite(block.data(), 1, block.size(), m_file);
    std::fflush(m_file);
}

}  // namespace nbstandin
