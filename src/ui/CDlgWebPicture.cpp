#include "ui/CDlgWebPicture.h"

namespace nb {

const WebPanelLayout CDlgWebPicture::kLayout{QSize(160, 389), QPoint(728, 85), QRect(-2, -2, 186, 414)};

CDlgWebPicture::CDlgWebPicture(QWidget* owner, const std::string& url) : WebPanel(owner, kLayout, url) {}

}  // namespace nb
