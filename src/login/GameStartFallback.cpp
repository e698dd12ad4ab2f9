#include "app/LauncherContext.h"
#include "app/TraceLog.h"

namespace nb {

// Lets the login unit link in a build that lacks the game start unit. The real definition
// (login/GameClient.cpp) is a strong symbol and replaces this one wherever it is linked;
// this file can go once that unit is part of every build.
__attribute__((weak)) void LauncherContext::StartGameClient(const std::string& userId, const std::string&) {
    TraceLog("game client start not built in (user id %s)\n", userId.c_str());
}

}  // namespace nb
