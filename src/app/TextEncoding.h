#pragma once
#include <string>
#include <string_view>

namespace nb {

// The launcher's narrow strings are code page 936 (GBK) bytes, as on the systems it is made
// for; texts are converted only at the edges. Every conversion here replaces what the
// target cannot hold (or what is not valid in the source) by '?' (narrow) or U+003F.

std::string Utf8ToGbk(std::string_view utf8);      // zone-list names
std::string GbkToUtf8(std::string_view gbk);       // logs, tools, tests
std::u16string GbkToUtf16(std::string_view gbk);   // text to draw
std::u16string Big5ToUtf16(std::string_view big5); // the few fixed Big5 texts
std::string Utf16ToGbk(std::u16string_view text);  // text typed into the widgets
std::string Utf8ToBig5(std::string_view utf8);

// Length in bytes of the GBK form of a text, as the platform counts it (a double-byte
// character counts twice).
inline size_t GbkLength(std::string_view gbk) { return gbk.size(); }

// ASCII lower case of GBK bytes: trail bytes of double-byte characters are left alone.
std::string GbkToLower(std::string_view gbk);

}  // namespace nb
