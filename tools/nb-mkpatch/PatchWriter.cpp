#include "PatchWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

#include "ZipWriter.h"

namespace nb::mkpatch {
namespace {

constexpr const char* kControlMember = "ncheck_v.txt";
constexpr uLong kMadeByUnix = (3u << 8) | 20u;  // host 3 (Unix), format 2.0
constexpr size_t kChunk = 1u << 20;
// Files above this are compared and compressed while they are written, not held in memory.
constexpr uint64_t kInMemoryLimit = 64u << 20;

// Reads a whole file descriptor's worth of bytes, the caller's buffer sized to fit.
class InputFile {
public:
    explicit InputFile(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~InputFile() {
        if (m_fd >= 0) ::close(m_fd);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    bool IsOpen() const { return m_fd >= 0; }
    // Bytes read (short only at the end); -1 on error.
    ssize_t Read(char* buffer, size_t size) {
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::read(m_fd, buffer + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return -1;
            if (n == 0) break;
            done += static_cast<size_t>(n);
        }
        return static_cast<ssize_t>(done);
    }

private:
    int m_fd;
};

// 1: equal, 0: different, -1: unreadable.
int CompareFiles(const std::string& a, const std::string& b) {
    InputFile fa(a), fb(b);
    if (!fa.IsOpen() || !fb.IsOpen()) return -1;
    std::vector<char> ba(kChunk), bb(kChunk);
    for (;;) {
        const ssize_t na = fa.Read(ba.data(), ba.size());
        const ssize_t nb = fb.Read(bb.data(), bb.size());
        if (na < 0 || nb < 0) return -1;
        if (na != nb || std::memcmp(ba.data(), bb.data(), static_cast<size_t>(na)) != 0) return 0;
        if (na == 0) return 1;
    }
}

uLong DosDateTime(time_t t) {
    std::tm lt{};
    localtime_r(&t, &lt);
    if (lt.tm_year < 80) return (0u << 25) | (1u << 21) | (1u << 16);  // 1980-01-01, the format's first day
    if (lt.tm_year > 207) lt.tm_year = 207;
    return static_cast<uLong>(lt.tm_year - 80) << 25 | static_cast<uLong>(lt.tm_mon + 1) << 21 |
           static_cast<uLong>(lt.tm_mday) << 16 | static_cast<uLong>(lt.tm_hour) << 11 |
           static_cast<uLong>(lt.tm_min) << 5 | static_cast<uLong>(lt.tm_sec / 2);
}

// Extended-timestamp block with the modification time, the same in both headers.
struct TimestampBlock {
    unsigned char bytes[9];
    explicit TimestampBlock(time_t t) {
        const int64_t clamped = std::clamp<int64_t>(t, INT32_MIN, INT32_MAX);
        const uint32_t u = static_cast<uint32_t>(static_cast<int32_t>(clamped));
        const unsigned char b[9] = {'U',
                                    'T',
                                    5,
                                    0,
                                    1,
                                    static_cast<unsigned char>(u),
                                    static_cast<unsigned char>(u >> 8),
                                    static_cast<unsigned char>(u >> 16),
                                    static_cast<unsigned char>(u >> 24)};
        std::memcpy(bytes, b, sizeof bytes);
    }
};

struct Prepared {
    bool done = false;
    bool unchanged = false;
    bool streamed = false;  // too large for memory: the writer compares and compresses it
    bool deflated = false;
    std::string error;
    uLong crc = 0;
    uint64_t size = 0;
    std::string data;  // compressed (or stored) bytes
};

bool Deflate(const std::string& in, int level, std::string& out) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    out.resize(deflateBound(&z, static_cast<uLong>(in.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END;
}

// Game data is often compressed already; deflating it again costs as much time as text
// and gains nothing. A sample from the start decides for larger files.
constexpr size_t kSample = 256u << 10;

// start: the file's first kSample bytes (or more); fileSize: its whole size.
bool LooksIncompressible(const char* start, uint64_t fileSize, int level) {
    if (fileSize < 4 * kSample) return false;
    std::string packed;
    return Deflate(std::string(start, kSample), level, packed) && packed.size() * 100 >= kSample * 97;
}

void Prepare(const PatchEntry& entry, int level, Prepared& p) {
    if (!entry.oldPath.empty() && entry.size <= kInMemoryLimit) {
        const int same = CompareFiles(entry.oldPath, entry.newPath);
        if (same < 0) {
            p.error = "cannot read " + entry.newPath + " or " + entry.oldPath;
            return;
        }
        if (same == 1) {
            p.unchanged = true;
            return;
        }
    }
    if (entry.size > kInMemoryLimit) {
        p.streamed = true;
        return;
    }
    InputFile in(entry.newPath);
    std::string raw(entry.size, '\0');
    const ssize_t n = in.IsOpen() ? in.Read(raw.data(), raw.size()) : -1;
    char extra;
    if (n < 0 || static_cast<uint64_t>(n) != entry.size || in.Read(&extra, 1) != 0) {
        p.error = "cannot read " + entry.newPath + " (or it changed while being read)";
        return;
    }
    p.size = raw.size();
    p.crc = crc32(0L, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uInt>(raw.size()));
    std::string packed;
    if (level > 0 && !LooksIncompressible(raw.data(), raw.size(), level) && Deflate(raw, level, packed) &&
        packed.size() < raw.size()) {
        p.deflated = true;
        p.data = std::move(packed);
    } else {
        p.data = std::move(raw);  // already compressed data is stored as it is
    }
}

class ZipOutput {
public:
    ZipOutput(const std::string& path, int level) : m_bOpen(m_zip.Open(path)), m_level(level) {}
    bool IsOpen() const { return m_bOpen; }

    bool Begin(const std::string& name, mode_t mode, time_t mtime, bool deflated, bool raw, bool zip64) {
        zipwriter::ZipWriterItem item;
        item.name = name;
        item.dosDateTime = DosDateTime(mtime);
        item.externalAttributes =
            static_cast<uint32_t>(S_IFREG | (mode & 0777)) << 16 | ((mode & S_IWUSR) ? 0 : 0x01);
        item.madeBy = kMadeByUnix;
        item.deflated = deflated;
        const TimestampBlock ut(mtime);
        item.localExtra.assign(reinterpret_cast<const char*>(ut.bytes), sizeof ut.bytes);
        item.centralExtra = item.localExtra;
        item.zip64 = zip64;
        return m_zip.Begin(item, raw ? -1 : m_level);
    }
    bool Data(const char* data, size_t size) { return m_zip.Write(data, size); }
    bool EndRaw(uint64_t size, uLong crc) { return m_zip.EndRaw(size, static_cast<uint32_t>(crc)); }
    bool End() { return m_zip.End(); }
    bool Close() {
        if (!m_bOpen) return false;
        m_bOpen = false;
        return m_zip.Close();
    }

private:
    zipwriter::ZipWriter m_zip;
    bool m_bOpen;
    int m_level;
};

std::string ControlText(const PatchControl& control) {
    return "[VERSION]\r\nbfrom=" + std::to_string(control.buildFrom) +
           "\r\nbto=" + std::to_string(control.buildTo) + "\r\nfinal_version=" + control.finalVersion +
           "\r\n";
}

}  // namespace

bool PatchWriter::Write(const std::string& archivePath, const PatchControl& control,
                        const std::vector<PatchEntry>& entries, PatchStats& stats) {
    stats = PatchStats{};
    const int level = std::clamp(m_nLevel, 0, 9);
    const std::string partPath = archivePath + ".part";
    std::remove(partPath.c_str());
    ZipOutput zip(partPath, level);
    if (!zip.IsOpen()) {
        m_error = "cannot create " + partPath;
        return false;
    }

    const std::string controlText = ControlText(control);
    const time_t now = std::time(nullptr);
    if (m_bControlMember && (!zip.Begin(kControlMember, 0644, now, level > 0, false, false) ||
                             !zip.Data(controlText.data(), controlText.size()) || !zip.End())) {
        m_error = "cannot write " + partPath;
        return false;
    }

    // Workers prepare entries ahead of the writer, at most a window of them, so memory stays
    // bounded however many files the build has.
    const unsigned threads = m_nThreads ? m_nThreads : std::max(1u, std::thread::hardware_concurrency());
    const size_t window = static_cast<size_t>(threads) * 2;
    std::vector<Prepared> prepared(entries.size());
    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0;
    size_t consumed = 0;
    bool abort = false;

    auto worker = [&] {
        for (;;) {
            size_t i;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock,
                             [&] { return abort || next >= entries.size() || next < consumed + window; });
                if (abort || next >= entries.size()) return;
                i = next++;
            }
            Prepared p;
            Prepare(entries[i], level, p);
            std::lock_guard lock(mutex);
            prepared[i] = std::move(p);
            prepared[i].done = true;
            changed.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker);

    bool ok = true;
    std::vector<char> buffer;
    for (size_t i = 0; i < entries.size() && ok; ++i) {
        Prepared p;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return prepared[i].done; });
            p = std::move(prepared[i]);
            prepared[i] = Prepared{};
            ++consumed;
            changed.notify_all();
        }
        const PatchEntry& e = entries[i];
        if (!p.error.empty()) {
            m_error = p.error;
            ok = false;
            break;
        }
        if (p.streamed && !e.oldPath.empty()) {
            const int same = CompareFiles(e.oldPath, e.newPath);
            if (same < 0) {
                m_error = "cannot read " + e.newPath + " or " + e.oldPath;
                ok = false;
                break;
            }
            p.unchanged = same == 1;
        }
        if (p.unchanged) {
            ++stats.unchanged;
            continue;
        }
        const bool zip64 = e.size >= 0xFFFFFFFFull;
        if (p.streamed) {
            bool deflate = level > 0;
            if (deflate) {
                InputFile sample(e.newPath);
                buffer.resize(kSample);
                deflate = !(sample.IsOpen() &&
                            sample.Read(buffer.data(), kSample) == static_cast<ssize_t>(kSample) &&
                            LooksIncompressible(buffer.data(), e.size, level));
            }
            InputFile in(e.newPath);
            if (!in.IsOpen() || !zip.Begin(e.name, e.mode, e.mtime, deflate, false, zip64)) {
                m_error = "cannot read " + e.newPath + " or write " + partPath;
                ok = false;
                break;
            }
            buffer.resize(kChunk);
            uint64_t total = 0;
            for (;;) {
                const ssize_t n = in.Read(buffer.data(), buffer.size());
                if (n < 0 || !zip.Data(buffer.data(), static_cast<size_t>(n))) {
                    ok = false;
                    break;
                }
                total += static_cast<uint64_t>(n);
                if (static_cast<size_t>(n) < buffer.size()) break;
            }
            if (!ok || !zip.End()) {
                m_error = "cannot read " + e.newPath + " or write " + partPath;
                ok = false;
                break;
            }
            stats.bytesIn += total;
        } else {
            if (!zip.Begin(e.name, e.mode, e.mtime, p.deflated, true, zip64) ||
                !zip.Data(p.data.data(), p.data.size()) || !zip.EndRaw(p.size, p.crc)) {
                m_error = "cannot write " + partPath;
                ok = false;
                break;
            }
            stats.bytesIn += p.size;
        }
        ++stats.written;
    }
    {
        std::lock_guard lock(mutex);
        abort = true;
        changed.notify_all();
    }
    for (std::thread& t : pool) t.join();

    if (ok && !zip.Close()) {
        m_error = "cannot finish " + partPath;
        ok = false;
    }
    if (!ok) {
        zip.Close();
        std::remove(partPath.c_str());
        return false;
    }
    struct stat st {};
    if (::stat(partPath.c_str(), &st) == 0) stats.bytesOut = static_cast<uint64_t>(st.st_size);
    if (std::rename(partPath.c_str(), archivePath.c_str()) != 0) {
        m_error = "cannot rename " + partPath + " to " + archivePath;
        std::remove(partPath.c_str());
        return false;
    }
    return true;
}

}  // namespace nb::mkpatch
