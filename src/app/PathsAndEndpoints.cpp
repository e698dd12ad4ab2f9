#include "app/Endpoints.h"
#include "app/LauncherContext.h"
#include "app/NumberText.h"
#include "platform/ExecutablePath.h"
#include "platform/Files.h"
#include "platform/IniProfile.h"

namespace nb {

bool LauncherContext::InitPathsAndEndpoints() {
    std::string exe;
    if (!platform::GetExecutablePath(exe)) return false;
    auto separator = platform::LastPathSeparator(exe);
    if (separator == std::string::npos) return false;
    m_strInstallPath = exe.substr(0, separator + 1);

    const std::string config = endpoints::ConfigHost();
    const std::string portal = endpoints::PortalHost();
    m_strDefaultZoneListURL = endpoints::Url(config, endpoints::kZoneListPath);
    m_strLauncherNavPage = endpoints::Url(portal, endpoints::kLauncherNavPath);
    m_strLauncherPage = endpoints::Url(portal, endpoints::kLauncherPagePath);
    m_strDownloadPage = endpoints::Url(portal, endpoints::kDownloadPath);
    m_strControlURL = endpoints::Url(portal, endpoints::kControlPath);

    std::string text;
    platform::IniDocument version(platform::ReadWholeFile(kVersionFile, text) ? std::move(text) : std::string());
    m_nLocalBuild = AtoiSaturating(version.Get("VERSION", "build", "", 256));
    m_strLocalVersion = version.Get("VERSION", "ver", "", 256);
    return true;
}

}  // namespace nb
