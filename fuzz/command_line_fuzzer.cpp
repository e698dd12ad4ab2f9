// The launcher's command line: the Windows splitting rules, the decision of
// ProcessCommandLine, and the hand-over of a command token to the relaunched copy and to
// the launcher restarted after a patch.
// The first input byte picks one of three checks; the rest is the text under test.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzWorkDir.h"
#include "QuietUi.h"
#include "app/CommandLine.h"
#include "app/CommandLineInfo.h"
#include "app/LauncherContext.h"
#include "platform/Process.h"
#include "update/UpdateDecision.h"

namespace {

// A broken expectation is a finding: reported with the line, then the run stops.
#define Check(condition)   \
    ((condition) ? (void)0 \
                 : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition), std::abort()))

// A folder with no launcher in it: every copy for a relaunch fails, so nothing is ever
// started, and the blank checks the quoting of the program path.
const std::string& InstallPath() {
    static const std::string path = nbfuzz::FuzzWorkDir::Enter().Path() + "no launcher here/";
    return path;
}

const char* kDefaultZoneList = "http://127.0.0.1:9/norbel_xml/zonelist.xml";

nb::CommandLineInfo ParseArguments(const std::vector<std::string>& args) {
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    return nb::CommandLineInfo::Parse(static_cast<int>(args.size()), argv.data());
}

int Process(nb::LauncherContext& context, const nb::CommandLineInfo& info) {
    context.m_strInstallPath = InstallPath();
    context.m_strDefaultZoneListURL = kDefaultZoneList;
    return context.ProcessCommandLine(info);
}

// One argument quoted so that the Windows rules give it back unchanged.
std::string Quote(std::string_view arg) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, '\\');
    out.push_back('"');
    return out;
}

// Any command line: split, parsed and decided on; the decision matches the argument.
void DecideOnCommandLine(std::string_view line) {
    const std::vector<std::string> args = nb::platform::SplitCommandLine(line);
    nb::LauncherContext context;
    const nb::CommandLineInfo info = ParseArguments(args);
    const std::string& arg = info.m_strFileName;
    const int result = Process(context, info);
    if (arg.empty()) {
        Check(result == 2);
        return;
    }
    const size_t comma = arg.find(',');
    if (comma != std::string::npos) {
        Check(result == 0 && context.m_strZoneListURL + "," + context.m_strCmdArg == arg);
    } else if (arg.find("ht") != std::string::npos) {
        Check(result == 0 && context.m_strZoneListURL == arg && context.m_strCmdArg.empty());
    } else {
        Check(result == 2 && context.m_strCmdArg == arg && context.m_strZoneListURL.empty());
    }
}

// Arguments (NUL separated) quoted and joined come back as they were.
void RoundTripArguments(std::string_view text) {
    std::vector<std::string> args{"prog"};
    size_t pos = 0;
    while (pos <= text.size() && args.size() < 16) {
        size_t nul = text.find('\0', pos);
        args.emplace_back(
            text.substr(pos, nul == std::string_view::npos ? std::string_view::npos : nul - pos));
        if (nul == std::string_view::npos) break;
        pos = nul + 1;
    }
    std::string line = "prog";
    for (size_t i = 1; i < args.size(); ++i) line += " " + Quote(args[i]);
    Check(nb::platform::SplitCommandLine(line) == args);
}

// A command token given to the installed launcher reaches the relaunched copy unchanged.
void HandOverToken(std::string_view text) {
    const std::string token(text.substr(0, text.find('\0')));
    nb::LauncherContext first;
    const nb::CommandLineInfo firstInfo = ParseArguments({"NbLauncher.exe", token});
    // Only a token that is not an address and not a flag takes the relaunch path.
    if (firstInfo.m_strFileName != token || token.empty() || token.find(',') != std::string::npos ||
        token.find("ht") != std::string::npos) {
        return;
    }
    Check(Process(first, firstInfo) == 2 && first.m_strCmdArg == token);

    const std::string relaunch = nb::RelaunchCommandLine(InstallPath(), kDefaultZoneList, token);
    const std::vector<std::string> args = nb::platform::SplitCommandLine(relaunch);
    Check(args.size() == 2 && args[0] == InstallPath() + nb::kRelaunchCopy);
    nb::LauncherContext copy;
    Check(Process(copy, ParseArguments(args)) == 0);
    Check(copy.m_strZoneListURL == kDefaultZoneList);
    Check(copy.m_strCmdArg == token);

    // After a patch the fresh launcher is started with the kept token: again unchanged.
    const std::vector<std::string> restart =
        nb::platform::SplitCommandLine(nb::RestartCommandLine(InstallPath(), token));
    Check(restart.size() == 2 && restart[0] == InstallPath() + nb::kInstalledExe && restart[1] == token);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    nbfuzz::FuzzWorkDir::Enter();
    nbfuzz::QuietUi::Install();
    nb::SetRelaunchWait([](unsigned) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    nbfuzz::FuzzWorkDir::ForgetLog();
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
        case 0:
            DecideOnCommandLine(text);
            break;
        case 1:
            RoundTripArguments(text);
            break;
        default:
            HandOverToken(text);
            break;
    }
    return 0;
}
