#pragma once
#include "skin/SkinTypes.h"

// Where everything of the main window sits: picture ids, control ids, positions and frame
// counts, in pixels of the window's surface. The window and its server view read them from
// here only, so a skin change is a change of this one table.
namespace nb::mainwin {

using nb::Point;
using nb::Size;

// ---- control ids ----
inline constexpr int kIdMinimise = 2001;
inline constexpr int kIdStart = 2002;
inline constexpr int kIdClose = 2003;
inline constexpr int kIdLogin = 2004;
inline constexpr int kIdBack = 2005;
inline constexpr int kIdRepair = 2006;
inline constexpr int kIdZoneTab0 = 2011;
inline constexpr int kIdZoneTab1 = 2012;
inline constexpr int kIdHomePage = 2013;
inline constexpr int kIdFirstServer = 2020;
inline constexpr int kMaxGridServers = 15;  // ids 2020 to 2034
inline constexpr int kIdFirstRecommended = 2035;
inline constexpr int kMaxRecommended = 3;  // ids 2035 to 2037

// ---- pictures ----
inline constexpr int kIconId = 128;
inline constexpr int kServerPageBackground = 129;
inline constexpr int kLoginPageBackground = 130;
inline constexpr int kLoginPagePanel = 173;
inline constexpr int kZonePanel = 177;
inline constexpr int kLampStrip = 163;       // 4 frames: states 0 to 3
inline constexpr int kSelectionPanel = 174;  // "current selection"
inline constexpr int kRecommendedLabel = 178;
inline constexpr int kStateLegend = 179;
inline constexpr int kBadgeStrip = 182;  // left half: new, right half: recommended
inline constexpr int kServerButtonStrip = 138;
inline constexpr unsigned kServerButtonFrames = 6;  // 0 unselected, 1 hover, 2 + state selected
inline constexpr unsigned kLampFrames = 4;

// ---- the window's own buttons, in creation order ----
struct ButtonSpec {
    int controlId;
    int picture;
    int x;
    int y;
    bool shownAtCreation;
    bool toggle;
};
inline constexpr unsigned kButtonFrames = 3;  // normal, mouse over, pressed
inline constexpr ButtonSpec kWindowButtons[] = {
    {kIdMinimise, 132, 790, 34, true, false},
    {kIdClose, 134, 820, 28, true, false},
    {kIdStart, 133, 800, 512, true, false},
    {kIdLogin, 135, 800, 512, false, false},  // the start button's place; the page picks one
    {kIdBack, 136, 167, 510, false, false},
    {kIdZoneTab1, 176, 301, 119, false, true},
    {kIdZoneTab0, 175, 301, 247, false, true},
    {kIdHomePage, 186, 388, 0, true, false},
    // Small, beside the version line: checks the installation and fetches damaged files.
    {kIdRepair, 187, 668, 638, true, false},
};

// What each page composes, in drawing order.
inline constexpr int kServerPageButtons[] = {kIdMinimise, kIdStart,    kIdClose,   kIdZoneTab0,
                                             kIdZoneTab1, kIdHomePage, kIdRepair};
inline constexpr int kLoginPageButtons[] = {kIdMinimise, kIdClose, kIdBack, kIdLogin, kIdHomePage};

inline constexpr Point kZonePanelPos{301, 119};
inline constexpr Point kLoginPagePanelPos{370, 475};

// ---- window ----
inline constexpr Size kInitialSize{950, 680};  // the first repaint takes the background's size

// ---- version line ----
inline constexpr int kVersionMessage = 16;
inline constexpr Point kVersionPos{785, 645};
inline constexpr int kVersionTextSize = 14;
inline constexpr unsigned kVersionColour = 0xFD507EA1u;

// ---- the login input panel: offset from the window's client origin and size (the two
// web panels carry their own places, shared with the update window) ----
inline constexpr Point kLoginInputPanelOffset{412, 485};
inline constexpr Size kLoginInputPanelSize{240, 100};

// ---- server view ----
inline constexpr int kGridColumns = 3;
inline constexpr int kServerTextSize = 14;
inline constexpr unsigned kServerTextColour = 0xFDFDFDFDu;

// Column i steps: buttons by 102, texts by 104, lamps by 105 pixels; rows by 47.
inline constexpr Point GridButtonPos(int i) {
    return {412 + 102 * (i % kGridColumns), 139 + 47 * (i / kGridColumns)};
}
inline constexpr Point GridTextPos(int i) {
    return {424 + 104 * (i % kGridColumns), 146 + 47 * (i / kGridColumns)};
}
inline constexpr Point GridLampPos(int i) {
    return {480 + 105 * (i % kGridColumns), 149 + 47 * (i / kGridColumns)};
}
inline constexpr Point RecommendedButtonPos(int i) {
    return {412 + 102 * i, 382};
}
inline constexpr Point RecommendedTextPos(int i) {
    return {424 + 104 * i, 389};
}
inline constexpr Point RecommendedLampPos(int i) {
    return {480 + 105 * i, 392};
}

inline constexpr Point kRecommendedLabelPos{320, 382};
inline constexpr Point kStateLegendPos{302, 432};
inline constexpr Point kSelectionPanelPos{370, 475};
inline constexpr Point kSelectionLabelPos{385, 520};

// Zone name, eight blanks, server name.
inline constexpr const char* kSelectionLabelGap = "        ";

}  // namespace nb::mainwin
