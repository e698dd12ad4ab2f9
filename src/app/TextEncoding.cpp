#include "app/TextEncoding.h"

namespace nb {

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

namespace encoding {
namespace {

bool InRange(unsigned char c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; }

size_t DoubleByteUnitLength(std::string_view text, unsigned highTrailFrom) {
    if (text.size() < 2) return text.empty() ? 0 : 1;
    const auto lead = static_cast<unsigned char>(text[0]);
    const auto trail = static_cast<unsigned char>(text[1]);
    const bool pair = InRange(lead, 0x81, 0xFE) && (InRange(trail, 0x40, 0x7E) || InRange(trail, highTrailFrom, 0xFE));
    return pair ? 2 : 1;
}

}  // namespace

size_t GbkUnitLength(std::string_view text) { return DoubleByteUnitLength(text, 0x80); }

size_t Big5UnitLength(std::string_view text) { return DoubleByteUnitLength(text, 0xA1); }

size_t Utf8UnitLength(std::string_view text) {
    if (text.empty()) return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    // The range of the second byte and the number of bytes after the lead (Unicode's table of
    // well-formed sequences); every later byte is 0x80-0xBF.
    unsigned lo = 0x80, hi = 0xBF;
    size_t tail;
    if (lead < 0x80) return 1;
    if (InRange(lead, 0xC2, 0xDF)) {
        tail = 1;
    } else if (InRange(lead, 0xE0, 0xEF)) {
        tail = 2;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (InRange(lead, 0xF0, 0xF4)) {
        tail = 3;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return 1;
    }
    size_t n = 1;
    while (n <= tail && n < text.size()) {
        const auto c = static_cast<unsigned char>(text[n]);
        if (n == 1 ? !InRange(c, lo, hi) : !InRange(c, 0x80, 0xBF)) break;
        ++n;
    }
    return n;
}

void ReplacePrivateUse(std::u16string& text) {
    for (char16_t& c : text)
        if (IsPrivateUse(c)) c = u'?';
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = u'?';
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace encoding
}  // namespace nb
