// The POSIX side of what extracting an archive needs from the file system.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "platform/Files.h"

namespace nb::platform {
namespace {

constexpr int64_t kUnixToFileTimeSeconds = 11644473600LL;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000ULL;

timespec TimespecFromFileTime(uint64_t ft) {
    timespec ts{};
    ts.tv_sec =
        static_cast<time_t>(static_cast<int64_t>(ft / kFileTimeUnitsPerSecond) - kUnixToFileTimeSeconds);
    ts.tv_nsec = static_cast<long>((ft % kFileTimeUnitsPerSecond) * 100);
    return ts;
}

class FileSource final : public ByteSource {
public:
    FileSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    ~FileSource() override { ::close(m_fd); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    uint64_t Size() const override { return m_size; }

    bool ReadAt(uint64_t offset, void* data, size_t size) override {
        if (offset > m_size || size > m_size - offset) return false;
        auto* out = static_cast<char*>(data);
        while (size > 0) {
            const ssize_t n = ::pread(m_fd, out, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            out += n;
            offset += static_cast<uint64_t>(n);
            size -= static_cast<size_t>(n);
        }
        return true;
    }

private:
    int m_fd;
    uint64_t m_size;
};

}  // namespace

std::string CurrentFolder() {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return std::string();
    return cwd;
}

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, static_cast<uint64_t>(st.st_size));
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && IsFolder(path));
}

bool GetFileMode(const std::string& path, uint32_t& mode) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    mode = st.st_mode & 07777;
    return true;
}

ReplacementFile::~ReplacementFile() {
    Discard();
}

bool ReplacementFile::Create(const std::string& path) {
    Discard();
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return false;
    m_path = path;
    m_temp = path + kReplacementSuffix;
    // Left by a run that was killed: never written through, never appended to.
    ::unlink(m_temp.c_str());
    const int fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_error = std::strerror(errno);
        return false;
    }
    m_handle = fd;
    return true;
}

bool ReplacementFile::Write(const void* data, size_t size) {
    if (m_handle < 0) return false;
    const int fd = static_cast<int>(m_handle);
    auto* in = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, in, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_error = n < 0 ? std::strerror(errno) : "nothing written";
            return false;
        }
        in += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReplacementFile::Commit(const FileStamp& stamp) {
    if (m_handle < 0) return false;
    const int fd = static_cast<int>(m_handle);
    m_handle = -1;
    const timespec times[2] = {TimespecFromFileTime(stamp.accessTime), TimespecFromFileTime(stamp.writeTime)};
    bool ok = ::fchmod(fd, static_cast<mode_t>(stamp.mode & 07777)) == 0;
    if (!ok) m_error = std::strerror(errno);
    ::futimens(fd, times);  // a file system without times still gets the bytes
    // A delayed write error (a full disk on a network file system) shows at close.
    if (::close(fd) != 0 && ok) {
        m_error = std::strerror(errno);
        ok = false;
    }
    if (ok && ::rename(m_temp.c_str(), m_path.c_str()) != 0) {
        m_error = std::strerror(errno);
        ok = false;
    }
    if (!ok) ::unlink(m_temp.c_str());
    m_temp.clear();
    return ok;
}

void ReplacementFile::Discard() {
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle));
        m_handle = -1;
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}

bool FlushFileSystem(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace nb::platform
