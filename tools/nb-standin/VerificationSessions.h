#pragma once
#include <deque>
#include <map>
#include <optional>
#include <string>

namespace nbstandin {

// The code each picture session was given, by session id (the PHPSESSID value). Bounded:
// the oldest sessions are forgotten first, so a client that keeps asking for pictures cannot
// grow it without end. Not thread-safe; the account service locks around it.
class VerificationSessions {
public:
    static constexpr size_t kMaxSessions = 4096;

    // A new code for the session; an unknown or empty id gets a fresh session. Returns the id.
    std::string Issue(const std::string& sessionId, const std::string& code);
    std::optional<std::string> CodeOf(const std::string& sessionId) const;
    // The session of the picture issued last (empty before the first); a client that does
    // not tell its session id can be followed this way.
    const std::string& Latest() const { return m_latest; }
    bool Has(const std::string& sessionId) const { return m_codes.count(sessionId) != 0; }
    // Compares without ASCII case; a used-up code matches nothing.
    bool Matches(const std::string& sessionId, const std::string& code) const;
    // The session stays known, so a later use of it is a wrong code, not a missing session.
    void UseUp(const std::string& sessionId);
    void Clear();

private:
    std::map<std::string, std::string> m_codes;
    std::deque<std::string> m_order;
    std::string m_latest;
};

}  // namespace nbstandin
