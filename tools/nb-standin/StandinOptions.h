#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FaultSettings.h"

namespace nbstandin {

struct StandinOptions {
    std::string root = ".";
    int port = 18620;
    std::string logFile;
    std::string accountsFile;
    std::optional<std::vector<int>> serverIds;  // unset: ids of the served zone list, or any
    bool alwaysCode = false;
    int codeAfter = 3;
    int forceError = 0;
    bool verbose = false;
    BodyFaults faults;
    std::map<std::string, int> statusByPath;
    std::map<std::string, std::string> redirectByPath;
    // Both set: https with this certificate chain and private key (PEM files).
    std::string certFile;
    std::string keyFile;
};

enum class ParseStatus { kRun, kHelp, kError };

struct ParseResult {
    ParseStatus status = ParseStatus::kRun;
    StandinOptions options;
    std::string error;
};

ParseResult ParseCommandLine(int argc, char** argv);
std::string HelpText();

// Small shared parsers (also used by the control endpoints).
bool ParseInt64(const std::string& text, int64_t& value);
bool ParseServerList(const std::string& text, std::vector<int>& ids);

}  // namespace nbstandin
