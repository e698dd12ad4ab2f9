#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "app/TextEncoding.h"

namespace nb {
namespace {

using UnitLength = size_t (*)(const char* src, size_t left);

size_t Utf8Unit(const char* src, size_t left) { return encoding::Utf8UnitLength({src, left}); }
size_t GbkUnit(const char* src, size_t left) { return encoding::GbkUnitLength({src, left}); }
size_t Big5Unit(const char* src, size_t left) { return encoding::Big5UnitLength({src, left}); }

// A surrogate pair counts as one character, a lone surrogate as one unit.
size_t Utf16Unit(const char* src, size_t left) {
    if (left >= 4) {
        char16_t pair[2];
        std::memcpy(pair, src, 4);
        if (pair[0] >= 0xD800 && pair[0] <= 0xDBFF && pair[1] >= 0xDC00 && pair[1] <= 0xDFFF) return 4;
    }
    return left < 2 ? left : 2;
}

// One converter per direction and thread: opening a converter costs far more than
// converting a short name, and the zone list converts many of them.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; an unconvertible or invalid source unit becomes `replacement`.
    std::string Run(const char* in, size_t inSize, std::string_view replacement, UnitLength unit) {
        std::string out;
        if (m_cd == reinterpret_cast<iconv_t>(-1)) return out;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        out.resize(inSize * 2 + 16);
        char* src = const_cast<char*>(in);
        size_t srcLeft = inSize;
        size_t used = 0;
        while (srcLeft > 0) {
            char* dst = out.data() + used;
            size_t dstLeft = out.size() - used;
            size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (rc != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // EILSEQ or EINVAL: iconv stopped at the start of the unit it cannot take.
            size_t skip = unit(src, srcLeft);
            if (skip == 0) skip = srcLeft;
            src += skip;
            srcLeft -= skip;
            if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
            std::memcpy(out.data() + used, replacement.data(), replacement.size());
            used += replacement.size();
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        // Flush a shift state, if any.
        for (;;) {
            char* dst = out.data() + used;
            size_t dstLeft = out.size() - used;
            size_t rc = iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (rc != static_cast<size_t>(-1) || errno != E2BIG) break;
            out.resize(out.size() * 2);
        }
        out.resize(used);
        return out;
    }

private:
    iconv_t m_cd;
};

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

std::u16string ToU16(const std::string& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    encoding::ReplacePrivateUse(out);
    return out;
}

// A private-use character in UTF-8 (U+E000-U+F8FF: EE 80 80 to EF A3 BF) becomes '?' before
// conversion, since some code page tables would give it bytes.
std::string_view WithoutPrivateUse(std::string_view utf8, std::string& storage) {
    size_t i = 0;
    for (; i + 2 < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const auto d = static_cast<unsigned char>(utf8[i + 1]);
        if ((c == 0xEE && d >= 0x80 && d <= 0xBF) || (c == 0xEF && d >= 0x80 && d <= 0xA3)) break;
    }
    if (i + 2 >= utf8.size()) return utf8;
    storage.clear();
    for (size_t pos = 0; pos < utf8.size();) {
        const size_t n = encoding::Utf8UnitLength(utf8.substr(pos));
        const auto c = static_cast<unsigned char>(utf8[pos]);
        const auto d = n == 3 ? static_cast<unsigned char>(utf8[pos + 1]) : 0;
        if (n == 3 && (c == 0xEE || (c == 0xEF && d <= 0xA3))) {
            storage += '?';
        } else {
            storage.append(utf8.substr(pos, n));
        }
        pos += n;
    }
    return storage;
}

// Code page 936 as the platform has it: GBK with the euro sign at 0x80. glibc calls it CP936.
constexpr const char* kGbk = "CP936";

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    thread_local Converter c(kGbk, "UTF-8");
    std::string storage;
    const std::string_view text = WithoutPrivateUse(utf8, storage);
    return c.Run(text.data(), text.size(), "?", Utf8Unit);
}

std::string GbkToUtf8(std::string_view gbk) {
    if (IsAscii(gbk)) return std::string(gbk);
    return encoding::Utf16ToUtf8(GbkToUtf16(gbk));
}

std::u16string GbkToUtf16(std::string_view gbk) {
    thread_local Converter c("UTF-16LE", kGbk);
    return ToU16(c.Run(gbk.data(), gbk.size(), std::string_view("?\0", 2), GbkUnit));
}

std::u16string Big5ToUtf16(std::string_view big5) {
    thread_local Converter c("UTF-16LE", "BIG5");
    return ToU16(c.Run(big5.data(), big5.size(), std::string_view("?\0", 2), Big5Unit));
}

std::string Utf16ToGbk(std::u16string_view text) {
    thread_local Converter c(kGbk, "UTF-16LE");
    std::u16string filtered(text);
    encoding::ReplacePrivateUse(filtered);
    return c.Run(reinterpret_cast<const char*>(filtered.data()), filtered.size() * 2, "?", Utf16Unit);
}

std::string Utf8ToBig5(std::string_view utf8) {
    thread_local Converter c("BIG5", "UTF-8");
    std::string storage;
    const std::string_view text = WithoutPrivateUse(utf8, storage);
    return c.Run(text.data(), text.size(), "?", Utf8Unit);
}

}  // namespace nb
