#include "ui/ExternalPages.h"

#include <QDesktopServices>
#include <QUrl>

#include "app/Endpoints.h"
#include "app/TextEncoding.h"

namespace nb {

std::string PortalHomeUrl() {
    return endpoints::Url(endpoints::PortalHost(), "/");
}

void OpenPortalHomePage() {
    OpenInDefaultBrowser(PortalHomeUrl());
}

void OpenInDefaultBrowser(const std::string& url) {
    if (url.empty()) return;
    const std::u16string wide = GbkToUtf16(url);
    OpenUrlInDefaultBrowser(QUrl(QString::fromStdU16String(wide)));
}

void OpenUrlInDefaultBrowser(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

}  // namespace nb
