#include "UpdateTestKit.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "TestPaths.h"

namespace nb::test {
namespace {
std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
}  // namespace

const char* const kRecordingLauncherScript =
    "#!/bin/sh\n"
    "d=$(dirname \"$0\")\n"
    "{ printf '%s\\n' \"$0\"; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > \"$d/restart.tmp.$$\"\n"
    "mv \"$d/restart.tmp.$$\" \"$d/restart.txt\"\n";

void InstallRecordingLauncher(const std::string& path) {
    WriteFile(path, kRecordingLauncherScript);
    ::chmod(path.c_str(), 0755);
}

int RunMkpatch(const std::vector<std::string>& args, std::string* output) {
    std::string command = ShellQuote(BuildPath("nb-mkpatch"));
    // Appended piece by piece: GCC 12 at -O3 reports a false overlap (-Wrestrict) for
    // "literal" + std::string temporaries.
    for (const std::string& a : args) {
        command += ' ';
        command += ShellQuote(a);
    }
    command += " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    const int status = ::pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace nb::test
