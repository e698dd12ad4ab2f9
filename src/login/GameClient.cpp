#include "login/GameClient.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "app/LauncherContext.h"
#include "app/NumberText.h"
#include "app/TraceLog.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/XmlDocument.h"
#include "update/Download.h"

namespace nb {
namespace {

constexpr const char* kGameClient = "Vd.exe";
constexpr const char* kPreviousClient = "LumoOld.exe";
constexpr const char* kControlFile = "./LoginRes.xml";
constexpr int kMessageClientNotStarted = 31;
constexpr int kExitStatusAfterGameStart = 1;

std::mutex g_exitMutex;
std::function<void(int)> g_exitFunction;

void EndProcess(int status) {
    std::function<void(int)> exitFunction;
    {
        std::lock_guard lock(g_exitMutex);
        exitFunction = g_exitFunction;
    }
    if (exitFunction) {
        exitFunction(status);
        return;
    }
    // The game has taken over: the windows still open go down with the process. Static
    // destructors must not run under a live window system, so the C library's exit is skipped.
    std::fflush(nullptr);
    std::_Exit(status);
}

// Whether the control document lets this launcher run: its root's first `type` child has a
// `value` attribute that reads as 0.
bool ControlDocumentSaysContinue() {
    if (!platform::FileExists(kControlFile)) return false;
    platform::XmlDocument doc;
    if (!doc.LoadFile(kControlFile)) return false;
    const char* value = doc.Root().FirstChildElement("type").Attribute("value");
    return value && AtoiSaturating(value) == 0;
}

}  // namespace

void SetProcessExitForTests(std::function<void(int)> exitFunction) {
    std::lock_guard lock(g_exitMutex);
    g_exitFunction = std::move(exitFunction);
}

void LauncherContext::StartGameClient(const std::string& userId, const std::string& joinedLogin) {
    std::string commandLine;
    commandLine += kGameClient;
    commandLine += ' ';
    commandLine += '"';
    commandLine += m_strInstallPath;
    commandLine += kGameClient;
    commandLine += '"';
    commandLine += " dev:";
    commandLine += m_strServerName;
    commandLine += ' ';
    commandLine += m_strServerAddress;
    commandLine += ' ';
    commandLine += userId;
    commandLine += ' ';
    commandLine += joinedLogin;

    TraceLog("strStartVd = %s", commandLine.c_str());
    if (!platform::StartProcess(commandLine)) ShowNumberedMessage(kMessageClientNotStarted);
    EndProcess(kExitStatusAfterGameStart);
}

bool LauncherContext::CheckClientSwitch() {
    if (DownloadUrlToFile(m_strControlURL, kControlFile, true) && ControlDocumentSaysContinue()) return false;
    // Quoted so that an installation folder with blanks still names one program.
    platform::StartProcess('"' + m_strInstallPath + kPreviousClient + '"');
    return true;
}

}  // namespace nb
