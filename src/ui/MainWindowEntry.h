#pragma once

namespace nb {

class LauncherContext;

// Runs the main launcher window modally (start-up state 0) and returns when it has closed.
void RunMainWindow(LauncherContext& context);

}  // namespace nb
