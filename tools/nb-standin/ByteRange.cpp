#include "ByteRange.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace nbstandin {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Decimal digits only; saturates instead of wrapping, since a huge start is simply past the end.
bool ParseDigits(std::string_view text, uint64_t& value) {
    if (text.empty()) return false;
    value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
            value = std::numeric_limits<uint64_t>::max();
        } else {
            value = value * 10 + digit;
        }
    }
    return true;
}

}  // namespace

ByteRange ByteRange::Parse(std::string_view header, uint64_t size) {
    ByteRange whole;
    std::string_view spec = Trim(header);
    constexpr std::string_view kUnit = "bytes=";
    if (spec.size() < kUnit.size()) return whole;
    for (size_t i = 0; i < kUnit.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(spec[i])) != kUnit[i]) return whole;
    }
    spec = Trim(spec.substr(kUnit.size()));
    if (spec.find(',') != std::string_view::npos) return whole;
    size_t dash = spec.find('-');
    if (dash == std::string_view::npos) return whole;
    std::string_view firstText = Trim(spec.substr(0, dash));
    std::string_view lastText = Trim(spec.substr(dash + 1));

    ByteRange range;
    range.kind = Kind::kPart;
    uint64_t first = 0, last = 0;
    if (firstText.empty()) {
        // Suffix form: the last n bytes.
        if (!ParseDigits(lastText, last)) return whole;
        if (last == 0 || size == 0) return ByteRange{Kind::kUnsatisfiable, 0, 0};
        range.first = size - std::min(last, size);
        range.last = size - 1;
        return range;
    }
    if (!ParseDigits(firstText, first)) return whole;
    if (lastText.empty()) {
        last = std::numeric_limits<uint64_t>::max();
    } else if (!ParseDigits(lastText, last) || last < first) {
        return whole;
    }
    if (first >= size) return ByteRange{Kind::kUnsatisfiable, 0, 0};
    range.first = first;
    range.last = std::min(last, size - 1);
    return range;
}

}  // namespace nbstandin
