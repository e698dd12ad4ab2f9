#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace nb {

// The part of the framework's command-line record the launcher uses: the first argument
// that is not a flag ("-..."), with the platform's argument splitting already applied, and
// the launcher's own options.
struct CommandLineInfo {
    std::string m_strFileName;
    // "--repair": check the installation and fetch its damaged files again. An option, so it
    // can never be taken for the command token; passed on to the relaunched copy.
    bool m_bRepair = false;

    static constexpr const char* kRepairOption = "--repair";

    // "--max-download-kbps=N": the player's download speed limit for this run and the
    // launchers it starts, as typed (checked where it is applied). An option, so it can never
    // be taken for the command token.
    std::optional<std::string> m_optMaxDownloadKbps = std::nullopt;

    static constexpr std::string_view kMaxDownloadOption = "--max-download-kbps=";

    static CommandLineInfo Parse(int argc, const char* const* argv);
};

}  // namespace nb
