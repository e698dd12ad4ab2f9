#include "app/CommandLineInfo.h"

#include <cstring>

namespace nb {

CommandLineInfo CommandLineInfo::Parse(int argc, const char* const* argv) {
    CommandLineInfo info;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg != nullptr && std::string_view(arg).starts_with(kMaxDownloadOption))
            info.m_optMaxDownloadKbps = std::string(arg + kMaxDownloadOption.size());
        if (arg != nullptr && std::strcmp(arg, kRepairOption) == 0) info.m_bRepair = true;
        if (arg == nullptr || arg[0] == '-' || !info.m_strFileName.empty()) continue;
        info.m_strFileName = arg;
    }
    return info;
}

}  // namespace nb
