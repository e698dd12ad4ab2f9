#include <windows.h>

#include <cstring>

#include "platform/HttpPartFile.h"
#include "platform/WideText_win32.h"

namespace nb::platform {
namespace {

// Few large writes: a fast transfer is not held up by the file.
constexpr size_t kFileBufferSize = 1024 * 1024;

}  // namespace

struct HttpPartFile::Impl {
    HANDLE file = INVALID_HANDLE_VALUE;
    uint64_t size = 0;
    std::unique_ptr<char[]> buffer;
    size_t buffered = 0;
    bool failed = false;

    bool Flush() {
        const char* data = buffer.get();
        size_t left = buffered;
        while (left > 0 && !failed) {
            DWORD written = 0;
            const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
            if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) {
                failed = true;
                break;
            }
            data += written;
            left -= written;
        }
        buffered = 0;
        return !failed;
    }
};

HttpPartFile::HttpPartFile() : m_impl(std::make_unique<Impl>()) {}

HttpPartFile::~HttpPartFile() {
    Close();
}

HttpPartFile::OpenResult HttpPartFile::Open(const std::string& path) {
    Close();
    // Others may read it but not write: a second launcher appending to the same file at the
    // same time is refused by the system, the way the sharing mode of the original demands.
    HANDLE file = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return ::GetLastError() == ERROR_SHARING_VIOLATION ? OpenResult::InUse : OpenResult::Failed;
    }
    LARGE_INTEGER length{};
    LARGE_INTEGER end{};
    if (!::GetFileSizeEx(file, &length) || !::SetFilePointerEx(file, end, nullptr, FILE_END)) {
        ::CloseHandle(file);
        return OpenResult::Failed;
    }
    m_impl->file = file;
    m_impl->size = static_cast<uint64_t>(length.QuadPart);
    m_impl->buffer.reset(new char[kFileBufferSize]);
    m_impl->buffered = 0;
    m_impl->failed = false;
    return OpenResult::Opened;
}

uint64_t HttpPartFile::Size() const {
    return m_impl->size;
}

bool HttpPartFile::Append(const char* data, size_t size) {
    Impl& f = *m_impl;
    if (f.file == INVALID_HANDLE_VALUE || f.failed) return false;
    while (size > 0) {
        if (f.buffered == kFileBufferSize && !f.Flush()) return false;
        const size_t room = kFileBufferSize - f.buffered;
        const size_t part = size < room ? size : room;
        std::memcpy(f.buffer.get() + f.buffered, data, part);
        f.buffered += part;
        data += part;
        size -= part;
        f.size += part;
    }
    return true;
}

bool HttpPartFile::Flush() {
    Impl& f = *m_impl;
    return f.file != INVALID_HANDLE_VALUE && f.Flush();
}

bool HttpPartFile::Discard() {
    Impl& f = *m_impl;
    if (f.file == INVALID_HANDLE_VALUE) return false;
    f.buffered = 0;  // bytes not yet written are dropped with the rest
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(f.file, start, nullptr, FILE_BEGIN) || !::SetEndOfFile(f.file)) return false;
    f.size = 0;
    return true;
}

bool HttpPartFile::Close() {
    Impl& f = *m_impl;
    if (f.file == INVALID_HANDLE_VALUE) return true;
    bool ok = f.Flush();
    if (!::CloseHandle(f.file)) ok = false;
    f.file = INVALID_HANDLE_VALUE;
    f.buffer.reset();
    return ok;
}

}  // namespace nb::platform
