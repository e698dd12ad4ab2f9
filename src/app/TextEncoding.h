#pragma once
#include <string>
#include <string_view>

namespace nb {

// The launcher's narrow strings are code page 936 (GBK) bytes, as on the systems it is made
// for; texts are converted only at the edges. The system's converter sits behind these
// functions, and every system gives the same result for input it cannot convert:
//
// - Each invalid or unconvertible unit of the source becomes one '?' (U+003F when the result
//   is UTF-16). A unit is:
//   - in GBK and Big5, a lead byte 0x81-0xFE with a valid trail byte (GBK 0x40-0x7E and
//     0x80-0xFE, Big5 0x40-0x7E and 0xA1-0xFE) - the pair gives one '?' when the code page
//     has no character for it; a lead byte without a valid trail byte, or at the end of the
//     text, gives one '?' and the byte after it is read on its own; a byte 0xFF gives '?';
//     in GBK 0x80 is the euro sign;
//   - in UTF-8, each maximal part of an ill-formed sequence (Unicode's "maximal subpart":
//     "\xE4\xB8" cut short is one unit, "\xC0\x80" two, a surrogate's encoding three);
//   - in UTF-16, a character (a surrogate pair counts as one; a lone surrogate is one unit).
// - Private-use characters (U+E000-U+F8FF) count as unconvertible both ways: some systems
//   decode the code pages' unassigned and user-defined pairs to them, others refuse those
//   pairs, so only '?' reads the same everywhere.
// - The bytes 0x00-0x7F stay themselves in every direction.

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

// For the implementations: the rules above that do not depend on the system's converter.
namespace encoding {

constexpr bool IsPrivateUse(char32_t c) { return c >= 0xE000 && c <= 0xF8FF; }

// How many bytes of double-byte text (GBK or Big5) at `text` form the next unit.
size_t GbkUnitLength(std::string_view text);
size_t Big5UnitLength(std::string_view text);

// How many bytes at `text` form the next unit of UTF-8: a whole well-formed sequence, or the
// maximal subpart of an ill-formed one (at least 1).
size_t Utf8UnitLength(std::string_view text);

// Private-use characters in a result become '?'.
void ReplacePrivateUse(std::u16string& text);

// UTF-16 to UTF-8 with the rules above (a lone surrogate gives '?').
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace encoding
}  // namespace nb
