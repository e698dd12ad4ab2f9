#include "app/Endpoints.h"

#include <mutex>

namespace nb::endpoints {
namespace {

struct Hosts {
    std::string config = NB_CONFIG_HOST;
    std::string portal = NB_PORTAL_HOST;
    std::string account = NB_ACCOUNT_HOST;
};

std::mutex g_mutex;
Hosts& TheHosts() {
    static Hosts hosts;
    return hosts;
}

}  // namespace

std::string ConfigHost() {
    std::lock_guard lock(g_mutex);
    return TheHosts().config;
}
std::string PortalHost() {
    std::lock_guard lock(g_mutex);
    return TheHosts().portal;
}
std::string AccountHost() {
    std::lock_guard lock(g_mutex);
    return TheHosts().account;
}

void OverrideHostsForTests(const std::string& config, const std::string& portal, const std::string& account) {
    std::lock_guard lock(g_mutex);
    TheHosts() = Hosts{config, portal, account};
}

std::string Url(const std::string& host, const char* path) {
    // A host given with its scheme keeps it (an operator's "https://name"); a bare one is
    // plain http, as every host was before.
    std::string lower;
    for (const char c : host.substr(0, 8)) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower.starts_with("http://") || lower.starts_with("https://")) return host + path;
    return "http://" + host + path;
}

}  // namespace nb::endpoints
