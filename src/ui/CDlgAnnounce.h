#pragma once
#include "ui/WebPanel.h"

namespace nb {

class LayeredWindow;

// The announcement area: the portal's launcher page in a 422 x 353 panel at (312, 125) of
// its owner (the update window or the main window).
class CDlgAnnounce : public WebPanel {
public:
    static const WebPanelLayout kLayout;

    // `url` is the launcher page address (m_strLauncherPage).
    CDlgAnnounce(LayeredWindow* owner, const std::string& url);
};

}  // namespace nb
