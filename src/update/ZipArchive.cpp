#include "update/ZipArchive.h"

#include <fcntl.h>
#include <minizip/unzip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>

namespace nb {
namespace {

constexpr size_t kBufferSize = 16384;
constexpr int64_t kUnixToFileTimeSeconds = 11644473600LL;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000ULL;

unzFile Reader(void* p) {
    return static_cast<unzFile>(p);
}

// ---- code page 936 text ----

bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
bool IsTrailByte(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

size_t CharLength(std::string_view s, size_t i) {
    if (i + 1 < s.size() && IsLeadByte(static_cast<unsigned char>(s[i])) &&
        IsTrailByte(static_cast<unsigned char>(s[i + 1])))
        return 2;
    return 1;
}

// Like strstr, but a match must start on a character boundary.
size_t FindText(std::string_view s, std::string_view pattern) {
    for (size_t i = 0; i + pattern.size() <= s.size(); i += CharLength(s, i)) {
        if (s.compare(i, pattern.size(), pattern) == 0) return i;
    }
    return std::string_view::npos;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// ---- times ----

uint64_t FileTimeFromUnix(int64_t t) {
    return static_cast<uint64_t>(t + kUnixToFileTimeSeconds) * kFileTimeUnitsPerSecond;
}

timespec TimespecFromFileTime(uint64_t ft) {
    timespec ts{};
    ts.tv_sec =
        static_cast<time_t>(static_cast<int64_t>(ft / kFileTimeUnitsPerSecond) - kUnixToFileTimeSeconds);
    ts.tv_nsec = static_cast<long>((ft % kFileTimeUnitsPerSecond) * 100);
    return ts;
}

// A DOS date and time carry no zone; the archive's home platform reads them as local time.
uint64_t FileTimeFromDos(uint32_t dos) {
    const uint32_t date = dos >> 16;
    const uint32_t time = dos & 0xFFFF;
    std::tm tm{};
    tm.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
    tm.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>(date & 0x1F);
    tm.tm_hour = static_cast<int>((time >> 11) & 0x1F);
    tm.tm_min = static_cast<int>((time >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>(time & 0x1F) * 2;
    tm.tm_isdst = -1;
    const time_t t = std::mktime(&tm);
    return t == static_cast<time_t>(-1) ? 0 : FileTimeFromUnix(t);
}

uint32_t ReadLe16(const std::vector<unsigned char>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8;
}

int32_t ReadLe32(const std::vector<unsigned char>& b, size_t at) {
    return static_cast<int32_t>(static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
                                static_cast<uint32_t>(b[at + 2]) << 16 |
                                static_cast<uint32_t>(b[at + 3]) << 24);
}

// The first extended-timestamp ("UT") block of a local extra field overrides the DOS time.
// A block that claims more times than it holds gives only the ones it holds.
void ApplyExtendedTimestamp(const std::vector<unsigned char>& extra, ZipItemInfo& info) {
    size_t offset = 0;
    while (offset + 4 < extra.size()) {
        const size_t blockSize = ReadLe16(extra, offset + 2);
        if (extra[offset] == 'U' && extra[offset + 1] == 'T') {
            const size_t end = std::min(offset + 4 + blockSize, extra.size());
            size_t at = offset + 4;
            if (at >= end) return;
            const unsigned flags = extra[at++];
            auto take = [&](uint64_t& target) {
                if (at + 4 <= end) target = FileTimeFromUnix(ReadLe32(extra, at));
                at += 4;
            };
            if (flags & 1) take(info.writeTime);
            if (flags & 2) take(info.accessTime);
            if (flags & 4) take(info.createTime);
            return;
        }
        offset += 4 + blockSize;
    }
}

void DecodeAttributes(uint32_t external, uint32_t host, ZipItemInfo& info) {
    bool directory = (external & 0x40000000) != 0;
    bool readOnly = (external & 0x00800000) == 0;
    bool hidden = false;
    bool system = false;
    bool archive = true;
    const bool dosLike = host == 0 || host == 7 || host == 11 || host == 14;
    if (dosLike) {
        readOnly = (external & 0x01) != 0;
        hidden = (external & 0x02) != 0;
        system = (external & 0x04) != 0;
        directory = (external & 0x10) != 0;
        archive = (external & 0x20) != 0;
    }
    info.attributes = (directory ? kZipAttrDirectory : 0) | (archive ? kZipAttrArchive : 0) |
                      (hidden ? kZipAttrHidden : 0) | (readOnly ? kZipAttrReadOnly : 0) |
                      (system ? kZipAttrSystem : 0);
    const uint32_t mode = external >> 16;
    if (!dosLike && (mode & S_IFMT) != 0) {
        info.symbolicLink = (mode & S_IFMT) == S_IFLNK;
        if (!info.symbolicLink) info.unixMode = mode & 0777;
    }
}

// ---- files and folders ----

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Parents before children; failures show up when the output file cannot be created.
void MakeDirectories(const std::string& root, const std::string& folder) {
    if (!root.empty() && !IsFolder(root)) ::mkdir(root.c_str(), 0777);
    for (size_t i = 1; i < folder.size(); ++i) {
        if (folder[i] != '/') continue;
        const std::string path = root + folder.substr(0, i);
        if (!IsFolder(path)) ::mkdir(path.c_str(), 0777);
    }
    if (!folder.empty() && folder.back() != '/') {
        const std::string path = root + folder;
        if (!IsFolder(path)) ::mkdir(path.c_str(), 0777);
    }
}

mode_t FileMode(const ZipItemInfo& info) {
    if (info.unixMode != 0) return static_cast<mode_t>(info.unixMode);
    return (info.attributes & kZipAttrReadOnly) ? 0444 : 0644;
}

// Replaces whatever is at path with a new regular file. A symbolic link in the way is
// removed rather than followed, so an item never writes through a link to elsewhere.
int CreateOutputFile(const std::string& path, mode_t mode) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            ::unlink(path.c_str());
        } else if (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) {
            ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);
        }
    }
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0 && (errno == ETXTBSY || errno == ELOOP)) {
        // A running program cannot be rewritten in place, but it can be replaced.
        ::unlink(path.c_str());
        fd = ::open(path.c_str(), flags | O_EXCL, 0600);
    }
    if (fd >= 0 && ::fchmod(fd, mode) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The archive file is opened close-on-exec so that programs started after a patch do
// not inherit it.
voidpf OpenArchiveFile(voidpf, const void* name, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ || !name) return nullptr;
    return std::fopen(static_cast<const char*>(name), "rbe");
}

// minizip does not find an end record at the very start of the file, so it refuses the
// empty archive (nothing but that record); it is a valid archive of no items.
bool IsEmptyArchive(const std::string& fileName) {
    constexpr size_t kEndRecord = 22;
    FILE* f = std::fopen(fileName.c_str(), "rbe");
    if (!f) return false;
    unsigned char record[kEndRecord];
    const bool read = std::fread(record, 1, kEndRecord, f) == kEndRecord;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    if (!read || record[0] != 'P' || record[1] != 'K' || record[2] != 5 || record[3] != 6) return false;
    for (size_t i = 4; i < 20; ++i)
        if (record[i] != 0) return false;  // disks, entries, directory size and offset all zero
    const long comment = record[20] | record[21] << 8;
    return size == static_cast<long>(kEndRecord) + comment;
}

}  // namespace

std::string SanitizeZipName(std::string_view name) {
    if (auto zero = name.find('\0'); zero != std::string_view::npos) name = name.substr(0, zero);
    static constexpr std::string_view kParentSteps[] = {"\\..\\", "\\../", "/../", "/..\\"};
    bool changed = true;
    while (changed) {
        changed = false;
        if (name.size() >= 2 && name[1] == ':') {
            name.remove_prefix(2);
            changed = true;
        }
        if (!name.empty() && IsSeparator(name[0])) {
            name.remove_prefix(1);
            changed = true;
        }
        for (std::string_view step : kParentSteps) {
            const size_t at = FindText(name, step);
            if (at != std::string_view::npos) {
                name.remove_prefix(at + step.size());
                changed = true;
                break;
            }
        }
        if (name.size() >= 3 && name[0] == '.' && name[1] == '.' && IsSeparator(name[2])) {
            name.remove_prefix(3);
            changed = true;
        }
    }
    return std::string(name);
}

std::string ZipNameToPath(std::string_view name) {
    std::string path(name);
    for (size_t i = 0; i < path.size(); i += CharLength(path, i)) {
        if (path[i] == '\\') path[i] = '/';
    }
    return path;
}

bool HasParentSegment(std::string_view path) {
    size_t begin = 0;
    while (begin <= path.size()) {
        size_t end = path.find('/', begin);
        if (end == std::string_view::npos) end = path.size();
        if (path.substr(begin, end - begin) == "..") return true;
        begin = end + 1;
    }
    return false;
}

std::unique_ptr<ZipArchive> ZipArchive::Open(const std::string& fileName, const char* password) {
    zlib_filefunc64_def files;
    fill_fopen64_filefunc(&files);
    files.zopen64_file = OpenArchiveFile;
    unzFile reader = unzOpen2_64(fileName.c_str(), &files);
    if (!reader && !IsEmptyArchive(fileName)) return nullptr;

    std::unique_ptr<ZipArchive> archive(new ZipArchive());
    archive->m_pReader = reader;
    if (reader) {
        unz_global_info64 global{};
        if (unzGetGlobalInfo64(reader, &global) != UNZ_OK || global.number_entry > INT32_MAX) return nullptr;
        archive->m_nCount = static_cast<int32_t>(global.number_entry);
        // The reader opens some archives whose directory it then cannot read (a cut-off end
        // record reads as zeros); those are no archives either.
        if (archive->m_nCount > 0 && unzGoToFirstFile(reader) != UNZ_OK) return nullptr;
    }
    if (password) {
        archive->m_bHasPassword = true;
        archive->m_strPassword = password;
    }
    // A root too long for the path buffers is kept whole: every extraction under it is
    // then refused by the path length check instead of landing somewhere else.
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return nullptr;
    archive->m_strRoot = cwd;
    if (archive->m_strRoot.back() != '/') archive->m_strRoot += '/';
    return archive;
}

ZipArchive::~ZipArchive() {
    if (m_nOpenItem >= 0) unzCloseCurrentFile(Reader(m_pReader));
    if (m_pReader) unzClose(Reader(m_pReader));
}

ZipResult ZipArchive::GoToItem(int32_t index) {
    unzFile reader = Reader(m_pReader);
    if (index < m_nPosition) {
        if (unzGoToFirstFile(reader) != UNZ_OK) {
            m_nPosition = INT32_MAX;
            return ZipResult::kBadLocalHeader;
        }
        m_nPosition = 0;
    }
    while (m_nPosition < index) {
        if (unzGoToNextFile(reader) != UNZ_OK) {
            // Unknown position: the next request starts again from the first item.
            m_nPosition = INT32_MAX;
            return ZipResult::kBadLocalHeader;
        }
        ++m_nPosition;
    }
    return ZipResult::kOk;
}

ZipResult ZipArchive::GetItemInfo(int32_t index, ZipItemInfo& info) {
    if (index < -1 || index >= m_nCount) return ZipResult::kBadArgument;
    if (m_nOpenItem >= 0) {
        unzCloseCurrentFile(Reader(m_pReader));
        m_nOpenItem = -1;
    }
    if (index != -1 && index == m_nCachedIndex) {
        info = m_cachedInfo;
        return ZipResult::kOk;
    }
    if (index == -1) {
        info = ZipItemInfo{};
        info.index = m_nCount;
        return ZipResult::kOk;
    }
    ZipItemInfo read;
    const ZipResult result = ReadItemInfo(index, read);
    if (result != ZipResult::kOk) return result;
    m_cachedInfo = read;
    m_nCachedIndex = index;
    info = std::move(read);
    return ZipResult::kOk;
}

ZipResult ZipArchive::ReadItemInfo(int32_t index, ZipItemInfo& info) {
    if (ZipResult r = GoToItem(index); r != ZipResult::kOk) return r;
    unzFile reader = Reader(m_pReader);

    unz_file_info64 fi{};
    char name[kZipMaxPath];
    if (unzGetCurrentFileInfo64(reader, &fi, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
        return ZipResult::kBadLocalHeader;
    if (fi.size_filename >= kZipMaxPath) return ZipResult::kCannotOpen;  // refused, never cut

    // Opening the raw item checks its local header against the directory.
    int method = 0;
    if (unzOpenCurrentFile3(reader, &method, nullptr, 1, nullptr) != UNZ_OK)
        return ZipResult::kBadLocalHeader;
    m_nOpenItem = index;
    std::vector<unsigned char> extra;
    const int extraSize = unzGetLocalExtrafield(reader, nullptr, 0);
    ZipResult result = ZipResult::kOk;
    if (extraSize < 0) {
        result = ZipResult::kBadExtraField;
    } else if (extraSize > 0) {
        extra.resize(static_cast<size_t>(extraSize));
        if (unzGetLocalExtrafield(reader, extra.data(), static_cast<unsigned>(extraSize)) != extraSize)
            result = ZipResult::kBadExtraField;
    }
    unzCloseCurrentFile(reader);
    m_nOpenItem = -1;
    if (result != ZipResult::kOk) return result;

    info.index = index;
    info.name = SanitizeZipName(std::string_view(name, fi.size_filename));
    DecodeAttributes(static_cast<uint32_t>(fi.external_fa), static_cast<uint32_t>(fi.version >> 8) & 0xFF,
                     info);
    info.compressedSize = static_cast<uint32_t>(fi.compressed_size);
    info.size = static_cast<uint32_t>(fi.uncompressed_size);
    info.writeTime = info.accessTime = info.createTime = FileTimeFromDos(static_cast<uint32_t>(fi.dosDate));
    ApplyExtendedTimestamp(extra, info);
    return ZipResult::kOk;
}

ZipResult ZipArchive::ExtractItem(int32_t index, const std::string& destinationName) {
    if (m_nOpenItem >= 0) {
        unzCloseCurrentFile(Reader(m_pReader));
        m_nOpenItem = -1;
    }
    if (index < 0 || index >= m_nCount) return ZipResult::kBadArgument;
    ZipItemInfo info;
    if (ZipResult r = GetItemInfo(index, info); r != ZipResult::kOk) return r;

    const std::string dest = ZipNameToPath(destinationName);
    if (HasParentSegment(dest)) return ZipResult::kCannotOpen;
    const bool absolute = !dest.empty() && dest[0] == '/';
    const std::string root = absolute ? std::string() : m_strRoot;
    const size_t slash = dest.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : dest.substr(0, slash + 1);
    const std::string file = dest.substr(folder.size());

    if ((info.attributes & kZipAttrDirectory) || file.empty()) {
        if (root.size() + dest.size() >= kZipMaxPath) return ZipResult::kCannotOpen;
        MakeDirectories(root, dest);
        return ZipResult::kOk;
    }
    const std::string path = root + folder + file;
    if (path.size() >= kZipMaxPath) return ZipResult::kCannotOpen;
    MakeDirectories(root, folder);
    return WriteItem(info, path);
}

ZipResult ZipArchive::WriteItem(const ZipItemInfo& info, const std::string& path) {
    if (ZipResult r = GoToItem(info.index); r != ZipResult::kOk) return r;
    unzFile reader = Reader(m_pReader);
    unz_file_info64 fi{};
    if (unzGetCurrentFileInfo64(reader, &fi, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return ZipResult::kBadLocalHeader;
    const bool encrypted = (fi.flag & 1) != 0;
    // Checked before the output file is made, so a refused item leaves nothing behind.
    if (encrypted && !m_bHasPassword) return ZipResult::kPassword;
    if (fi.compression_method != 0 && fi.compression_method != Z_DEFLATED) return ZipResult::kDataError;

    const int fd = CreateOutputFile(path, FileMode(info));
    if (fd < 0) return ZipResult::kCannotOpen;
    if (m_buffer.empty()) m_buffer.resize(kBufferSize);

    ZipResult result = ZipResult::kOk;
    const int opened = unzOpenCurrentFilePassword(reader, m_bHasPassword ? m_strPassword.c_str() : nullptr);
    if (opened != UNZ_OK) {
        result = opened == UNZ_BADZIPFILE ? ZipResult::kBadLocalHeader : ZipResult::kDataError;
    } else {
        m_nOpenItem = info.index;
        for (;;) {
            const int n = unzReadCurrentFile(reader, m_buffer.data(), static_cast<unsigned>(m_buffer.size()));
            if (n < 0) {
                result = encrypted && n == Z_DATA_ERROR ? ZipResult::kPassword : ZipResult::kDataError;
                break;
            }
            if (n > 0) {
                if (!WriteAll(fd, m_buffer.data(), static_cast<size_t>(n))) {
                    result = ZipResult::kWriteFailed;
                    break;
                }
                continue;
            }
            if (unzeof(reader) != 1) {
                result = ZipResult::kDataError;  // the data ended before the item's size
                break;
            }
            const timespec times[2] = {TimespecFromFileTime(info.accessTime),
                                       TimespecFromFileTime(info.writeTime)};
            ::futimens(fd, times);
            break;
        }
        // A damaged archive whose deflate stream still decodes is caught by its checksum.
        if (unzCloseCurrentFile(reader) == UNZ_CRCERROR && result == ZipResult::kOk)
            result = ZipResult::kDataError;
        m_nOpenItem = -1;
    }
    if (::close(fd) != 0 && result == ZipResult::kOk) result = ZipResult::kWriteFailed;
    return result;
}

bool ZipArchive::FlushExtracted() const {
    const int fd = ::open(m_strRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace nb
