#pragma once
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "StandinOptions.h"
#include "VerificationSessions.h"

namespace nbstandin {

using QueryParams = std::multimap<std::string, std::string>;

struct ServiceReply {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

// The account service: login, verification picture and code check. Its answers are the
// XML reply documents the launcher parses ("result", the login fields or "error").
class AccountService {
public:
    explicit AccountService(const StandinOptions& options);

    ServiceReply Login(const QueryParams& query);
    ServiceReply CheckCode(const QueryParams& query);
    // A fresh code and picture; a request that names a known session in its cookie keeps it.
    ServiceReply Picture(const std::string& cookieHeader);

    std::optional<std::string> CodeOf(const std::string& sessionId) const;
    // The code of the picture issued last.
    std::optional<std::string> LatestCode() const;

    // Control path: always_code, code_after, force_error, servers, reset.
    bool Apply(const QueryParams& query, std::string& error);
    std::string Describe() const;

private:
    bool KnownServer(const std::string& id) const;
    void CountFailure(const std::string& name);
    ServiceReply Error(int code) const;

    mutable std::mutex m_mutex;
    std::string m_accountsFile;
    std::string m_zoneListFile;
    std::optional<std::vector<int>> m_serverIds;
    bool m_alwaysCode;
    int m_codeAfter;
    int m_forceError;
    std::map<std::string, int> m_failures;  // failed logins by name since its last success
    std::set<std::string> m_codeRequired;   // names whose next login must carry a code
    VerificationSessions m_sessions;
};

}  // namespace nbstandin
