// The server view on the main window's server page: buttons, ids and places, the toggle
// looks driven by synthetic clicks, the choice written to the context, and what the page
// composes for lamps, badges and the chosen server's label.
#include <gtest/gtest.h>

#include <memory>

#include "MainWindowTestSupport.h"
#include "skin/SkinButton.h"
#include "ui/LauncherDlg.h"
#include "ui/MainWindowLayout.h"
#include "ui/ServerView.h"

namespace {

using nb::LauncherDlg;
using nb::ServerView;
using nb::SkinButton;
using nb::test::Click;
using nb::test::Hover;
using nb::test::Leave;
using nb::test::Server;
namespace layout = nb::mainwin;

// "电信区" and "网通区"
const std::string kZone0 = "\xB5\xE7\xD0\xC5\xC7\xF8";
const std::string kZone1 = "\xCD\xF8\xCD\xA8\xC7\xF8";

class ServerViewTest : public ::testing::Test {
protected:
    ServerViewTest() {
        auto& ctx = launcher.context;
        ctx.m_vecZone[0] = {Server(1, "S1", 0, 2, kZone0), Server(2, "S2", 1, 1, kZone0),
                            Server(3, "S3", 2, 0, kZone0), Server(4, "S4", 3, 0, kZone0)};
        ctx.m_vecZone[1] = {Server(11, "N1", 0, 2, kZone1), Server(12, "N2", 0, 0, kZone1),
                            Server(13, "N3", 1, 1, kZone1)};
        ctx.m_vecRecommend = {ctx.m_vecZone[0][0], ctx.m_vecZone[1][0]};
    }

    void Open() {
        window = std::make_unique<LauncherDlg>(launcher.context);
        window->OnInitDialog();
        window->show();
    }
    ServerView& View() { return window->View(); }
    SkinButton* Grid(int i) { return View().ServerButtons().at(static_cast<size_t>(i)); }
    SkinButton* Recommended(int i) { return View().RecommendedButtons().at(static_cast<size_t>(i)); }
    QImage Composed() { return window->ComposedImage(); }
    int ButtonFrameShown(nb::Point at) {
        return nb::test::FrameShownAt(Composed(), serverStrip, layout::kServerButtonFrames, at);
    }

    nb::test::ScopedLauncher launcher;
    std::unique_ptr<LauncherDlg> window;
    const nb::SkinImage serverStrip = nb::LoadSkinImage(layout::kServerButtonStrip);
    const nb::SkinImage lamps = nb::LoadSkinImage(layout::kLampStrip);
    const nb::SkinImage badges = nb::LoadSkinImage(layout::kBadgeStrip);
};

TEST_F(ServerViewTest, StartsOnTheSecondBigZoneWithItsTabSelected) {
    Open();
    EXPECT_EQ(View().SelectedBigZone(), 1);
    EXPECT_EQ(View().SelectedButtonKind(), ServerView::kNothingChosen);
    ASSERT_EQ(View().ServerButtons().size(), 3u);
    ASSERT_EQ(View().RecommendedButtons().size(), 2u);
    SkinButton* tab1 = window->Button(layout::kIdZoneTab1);
    SkinButton* tab0 = window->Button(layout::kIdZoneTab0);
    EXPECT_EQ(tab1->CurrentFrame(), 2);
    EXPECT_EQ(tab0->CurrentFrame(), 0);
    const nb::SkinImage tab1Strip = nb::LoadSkinImage(176);
    const nb::SkinImage tab0Strip = nb::LoadSkinImage(175);
    EXPECT_EQ(nb::test::FrameShownAt(Composed(), tab1Strip, 3, {301, 119}), 2);
    EXPECT_EQ(nb::test::FrameShownAt(Composed(), tab0Strip, 3, {301, 247}), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(Grid(i)->isVisible());
        EXPECT_EQ(ButtonFrameShown(layout::GridButtonPos(i)), 0) << i;
    }
}

TEST_F(ServerViewTest, ButtonsCarryTheirIdsAndPlacesAndAZoneShowsAtMostFifteen) {
    for (int i = 0; i < 17; ++i) {
        launcher.context.m_vecZone[1].push_back(Server(100 + i, nb::test::NumberedText("X", i), i % 3, 0, kZone1));
    }
    launcher.context.m_vecRecommend.push_back(launcher.context.m_vecZone[0][1]);
    Open();
    ASSERT_EQ(View().ServerButtons().size(), 15u);
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(Grid(i)->ControlId(), 2020 + i);
        EXPECT_EQ(Grid(i)->geometry(), QRect(nb::ToQt(layout::GridButtonPos(i)), QSize(91, 27)));
        EXPECT_TRUE(Grid(i)->IsToggle());
    }
    EXPECT_EQ(Grid(9)->pos(), QPoint(412, 280));  // fourth row
    EXPECT_EQ(Grid(14)->pos(), QPoint(616, 327));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Recommended(i)->ControlId(), 2035 + i);
        EXPECT_EQ(Recommended(i)->pos(), QPoint(412 + 102 * i, 382));
    }
    // The sixteenth server has no button and no name on the page; the last grid one is chosen.
    Click(Grid(14));
    EXPECT_EQ(launcher.context.m_strServerName, "X11");
}

TEST_F(ServerViewTest, ChoosingAServerWritesTheContextAndShowsItsStateColourAndLabel) {
    Open();
    const QImage before = Composed();
    Click(Grid(2));  // N3, busy
    EXPECT_EQ(launcher.context.m_strServerName, "N3");
    EXPECT_EQ(launcher.context.m_strServerAddress, "10.0.0.13:7000");
    EXPECT_EQ(launcher.context.m_nServerId, 13);
    EXPECT_EQ(View().SelectedServerLabel(), kZone1 + "        N3");
    EXPECT_EQ(View().SelectedButtonKind(), ServerView::kGridButton);
    EXPECT_EQ(View().SelectedButtonIndex(), 2);
    EXPECT_EQ(Grid(2)->CurrentFrame(), 3);  // selected, yellow
    EXPECT_EQ(ButtonFrameShown(layout::GridButtonPos(2)), 3);
    EXPECT_GT(nb::test::DifferingPixels(before, Composed(), QRect(385, 520, 120, 16)), 20);
    EXPECT_EQ(launcher.ui.Shown(), std::vector<std::string>{});

    // The same server again: still selected, the fields written again.
    launcher.context.m_strServerName.clear();
    Click(Grid(2));
    EXPECT_EQ(Grid(2)->CurrentFrame(), 3);
    EXPECT_EQ(launcher.context.m_strServerName, "N3");
}

TEST_F(ServerViewTest, HoveringAServerButtonChangesNothing) {
    Open();
    Hover(Grid(0));
    EXPECT_EQ(Grid(0)->CurrentFrame(), 0);
    EXPECT_EQ(ButtonFrameShown(layout::GridButtonPos(0)), 0);
    Leave(Grid(0));
}

TEST_F(ServerViewTest, ANewChoiceUnselectsThePreviousOneAcrossBothRows) {
    Open();
    Click(Grid(0));
    Click(Grid(1));
    EXPECT_EQ(Grid(0)->CurrentFrame(), 0);
    EXPECT_EQ(Grid(1)->CurrentFrame(), 2);

    Click(Recommended(0));  // S1 of the other zone
    EXPECT_EQ(Grid(1)->CurrentFrame(), 0);
    EXPECT_EQ(Recommended(0)->CurrentFrame(), 2);
    EXPECT_EQ(View().SelectedButtonKind(), ServerView::kRecommendedButton);
    EXPECT_EQ(launcher.context.m_nServerId, 1);
    EXPECT_EQ(View().SelectedServerLabel(), kZone0 + "        S1");

    Click(Recommended(1));
    EXPECT_EQ(Recommended(0)->CurrentFrame(), 0);
    Click(Grid(2));
    EXPECT_EQ(Recommended(1)->CurrentFrame(), 0);
    EXPECT_EQ(ButtonFrameShown(layout::RecommendedButtonPos(1)), 0);
    EXPECT_EQ(ButtonFrameShown(layout::GridButtonPos(2)), 3);
}

TEST_F(ServerViewTest, AServerInMaintenanceIsRefusedWithMessage18) {
    Open();
    Click(window->Button(layout::kIdZoneTab0));
    Click(Grid(0));
    const QImage chosen = Composed();
    Click(Grid(3));  // S4, maintenance
    EXPECT_EQ(launcher.ui.Shown(), std::vector<std::string>{"m18"});
    EXPECT_EQ(launcher.context.m_strServerName, "S1");
    EXPECT_EQ(launcher.context.m_nServerId, 1);
    EXPECT_EQ(View().SelectedServerLabel(), kZone0 + "        S1");
    // The pressed button turns grey and the previous one lets go, as the player saw them.
    EXPECT_EQ(Grid(3)->CurrentFrame(), 5);
    EXPECT_EQ(Grid(0)->CurrentFrame(), 0);
    EXPECT_EQ(View().SelectedButtonIndex(), 3);
    EXPECT_EQ(nb::test::DifferingPixels(chosen, Composed(), QRect(385, 520, 200, 16)), 0);
}

TEST_F(ServerViewTest, AStateWithoutAColourKeepsTheUnselectedLookWhenChosen) {
    launcher.context.m_vecZone[1] = {Server(21, "U1", 7, 0, kZone1), Server(22, "U2", -1, 0, kZone1)};
    launcher.context.m_vecRecommend = {launcher.context.m_vecZone[1][0]};
    Open();
    for (SkinButton* b : {Grid(0), Grid(1), Recommended(0)}) {
        Click(b);
        EXPECT_EQ(b->CurrentFrame(), 0);
        EXPECT_EQ(ButtonFrameShown(nb::FromQt(b->pos())), 0);  // still drawn, not gone
    }
    // Only maintenance is refused: the last one chosen is the selected server.
    EXPECT_EQ(launcher.context.m_nServerId, 21);
    EXPECT_EQ(launcher.ui.Shown(), std::vector<std::string>{});
}

TEST_F(ServerViewTest, SwitchingZonesRebuildsBothRowsAndKeepsTheChoice) {
    Open();
    Click(Grid(1));  // N2
    SkinButton* tab0 = window->Button(layout::kIdZoneTab0);
    SkinButton* tab1 = window->Button(layout::kIdZoneTab1);
    Click(tab0);
    EXPECT_EQ(View().SelectedBigZone(), 0);
    EXPECT_EQ(View().ServerButtons().size(), 4u);
    EXPECT_EQ(View().RecommendedButtons().size(), 2u);
    EXPECT_EQ(tab0->CurrentFrame(), 2);
    EXPECT_EQ(tab1->CurrentFrame(), 0);
    for (SkinButton* b : View().ServerButtons()) EXPECT_EQ(b->CurrentFrame(), 0);
    EXPECT_EQ(launcher.context.m_strServerName, "N2");
    EXPECT_EQ(View().SelectedServerLabel(), kZone1 + "        N2");

    Click(tab1);
    EXPECT_EQ(View().SelectedBigZone(), 1);
    EXPECT_EQ(tab0->CurrentFrame(), 0);
    for (SkinButton* b : View().ServerButtons()) EXPECT_EQ(b->CurrentFrame(), 0);
    EXPECT_EQ(View().SelectedServerLabel(), kZone1 + "        N2");
    // A choice after the switch unselects nothing that is gone.
    Click(Grid(0));
    EXPECT_EQ(launcher.context.m_nServerId, 11);
}

TEST_F(ServerViewTest, LampsFollowTheStateAndBadgesTheTag) {
    Open();
    Click(window->Button(layout::kIdZoneTab0));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(nb::test::FrameShownAt(Composed(), lamps, 4, layout::GridLampPos(i)), i) << i;
    }
    // Tag 2: the right half; tag 1: the left half; tag 0: none.
    EXPECT_EQ(nb::test::FrameShownAt(Composed(), badges, 2, layout::GridButtonPos(0)), 1);
    EXPECT_EQ(nb::test::FrameShownAt(Composed(), badges, 2, layout::GridButtonPos(1)), 0);
    EXPECT_EQ(nb::test::FrameShownAt(Composed(), badges, 2, layout::GridButtonPos(2)), -1);
    EXPECT_EQ(nb::test::FrameShownAt(Composed(), badges, 2, layout::GridButtonPos(3)), -1);
    // The recommended row always carries the recommended badge and its own lamps.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(nb::test::FrameShownAt(Composed(), badges, 2, layout::RecommendedButtonPos(i)), 1);
        EXPECT_EQ(nb::test::FrameShownAt(Composed(), lamps, 4, layout::RecommendedLampPos(i)), 0);
    }
    // No third recommended server: nothing at its place.
    EXPECT_EQ(ButtonFrameShown(layout::RecommendedButtonPos(2)), -1);
}

TEST_F(ServerViewTest, AnEmptyZoneHasNoButtonsAndTheSwitchStillWorks) {
    launcher.context.m_vecZone[1].clear();
    launcher.context.m_vecRecommend.clear();
    Open();
    EXPECT_TRUE(View().ServerButtons().empty());
    EXPECT_TRUE(View().RecommendedButtons().empty());
    EXPECT_EQ(ButtonFrameShown(layout::GridButtonPos(0)), -1);
    Click(window->Button(layout::kIdZoneTab0));
    EXPECT_EQ(View().ServerButtons().size(), 4u);
    Click(window->Button(layout::kIdZoneTab1));
    EXPECT_TRUE(View().ServerButtons().empty());
}

}  // namespace
