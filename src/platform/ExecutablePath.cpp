#include "platform/ExecutablePath.h"

#include <mutex>

#include "platform/SystemPaths.h"

namespace nb::platform {
namespace {
std::mutex g_overrideMutex;
std::string g_override;
}  // namespace

void SetExecutablePathOverride(const std::string& path) {
    std::lock_guard lock(g_overrideMutex);
    g_override = path;
}

bool GetExecutablePath(std::string& path) {
    {
        std::lock_guard lock(g_overrideMutex);
        if (!g_override.empty()) {
            path = g_override;
            return true;
        }
    }
    return detail::ReadOwnExecutablePath(path);
}

}  // namespace nb::platform
