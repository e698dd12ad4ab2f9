#pragma once
// Drawing helpers shared by the skin pictures: one palette, one set of shapes, so that every
// picture of the launcher looks like part of the same set.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <functional>

namespace skingen {

// Night-sky navy and indigo with gold trims.
namespace palette {
inline const QColor kNavyDeep(7, 12, 34);
inline const QColor kNavy(12, 22, 58);
inline const QColor kIndigo(28, 38, 102);
inline const QColor kBlue(38, 92, 178);
inline const QColor kBlueLight(96, 170, 255);
inline const QColor kCyan(120, 214, 255);
inline const QColor kGold(236, 196, 104);
inline const QColor kGoldLight(255, 236, 176);
inline const QColor kGoldDark(150, 104, 30);
inline const QColor kBronze(86, 58, 16);
inline const QColor kText(244, 246, 252);
inline const QColor kTextMuted(160, 182, 220);
}  // namespace palette

// The three looks of a push button's strip.
enum class Look { Normal = 0, Hover = 1, Pressed = 2 };

QImage NewImage(int width, int height);
void BeginPainter(QPainter& painter, QImage& image);

// "WenQuanYi Micro Hei" for the Chinese words of the pictures; a serif for the logo.
QFont CjkFont(qreal pixelSize, bool bold = false);
QFont SerifFont(qreal pixelSize, bool bold = true);

// A strip of `frames` frames of `frameWidth` x `height`, `stripWidth` wide (some strips carry
// a spare column at the right that is never shown); `paintFrame` paints frame k in a painter
// whose origin is the frame's top-left.
QImage MakeStrip(int stripWidth, int frames, int frameWidth, int height,
                 const std::function<void(QPainter&, int frame)>& paintFrame);

// Gaussian-like blur (three box passes) of a premultiplied image, for glows and shadows.
QImage Blur(const QImage& image, int radius);
// Paints `shape` filled with `color`, blurred, under whatever is drawn next.
void DrawGlow(QPainter& painter, const QPainterPath& shape, const QColor& color, int radius);

// Metallic gold gradient over a rectangle (light band in the upper third).
QLinearGradient GoldGradient(const QRectF& rect);
// Vertical gradient between two colours.
QLinearGradient Vertical(const QRectF& rect, const QColor& top, const QColor& bottom);

// Text as a path: filled with `fill`, outlined with `outline` (width in pixels, 0 for none),
// centred on `center`.
void DrawOutlinedText(QPainter& painter, const QString& text, const QFont& font, const QPointF& center,
                      const QBrush& fill, const QColor& outline, qreal outlineWidth);
// The same path, for glows.
QPainterPath TextPath(const QString& text, const QFont& font, const QPointF& center);

// A round medallion button (the orbs and the small round signs): gold ring, glassy inner
// sphere tinted `inner`, glow for hover, sunk for pressed.
void DrawOrb(QPainter& painter, const QPointF& center, qreal radius, Look look, const QColor& inner,
             qreal ringWidth);

// A panel: rounded rectangle of dark navy glass with a gold trim and an inner light line.
void DrawPanel(QPainter& painter, const QRectF& rect, qreal radius, int alpha, bool goldTrim = true);

// Scattered fine stars, reproducible (seeded).
void DrawStars(QPainter& painter, const QRectF& area, int count, unsigned seed, int maxAlpha);

}  // namespace skingen
