#pragma once
// Every picture of the launcher's skin, by resource id. Sizes and frame layouts are fixed by
// the windows that draw them; the look is this generator's.
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <vector>

namespace skingen {

enum class FileKind { Png, Jpeg, Bmp24, Ico };

struct Picture {
    int id;
    FileKind kind;
    QImage (*make)();
};

// In the order they are written and shown on the contact sheet.
const std::vector<Picture>& AllPictures();

// Backgrounds.cpp
QImage MakeServerPageBackground();  // 129, also the update window's
QImage MakeLoginPageBackground();   // 130

// Buttons.cpp
QImage MakeMinimiseButton();      // 132
QImage MakeStartOrb();            // 133 and 135
QImage MakeCloseButton();         // 134
QImage MakeChooseServerBanner();  // 136
QImage MakeServerButtons();       // 138
QImage MakeBlueBar();             // 151, 152
QImage MakeGoldTrimmedBar();      // 153
QImage MakeUpdateOrb();           // 185
QImage MakeHomePageBanner();      // 186
QImage MakeRepairButton();        // 187
QImage MakeZoneTab0();            // 175
QImage MakeZoneTab1();            // 176

// Panels.cpp
QImage MakeCodeDialogBackground();  // 149
QImage MakeMessageBoxBackground();  // 150
QImage MakeProgressFill();          // 156
QImage MakeStateLamps();            // 163
QImage MakeLoginPanel();            // 173
QImage MakeSelectionPanel();        // 174
QImage MakeZonePanel();             // 177
QImage MakeRecommendedLabel();      // 178
QImage MakeStateLegend();           // 179
QImage MakeBadges();                // 182
QImage MakeProgressFrame();         // 184
QImage MakeEditFieldBitmap();       // 162
QImage MakeIcon();                  // 128

// Mockups.cpp: the windows composed from the pictures, for looking at the skin as a whole.
bool WriteMockups(const QString& folder);

// Shared by the lamps and the legend.
void DrawLamp(QPainter& painter, const QRectF& rect, int state);

}  // namespace skingen
