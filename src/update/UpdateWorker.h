#pragma once
#include <atomic>

namespace nb {

class LauncherContext;

// The patch cycle driver, run on its own thread by the update window: downloads the next
// patch archive (update state 3), applies it (state 2) and otherwise idles. Once it has
// asked the window to close (after a failure or after a successful apply) it begins no
// further step. It returns when stop is set; a running transfer ends promptly, a running
// apply step is finished first.
void UpdateWorker(LauncherContext& context, const std::atomic<bool>& stop);

}  // namespace nb
