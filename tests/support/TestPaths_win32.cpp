#include <windows.h>

#include <algorithm>

#include "TestPaths.h"
#include "platform/WideText_win32.h"

namespace nb::test {

using nb::platform::win32::Narrow;
using nb::platform::win32::Widen;

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileW(Widen(folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = Narrow(data.cFileName);
        if (name != "." && name != "..") names.push_back(std::move(name));
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace nb::test
