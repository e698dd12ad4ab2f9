// Started by the process tests: writes each argument it received after the first (the
// file to write) on a line of its own, so a test can compare them byte for byte. A copy
// installed as a recorder carries, after the program's own bytes, a line naming its record
// file; it then writes every argument to that file beside itself, as the recording scripts
// do where scripts run. The line travels with every copy of the program.
#include <string>
#include <vector>

#include "platform/ExecutablePath.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace {

constexpr const char* kRecordMark = "\n#nb-record:";

// The record file a recorder copy names, empty for the plain program.
std::string RecordName(const std::string& self) {
    std::string bytes;
    if (!nb::platform::ReadWholeFile(self, bytes)) return {};
    const size_t mark = bytes.rfind(kRecordMark);
    if (mark == std::string::npos || bytes.size() - mark > 512 || bytes.back() != '\n') return {};
    const size_t begin = mark + std::string(kRecordMark).size();
    return bytes.substr(begin, bytes.size() - 1 - begin);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args = nb::platform::ProgramArguments(argc, argv);
    std::string self;
    if (nb::platform::GetExecutablePath(self)) {
        const std::string record = RecordName(self);
        if (!record.empty()) {
            std::string text;
            for (size_t i = 1; i < args.size(); ++i) text += args[i] + "\n";
            const std::string folder = self.substr(0, nb::platform::LastPathSeparator(self) + 1);
            return nb::platform::ReplaceFileAtomically(folder + record, text) ? 0 : 1;
        }
    }
    if (args.size() < 2) return 2;
    std::string text;
    for (size_t i = 2; i < args.size(); ++i) text += args[i] + "\n";
    return nb::platform::ReplaceFileAtomically(args[1], text) ? 0 : 1;
}
