#include "app/LauncherContext.h"
#include "app/TraceLog.h"
#include "platform/Files.h"
#include "platform/IniProfile.h"
#include "platform/MachineSettings.h"

namespace nb {
namespace {
constexpr const char* kRegistryKey = "Software\\Ploxa\\Nb";
constexpr const char* kRegistryValue = "InstalledPath";
}  // namespace

bool LauncherContext::LoadLocalFiles() {
    if (!platform::FileExists(kVersionFile) || !platform::FileExists(kStringsFile)) return false;

    std::string text;
    if (!platform::ReadWholeFile(kStringsFile, text)) text.clear();
    platform::IniDocument strings(std::move(text));
    std::string language = strings.Get("local_setting", "local_str", "", 256);
    TraceLog("strlocSet==%s\n", language.c_str());
    for (int n = 0; n < 40; ++n) {
        m_MessageTable[static_cast<size_t>(n)] = strings.Get(language, std::to_string(1001 + n), "", 256);
    }
    return true;
}

void LauncherContext::RegisterInstallPath() {
    using platform::MachineSettings;
    if (MachineSettings::KeyExists(kRegistryKey)) {
        std::string stored;
        if (!MachineSettings::ReadString(kRegistryKey, kRegistryValue, stored)) return;
        if (stored != m_strInstallPath) MachineSettings::WriteString(kRegistryKey, kRegistryValue, m_strInstallPath);
        return;
    }
    if (MachineSettings::CreateKey(kRegistryKey)) {
        MachineSettings::WriteString(kRegistryKey, kRegistryValue, m_strInstallPath);
    }
    // The shell's file-association notification has no counterpart here.
}

}  // namespace nb
