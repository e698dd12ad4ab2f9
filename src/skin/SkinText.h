#pragma once
#include <QFont>
#include <QString>
#include <string_view>

namespace nb {

// Every text a window draws passes through a buffer of 256 UTF-16 units, so at most this
// many units are ever drawn; the rest of a longer text is not shown.
inline constexpr int kSkinTextMaxUnits = 255;

// The launcher's code page 936 text as it is drawn: up to the first NUL byte, converted to
// UTF-16, cut to kSkinTextMaxUnits units.
QString SkinTextFromGbk(std::string_view gbk);

// Cuts a text to kSkinTextMaxUnits units without splitting a surrogate pair.
QString SkinTextCut(const QString& text);

// The one font of every window text: "Times New Roman" (a metric twin through fontconfig,
// CJK through the font fallback), regular, the size in pixels, anti-aliased.
QFont SkinFont(int pixelSize);

}  // namespace nb
