#pragma once
#include <cstdint>
#include <string>

namespace nb {

// The archive that follows an installed build: "NBRK" + (build + 1) + ".nbupd".
std::string PatchFileName(int32_t installedBuild);

// The command line that starts the fresh launcher after a patch: the installed launcher,
// then the kept command token after one blank when there is one. The program path is
// quoted when it holds a blank, since the command line is split at blanks.
std::string RestartCommandLine(const std::string& installPath, const std::string& cmdArg);

}  // namespace nb
