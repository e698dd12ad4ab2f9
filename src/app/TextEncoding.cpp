#include "app/TextEncoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace nb {
namespace {

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

    // Converts `in`; an unconvertible or invalid input unit becomes `replacement` and the
    // input advances by `unit` bytes (at least one character unit of the source).
    std::string Run(const char* in, size_t inSize, std::string_view replacement, size_t unit) {
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
            // EILSEQ or EINVAL: skip one source unit and put the replacement in its place.
            size_t skip = SkipLength(src, srcLeft, unit);
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
    // unit 0: UTF-8 source, skip one whole (possibly broken) sequence.
    static size_t SkipLength(const char* src, size_t left, size_t unit) {
        if (unit != 0) {
            // UTF-16: a surrogate pair counts as one character.
            if (unit == 2 && left >= 4) {
                unsigned short first;
                std::memcpy(&first, src, 2);
                if (first >= 0xD800 && first <= 0xDBFF) return 4;
            }
            return std::min(unit, left);
        }
        size_t n = 1;
        while (n < left && n < 4 && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80) ++n;
        return n;
    }

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
    return out;
}

// Code page 936 as the platform has it: GBK with the euro sign at 0x80. glibc calls it CP936.
constexpr const char* kGbk = "CP936";

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    thread_local Converter c(kGbk, "UTF-8");
    return c.Run(utf8.data(), utf8.size(), "?", 0);
}

std::string GbkToUtf8(std::string_view gbk) {
    if (IsAscii(gbk)) return std::string(gbk);
    thread_local Converter c("UTF-8", kGbk);
    return c.Run(gbk.data(), gbk.size(), "?", 1);
}

std::u16string GbkToUtf16(std::string_view gbk) {
    thread_local Converter c("UTF-16LE", kGbk);
    return ToU16(c.Run(gbk.data(), gbk.size(), std::string_view("?\0", 2), 1));
}

std::u16string Big5ToUtf16(std::string_view big5) {
    thread_local Converter c("UTF-16LE", "BIG5");
    return ToU16(c.Run(big5.data(), big5.size(), std::string_view("?\0", 2), 1));
}

std::string Utf16ToGbk(std::u16string_view text) {
    thread_local Converter c(kGbk, "UTF-16LE");
    return c.Run(reinterpret_cast<const char*>(text.data()), text.size() * 2, "?", 2);
}

std::string Utf8ToBig5(std::string_view utf8) {
    thread_local Converter c("BIG5", "UTF-8");
    return c.Run(utf8.data(), utf8.size(), "?", 0);
}

std::string GbkToLower(std::string_view gbk) {
    std::string out(gbk);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < out.size()) {
            ++i;  // lead byte: the trail byte may look like a letter
        } else if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

}  // namespace nb
