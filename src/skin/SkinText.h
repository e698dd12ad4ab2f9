#pragma once
#include <string>
#include <string_view>

namespace nb {

// Every text a window draws passes through a buffer of 256 UTF-16 units, so at most this
// many units are ever drawn; the rest of a longer text is not shown.
inline constexpr int kSkinTextMaxUnits = 255;

// The one face of every window text; each backend finds it (or its metric twin) its own way.
inline constexpr char16_t kSkinFontFace[] = u"Times New Roman";

// The launcher's code page 936 text as it is drawn: up to the first NUL byte, converted to
// UTF-16, cut to kSkinTextMaxUnits units.
std::u16string SkinTextFromGbk(std::string_view gbk);

// Cuts a text to kSkinTextMaxUnits units without splitting a surrogate pair.
std::u16string SkinTextCut(std::u16string text);

}  // namespace nb
