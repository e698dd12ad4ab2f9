#include <windows.h>

#include <cstdlib>
#include <vector>

#include "platform/ExecutablePath.h"
#include "platform/SystemPaths.h"
#include "platform/WideText_win32.h"

namespace nb::platform {

const char kPathSeparator = '\\';

size_t LastPathSeparator(std::string_view path) {
    size_t last = std::string_view::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        // A lead byte: the next byte belongs to the same character, even when it is 0x5C.
        if (c >= 0x81 && c <= 0xFE && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/') last = i;
    }
    return last;
}

namespace win32 {

constexpr UINT kCodePage = 936;

std::wstring Widen(std::string_view text) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) return {};
    int n = ::WideCharToMultiByte(kCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                  nullptr);
    std::string narrow(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        ::WideCharToMultiByte(kCodePage, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n, nullptr,
                              nullptr);
    }
    return narrow;
}

}  // namespace win32

namespace detail {

bool ReadOwnExecutablePath(std::string& path) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return false;
        if (n < buffer.size()) {
            path = win32::Narrow(std::wstring_view(buffer.data(), n));
            return true;
        }
        if (buffer.size() >= 32768) return false;
        buffer.resize(buffer.size() * 2);
    }
}

bool IsAbsolutePath(std::string_view path) {
    if (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/')) return true;
    return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

bool HasFolderPart(std::string_view path) {
    return LastPathSeparator(path) != std::string_view::npos || (path.size() >= 2 && path[1] == ':');
}

bool IsExecutableFile(const std::string& path) {
    DWORD attributes = ::GetFileAttributesW(win32::Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string SearchPathList() {
    DWORD n = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    n = ::GetEnvironmentVariableW(L"PATH", value.data(), n);
    value.resize(n);
    return win32::Narrow(value);
}

char SearchPathListSeparator() { return ';'; }

std::string DefaultMachineSettingsFile() { return {}; }

}  // namespace detail
}  // namespace nb::platform
