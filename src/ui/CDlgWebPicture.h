#pragma once
#include "ui/WebPanel.h"

namespace nb {

class LayeredWindow;

// The narrow picture and navigation column: the portal's launcher navigation page in a
// 160 x 389 panel at (728, 85) of its owner (the update window or the main window).
class CDlgWebPicture : public WebPanel {
public:
    static const WebPanelLayout kLayout;

    // `url` is the launcher navigation page address (m_strLauncherNavPage).
    CDlgWebPicture(LayeredWindow* owner, const std::string& url);
};

}  // namespace nb
