#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace nb::platform {

// The arguments this program was started with, the program first, in code page 936
// whatever code page the system uses for narrow text.
std::vector<std::string> ProgramArguments(int argc, const char* const* argv);

// Splits one command line into arguments by the Windows rules: blanks and tabs separate,
// double quotes group, 2n backslashes before a quote give n backslashes and a quote that
// groups, 2n+1 give n backslashes and a literal quote, "" inside quotes is a literal quote,
// other backslashes stand as they are. The program path (first token) takes quotes only.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// One argument written so that SplitCommandLine gives it back byte for byte: as it stands
// when it needs no quotes, otherwise in double quotes with each quote written as \" and
// the backslashes before a quote or before the closing quote doubled. `alwaysQuote` puts
// the quotes around even a plain argument. Not for the program path (first token).
std::string QuoteArgument(std::string_view arg, bool alwaysQuote = false);

// Where StartProcess finds a program named by a relative path: the launcher's own folder
// first, then the current folder, then (for a bare name) the search path. Empty when none.
std::string ResolveProgram(const std::string& program);

// The program of that name in one of the folders of the search path; empty when none.
std::string FindOnSearchPath(const std::string& program);

// Starts a program from a full command line (program path first) without waiting for it.
// The child inherits the environment and the current folder, no descriptors beyond the
// standard three, and is not left as a zombie. True when the program was started.
// Where the system cannot run Windows programs itself, one (a file that starts with the
// "MZ" executable header) is started through a runner: the command that the environment
// variable NB_WINDOWS_RUNNER holds (split like a command line), else "wine" from the
// search path; the runner receives the resolved program path and the same arguments.
// False when such a program has no runner.
bool StartProcess(const std::string& commandLine);

}  // namespace nb::platform
