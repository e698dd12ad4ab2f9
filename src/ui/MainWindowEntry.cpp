#include "ui/MainWindowEntry.h"

#include "app/TraceLog.h"

namespace nb {

// Replaced by the main window; until then the launcher ends where the window would open.
void RunMainWindow(LauncherContext&) { TraceLog("main window not available\n"); }

}  // namespace nb
