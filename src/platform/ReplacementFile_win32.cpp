// The Windows side of what extracting an archive needs from the file system.
#include <windows.h>

#include "platform/Files.h"
#include "platform/WideText_win32.h"

namespace nb::platform {
namespace {

using win32::Widen;

constexpr DWORD kStampAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

FILETIME AsFileTime(uint64_t value) {
    FILETIME time{};
    time.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

class FileSource final : public ByteSource {
public:
    FileSource(HANDLE file, uint64_t size) : m_file(file), m_size(size) {}
    ~FileSource() override { ::CloseHandle(m_file); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    uint64_t Size() const override { return m_size; }

    bool ReadAt(uint64_t offset, void* data, size_t size) override {
        if (offset > m_size || size > m_size - offset) return false;
        auto* out = static_cast<char*>(data);
        while (size > 0) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
            DWORD got = 0;
            if (!::ReadFile(m_file, out, chunk, &got, &at) || got == 0) return false;
            out += got;
            offset += got;
            size -= got;
        }
        return true;
    }

private:
    HANDLE m_file;
    uint64_t m_size;
};

}  // namespace

std::string CurrentFolder() {
    DWORD n = ::GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return std::string();
    std::wstring folder(n, L'\0');
    n = ::GetCurrentDirectoryW(n, folder.data());
    folder.resize(n);
    return win32::Narrow(folder);
}

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
    HANDLE file = ::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size{};
    if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileSizeEx(file, &size)) {
        ::CloseHandle(file);
        return nullptr;
    }
    return std::make_unique<FileSource>(file, static_cast<uint64_t>(size.QuadPart));
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeFolder(const std::string& path) {
    return ::CreateDirectoryW(Widen(path).c_str(), nullptr) || (::GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(path));
}

bool GetFileMode(const std::string& path, uint32_t& mode) {
    const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return false;
    }
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
    return true;
}

namespace {
std::string SystemErrorText() { return "system error " + std::to_string(::GetLastError()); }
}  // namespace

ReplacementFile::~ReplacementFile() {
    Discard();
}

bool ReplacementFile::Create(const std::string& path) {
    Discard();
    if (IsFolder(path)) return false;
    m_path = path;
    m_temp = path + kReplacementSuffix;
    const std::wstring temp = Widen(m_temp);
    // Left by a run that was killed: never written through, never appended to.
    ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(temp.c_str());
    HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        m_error = SystemErrorText();
        m_temp.clear();
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(file);
    return true;
}

bool ReplacementFile::Write(const void* data, size_t size) {
    if (m_handle == -1) return false;
    auto* in = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(AsHandle(m_handle), in, chunk, &written, nullptr) || written == 0) {
            m_error = SystemErrorText();
            return false;
        }
        in += written;
        size -= written;
    }
    return true;
}

bool ReplacementFile::Commit(const FileStamp& stamp) {
    if (m_handle == -1) return false;
    HANDLE file = AsHandle(m_handle);
    m_handle = -1;
    const FILETIME created = AsFileTime(stamp.createTime);
    const FILETIME accessed = AsFileTime(stamp.accessTime);
    const FILETIME written = AsFileTime(stamp.writeTime);
    // A time the archive does not give stays as the system set it.
    ::SetFileTime(file, stamp.createTime ? &created : nullptr, stamp.accessTime ? &accessed : nullptr,
                  stamp.writeTime ? &written : nullptr);
    // No volume-wide flush without administrator rights here: each file is made durable
    // before it is renamed into place.
    bool ok = ::FlushFileBuffers(file) != 0;
    if (!::CloseHandle(file)) ok = false;

    const std::wstring temp = Widen(m_temp);
    const std::wstring target = Widen(m_path);
    const DWORD attributes = stamp.attributes & kStampAttributes;
    if (ok && !::SetFileAttributesW(temp.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL)) ok = false;
    if (ok) {
        // A read-only file in the way would refuse the rename.
        const DWORD old = ::GetFileAttributesW(target.c_str());
        if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY)) {
            ::SetFileAttributesW(target.c_str(), old & ~FILE_ATTRIBUTE_READONLY);
        }
        ok = ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (!ok && old != INVALID_FILE_ATTRIBUTES) ::SetFileAttributesW(target.c_str(), old);
    }
    if (!ok) {
        m_error = SystemErrorText();
        ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(temp.c_str());
    }
    m_temp.clear();
    return ok;
}

void ReplacementFile::Discard() {
    if (m_handle != -1) {
        ::CloseHandle(AsHandle(m_handle));
        m_handle = -1;
    }
    if (!m_temp.empty()) {
        ::DeleteFileW(Widen(m_temp).c_str());
        m_temp.clear();
    }
}

bool FlushFileSystem(const std::string& folder) { return IsFolder(folder); }

}  // namespace nb::platform
