#include "app/StartupOrder.h"

#include "app/CommandLineInfo.h"
#include "app/LauncherContext.h"
#include "app/TraceLog.h"

namespace nb {

const char kMissingFilesBig5[] =
    "\xAF\xCA\xA4\xD6\xA4\xE5\xA5\xF3\xA1\x41\xBD\xD0\xAD\xAB\xB7\x73\xA6\x77\xB8\xCB";

void RunStartupOrder(LauncherContext& ctx, const CommandLineInfo& cmd, StartupWindows& windows) {
    if (!ctx.LoadLocalFiles()) {
        windows.ShowMissingFilesMessage();
        return;
    }
    ctx.ChooseDownloadLimit(cmd);
    if (!ctx.InitPathsAndEndpoints()) {
        ctx.ShowNumberedMessage(26);
        return;
    }
    if (ctx.CheckClientSwitch()) return;  // the previous client runs instead
    ctx.RegisterInstallPath();
    switch (ctx.ProcessCommandLine(cmd)) {
        case 2:
            ctx.ShowNumberedMessage(27);
            return;
        case 1:
            return;  // the copy runs on
        default:
            break;
    }
    TraceLog("-----LCS_OK-----\n");
    if (!ctx.LoadZoneList()) {
        ctx.ShowNumberedMessage(31);
        return;
    }
    ctx.DecideUpdate();
    // A pending update comes first; the launcher it restarts has the build the manifest is for.
    if (cmd.m_bRepair) {
        if (ctx.m_nUpdateState.load(std::memory_order_relaxed) == kStateServerPage)
            ctx.m_nUpdateState.store(kStateRepair, std::memory_order_relaxed);
        else
            TraceLog("repair: an update comes first\n");
    }
    switch (ctx.m_nUpdateState.load(std::memory_order_relaxed)) {
        case kStateDownloadPatch:
        case kStateRepair:
            windows.RunUpdateWindow(ctx);
            break;
        case kStateServerPage:
            windows.RunMainWindow(ctx);
            // The server page's repair button closes it and asks for the update window.
            if (ctx.m_nUpdateState.load(std::memory_order_relaxed) == kStateRepair) windows.RunUpdateWindow(ctx);
            break;
        default:
            break;
    }
}

}  // namespace nb
