// Started by the process tests: writes each argument it received after the first (the
// file to write) on a line of its own, so a test can compare them byte for byte. Installed
// as a recorder (a file "<program>.record" beside it names the record), it writes every
// argument to that file instead, as the recording scripts do where scripts run.
#include <string>
#include <vector>

#include "platform/ExecutablePath.h"
#include "platform/Files.h"
#include "platform/Process.h"

int main(int argc, char** argv) {
    std::vector<std::string> args = nb::platform::ProgramArguments(argc, argv);
    std::string self;
    std::string record;
    if (nb::platform::GetExecutablePath(self) && nb::platform::ReadWholeFile(self + ".record", record)) {
        std::string text;
        for (size_t i = 1; i < args.size(); ++i) text += args[i] + "\n";
        const std::string folder = self.substr(0, nb::platform::LastPathSeparator(self) + 1);
        return nb::platform::ReplaceFileAtomically(folder + record, text) ? 0 : 1;
    }
    if (args.size() < 2) return 2;
    std::string text;
    for (size_t i = 2; i < args.size(); ++i) text += args[i] + "\n";
    return nb::platform::ReplaceFileAtomically(args[1], text) ? 0 : 1;
}
