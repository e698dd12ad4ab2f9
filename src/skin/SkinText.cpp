#include "skin/SkinText.h"

#include "app/TextEncoding.h"

namespace nb {

std::u16string SkinTextFromGbk(std::string_view gbk) {
    // The conversion stops at the terminating zero, as for a C string.
    const size_t nul = gbk.find('\0');
    if (nul != std::string_view::npos) gbk = gbk.substr(0, nul);
    return SkinTextCut(GbkToUtf16(gbk));
}

std::u16string SkinTextCut(std::u16string text) {
    if (text.size() <= static_cast<size_t>(kSkinTextMaxUnits)) return text;
    size_t length = kSkinTextMaxUnits;
    const char16_t last = text[length - 1];
    if (last >= 0xD800 && last <= 0xDBFF) --length;
    text.resize(length);
    return text;
}

}  // namespace nb
