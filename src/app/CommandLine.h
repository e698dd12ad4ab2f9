#pragma once
#include <functional>
#include <string>

namespace nb {

// The pause between two attempts to copy the launcher for the relaunch (1000 ms each).
// Tests replace it so that ten failed attempts do not take ten seconds.
void SetRelaunchWait(std::function<void(unsigned milliseconds)> wait);

// The command line that starts the relaunched copy. The program path is quoted when it
// holds a blank, since the command line is split at blanks; the token is always quoted and
// escaped where it must be, so the copy receives it unchanged.
std::string RelaunchCommandLine(const std::string& installPath, const std::string& zoneListUrl,
                                const std::string& token);

}  // namespace nb
