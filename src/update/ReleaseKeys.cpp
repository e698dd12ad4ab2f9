#include "update/ReleaseKeys.h"

#include <mutex>

namespace nb {
namespace {

std::mutex g_mutex;
std::optional<std::string> g_override;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

ReleaseKeys ParseReleaseKeys(std::string_view text) {
    ReleaseKeys result;
    result.required = !Trim(text).empty();
    while (result.required) {
        const size_t comma = text.find(',');
        const std::string_view item = Trim(text.substr(0, comma));
        if (const auto key = platform::DecodePublicKey(item)) result.keys.push_back(*key);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return result;
}

ReleaseKeys BuiltInReleaseKeys() {
    std::lock_guard lock(g_mutex);
    return ParseReleaseKeys(g_override ? *g_override : std::string_view(ReleaseKeysText()));
}

void OverrideReleaseKeysForTests(std::optional<std::string> text) {
    std::lock_guard lock(g_mutex);
    g_override = std::move(text);
}

}  // namespace nb
