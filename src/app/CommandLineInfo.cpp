#include "app/CommandLineInfo.h"

namespace nb {

CommandLineInfo CommandLineInfo::Parse(int argc, const char* const* argv) {
    CommandLineInfo info;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg != nullptr && std::string_view(arg).starts_with(kMaxDownloadOption))
            info.m_optMaxDownloadKbps = std::string(arg + kMaxDownloadOption.size());
        if (arg == nullptr || arg[0] == '-') continue;
        info.m_strFileName = arg;
        break;
    }
    return info;
}

}  // namespace nb
