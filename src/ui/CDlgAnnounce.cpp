#include "ui/CDlgAnnounce.h"

#include "skin/LayeredWindow.h"

namespace nb {

const WebPanelLayout CDlgAnnounce::kLayout{Size{422, 353}, Point{312, 125}, Rect(-3, -3, 447, 373)};

CDlgAnnounce::CDlgAnnounce(LayeredWindow* owner, const std::string& url) : WebPanel(owner, kLayout, url) {}

}  // namespace nb
