#include <windows.h>

#include "platform/FreeSpace.h"
#include "platform/WideText_win32.h"

namespace nb::platform {

bool QueryFreeSpace(const std::string& folder, uint64_t& bytes) {
    // The caller's quota included, which the total free count would ignore.
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(win32::Widen(folder).c_str(), &available, nullptr, nullptr)) return false;
    bytes = available.QuadPart;
    return true;
}

bool GetRegularFileSize(const std::string& path, uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win32::Widen(path).c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

}  // namespace nb::platform
