#pragma once
#include <string>

namespace nb::endpoints {

// Fixed paths on the three hosts.
inline constexpr const char* kZoneListPath = "/norbel_xml/zonelist.xml";       // configuration host
inline constexpr const char* kLauncherNavPath = "/launchernav.html";           // web portal host
inline constexpr const char* kLauncherPagePath = "/launcher.html";             // web portal host
inline constexpr const char* kDownloadPath = "/download";                      // web portal host
inline constexpr const char* kControlPath = "/download/control.xml";           // web portal host
inline constexpr const char* kLoginPath = "/interface/login.php";              // account host
inline constexpr const char* kVerificationImagePath = "/interface/vcode.php";  // account host
inline constexpr const char* kCodeCheckPath = "/interface/check_code.php";     // account host

// The hosts ("name", "name:port", either one after "https://" or "http://") fixed at build time (NB_CONFIG_HOST, NB_PORTAL_HOST,
// NB_ACCOUNT_HOST). Tests point them at their own loopback server.
std::string ConfigHost();
std::string PortalHost();
std::string AccountHost();
void OverrideHostsForTests(const std::string& config, const std::string& portal, const std::string& account);

// host + path, with "http://" in front of a host given without its scheme.
std::string Url(const std::string& host, const char* path);

inline std::string LoginUrl() { return Url(AccountHost(), kLoginPath); }
inline std::string VerificationImageUrl() { return Url(AccountHost(), kVerificationImagePath); }
inline std::string CodeCheckUrl() { return Url(AccountHost(), kCodeCheckPath); }

}  // namespace nb::endpoints
