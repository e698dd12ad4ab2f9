#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nb::platform {

// The profile (INI) functions of the original platform, with its rules: section and key
// names compared without regard to ASCII case and surrounding blanks, a value runs to the
// end of its line with surrounding blanks removed and then one pair of matching quotes
// ("..." or '...') around it removed, LF and CR LF line ends, lines starting
// with ';' are comments, the first matching section and the first matching key in it win,
// and a value is cut to the caller's buffer (size - 1 characters).
class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(std::string text);

    bool Find(std::string_view section, std::string_view key, std::string& value) const;
    std::string Get(std::string_view section, std::string_view key, std::string_view fallback,
                    size_t bufferSize = 256) const;

    // Changes only the line of the key (or adds it at the end of its section, or adds the
    // section at the end); every other byte of the text stays as it was.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    const std::string& Text() const { return m_text; }

private:
    struct Line {
        size_t begin;    // offset of the first character
        size_t end;      // offset after the last character, line end excluded
        size_t next;     // offset of the next line
    };
    std::vector<Line> SplitLines() const;
    std::string LineEnding() const;
    void EndLastLine(const std::string& eol);

    std::string m_text;
};

// GetPrivateProfileString: the default when the file, section or key is missing.
std::string GetProfileString(std::string_view section, std::string_view key, std::string_view fallback,
                             const std::string& file, size_t bufferSize = 256);

// WritePrivateProfileString for one key; the file is replaced atomically, so a crash leaves
// either the old or the new file. False when the file cannot be written.
bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& file);

// Several keys of one file in one atomic replacement, applied in the given order.
bool WriteProfileStrings(std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& keyValues,
                         const std::string& file);

}  // namespace nb::platform
