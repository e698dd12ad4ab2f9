#include "app/LauncherContext.h"
#include "app/TraceLog.h"
#include "platform/Files.h"
#include "platform/IniProfile.h"
#include "platform/MachineSettings.h"

namespace nb {
namespace {
constexpr const char* kRegistryKey = "Software\\Ploxa\\Nb";
constexpr const char* kRegistryValue = "InstalledPath";

// Slots from the strings file: those the first installations shipped, then the ones added
// later, which an older strings file lacks and which then read as built in here.
constexpr int kShippedMessages = 40;
struct BuiltInMessage {
    int slot;
    const char* text;  // code page 936
};
constexpr BuiltInMessage kBuiltInMessages[] = {
    // "更新文件未通过安全验证，已停止更新。请稍后重试或到官方网站下载完整客户端。"
    {40,
     "\xb8\xfc\xd0\xc2\xce\xc4\xbc\xfe\xce\xb4\xcd\xa8\xb9\xfd\xb0\xb2\xc8\xab\xd1\xe9\xd6\xa4\xa3\xac\xd2"
     "\xd1\xcd\xa3\xd6\xb9\xb8\xfc\xd0\xc2\xa1\xa3\xc7\xeb\xc9\xd4\xba\xf3\xd6\xd8\xca\xd4\xbb\xf2\xb5\xbd"
     "\xb9\xd9\xb7\xbd\xcd\xf8\xd5\xbe\xcf\xc2\xd4\xd8\xcd\xea\xd5\xfb\xbf\xcd\xbb\xa7\xb6\xcb\xa1\xa3"},
    // "磁盘空间不足，还需要 %u MB 可用空间才能更新。请清理磁盘后重新启动登录器。"
    // The missing amount in MB takes the place of %u.
    {41,
     "\xb4\xc5\xc5\xcc\xbf\xd5\xbc\xe4\xb2\xbb\xd7\xe3\xa3\xac\xbb\xb9\xd0\xe8\xd2\xaa\x20\x25\x75\x20\x4d"
     "\x42\x20\xbf\xc9\xd3\xc3\xbf\xd5\xbc\xe4\xb2\xc5\xc4\xdc\xb8\xfc\xd0\xc2\xa1\xa3\xc7\xeb\xc7\xe5\xc0"
     "\xed\xb4\xc5\xc5\xcc\xba\xf3\xd6\xd8\xd0\xc2\xc6\xf4\xb6\xaf\xb5\xc7\xc2\xbc\xc6\xf7\xa1\xa3"},
    // "正在检查文件："
    {42,
     "\xd5\xfd\xd4\xda\xbc\xec\xb2\xe9\xce\xc4\xbc\xfe\xa3\xba"},
    // "修复已下载："
    {43,
     "\xd0\xde\xb8\xb4\xd2\xd1\xcf\xc2\xd4\xd8\xa3\xba"},
    // "文件检查完毕，所有损坏或缺失的文件均已修复。"
    {44,
     "\xce\xc4\xbc\xfe\xbc\xec\xb2\xe9\xcd\xea\xb1\xcf\xa3\xac\xcb\xf9\xd3\xd0\xcb\xf0\xbb\xb5\xbb\xf2"
     "\xc8\xb1\xca\xa7\xb5\xc4\xce\xc4\xbc\xfe\xbe\xf9\xd2\xd1\xd0\xde\xb8\xb4\xa1\xa3"},
    // "文件修复失败，请检查网络和磁盘空间后重试，或到官方网站下载完整客户端。"
    {45,
     "\xce\xc4\xbc\xfe\xd0\xde\xb8\xb4\xca\xa7\xb0\xdc\xa3\xac\xc7\xeb\xbc\xec\xb2\xe9\xcd\xf8\xc2\xe7"
     "\xba\xcd\xb4\xc5\xc5\xcc\xbf\xd5\xbc\xe4\xba\xf3\xd6\xd8\xca\xd4\xa3\xac\xbb\xf2\xb5\xbd\xb9\xd9"
     "\xb7\xbd\xcd\xf8\xd5\xbe\xcf\xc2\xd4\xd8\xcd\xea\xd5\xfb\xbf\xcd\xbb\xa7\xb6\xcb\xa1\xa3"},
    // "剩余", before the time a download still needs
    {46, "\xca\xa3\xd3\xe0"},
};
}  // namespace

bool LauncherContext::LoadLocalFiles() {
    if (!platform::FileExists(kVersionFile) || !platform::FileExists(kStringsFile)) return false;

    std::string text;
    if (!platform::ReadWholeFile(kStringsFile, text)) text.clear();
    platform::IniDocument strings(std::move(text));
    std::string language = strings.Get("local_setting", "local_str", "", 256);
    TraceLog("strlocSet==%s\n", language.c_str());
    m_strDownloadLimitSetting = strings.Get("local_setting", "max_download_kbps", "", 64);
    for (int n = 0; n < kShippedMessages; ++n) {
        m_MessageTable[static_cast<size_t>(n)] = strings.Get(language, std::to_string(1001 + n), "", 256);
    }
    for (const BuiltInMessage& m : kBuiltInMessages) {
        m_MessageTable[static_cast<size_t>(m.slot)] =
            strings.Get(language, std::to_string(1001 + m.slot), m.text, 256);
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
