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

// Text files end their lines in CR LF here.
std::string ReadTextFile(const std::string& path) {
    std::string text = ReadFile(path);
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
    }
    return lines;
}

void RemoveFile(const std::string& path) { ::DeleteFileW(Widen(path).c_str()); }

void SetFileMode(const std::string& path, unsigned mode) {
    const std::wstring wide = Widen(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    ::SetFileAttributesW(wide.c_str(), (mode & 0200) ? attributes & ~FILE_ATTRIBUTE_READONLY
                                                     : attributes | FILE_ATTRIBUTE_READONLY);
}

// Open for writing, shared with readers only: the download's own temporary file asks for
// write access and so cannot be opened beside it.
ScopedWriteHold::ScopedWriteHold(const std::string& path) {
    HANDLE file = ::CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) m_handle = file;
}

ScopedWriteHold::~ScopedWriteHold() {
    if (m_handle) ::CloseHandle(m_handle);
}

// The test child with its record line appended: Windows loads a program by its headers and
// never reads bytes past its sections.
void InstallArgumentRecorder(const std::string& path, const std::string& record) {
    WriteFile(path, ReadFile(BuildPath("nb-test-child.exe")) + "\n#nb-record:" + record + "\n");
}

}  // namespace nb::test
