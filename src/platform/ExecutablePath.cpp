#include "platform/ExecutablePath.h"

#include <limits.h>
#include <unistd.h>

#include <mutex>

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
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    // A reply that fills the buffer may be cut short: no folder is better than a wrong one.
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof buffer - 1)) return false;
    path.assign(buffer, static_cast<size_t>(n));
    return true;
}

}  // namespace nb::platform
