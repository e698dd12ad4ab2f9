#pragma once
// Shared by the Win32 backend's files only: the Windows headers, tamed.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <windowsx.h>
#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

// The toolkit has members named like these Windows macros.
#undef DrawText
#undef LoadImage

#include <string>

#include "skin/SkinTypes.h"

namespace nb::win32 {

inline const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline HWND H(void* handle) {
    return static_cast<HWND>(handle);
}
inline COLORREF Rgb(SkinColour argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}
inline Gdiplus::Color GdiColour(SkinColour argb) {
    return Gdiplus::Color(static_cast<BYTE>(argb >> 24), static_cast<BYTE>(argb >> 16), static_cast<BYTE>(argb >> 8),
                          static_cast<BYTE>(argb));
}
// The window face, or a serif face where it is missing.
Gdiplus::FontFamily* SkinFontFamily();

}  // namespace nb::win32
