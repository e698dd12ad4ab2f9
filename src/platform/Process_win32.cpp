#include <windows.h>

#include <vector>

#include "platform/Process.h"
#include "platform/WideText_win32.h"

namespace nb::platform {

// The C library's arguments went through the system's ANSI code page, which may have lost
// characters; the wide command line has them all.
std::vector<std::string> ProgramArguments(int, const char* const*) {
    return SplitCommandLine(win32::Narrow(::GetCommandLineW()));
}

bool StartProcess(const std::string& commandLine) {
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty()) return false;
    // Named explicitly, so the launcher's own folder comes first as on every platform.
    const std::string program = ResolveProgram(args[0]);
    if (program.empty()) return false;

    const std::wstring application = win32::Widen(program);
    std::wstring line = win32::Widen(commandLine);
    line.push_back(L'\0');  // CreateProcessW may write into the command line
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        return false;
    }
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return true;
}

}  // namespace nb::platform
