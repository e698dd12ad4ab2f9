#pragma once
#include <string>
#include <vector>

#include "RecordingUi.h"

namespace nb::test {

// A shell script that stands in for the launcher: it writes its program path and then each
// argument in brackets, one per line, to "restart.txt" beside itself.
extern const char* const kRecordingLauncherScript;
void InstallRecordingLauncher(const std::string& path);

// Runs the built nb-mkpatch with the given arguments (each quoted); its exit status.
int RunMkpatch(const std::vector<std::string>& args, std::string* output = nullptr);

}  // namespace nb::test
