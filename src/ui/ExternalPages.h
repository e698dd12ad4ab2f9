#pragma once
#include <string>

namespace nb {

// Outside pages open in the user's default browser, never inside the launcher.

// The web portal's home page: the portal host's root path.
std::string PortalHomeUrl();
void OpenPortalHomePage();
// Any address in code page 936 bytes (the download page); an empty address opens nothing.
void OpenInDefaultBrowser(const std::string& url);

}  // namespace nb
