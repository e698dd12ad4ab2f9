#include <sys/stat.h>
#include <sys/statvfs.h>

#include "platform/FreeSpace.h"

namespace nb::platform {

bool QueryFreeSpace(const std::string& folder, uint64_t& bytes) {
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) != 0) return false;
    bytes = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
    return true;
}

bool GetRegularFileSize(const std::string& path, uint64_t& size) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

}  // namespace nb::platform
