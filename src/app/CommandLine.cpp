#include "app/CommandLine.h"

#include "app/LauncherContext.h"
#include "app/TraceLog.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Sleep.h"

namespace nb {
namespace {

std::function<void(unsigned)>& RelaunchWait() {
    static std::function<void(unsigned)> wait = platform::SleepMilliseconds;
    return wait;
}

// The copy does the work, so it gets the launcher's own options too.
std::string WithOptions(std::string line, const CommandLineInfo& cmd) {
    if (cmd.m_bRepair) line += std::string(" ") + CommandLineInfo::kRepairOption;
    return line;
}

}  // namespace

void SetRelaunchWait(std::function<void(unsigned)> wait) {
    RelaunchWait() = wait ? std::move(wait) : std::function<void(unsigned)>(platform::SleepMilliseconds);
}

std::string RelaunchCommandLine(const std::string& installPath, const std::string& zoneListUrl,
                                const std::string& token) {
    std::string program = installPath + kRelaunchCopy;
    if (program.find_first_of(" \t") != std::string::npos) program = "\"" + program + "\"";
    std::string line = program + " " + zoneListUrl;
    // The token arrives in quotes; one that holds quotes or ends in backslashes is escaped
    // by the splitting rules, so the copy receives exactly the token that was given.
    if (!token.empty()) {
        line += ',';
        line += platform::QuoteArgument(token, true);
    }
    return line;
}

int LauncherContext::ProcessCommandLine(const CommandLineInfo& cmd) {
    const std::string& arg = cmd.m_strFileName;
    TraceLog("cmd1==%s\n", arg.c_str());

    if (arg.empty()) {
        TraceLog("cmd.m_strFileName.GetLength() = 0 \n");
        if (!CopySelfForRelaunch()) return 2;
        platform::StartProcess(
            WithOptions(RelaunchCommandLine(m_strInstallPath, m_strDefaultZoneListURL, ""), cmd) +
            m_strPassOnOptions);
        return 1;
    }

    if (auto comma = arg.find(','); comma != std::string::npos) {
        m_strZoneListURL = arg.substr(0, comma);
        m_strCmdArg = arg.substr(comma + 1);
        // "cmd2==strToken不空==%s\n", the Chinese in code page 936 like every text of the log.
        TraceLog("cmd2==strToken\xB2\xBB\xBF\xD5==%s\n", m_strCmdArg.c_str());
        return 0;
    }

    TraceLog("-------str = %s \n", arg.c_str());
    if (arg.find("ht") != std::string::npos) {
        m_strZoneListURL = arg;
        return 0;
    }

    m_strCmdArg = arg;
    if (!CopySelfForRelaunch()) return 2;
    platform::StartProcess(
        WithOptions(RelaunchCommandLine(m_strInstallPath, m_strDefaultZoneListURL, m_strCmdArg), cmd) +
        m_strPassOnOptions);
    TraceLog("cmd==2222222222222222222\n");
    return 1;
}

bool LauncherContext::CopySelfForRelaunch() {
    TraceLog("strPath = %s", m_strInstallPath.c_str());
    const std::string from = m_strInstallPath + kInstalledExe;
    const std::string to = m_strInstallPath + kRelaunchCopy;
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (platform::CopyFileOverwrite(from, to)) return true;
        RelaunchWait()(1000);
    }
    return false;
}

}  // namespace nb
