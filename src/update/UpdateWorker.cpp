#include "update/UpdateWorker.h"

#include "app/LauncherContext.h"
#include "app/LauncherUi.h"
#include "platform/Sleep.h"
#include "update/Download.h"
#include "update/RepairInstallation.h"

namespace nb {
namespace {
constexpr unsigned kIdleMilliseconds = 100;
}  // namespace

void UpdateWorker(LauncherContext& context, const std::atomic<bool>& stop) {
    SetDownloadStopFlag(&stop);
    // The update state is left as it was after a failure, so without this the loop would
    // start the failed step again while the window is closing.
    bool windowClosing = false;
    while (!stop.load(std::memory_order_relaxed)) {
        if (windowClosing) {
            platform::SleepMilliseconds(kIdleMilliseconds);
            continue;
        }
        switch (context.m_nUpdateState.load(std::memory_order_relaxed)) {
            case kStateApplyPatch:
                // A successful apply has closed the window itself.
                if (!context.ApplyPatch()) Ui().CloseMainWindow();
                windowClosing = true;
                break;
            case kStateDownloadPatch:
                if (!context.DownloadPatch()) {
                    // A transfer cut short by the stop flag: the window is closing already.
                    if (!stop.load(std::memory_order_relaxed)) Ui().CloseMainWindow();
                    windowClosing = true;
                }
                break;
            case kStateRepair:
                // Success restarts the launcher and closes the window itself.
                if (!RepairInstallation(context, stop) && !stop.load(std::memory_order_relaxed))
                    Ui().CloseMainWindow();
                windowClosing = true;
                break;
            default:
                platform::SleepMilliseconds(kIdleMilliseconds);
                break;
        }
    }
    SetDownloadStopFlag(nullptr);
}

}  // namespace nb
