#include <windows.h>

#include "platform/Files.h"
#include "platform/WideText_win32.h"

namespace nb::platform {
namespace {

constexpr DWORD kReplaceFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

bool WriteAll(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

bool FileExists(const std::string& path) {
    return ::GetFileAttributesW(win32::Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveFile(const std::string& path) {
    return ::DeleteFileW(win32::Widen(path).c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool CopyFileOverwrite(const std::string& from, const std::string& to) {
    // Copied beside the target and renamed over it, so no reader sees half a program. A
    // target that is running cannot be replaced; the caller tries again later.
    const std::wstring temp = win32::Widen(to + ".part");
    if (!::CopyFileW(win32::Widen(from).c_str(), temp.c_str(), FALSE)) {
        ::DeleteFileW(temp.c_str());
        return false;
    }
    if (!::MoveFileExW(temp.c_str(), win32::Widen(to).c_str(), kReplaceFlags)) {
        ::DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view content) {
    const std::wstring temp = win32::Widen(path + ".tmp~");
    HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = WriteAll(file, content.data(), content.size()) && ::FlushFileBuffers(file);
    if (!::CloseHandle(file)) ok = false;
    if (ok && !::MoveFileExW(temp.c_str(), win32::Widen(path).c_str(), kReplaceFlags)) ok = false;
    if (!ok) ::DeleteFileW(temp.c_str());
    return ok;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    // The C library's rename refuses to replace an existing file here.
    return ::MoveFileExW(win32::Widen(from).c_str(), win32::Widen(to).c_str(), kReplaceFlags) != 0;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
    HANDLE file = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    content.clear();
    char buffer[16 * 1024];
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        content.append(buffer, got);
    }
    ::CloseHandle(file);
    return ok;
}

}  // namespace nb::platform
