#include "ui/CDlgAnnounce.h"

namespace nb {

const WebPanelLayout CDlgAnnounce::kLayout{QSize(422, 353), QPoint(312, 125), QRect(-3, -3, 447, 373)};

CDlgAnnounce::CDlgAnnounce(QWidget* owner, const std::string& url) : WebPanel(owner, kLayout, url) {}

}  // namespace nb
