#include "ui/ServerView.h"

#include <algorithm>

#include "app/LauncherContext.h"
#include "app/TraceLog.h"
#include "skin/SkinButton.h"
#include "skin/SkinCanvas.h"
#include "ui/MainWindowLayout.h"

namespace nb {

using namespace mainwin;

namespace {
constexpr int kMaintenanceState = 3;
constexpr int kNewServerTag = 1;
constexpr int kRecommendedServerTag = 2;
constexpr int kMaintenanceMessage = 18;

// The zone list has no limit per zone, but the grid's control ids stop at 2034: a zone
// with more servers shows its first fifteen.
int GridCount(size_t servers) {
    return static_cast<int>(std::min<size_t>(servers, kMaxGridServers));
}
int RecommendedCount(size_t servers) {
    return static_cast<int>(std::min<size_t>(servers, kMaxRecommended));
}
}  // namespace

ServerView::ServerView(LayeredWindow* window, SkinButtonOwner* owner, LauncherContext& context,
                       std::function<void()> redraw)
    : m_pWindow(window),
      m_pOwner(owner),
      m_context(context),
      m_redraw(std::move(redraw)),
      m_buttonStrip(LoadSkinImage(kServerButtonStrip)),
      m_lamps(LoadSkinImage(kLampStrip)),
      m_selectionPanel(LoadSkinImage(kSelectionPanel)),
      m_recommendedLabel(LoadSkinImage(kRecommendedLabel)),
      m_stateLegend(LoadSkinImage(kStateLegend)),
      m_badges(LoadSkinImage(kBadgeStrip)) {}

ServerView::~ServerView() {
    DeleteButtons(m_vecServerButtons);
    DeleteButtons(m_vecRecommendButtons);
}

void ServerView::SetZoneTabs(SkinButton* tab0, SkinButton* tab1) {
    m_pZoneTab0 = tab0;
    m_pZoneTab1 = tab1;
}

void ServerView::CreateServerView(int zone) {
    const size_t index = zone == 0 ? 0 : 1;
    BuildServerButtons(m_context.m_vecZone[index]);
    TraceLog("CreateServerView AddToBtnVector===%d\n", static_cast<int>(m_vecServerButtons.size()));
}

void ServerView::DeleteButtons(std::vector<SkinButton*>& buttons) {
    for (SkinButton* button : buttons) delete button;
    buttons.clear();
}

SkinButton* ServerView::MakeServerButton(Point pos, int controlId, int state) {
    auto* button = new SkinButton();
    // The strip is decoded once for the view; every rebuild shares its pixels.
    button->CreateFromImage(m_buttonStrip, kServerButtonFrames, pos.x, pos.y, controlId, m_pWindow, true);
    button->SetOwner(m_pOwner);
    // Hover shows nothing on a server button; the selected look is coloured by the state. A
    // state the strip has no colour for keeps the unselected look when chosen: a frame past
    // the strip would make the button vanish.
    constexpr int kUnselectedFrame = 0;
    const bool known = state >= 0 && state <= kMaintenanceState;
    button->SetToggleFrames(false, kUnselectedFrame, 1, known ? state + 2 : kUnselectedFrame);
    return button;
}

void ServerView::BuildServerButtons(std::vector<ServerInfo> servers) {
    DeleteButtons(m_vecServerButtons);
    const int grid = GridCount(servers.size());
    for (int i = 0; i < grid; ++i) {
        m_vecServerButtons.push_back(
            MakeServerButton(GridButtonPos(i), kIdFirstServer + i, servers[i].state));
    }
    DeleteButtons(m_vecRecommendButtons);
    const int recommended = RecommendedCount(m_context.m_vecRecommend.size());
    for (int i = 0; i < recommended; ++i) {
        m_vecRecommendButtons.push_back(MakeServerButton(RecommendedButtonPos(i), kIdFirstRecommended + i,
                                                         m_context.m_vecRecommend[i].state));
    }
}

void ServerView::SwitchZone(int zone) {
    m_nSelectedBigZone = zone;
    CreateServerView(zone);
    // The pressed tab has selected itself; the other one lets go.
    SkinButton* other = zone == 0 ? m_pZoneTab1 : m_pZoneTab0;
    if (other) other->SetSelected(false);
    if (m_redraw) m_redraw();
}

void ServerView::OnBtnZone0Click() {
    SwitchZone(0);
}
void ServerView::OnBtnZone1Click() {
    SwitchZone(1);
}

bool ServerView::Choose(const ServerInfo& server) {
    if (server.state == kMaintenanceState) {
        m_context.ShowNumberedMessage(kMaintenanceMessage);
        return false;
    }
    m_strSelectedServer = server.zone_name + kSelectionLabelGap + server.name;
    m_context.m_strServerName = server.name;
    m_context.m_strServerAddress = server.fetch_url;
    m_context.m_nServerId = server.id;
    return true;
}

void ServerView::OnBtnServerClick(int controlId) {
    const int i = controlId - kIdFirstServer;
    if (m_nSelectedButtonKind == kGridButton) {
        if (m_nSelectedButtonIndex != i &&
            m_nSelectedButtonIndex < static_cast<int>(m_vecServerButtons.size())) {
            m_vecServerButtons[m_nSelectedButtonIndex]->SetSelected(false);
        }
    } else if (m_nSelectedButtonKind == kRecommendedButton &&
               m_nSelectedButtonIndex < static_cast<int>(m_vecRecommendButtons.size())) {
        m_vecRecommendButtons[m_nSelectedButtonIndex]->SetSelected(false);
    }
    m_nSelectedButtonKind = kGridButton;
    m_nSelectedButtonIndex = i;

    const auto& zone = m_context.m_vecZone[m_nSelectedBigZone == 0 ? 0 : 1];
    if (i < 0 || i >= static_cast<int>(zone.size())) return;
    if (!Choose(zone[i])) return;
    if (m_redraw) m_redraw();
}

void ServerView::OnBtnServerRecommClick(int controlId) {
    const int i = controlId - kIdFirstRecommended;
    if (m_nSelectedButtonKind == kGridButton) {
        // After a zone switch the index may name a button of the other zone's grid, or none.
        if (m_nSelectedButtonIndex < static_cast<int>(m_vecServerButtons.size())) {
            m_vecServerButtons[m_nSelectedButtonIndex]->SetSelected(false);
        }
    } else if (m_nSelectedButtonKind == kRecommendedButton && m_nSelectedButtonIndex != i &&
               m_nSelectedButtonIndex < static_cast<int>(m_vecRecommendButtons.size())) {
        m_vecRecommendButtons[m_nSelectedButtonIndex]->SetSelected(false);
    }
    m_nSelectedButtonKind = kRecommendedButton;
    m_nSelectedButtonIndex = i;

    if (i < 0 || i >= static_cast<int>(m_context.m_vecRecommend.size())) return;
    if (!Choose(m_context.m_vecRecommend[i])) return;
    TraceLog("==========OnBtnServerRecommClick==========%d=\n", controlId);
    if (m_redraw) m_redraw();
}

bool ServerView::OnCommand(int controlId) {
    if (controlId == kIdZoneTab0) {
        OnBtnZone0Click();
    } else if (controlId == kIdZoneTab1) {
        OnBtnZone1Click();
    } else if (controlId >= kIdFirstServer && controlId < kIdFirstServer + kMaxGridServers) {
        OnBtnServerClick(controlId);
    } else if (controlId >= kIdFirstRecommended && controlId < kIdFirstRecommended + kMaxRecommended) {
        OnBtnServerRecommClick(controlId);
    } else {
        return false;
    }
    return true;
}

void ServerView::DrawServerMarks(SkinCanvas& canvas, const ServerInfo& server, Point text, Point lamp,
                                 Point badge, bool recommendedBadge) {
    canvas.DrawText(server.name, text.x, text.y, kServerTextSize, kServerTextColour);
    // The lamp is the state's quarter of the strip; a state without a lamp draws none.
    const int lampWidth = m_lamps.Width() / static_cast<int>(kLampFrames);
    if (server.state >= 0 && server.state < static_cast<int>(kLampFrames)) {
        canvas.DrawImagePart(m_lamps, Rect(lamp.x, lamp.y, lampWidth, m_lamps.Height()),
                             server.state * m_lamps.Width() / static_cast<int>(kLampFrames), 0, lampWidth,
                             m_lamps.Height());
    }
    const int badgeWidth = m_badges.Width() / 2;
    int badgeX = -1;
    if (recommendedBadge || server.server_tag == kRecommendedServerTag) {
        badgeX = badgeWidth;
    } else if (server.server_tag == kNewServerTag) {
        badgeX = 0;
    }
    if (badgeX >= 0) {
        canvas.DrawImagePart(m_badges, Rect(badge.x, badge.y, badgeWidth, m_badges.Height()), badgeX, 0,
                             badgeWidth, m_badges.Height());
    }
}

void ServerView::Draw(SkinCanvas& canvas) {
    for (SkinButton* button : m_vecServerButtons) {
        button->ShowInput();
        button->DrawTo(canvas);
    }
    for (SkinButton* button : m_vecRecommendButtons) {
        button->ShowInput();
        button->DrawTo(canvas);
    }
    canvas.DrawImage(m_selectionPanel, kSelectionPanelPos.x, kSelectionPanelPos.y);
    canvas.DrawImage(m_recommendedLabel, kRecommendedLabelPos.x, kRecommendedLabelPos.y);
    canvas.DrawImage(m_stateLegend, kStateLegendPos.x, kStateLegendPos.y);

    const auto& zone = m_context.m_vecZone[m_nSelectedBigZone == 0 ? 0 : 1];
    const int grid = GridCount(zone.size());
    for (int i = 0; i < grid; ++i) {
        DrawServerMarks(canvas, zone[i], GridTextPos(i), GridLampPos(i), GridButtonPos(i), false);
    }
    const int recommended = RecommendedCount(m_context.m_vecRecommend.size());
    for (int i = 0; i < recommended; ++i) {
        DrawServerMarks(canvas, m_context.m_vecRecommend[i], RecommendedTextPos(i), RecommendedLampPos(i),
                        RecommendedButtonPos(i), true);
    }
    if (!m_context.m_strServerName.empty()) {
        canvas.DrawText(m_strSelectedServer, kSelectionLabelPos.x, kSelectionLabelPos.y, kServerTextSize,
                        kServerTextColour);
    }
}

}  // namespace nb
