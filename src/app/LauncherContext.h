#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandLineInfo.h"
#include "zones/ServerInfo.h"

namespace nb::platform {
class XmlElement;
}

namespace nb {

struct PatchManifest;

// Local files, relative to the working folder (the installation folder).
inline constexpr const char* kVersionFile = "./nbnversion.vsn";
inline constexpr const char* kStringsFile = "./nblocalstr.ini";
inline constexpr const char* kInstalledExe = "NbLauncher.exe";
inline constexpr const char* kRelaunchCopy = "_NbLauncher.bin";

// Messages by number; slots 0 to 46 come from the strings file (40 onwards with a built-in text
// when the file lacks it), the rest stay empty.
using MessageTable = std::array<std::string, 256>;

// Update states shared by the main window and the patch cycle.
enum UpdateState : int32_t {
    kStateServerPage = 0,
    kStateLoginPage = 1,
    kStateApplyPatch = 2,
    kStateDownloadPatch = 3,
    kStateRepair = 4,  // the installation is checked and its damaged files fetched again
};

// The launcher's shared state. All strings are code page 936 bytes. The update worker and
// the update window share m_nUpdateState and the four progress values; they are atomics
// with relaxed order (one writer, one reader, a momentarily stale value is harmless).
class LauncherContext {
public:
    LauncherContext() = default;
    LauncherContext(const LauncherContext&) = delete;
    LauncherContext& operator=(const LauncherContext&) = delete;

    // ---- addresses and command line ----
    std::string m_strDefaultZoneListURL;
    std::string m_strCmdArg;
    std::string m_strInstallPath;  // ends with the path separator
    std::string m_strZoneListURL;

    // ---- versions ----
    int32_t m_nLocalBuild = 0;
    std::string m_strLocalVersion;
    int32_t m_nServerBuild = 0;
    std::string m_strServerVersion;

    // ---- chosen server and login input ----
    std::string m_strServerAddress;
    std::string m_strServerName;
    int32_t m_nServerId = 0;
    std::string m_strAccount;
    std::string m_strPassword;

    // ---- server lists ----
    std::vector<ServerInfo> m_vecRecommend;
    std::array<std::vector<ServerInfo>, 2> m_vecZone;

    // ---- update ----
    std::string m_strUpdateURL;
    std::string m_strPatchFile;
    // The signed manifest the archive on disk matched; null when patches are not verified.
    std::shared_ptr<const PatchManifest> m_pPatchManifest;

    // ---- endpoints ----
    std::string m_strDownloadPage;
    std::string m_strControlURL;
    std::string m_strLauncherNavPage;
    std::string m_strLauncherPage;

    // ---- patch control and progress ----
    std::string m_strFinalVersion;
    int32_t m_nBuildFrom = 0;
    int32_t m_nBuildTo = 0;
    std::atomic<float> m_fDownTotal{0.0f};
    std::atomic<float> m_fDownDone{0.0f};
    std::atomic<float> m_fUnzipTotal{0.0f};
    std::atomic<float> m_fUnzipDone{0.0f};

    // ---- messages and state ----
    MessageTable m_MessageTable;
    std::atomic<int32_t> m_nUpdateState{0};

    // ---- login state ----
    int32_t m_nUserId = 0;
    std::string m_strLoginDate;
    std::string m_strCoopId;
    std::string m_strLogin;
    std::string m_strKey;
    std::string m_strAuth;
    std::string m_strAddiction;
    int32_t m_nLoginError = 0;
    std::string m_strSessionId;
    bool m_bCodeRequired = false;
    bool m_bFirstCodeNotice = true;

    // ---- messages (app/LauncherContext.cpp) ----
    // The message dialog with slot n, modal. Numbers outside 0..255 show an empty text.
    void ShowNumberedMessage(int n);
    const std::string& MessageText(int n) const;

    // ---- local files and registry (app/LocalFiles.cpp) ----
    bool LoadLocalFiles();
    void RegisterInstallPath();

    // ---- paths and endpoints (app/PathsAndEndpoints.cpp) ----
    bool InitPathsAndEndpoints();

    // ---- download speed limit (update/Download.cpp) ----
    // max_download_kbps of [local_setting] in the strings file, as written there.
    std::string m_strDownloadLimitSetting;
    // Options of this launcher's command line that every launcher it starts gets too, each
    // after a blank; empty when none.
    std::string m_strPassOnOptions;
    // The limit from the command line, else from the strings file, applied to every file
    // download (kilobytes of 1024 bytes per second; 0 or none: no limit). A value that is no
    // such number is traced and ignored.
    void ChooseDownloadLimit(const CommandLineInfo& cmd);

    // ---- command line and relaunch (app/CommandLine.cpp) ----
    // 0 continue, 1 a copy was started (end quietly), 2 the copy failed (message 27).
    int ProcessCommandLine(const CommandLineInfo& cmd);
    bool CopySelfForRelaunch();

    // ---- zone list (zones/ZoneList.cpp) ----
    bool LoadZoneList();
    void ReadServers(platform::XmlElement server, std::string zoneName, std::vector<ServerInfo>& target);

    // ---- update decision and patch cycle (update/) ----
    bool DecideUpdate();
    bool DownloadPatch();
    bool ApplyPatch();

    // ---- login (login/) ----
    bool ParseLoginReply(bool storeFields);
    void ReportLoginError(int code);
    bool CheckVerificationCode(const std::string& code);
    void FetchVerificationImage();

    // ---- game client and client switch (login/GameClient.cpp) ----
    void StartGameClient(const std::string& userId, const std::string& joinedLogin);
    bool CheckClientSwitch();
};

// The one context of the process; null before start-up creates it and after exit.
LauncherContext* TheContext();
void SetTheContext(LauncherContext* context);

}  // namespace nb
