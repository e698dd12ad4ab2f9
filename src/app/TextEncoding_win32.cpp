#include <windows.h>

#include <string>
#include <string_view>

#include "app/TextEncoding.h"

// The system's code page tables decide what is valid, with two corrections so that a text
// converts to the same bytes here as on Linux: invalid input gives one '?' per unit that
// cannot be read (a byte of a double-byte code page, one broken UTF-8 sequence, one UTF-16
// unit), and the private-use characters that Windows' tables assign to the user-defined
// areas count as invalid, as they do for the Linux converter.

namespace nb {
namespace {

constexpr UINT kGbk = 936;
constexpr UINT kBig5 = 950;

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

bool IsPrivateUse(char32_t c) { return c >= 0xE000 && c <= 0xF8FF; }

// Whether both platforms' tables hold the character. Of the private-use characters only the
// Big5 rows C6A1-C8FE are common to both.
bool Representable(UINT codePage, char32_t c) {
    if (!IsPrivateUse(c)) return true;
    return codePage == kBig5 && c >= 0xF6B1 && c <= 0xF848;
}

// One character of a double-byte code page at the start of `in`: its length (1 or 2) and its
// UTF-16 unit, or 0 when the bytes there are no character the table knows.
size_t DecodeOne(UINT codePage, std::string_view in, char16_t& unit) {
    const auto lead = static_cast<unsigned char>(in[0]);
    if (lead < 0x80) {
        unit = lead;
        return 1;
    }
    wchar_t wide[2] = {};
    if (IsDBCSLeadByteEx(codePage, lead)) {
        if (in.size() < 2) return 0;
        if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), 2, wide, 2) != 1) return 0;
        if (!Representable(codePage, wide[0])) return 0;
        unit = wide[0];
        return 2;
    }
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), 1, wide, 2) != 1) return 0;
    unit = wide[0];
    return 1;
}

std::u16string CodePageToUtf16(UINT codePage, std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    while (!in.empty()) {
        char16_t unit = 0;
        size_t used = DecodeOne(codePage, in, unit);
        if (used == 0) {
            out.push_back(u'?');
            used = 1;
        } else {
            out.push_back(unit);
        }
        in.remove_prefix(used);
    }
    return out;
}

// The code page bytes of one character, or "?" when the table has none for it. Best-fit
// mappings ("a" for "ä") are refused: the text must not silently change.
void EncodeOne(UINT codePage, char32_t c, std::string& out) {
    wchar_t wide[2];
    int units = 1;
    if (c >= 0x10000) {
        wide[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        wide[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        units = 2;
    } else {
        wide[0] = static_cast<wchar_t>(c);
    }
    char bytes[8];
    BOOL usedDefault = FALSE;
    int n = Representable(codePage, c) ? WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, units, bytes,
                                                             sizeof bytes, "?", &usedDefault)
                                       : 0;
    if (n <= 0 || usedDefault) {
        out.push_back('?');
        return;
    }
    out.append(bytes, static_cast<size_t>(n));
}

// The next character of UTF-8 text, strictly read (no overlong forms, no surrogates, nothing
// past U+10FFFF). On a broken sequence returns 0 and `used` covers the lead byte and the
// continuation bytes after it (at most four bytes in all), which count as one bad unit.
size_t DecodeUtf8(std::string_view in, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(in[0]);
    auto continuation = [&](size_t i) {
        return i < in.size() && (static_cast<unsigned char>(in[i]) & 0xC0) == 0x80;
    };
    size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (b0 < 0x80) {
        c = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, value = b0 & 0x1F, minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, value = b0 & 0x0F, minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, value = b0 & 0x07, minimum = 0x10000;
    }
    bool valid = length > 0;
    for (size_t i = 1; valid && i < length; ++i) {
        if (!continuation(i)) {
            valid = false;
            break;
        }
        value = (value << 6) | (static_cast<unsigned char>(in[i]) & 0x3F);
    }
    if (valid && value >= minimum && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF)) {
        c = value;
        return length;
    }
    return 0;
}

size_t BrokenUtf8Length(std::string_view in) {
    size_t n = 1;
    while (n < in.size() && n < 4 && (static_cast<unsigned char>(in[n]) & 0xC0) == 0x80) ++n;
    return n;
}

std::string Utf8ToCodePage(UINT codePage, std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        char32_t c = 0;
        size_t used = DecodeUtf8(utf8, c);
        if (used == 0) {
            out.push_back('?');
            used = BrokenUtf8Length(utf8);
        } else if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            EncodeOne(codePage, c, out);
        }
        utf8.remove_prefix(used);
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    return Utf8ToCodePage(kGbk, utf8);
}

std::string GbkToUtf8(std::string_view gbk) {
    if (IsAscii(gbk)) return std::string(gbk);
    // Code page 936 holds only characters of the basic plane, so no surrogate pairs occur.
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    for (char16_t unit : CodePageToUtf16(kGbk, gbk)) AppendUtf8(out, unit);
    return out;
}

std::u16string GbkToUtf16(std::string_view gbk) { return CodePageToUtf16(kGbk, gbk); }

std::u16string Big5ToUtf16(std::string_view big5) { return CodePageToUtf16(kBig5, big5); }

std::string Utf16ToGbk(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            // A lone surrogate is one bad unit; what follows it is read on its own.
            out.push_back('?');
            continue;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            EncodeOne(kGbk, c, out);
        }
    }
    return out;
}

std::string Utf8ToBig5(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    return Utf8ToCodePage(kBig5, utf8);
}

}  // namespace nb
