#include "platform/MachineSettings.h"

#include <sys/stat.h>

#include <cstdlib>
#include <mutex>

#include "platform/Files.h"
#include "platform/IniProfile.h"

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

bool EnsureParentFolder(const std::string& file) {
    auto slash = file.rfind('/');
    if (slash == std::string::npos || slash == 0) return true;
    std::string dir = file.substr(0, slash);
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    if (!EnsureParentFolder(dir)) return false;
    return ::mkdir(dir.c_str(), 0755) == 0;
}

}  // namespace

std::string MachineSettings::Location() {
    std::lock_guard lock(g_mutex);
    if (!g_location.empty()) return g_location;
    if (const char* env = std::getenv("NB_MACHINE_SETTINGS"); env && *env) return env;
    return "/etc/nblauncher/machine.ini";
}

void MachineSettings::SetLocation(const std::string& path) {
    std::lock_guard lock(g_mutex);
    g_location = path;
}

bool MachineSettings::KeyExists(const std::string& key) {
    std::string text;
    return ReadWholeFile(Location(), text) && HasSection(text, key);
}

bool MachineSettings::CreateKey(const std::string& key) {
    std::string file = Location();
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
    std::string text;
    if (!ReadWholeFile(Location(), text)) return false;
    return IniDocument(std::move(text)).Find(key, name, value);
}

bool MachineSettings::WriteString(const std::string& key, const std::string& name, const std::string& value) {
    std::string file = Location();
    if (!EnsureParentFolder(file)) return false;
    return WriteProfileString(key, name, value, file);
}

}  // namespace nb::platform
