#include "VerificationSessions.h"

#include <algorithm>
#include <cctype>

#include "RandomText.h"

namespace nbstandin {

namespace {
// PHP's default session ids: 26 characters of this alphabet.
constexpr std::string_view kSessionAlphabet = "abcdefghijklmnopqrstuv0123456789";
constexpr size_t kSessionIdLength = 26;
}  // namespace

std::string VerificationSessions::Issue(const std::string& sessionId, const std::string& code) {
    if (!sessionId.empty() && Has(sessionId)) {
        m_codes[sessionId] = code;
        m_latest = sessionId;
        return sessionId;
    }
    std::string id;
    do {
        id = RandomText(kSessionIdLength, kSessionAlphabet);
    } while (Has(id));
    while (m_codes.size() >= kMaxSessions && !m_order.empty()) {
        m_codes.erase(m_order.front());
        m_order.pop_front();
    }
    m_codes[id] = code;
    m_order.push_back(id);
    m_latest = id;
    return id;
}

std::optional<std::string> VerificationSessions::CodeOf(const std::string& sessionId) const {
    auto it = m_codes.find(sessionId);
    if (it == m_codes.end() || it->second.empty()) return std::nullopt;
    return it->second;
}

bool VerificationSessions::Matches(const std::string& sessionId, const std::string& code) const {
    auto it = m_codes.find(sessionId);
    if (it == m_codes.end() || it->second.empty() || it->second.size() != code.size()) return false;
    return std::equal(code.begin(), code.end(), it->second.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

void VerificationSessions::UseUp(const std::string& sessionId) {
    auto it = m_codes.find(sessionId);
    if (it != m_codes.end()) it->second.clear();
}

void VerificationSessions::Clear() {
    m_codes.clear();
    m_order.clear();
    m_latest.clear();
}

}  // namespace nbstandin
