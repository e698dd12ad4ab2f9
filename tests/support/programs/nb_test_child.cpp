// Started by the process tests: writes each argument it received after the first (the
// file to write) on a line of its own, so a test can compare them byte for byte.
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Process.h"

int main(int argc, char** argv) {
    std::vector<std::string> args = nb::platform::ProgramArguments(argc, argv);
    if (args.size() < 2) return 2;
    std::string text;
    for (size_t i = 2; i < args.size(); ++i) text += args[i] + "\n";
    return nb::platform::ReplaceFileAtomically(args[1], text) ? 0 : 1;
}
