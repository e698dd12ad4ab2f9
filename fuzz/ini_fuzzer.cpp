// The profile (INI) reader and writer. The input is a document; names and a value are cut
// from its first bytes, so that lookups hit what the document holds as often as not.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzWorkDir.h"
#include "platform/IniProfile.h"

namespace {

// A broken expectation is a finding: reported with the line, then the run stops.
#define Check(condition)   \
    ((condition) ? (void)0 \
                 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition), std::abort()))

// The next field of the control prefix: up to a '|' byte (or the end).
std::string_view TakeField(std::string_view& rest) {
    size_t bar = rest.find('|');
    std::string_view field = rest.substr(0, bar);
    rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    return field;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// A name that a written line reads back as: no line break, no '=' in a key, no ']' in a
// section, and nothing that makes a key line a comment or a section header.
bool WritableSection(std::string_view s) {
    return !HasLineBreak(s) && s.find(']') == std::string_view::npos;
}
bool WritableKey(std::string_view s) {
    std::string_view t = Trim(s);
    return !HasLineBreak(s) && s.find('=') == std::string_view::npos && !t.empty() && t.front() != ';' &&
           t.front() != '[';
}

// Every (section, key) pair the document names, as far as a plain scan sees them.
std::vector<std::pair<std::string, std::string>> NamedPairs(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::string section;
    size_t pos = 0;
    while (pos < text.size() && pairs.size() < 64) {
        size_t nl = text.find('\n', pos);
        std::string_view line =
            text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        std::string_view t = Trim(line);
        if (!t.empty() && t.front() == '[') {
            size_t close = t.find(']');
            if (close != std::string_view::npos) section.assign(Trim(t.substr(1, close - 1)));
            continue;
        }
        size_t eq = line.find('=');
        if (eq != std::string_view::npos) pairs.emplace_back(section, std::string(Trim(line.substr(0, eq))));
    }
    return pairs;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nbfuzz::FuzzWorkDir::Enter();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view rest = input;
    const std::string_view section = TakeField(rest);
    const std::string_view key = TakeField(rest);
    const std::string_view value = TakeField(rest);
    const std::string text(rest);

    nb::platform::IniDocument doc(text);
    std::string found;
    if (doc.Find(section, key, found)) Check(found.find('\n') == std::string::npos);
    for (size_t buffer : {size_t(0), size_t(1), size_t(5), size_t(256)}) {
        std::string got = doc.Get(section, key, "fallback-text", buffer);
        Check(got.size() < (buffer == 0 ? 1 : buffer));
    }

    // A keyed write changes that key and nothing else.
    if (WritableSection(section) && WritableKey(key) && !HasLineBreak(value)) {
        const auto pairs = NamedPairs(text);
        std::vector<std::pair<bool, std::string>> before;
        for (const auto& [s, k] : pairs) {
            std::string v;
            bool p = doc.Find(s, k, v);
            before.emplace_back(p, v);
        }
        nb::platform::IniDocument written(text);
        written.Set(section, key, value);
        std::string after;
        Check(written.Find(section, key, after));
        Check(after == Trim(value));
        for (size_t i = 0; i < pairs.size(); ++i) {
            const auto& [s, k] = pairs[i];
            if (EqualNoCase(Trim(s), Trim(section)) && EqualNoCase(Trim(k), Trim(key))) continue;
            std::string v;
            bool p = written.Find(s, k, v);
            Check(p == before[i].first && v == (p ? before[i].second : v));
        }

        // The same through a file, written atomically and read back.
        const std::string file = nbfuzz::FuzzWorkDir::Enter().Path() + "fuzz.ini";
        nbfuzz::WriteWholeFile(file, text.data(), text.size());
        Check(nb::platform::WriteProfileString(section, key, value, file));
        Check(nb::platform::GetProfileString(section, key, "", file, 1 << 20) == Trim(value));
    }
    return 0;
}
