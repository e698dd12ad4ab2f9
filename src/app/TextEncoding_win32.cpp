// The encoding seam on the system's code page tables. The tables decide which units are
// characters; how a text is cut into units, and what counts as unconvertible beyond the
// tables (private-use characters), are the shared rules of the header, so a text gives the
// same bytes here as on Linux.
#include <windows.h>

#include <string>
#include <string_view>

#include "app/TextEncoding.h"

namespace nb {
namespace {

constexpr UINT kGbk = 936;
constexpr UINT kBig5 = 950;

using UnitLength = size_t (*)(std::string_view);

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

bool HasPrivateUse(std::wstring_view text) {
    for (wchar_t c : text)
        if (encoding::IsPrivateUse(c)) return true;
    return false;
}

// The whole text in one call when every byte of it is valid, which is the common case.
bool WholeToWide(UINT codePage, std::string_view in, std::wstring& wide) {
    const int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                                        nullptr, 0);
    if (n <= 0) return false;
    wide.resize(static_cast<size_t>(n));
    return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), wide.data(),
                                 n) == n &&
           !HasPrivateUse(wide);
}

std::u16string CodePageToUtf16(UINT codePage, std::string_view in, UnitLength unitLength) {
    std::wstring wide;
    if (in.size() < 0x7FFFFFFF && WholeToWide(codePage, in, wide)) return std::u16string(wide.begin(), wide.end());
    std::u16string out;
    out.reserve(in.size());
    while (!in.empty()) {
        size_t n = unitLength(in);
        if (n == 0) n = 1;
        const auto first = static_cast<unsigned char>(in[0]);
        wchar_t unit[2] = {};
        if (n == 1 && first < 0x80) {
            out.push_back(first);
        } else if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(n), unit, 2) == 1 &&
                   !encoding::IsPrivateUse(unit[0])) {
            out.push_back(unit[0]);
        } else {
            out.push_back(u'?');
        }
        in.remove_prefix(n);
    }
    return out;
}

// One character (one or two UTF-16 units) in the code page, or "?" when its table has none.
// Best-fit mappings ("a" for "ä") are refused: a text must not silently change.
void EncodeOne(UINT codePage, const wchar_t* units, int count, std::string& out) {
    char bytes[8];
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, units, count, bytes, sizeof bytes, "?",
                                        &usedDefault);
    if (n <= 0 || usedDefault) {
        out.push_back('?');
    } else {
        out.append(bytes, static_cast<size_t>(n));
    }
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// UTF-16 units to the code page, character by character.
std::string WideToCodePage(UINT codePage, std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (IsHighSurrogate(c) && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            EncodeOne(codePage, text.data() + i, 2, out);
            ++i;
        } else if (IsSurrogate(c) || encoding::IsPrivateUse(c)) {
            // A lone surrogate is one bad unit; what follows it is read on its own.
            out.push_back('?');
        } else {
            EncodeOne(codePage, text.data() + i, 1, out);
        }
    }
    return out;
}

std::string Utf8ToCodePage(UINT codePage, std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    std::wstring wide;
    if (utf8.size() < 0x7FFFFFFF && WholeToWide(CP_UTF8, utf8, wide)) {
        // Valid UTF-8: one call when every character has bytes in the code page.
        BOOL usedDefault = FALSE;
        const int n = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                            nullptr, 0, "?", &usedDefault);
        if (n > 0 && !usedDefault) {
            std::string out(static_cast<size_t>(n), '\0');
            if (::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                      out.data(), n, "?", &usedDefault) == n &&
                !usedDefault)
                return out;
        }
        return WideToCodePage(codePage, wide);
    }
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        size_t n = encoding::Utf8UnitLength(utf8);
        if (n == 0) n = 1;
        const auto first = static_cast<unsigned char>(utf8[0]);
        wchar_t units[2] = {};
        int count = 0;
        if (n == 1 && first < 0x80) {
            out.push_back(static_cast<char>(first));
        } else if ((count = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(n),
                                                   units, 2)) > 0) {
            out += WideToCodePage(codePage, std::wstring_view(units, static_cast<size_t>(count)));
        } else {
            out.push_back('?');
        }
        utf8.remove_prefix(n);
    }
    return out;
}

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) { return Utf8ToCodePage(kGbk, utf8); }

std::string GbkToUtf8(std::string_view gbk) {
    if (IsAscii(gbk)) return std::string(gbk);
    return encoding::Utf16ToUtf8(GbkToUtf16(gbk));
}

std::u16string GbkToUtf16(std::string_view gbk) { return CodePageToUtf16(kGbk, gbk, encoding::GbkUnitLength); }

std::u16string Big5ToUtf16(std::string_view big5) { return CodePageToUtf16(kBig5, big5, encoding::Big5UnitLength); }

std::string Utf16ToGbk(std::u16string_view text) {
    return WideToCodePage(kGbk, std::wstring_view(reinterpret_cast<const wchar_t*>(text.data()), text.size()));
}

std::string Utf8ToBig5(std::string_view utf8) { return Utf8ToCodePage(kBig5, utf8); }

}  // namespace nb
