#include "ui/ExternalPages.h"

#include "app/Endpoints.h"
#include "app/TextEncoding.h"
#include "skin/SkinSystem.h"

namespace nb {

std::string PortalHomeUrl() {
    return endpoints::Url(endpoints::PortalHost(), "/");
}

void OpenPortalHomePage() {
    OpenInDefaultBrowser(PortalHomeUrl());
}

void OpenInDefaultBrowser(const std::string& url) {
    if (url.empty()) return;
    OpenUrlInDefaultBrowser(GbkToUtf16(url));
}

}  // namespace nb
