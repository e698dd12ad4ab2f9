#pragma once
// The Qt backend's conversions between the toolkit's plain values and Qt's. Only the Qt
// backend and the Qt-side tests include this.
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>

#include "skin/SkinImage.h"
#include "skin/SkinTypes.h"

namespace nb {

inline QPoint ToQt(Point p) { return {p.x, p.y}; }
inline QSize ToQt(Size s) { return {s.width, s.height}; }
inline QRect ToQt(const Rect& r) { return {r.x, r.y, r.width, r.height}; }
inline Point FromQt(const QPoint& p) { return {p.x(), p.y()}; }
inline Size FromQt(const QSize& s) { return {s.width(), s.height()}; }
inline Rect FromQt(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }
// Comparisons for checks that hold the toolkit's values against Qt's.
inline bool operator==(Point a, const QPoint& b) { return a.x == b.x() && a.y == b.y(); }
inline bool operator==(const Rect& a, const QRect& b) { return ToQt(a) == b; }
inline bool operator==(Size a, const QSize& b) { return ToQt(a) == b; }
inline QString ToQt(const std::u16string& text) { return QString::fromStdU16String(text); }

// A QImage sharing the picture's pixels (no copy): valid while `image` lives unchanged.
QImage QtImageView(const SkinImage& image);
// A QImage with a copy of the pixels (premultiplied ARGB32); null for an empty picture.
QImage QtImage(const SkinImage& image);
// A picture from a QImage in any format; an empty picture for a null image.
SkinImage SkinImageFromQt(const QImage& image, std::string format = {});

// The one font of every window text: "Times New Roman" (a metric twin through fontconfig,
// CJK through the font fallback), regular, the size in pixels, anti-aliased.
QFont SkinFont(int pixelSize);

// The program icon: ":/res/<id>.ico", else ":/res/<id>.png"; a null icon when neither exists.
QIcon LoadSkinIcon(int id);

// The resource file that holds picture `id`: ":/res/<id>.png", else ":/res/<id>.jpg" for
// SkinResourceType::Png; ":/res/<id>.bmp" for SkinResourceType::Bitmap. Empty when there is none.
QString FindSkinResource(int id, SkinResourceType type = SkinResourceType::Png);

// The toolkit key of a Qt key code.
SkinKey SkinKeyFromQt(int key);

}  // namespace nb
