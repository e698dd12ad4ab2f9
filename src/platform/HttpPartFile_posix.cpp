#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/HttpPartFile.h"

namespace nb::platform {
namespace {

// Few large writes: a fast transfer is not held up by the file.
constexpr size_t kFileBufferSize = 1024 * 1024;

}  // namespace

struct HttpPartFile::Impl {
    FILE* file = nullptr;
    uint64_t size = 0;
    std::unique_ptr<char[]> buffer;
};

HttpPartFile::HttpPartFile() : m_impl(std::make_unique<Impl>()) {}

HttpPartFile::~HttpPartFile() {
    Close();
}

HttpPartFile::OpenResult HttpPartFile::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return OpenResult::Failed;
    // Only a lock that someone else holds keeps the file from this transfer; a file system
    // that has no locks at all still downloads.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return OpenResult::InUse;
    }
    struct stat st {};
    FILE* file = ::fstat(fd, &st) == 0 ? ::fdopen(fd, "r+b") : nullptr;
    if (!file || std::fseek(file, 0, SEEK_END) != 0) {
        if (file) {
            std::fclose(file);
        } else {
            ::close(fd);
        }
        return OpenResult::Failed;
    }
    m_impl->buffer.reset(new char[kFileBufferSize]);
    std::setvbuf(file, m_impl->buffer.get(), _IOFBF, kFileBufferSize);
    m_impl->file = file;
    m_impl->size = static_cast<uint64_t>(st.st_size);
    return OpenResult::Opened;
}

uint64_t HttpPartFile::Size() const {
    return m_impl->size;
}

bool HttpPartFile::Append(const char* data, size_t size) {
    if (!m_impl->file || std::fwrite(data, 1, size, m_impl->file) != size) return false;
    m_impl->size += size;
    return true;
}

bool HttpPartFile::Flush() {
    return m_impl->file && std::fflush(m_impl->file) == 0;
}

bool HttpPartFile::Discard() {
    FILE* file = m_impl->file;
    if (!file || std::fflush(file) != 0 || ::ftruncate(::fileno(file), 0) != 0 ||
        std::fseek(file, 0, SEEK_SET) != 0)
        return false;
    m_impl->size = 0;
    return true;
}

bool HttpPartFile::Close() {
    if (!m_impl->file) return true;
    const bool ok = std::fclose(m_impl->file) == 0;
    m_impl->file = nullptr;
    m_impl->buffer.reset();
    return ok;
}

}  // namespace nb::platform
