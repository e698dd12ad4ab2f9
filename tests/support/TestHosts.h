#pragma once
#include <string>

#include "app/Endpoints.h"

namespace nb::test {

// Loopback addresses where nothing listens, one for each host role a test does not serve:
// a request sent to the wrong role's host fails instead of reaching the test's server, and
// an address a test expects names its role.
inline constexpr const char* kConfigHostForTests = "127.0.0.2:18001";
inline constexpr const char* kPortalHostForTests = "127.0.0.3:18002";
inline constexpr const char* kAccountHostForTests = "127.0.0.4:18003";

// Gives the three host roles three different values for a scope and puts the build's hosts
// back afterwards.
class ScopedHosts {
public:
    explicit ScopedHosts(const std::string& account = kAccountHostForTests,
                         const std::string& config = kConfigHostForTests,
                         const std::string& portal = kPortalHostForTests) {
        endpoints::OverrideHostsForTests(config, portal, account);
    }
    ~ScopedHosts() { endpoints::OverrideHostsForTests(NB_CONFIG_HOST, NB_PORTAL_HOST, NB_ACCOUNT_HOST); }
    ScopedHosts(const ScopedHosts&) = delete;
    ScopedHosts& operator=(const ScopedHosts&) = delete;
};

}  // namespace nb::test
