#include "platform/IniProfile.h"

#include "platform/Files.h"

namespace nb::platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// "[name]" gives name; anything else is not a section header.
bool SectionName(std::string_view line, std::string_view& name) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return false;
    auto close = line.find(']');
    if (close == std::string_view::npos) return false;
    name = Trim(line.substr(1, close - 1));
    return true;
}

bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') return false;
    auto eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
}

// The platform's reader hands out a value written in quotes without them: one matching pair
// of double or single quotes around the whole (trimmed) value is removed.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value.remove_prefix(1);
        value.remove_suffix(1);
    }
    return value;
}

}  // namespace

IniDocument::IniDocument(std::string text) : m_text(std::move(text)) {}

std::vector<IniDocument::Line> IniDocument::SplitLines() const {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < m_text.size()) {
        size_t nl = m_text.find('\n', pos);
        size_t next = nl == std::string::npos ? m_text.size() : nl + 1;
        size_t end = nl == std::string::npos ? m_text.size() : nl;
        if (end > pos && m_text[end - 1] == '\r') --end;
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

std::string IniDocument::LineEnding() const {
    return m_text.find("\r\n") != std::string::npos || m_text.find('\n') == std::string::npos ? "\r\n" : "\n";
}

bool IniDocument::Find(std::string_view section, std::string_view key, std::string& value) const {
    section = Trim(section);
    key = Trim(key);
    std::string_view text(m_text);
    bool inSection = false;
    bool seenSection = false;
    for (const Line& line : SplitLines()) {
        std::string_view content = text.substr(line.begin, line.end - line.begin);
        std::string_view name;
        if (SectionName(content, name)) {
            if (inSection) return false;  // only the first matching section counts
            inSection = !seenSection && EqualNoCase(name, section);
            seenSection = seenSection || inSection;
            continue;
        }
        if (!inSection) continue;
        std::string_view k, v;
        if (KeyValue(content, k, v) && EqualNoCase(k, key)) {
            value.assign(Unquote(v));
            return true;
        }
    }
    return false;
}

std::string IniDocument::Get(std::string_view section, std::string_view key, std::string_view fallback,
                             size_t bufferSize) const {
    std::string value;
    if (!Find(section, key, value)) value.assign(fallback);
    size_t limit = bufferSize == 0 ? 0 : bufferSize - 1;
    if (value.size() > limit) value.resize(limit);
    return value;
}

// A last line that ends in a lone CR reads without it; completing that CR to CR LF keeps
// the line's value as it read, where a further CR would become part of the value.
void IniDocument::EndLastLine(const std::string& eol) {
    if (!m_text.empty() && m_text.back() == '\r') {
        m_text += '\n';
    } else {
        m_text += eol;
    }
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    const std::string eol = LineEnding();
    std::string_view text(m_text);
    bool inSection = false;
    bool found = false;
    size_t insertAt = std::string::npos;  // after the last non-blank line of the section
    for (const Line& line : SplitLines()) {
        std::string_view content = text.substr(line.begin, line.end - line.begin);
        std::string_view name;
        if (SectionName(content, name)) {
            if (inSection) break;
            if (!found && EqualNoCase(name, section)) {
                inSection = found = true;
                insertAt = line.next;
            }
            continue;
        }
        if (!inSection) continue;
        std::string_view k, v;
        if (KeyValue(content, k, v) && EqualNoCase(k, key)) {
            std::string replacement(k);
            replacement += '=';
            replacement += value;
            m_text.replace(line.begin, line.end - line.begin, replacement);
            return;
        }
        if (!Trim(content).empty()) insertAt = line.next;
    }

    std::string entry(key);
    entry += '=';
    entry += value;
    entry += eol;
    if (found) {
        // The section's last line may lack a line end when it is the end of the file.
        if (insertAt == m_text.size() && !m_text.empty() && m_text.back() != '\n') {
            EndLastLine(eol);
            insertAt = m_text.size();
        }
        m_text.insert(insertAt, entry);
        return;
    }
    if (!m_text.empty() && m_text.back() != '\n') EndLastLine(eol);
    m_text += '[';
    m_text += section;
    m_text += ']';
    m_text += eol;
    m_text += entry;
}

std::string GetProfileString(std::string_view section, std::string_view key, std::string_view fallback,
                             const std::string& file, size_t bufferSize) {
    std::string text;
    if (!ReadWholeFile(file, text)) text.clear();
    return IniDocument(std::move(text)).Get(section, key, fallback, bufferSize);
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& file) {
    return WriteProfileStrings(section, {{std::string(key), std::string(value)}}, file);
}

bool WriteProfileStrings(std::string_view section,
                         const std::vector<std::pair<std::string, std::string>>& keyValues,
                         const std::string& file) {
    std::string text;
    if (!ReadWholeFile(file, text)) {
        if (FileExists(file)) return false;  // present but unreadable: never clobber it
        text.clear();
    }
    IniDocument doc(std::move(text));
    for (const auto& [key, value] : keyValues) doc.Set(section, key, value);
    return ReplaceFileAtomically(file, doc.Text());
}

}  // namespace nb::platform
