#include "AccountService.h"

#include <tinyxml2.h>

#include <ctime>
#include <sstream>

#include "AccountList.h"
#include "CodePicture.h"
#include "Md5Hex.h"
#include "RandomText.h"
#include "app/TextEncoding.h"

namespace nbstandin {

namespace {

// The error codes the launcher knows.
enum LoginError : int {
    kEmptyName = 1001,
    kEmptyPassword = 1002,
    kMissingGame = 1003,
    kMissingServer = 1004,
    kUnknownName = 1006,
    kWrongPassword = 1008,
    kLocked = 1009,
    kCodeDemanded = 1010,
    kMissingCode = 1101,
    kMissingSession = 1102,
    kWrongCode = 1103,
    kServiceError = 9999,
};

constexpr const char* kGameName = "rk";
constexpr size_t kMaxTrackedNames = 10000;

// The first value of a query key, and whether the key was there at all.
std::pair<bool, std::string> Param(const QueryParams& query, const char* key) {
    auto it = query.find(key);
    if (it == query.end()) return {false, std::string()};
    return {true, it->second};
}

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

// Values are code page 936 bytes (the login name is echoed as sent), hence the declaration.
ServiceReply Document(const std::vector<std::pair<std::string, std::string>>& elements) {
    std::string body = "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<response>\r\n";
    for (const auto& [name, value] : elements)
        body += "  <" + name + ">" + XmlEscape(value) + "</" + name + ">\r\n";
    body += "</response>\r\n";
    ServiceReply reply;
    reply.contentType = "text/xml";
    reply.body = std::move(body);
    reply.headers.emplace_back("Cache-Control", "no-store, no-cache");
    return reply;
}

std::string SessionFromCookie(const std::string& cookie) {
    constexpr std::string_view kName = "PHPSESSID=";
    size_t at = 0;
    while ((at = cookie.find(kName, at)) != std::string::npos) {
        if (at == 0 || cookie[at - 1] == ' ' || cookie[at - 1] == ';') {
            size_t begin = at + kName.size();
            size_t end = cookie.find(';', begin);
            return cookie.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        }
        at += kName.size();
    }
    return std::string();
}

}  // namespace

AccountService::AccountService(const StandinOptions& options)
    : m_accountsFile(options.accountsFile),
      m_zoneListFile(options.root + "/norbel_xml/zonelist.xml"),
      m_serverIds(options.serverIds),
      m_alwaysCode(options.alwaysCode),
      m_codeAfter(options.codeAfter),
      m_forceError(options.forceError) {}

ServiceReply AccountService::Error(int code) const {
    return Document({{"result", "0"}, {"error", std::to_string(code)}});
}

bool AccountService::KnownServer(const std::string& id) const {
    int64_t number = 0;
    if (!ParseInt64(id, number)) return false;
    std::vector<int> ids;
    if (m_serverIds) {
        ids = *m_serverIds;
    } else {
        // The servers the served zone list publishes; read afresh so a test may replace it.
        tinyxml2::XMLDocument doc;
        if (doc.LoadFile(m_zoneListFile.c_str()) != tinyxml2::XML_SUCCESS || !doc.RootElement()) return true;
        for (auto* zone = doc.RootElement()->FirstChildElement(); zone; zone = zone->NextSiblingElement()) {
            for (auto* server = zone->FirstChildElement(); server; server = server->NextSiblingElement()) {
                int value = 0;
                if (server->QueryIntAttribute("id", &value) == tinyxml2::XML_SUCCESS) ids.push_back(value);
            }
        }
    }
    for (int known : ids) {
        if (known == number) return true;
    }
    return false;
}

void AccountService::CountFailure(const std::string& name) {
    if (m_failures.size() >= kMaxTrackedNames && !m_failures.count(name)) m_failures.clear();
    int failures = ++m_failures[name];
    if (m_codeAfter > 0 && failures >= m_codeAfter) {
        if (m_codeRequired.size() >= kMaxTrackedNames) m_codeRequired.clear();
        m_codeRequired.insert(name);
    }
}

ServiceReply AccountService::Login(const QueryParams& query) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_forceError != 0) return Error(m_forceError);

    auto [hasName, name] = Param(query, "u");
    auto [hasDigest, digest] = Param(query, "p");
    auto [hasGame, game] = Param(query, "g");
    auto [hasServer, server] = Param(query, "s");
    if (name.empty()) return Error(kEmptyName);
    if (digest.empty()) return Error(kEmptyPassword);
    if (game != kGameName) return Error(kMissingGame);
    if (server.empty()) return Error(kMissingServer);
    if (!KnownServer(server)) return Error(kServiceError);
    name = nb::GbkToLower(name);

    auto [hasCode, code] = Param(query, "c");
    auto [hasSession, session] = Param(query, "p2");
    if (hasCode || hasSession) {
        if (code.empty()) return Error(kMissingCode);
        if (session.empty() || !m_sessions.Has(session)) return Error(kMissingSession);
        bool right = m_sessions.Matches(session, code);
        // One login per picture, right or wrong, so a code cannot be tried again and again.
        m_sessions.UseUp(session);
        if (!right) return Error(kWrongCode);
    } else if (m_alwaysCode || m_codeRequired.count(name)) {
        return Error(kCodeDemanded);
    }

    AccountList accounts;
    std::string error;
    accounts.Load(m_accountsFile,
                  error);  // an unreadable file was refused at start; now it just has no accounts
    const Account* account = accounts.Find(name);
    if (!account) {
        CountFailure(name);
        return Error(kUnknownName);
    }
    if (!AccountList::PasswordMatches(*account, digest)) {
        CountFailure(name);
        return Error(kWrongPassword);
    }
    if (account->locked) return Error(kLocked);

    m_failures.erase(name);
    m_codeRequired.erase(name);
    std::string loginDate = std::to_string(static_cast<long long>(std::time(nullptr)));
    std::string key = RandomText(32, "0123456789abcdef");
    return Document({{"result", "1"},
                     {"userid", std::to_string(account->userId)},
                     {"login_date", loginDate},
                     {"coopid", "0"},
                     {"login", name},
                     {"key", key},
                     {"auth", Md5Hex(name + "|" + key + "|" + loginDate)},
                     {"addiction", account->addiction}});
}

ServiceReply AccountService::CheckCode(const QueryParams& query) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto [hasCode, code] = Param(query, "c");
    auto [hasSession, session] = Param(query, "p");
    if (code.empty()) return Error(kMissingCode);
    if (session.empty() || !m_sessions.Has(session)) return Error(kMissingSession);
    if (!m_sessions.Matches(session, code)) {
        m_sessions.UseUp(session);
        return Error(kWrongCode);
    }
    // A right code stays valid for the login that follows the check.
    return Document({{"result", "1"}});
}

ServiceReply AccountService::Picture(const std::string& cookieHeader) {
    std::string code = RandomText(4, "0123456789");
    std::string session;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        session = m_sessions.Issue(SessionFromCookie(cookieHeader), code);
    }
    ServiceReply reply;
    reply.contentType = "image/png";
    reply.body = CodePicture::RenderPng(code);
    reply.headers.emplace_back("Set-Cookie", "PHPSESSID=" + session + "; path=/");
    reply.headers.emplace_back("Cache-Control", "no-store, no-cache");
    return reply;
}

std::optional<std::string> AccountService::CodeOf(const std::string& sessionId) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sessions.CodeOf(sessionId);
}

std::optional<std::string> AccountService::LatestCode() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sessions.CodeOf(m_sessions.Latest());
}

bool AccountService::Apply(const QueryParams& query, std::string& error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    bool alwaysCode = m_alwaysCode;
    int64_t codeAfter = m_codeAfter, forceError = m_forceError;
    std::optional<std::vector<int>> serverIds = m_serverIds;
    if (auto [has, value] = Param(query, "always_code"); has) {
        int64_t flag = 0;
        if (!ParseInt64(value, flag)) {
            error = "bad value for always_code: " + value;
            return false;
        }
        alwaysCode = flag != 0;
    }
    if (auto [has, value] = Param(query, "code_after");
        has && (!ParseInt64(value, codeAfter) || codeAfter < 0 || codeAfter > INT32_MAX)) {
        error = "bad value for code_after: " + value;
        return false;
    }
    if (auto [has, value] = Param(query, "force_error");
        has && (!ParseInt64(value, forceError) || forceError < INT32_MIN || forceError > INT32_MAX)) {
        error = "bad value for force_error: " + value;
        return false;
    }
    if (auto [has, value] = Param(query, "servers"); has) {
        std::vector<int> ids;
        if (value.empty()) {
            serverIds.reset();
        } else if (ParseServerList(value, ids)) {
            serverIds = ids;
        } else {
            error = "bad server list: " + value;
            return false;
        }
    }
    if (query.count("reset")) {
        m_failures.clear();
        m_codeRequired.clear();
        m_sessions.Clear();
    }
    m_alwaysCode = alwaysCode;
    m_codeAfter = static_cast<int>(codeAfter);
    m_forceError = static_cast<int>(forceError);
    m_serverIds = serverIds;
    return true;
}

std::string AccountService::Describe() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::ostringstream out;
    out << "always_code=" << (m_alwaysCode ? 1 : 0) << "\n"
        << "code_after=" << m_codeAfter << "\n"
        << "force_error=" << m_forceError << "\n"
        << "servers=";
    if (m_serverIds) {
        for (size_t i = 0; i < m_serverIds->size(); ++i) out << (i ? "," : "") << (*m_serverIds)[i];
    } else {
        out << "(zone list)";
    }
    out << "\n";
    for (const auto& name : m_codeRequired) out << "code_required " << nb::GbkToUtf8(name) << "\n";
    return out.str();
}

}  // namespace nbstandin
