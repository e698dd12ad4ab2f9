#include "platform/MachineSettings.h"

#include <cstdlib>
#include <mutex>

#include "platform/ExecutablePath.h"
#include "platform/Files.h"
#include "platform/IniProfile.h"
#include "platform/SystemPaths.h"

namespace nb::platform {
namespace {

std::mutex g_mutex;
std::string g_location;

// A key exists when its "[key]" section header is in the store.
bool HasSection(const std::string& text, const std::string& key) {
    std::string header = "[" + key + "]";
    size_t pos = 0;
    while ((pos = text.find(header, pos)) != std::string::npos) {
        if (pos == 0 || text[pos - 1] == '\n') return true;
        pos += header.size();
    }
    return false;
}

bool EnsureFolder(const std::string& dir) {
    if (dir.empty()) return true;
    auto separator = LastPathSeparator(dir);
    if (separator != std::string::npos && separator > 0 && !EnsureFolder(dir.substr(0, separator))) return false;
    return IsFolder(dir) || MakeFolder(dir);
}

bool EnsureParentFolder(const std::string& file) {
    auto separator = LastPathSeparator(file);
    if (separator == std::string::npos || separator == 0) return true;
    return EnsureFolder(file.substr(0, separator));
}

}  // namespace

std::string MachineSettings::Location() {
    std::lock_guard lock(g_mutex);
    if (!g_location.empty()) return g_location;
    if (const char* env = std::getenv("NB_MACHINE_SETTINGS"); env && *env) return env;
    return detail::DefaultMachineSettingsFile();
}

void MachineSettings::SetLocation(const std::string& path) {
    std::lock_guard lock(g_mutex);
    g_location = path;
}

bool MachineSettings::KeyExists(const std::string& key) {
    std::string file = Location();
    if (file.empty()) return detail::SystemSettings()->KeyExists(key);
    std::string text;
    return ReadWholeFile(file, text) && HasSection(text, key);
}

bool MachineSettings::CreateKey(const std::string& key) {
    std::string file = Location();
    if (file.empty()) return detail::SystemSettings()->CreateKey(key);
    std::string text;
    if (ReadWholeFile(file, text)) {
        if (HasSection(text, key)) return true;
    } else if (FileExists(file)) {
        return false;
    }
    if (!EnsureParentFolder(file)) return false;
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += "[" + key + "]\n";
    return ReplaceFileAtomically(file, text);
}

bool MachineSettings::ReadString(const std::string& key, const std::string& name, std::string& value) {
    std::string file = Location();
    if (file.empty()) return detail::SystemSettings()->ReadString(key, name, value);
    std::string text;
    if (!ReadWholeFile(file, text)) return false;
    return IniDocument(std::move(text)).Find(key, name, value);
}

bool MachineSettings::WriteString(const std::string& key, const std::string& name, const std::string& value) {
    std::string file = Location();
    if (file.empty()) return detail::SystemSettings()->WriteString(key, name, value);
    if (!EnsureParentFolder(file)) return false;
    return WriteProfileString(key, name, value, file);
}

}  // namespace nb::platform
