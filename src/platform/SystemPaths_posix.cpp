#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/ExecutablePath.h"
#include "platform/SystemPaths.h"

namespace nb::platform {

const char kPathSeparator = '/';

size_t LastPathSeparator(std::string_view path) { return path.rfind('/'); }

namespace detail {

bool ReadOwnExecutablePath(std::string& path) {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return false;
    path.assign(buffer, static_cast<size_t>(n));
    return true;
}

bool IsAbsolutePath(std::string_view path) { return !path.empty() && path.front() == '/'; }

bool HasFolderPart(std::string_view path) { return path.find('/') != std::string_view::npos; }

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string SearchPathList() {
    const char* path = std::getenv("PATH");
    return path ? path : "/usr/local/bin:/usr/bin:/bin";
}

char SearchPathListSeparator() { return ':'; }

SystemSettingsStore* SystemSettings() { return nullptr; }

std::string DefaultMachineSettingsFile() { return "/etc/nblauncher/machine.ini"; }

}  // namespace detail
}  // namespace nb::platform
