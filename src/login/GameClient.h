#pragma once
#include <functional>

// The game start after a login (LauncherContext::StartGameClient) and the start-up client
// switch (LauncherContext::CheckClientSwitch) live in GameClient.cpp.

namespace nb {

// How the launcher process ends once the game client has been started (or could not be):
// the process ends at once with the given status, without running static destructors or
// closing windows in order. Tests install a function that records the status (and may
// throw to leave StartGameClient); null restores the real exit.
void SetProcessExitForTests(std::function<void(int)> exitFunction);

}  // namespace nb
