#pragma once
#include <functional>
#include <string>
#include <vector>

#include "skin/SkinImage.h"
#include "skin/SkinTypes.h"
#include "zones/ServerInfo.h"

namespace nb {

class LauncherContext;
class LayeredWindow;
class SkinButton;
class SkinButtonOwner;
class SkinCanvas;

// The server choice on the main window's server page: two big-zone tabs, a grid of up to 15
// server buttons for the selected big zone, a row of up to 3 recommended servers, their
// names, state lamps and badges, and the label of the chosen server. Its buttons are children
// of the main window, which routes their commands here and composes the view as one section
// of its server-page repaint. Choosing a server writes its id, name and address into the
// context.
class ServerView {
public:
    // Kinds of the selected button.
    static constexpr int kNothingChosen = -1;
    static constexpr int kGridButton = 0;
    static constexpr int kRecommendedButton = 1;

    // `window` parents the server buttons and `owner` redraws when they change; `redraw` is
    // the window's repaint for its current page.
    ServerView(LayeredWindow* window, SkinButtonOwner* owner, LauncherContext& context,
               std::function<void()> redraw);
    ~ServerView();
    ServerView(const ServerView&) = delete;
    ServerView& operator=(const ServerView&) = delete;

    // The window's two big-zone tabs (ids 2011 and 2012); the zone switch unselects the other.
    void SetZoneTabs(SkinButton* tab0, SkinButton* tab1);

    // Rebuilds both button rows for big zone `zone` (0 or 1). Does not repaint.
    void CreateServerView(int zone);
    // Deletes and recreates the grid buttons (for `servers`, at most 15) and the recommended
    // buttons (for the context's recommended list). The choice made so far is kept.
    void BuildServerButtons(std::vector<ServerInfo> servers);

    void OnBtnZone0Click();
    void OnBtnZone1Click();
    void OnBtnServerClick(int controlId);
    void OnBtnServerRecommClick(int controlId);
    // Routes a command of the view's range; false for ids that are not the view's.
    bool OnCommand(int controlId);

    // The view's section of the server-page composition, after the window's own buttons:
    // server buttons (shown and drawn), pictures, names, lamps, badges, the chosen server.
    void Draw(SkinCanvas& canvas);

    int SelectedBigZone() const { return m_nSelectedBigZone; }
    int SelectedButtonKind() const { return m_nSelectedButtonKind; }
    int SelectedButtonIndex() const { return m_nSelectedButtonIndex; }
    const std::string& SelectedServerLabel() const { return m_strSelectedServer; }
    const std::vector<SkinButton*>& ServerButtons() const { return m_vecServerButtons; }
    const std::vector<SkinButton*>& RecommendedButtons() const { return m_vecRecommendButtons; }

private:
    SkinButton* MakeServerButton(Point pos, int controlId, int state);
    void DeleteButtons(std::vector<SkinButton*>& buttons);
    void SwitchZone(int zone);
    // Steps 5 to 7 of a choice: a server in maintenance is refused with message 18.
    bool Choose(const ServerInfo& server);
    void DrawServerMarks(SkinCanvas& canvas, const ServerInfo& server, Point text, Point lamp, Point badge,
                         bool recommendedBadge);

    LayeredWindow* m_pWindow;
    SkinButtonOwner* m_pOwner;
    LauncherContext& m_context;
    std::function<void()> m_redraw;

    SkinImage m_buttonStrip;
    SkinImage m_lamps;
    SkinImage m_selectionPanel;
    SkinImage m_recommendedLabel;
    SkinImage m_stateLegend;
    SkinImage m_badges;

    SkinButton* m_pZoneTab0 = nullptr;
    SkinButton* m_pZoneTab1 = nullptr;
    std::vector<SkinButton*> m_vecServerButtons;
    std::vector<SkinButton*> m_vecRecommendButtons;
    int m_nSelectedBigZone = 1;
    int m_nSelectedButtonKind = kNothingChosen;
    int m_nSelectedButtonIndex = 0;
    std::string m_strSelectedServer;
};

}  // namespace nb
