#include "ui/CDlgWebPicture.h"

#include "skin/LayeredWindow.h"

namespace nb {

const WebPanelLayout CDlgWebPicture::kLayout{Size{160, 389}, Point{728, 85}, Rect(-2, -2, 186, 414)};

CDlgWebPicture::CDlgWebPicture(LayeredWindow* owner, const std::string& url) : WebPanel(owner, kLayout, url) {}

}  // namespace nb
