#pragma once
#include <string>

namespace nb {

// The part of the framework's command-line record the launcher uses: the first argument
// that is not a flag ("-..."), with the platform's argument splitting already applied.
struct CommandLineInfo {
    std::string m_strFileName;

    static CommandLineInfo Parse(int argc, const char* const* argv);
};

}  // namespace nb
