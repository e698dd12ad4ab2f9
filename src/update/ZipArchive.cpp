#include "update/ZipArchive.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <iterator>

#include "platform/Files.h"

namespace nb {
namespace {

constexpr size_t kChunk = 64 * 1024;           // output, and input of deflated items
constexpr size_t kCentralWindow = 64 * 1024;   // directory read ahead
constexpr size_t kShortTail = 1024;             // where the end record of an archive without comment is
constexpr int64_t kUnixToFileTimeSeconds = 11644473600LL;
constexpr uint64_t kFileTimeUnitsPerSecond = 10000000ULL;

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndSize = 56;
constexpr uint32_t kNoSize = 0xFFFFFFFF;  // "see the ZIP64 block"
constexpr uint32_t kZip64ExtraTag = 0x0001;
constexpr size_t kEncryptionHeaderSize = 12;

constexpr uint32_t kFlagEncrypted = 0x0001;
constexpr uint32_t kFlagDataDescriptor = 0x0008;
constexpr uint32_t kMethodStored = 0;
constexpr uint32_t kMethodDeflated = 8;
constexpr uint32_t kMethodBzip2 = 12;  // known, so its header is consistent, but not extracted

constexpr uint32_t kUnixTypeMask = 0170000;
constexpr uint32_t kUnixLink = 0120000;

uint32_t Le16(const unsigned char* b) {
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8;
}
uint32_t Le32(const unsigned char* b) {
    return Le16(b) | Le16(b + 2) << 16;
}
uint64_t Le64(const unsigned char* b) {
    return static_cast<uint64_t>(Le32(b)) | static_cast<uint64_t>(Le32(b + 4)) << 32;
}

// a + b, or false when it does not fit.
bool AddChecked(uint64_t a, uint64_t b, uint64_t& sum) {
    if (a > UINT64_MAX - b) return false;
    sum = a + b;
    return true;
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

// The first extended-timestamp ("UT") block of a local extra field overrides the DOS time.
// A block that claims more times than it holds gives only the ones it holds.
void ApplyExtendedTimestamp(const std::vector<unsigned char>& extra, ZipItemInfo& info) {
    size_t offset = 0;
    while (offset + 4 < extra.size()) {
        const size_t blockSize = Le16(&extra[offset + 2]);
        if (extra[offset] == 'U' && extra[offset + 1] == 'T') {
            const size_t end = std::min(offset + 4 + blockSize, extra.size());
            size_t at = offset + 4;
            if (at >= end) return;
            const unsigned flags = extra[at++];
            auto take = [&](uint64_t& target) {
                if (at + 4 <= end) target = FileTimeFromUnix(static_cast<int32_t>(Le32(&extra[at])));
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
    if (!dosLike && (mode & kUnixTypeMask) != 0) {
        info.symbolicLink = (mode & kUnixTypeMask) == kUnixLink;
        if (!info.symbolicLink) info.unixMode = mode & 0777;
    }
}

// An item without Unix permissions (made on Windows) says only whether it is read-only;
// it keeps the execute bits of the file it replaces, so a patched program still starts.
uint32_t OutputMode(const ZipItemInfo& info, const std::string& path) {
    if (info.unixMode != 0) return info.unixMode;
    uint32_t mode = (info.attributes & kZipAttrReadOnly) ? 0444 : 0644;
    uint32_t old = 0;
    if (platform::GetFileMode(path, old)) mode |= old & 0111;
    return mode;
}

// ---- files and folders ----

// Parents before children; failures show up when the output file cannot be created.
void MakeDirectories(const std::string& root, const std::string& folder) {
    if (!root.empty() && !platform::IsFolder(root)) platform::MakeFolder(root);
    for (size_t i = 1; i < folder.size(); ++i) {
        if (folder[i] != '/') continue;
        const std::string path = root + folder.substr(0, i);
        if (!platform::IsFolder(path)) platform::MakeFolder(path);
    }
    if (!folder.empty() && folder.back() != '/') {
        const std::string path = root + folder;
        if (!platform::IsFolder(path)) platform::MakeFolder(path);
    }
}

// ---- traditional zip encryption ----

class ZipCrypto {
public:
    explicit ZipCrypto(const std::string& password) : m_table(get_crc_table()) {
        for (char c : password) Update(static_cast<unsigned char>(c));
    }
    void Decrypt(unsigned char* data, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            const uint32_t temp = (m_keys[2] & 0xFFFF) | 2;
            data[i] ^= static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
            Update(data[i]);
        }
    }

private:
    uint32_t Crc(uint32_t crc, unsigned char b) const {
        return static_cast<uint32_t>(m_table[(crc ^ b) & 0xFF]) ^ (crc >> 8);
    }
    void Update(unsigned char c) {
        m_keys[0] = Crc(m_keys[0], c);
        m_keys[1] = (m_keys[1] + (m_keys[0] & 0xFF)) * 134775813u + 1;
        m_keys[2] = Crc(m_keys[2], static_cast<unsigned char>(m_keys[1] >> 24));
    }

    const z_crc_t* m_table;
    uint32_t m_keys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

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
    std::unique_ptr<platform::ByteSource> source = platform::OpenFileSource(fileName);
    if (!source) return nullptr;
    return Open(std::move(source), password);
}

std::unique_ptr<ZipArchive> ZipArchive::Open(std::unique_ptr<platform::ByteSource> source,
                                             const char* password, size_t directoryReadAhead) {
    if (!source) return nullptr;
    std::unique_ptr<ZipArchive> archive(new ZipArchive());
    archive->m_source = std::move(source);
    archive->m_nReadAhead = directoryReadAhead ? directoryReadAhead : kCentralWindow;
    if (!archive->ReadEndRecords()) return nullptr;
    // The first record must be readable, or there is no directory at all.
    if (archive->m_nCount > 0 && archive->GoToItem(0) != ZipResult::kOk) return nullptr;
    if (password) {
        archive->m_bHasPassword = true;
        archive->m_strPassword = password;
    }
    // A root too long for the path buffers is kept whole: every extraction under it is
    // then refused by the path length check instead of landing somewhere else.
    archive->m_strRoot = platform::CurrentFolder();
    if (archive->m_strRoot.empty()) return nullptr;
    if (archive->m_strRoot.back() != '/' && archive->m_strRoot.back() != '\\') archive->m_strRoot += '/';
    return archive;
}

ZipArchive::~ZipArchive() = default;

// The end record is the last "PK\5\6" within the last 64 KiB (its comment may follow it);
// a ZIP64 locator just before it points to the ZIP64 end record, whose counts and offsets
// then hold. Bytes before the archive proper (a self-extracting program) shift every offset.
bool ZipArchive::ReadEndRecords() {
    const uint64_t size = m_source->Size();
    if (size < kEndSize) return false;
    // Most archives have no comment: the end record is in the last bytes, and a source where
    // every byte costs need not give 64 KiB for it. The last signature wins either way.
    std::vector<unsigned char> tail;
    size_t tailSize = 0;
    size_t found = 0;
    for (const uint64_t want : {uint64_t{kShortTail}, uint64_t{0xFFFF + kEndSize}}) {
        tailSize = static_cast<size_t>(std::min<uint64_t>(size, want));
        tail.resize(tailSize);
        if (!m_source->ReadAt(size - tailSize, tail.data(), tailSize)) return false;
        found = tailSize;
        for (size_t i = tailSize - 4 + 1; i-- > 0;) {
            if (Le32(&tail[i]) == kEndSignature) {
                found = i;
                break;
            }
        }
        if (found != tailSize || tailSize == size) break;
    }
    if (found == tailSize || found + kEndSize > tailSize) return false;
    const unsigned char* end = &tail[found];
    uint64_t directoryPosition = size - tailSize + found;
    uint64_t disk = Le16(end + 4);
    uint64_t directoryDisk = Le16(end + 6);
    uint64_t entriesHere = Le16(end + 8);
    uint64_t entries = Le16(end + 10);
    uint64_t directorySize = Le32(end + 12);
    uint64_t directoryOffset = Le32(end + 16);

    unsigned char locator[kZip64LocatorSize];
    if (directoryPosition >= kZip64LocatorSize + kZip64EndSize &&
        m_source->ReadAt(directoryPosition - kZip64LocatorSize, locator, sizeof locator) &&
        Le32(locator) == kZip64LocatorSignature && Le32(locator + 4) == 0 && Le32(locator + 16) == 1) {
        // The locator's offset does not count a prefix; the record usually sits just before it.
        unsigned char record[kZip64EndSize];
        uint64_t recordAt = Le64(locator + 8);
        const uint64_t adjacent = directoryPosition - kZip64LocatorSize - kZip64EndSize;
        bool found = m_source->ReadAt(recordAt, record, sizeof record) && Le32(record) == kZip64EndSignature;
        if (!found && m_source->ReadAt(adjacent, record, sizeof record) && Le32(record) == kZip64EndSignature) {
            recordAt = adjacent;
            found = true;
        }
        if (found) {
            directoryPosition = recordAt;
            disk = Le32(record + 16);
            directoryDisk = Le32(record + 20);
            entriesHere = Le64(record + 24);
            entries = Le64(record + 32);
            directorySize = Le64(record + 40);
            directoryOffset = Le64(record + 48);
        }
    }
    uint64_t directoryEnd = 0;
    if (entries != entriesHere || disk != 0 || directoryDisk != 0 || entries > INT32_MAX ||
        !AddChecked(directoryOffset, directorySize, directoryEnd) || directoryPosition < directoryEnd)
        return false;
    m_nPrefix = directoryPosition - directoryEnd;
    m_nCentralStart = directoryOffset + m_nPrefix;
    m_nCentralEnd = directoryPosition;
    m_nCount = static_cast<int32_t>(entries);
    return true;
}

// Directory records are small and read one after the other: they come from a window read
// ahead, so walking the directory costs one read per window, not several per record.
bool ZipArchive::ReadCentral(uint64_t offset, void* data, size_t size) {
    if (size == 0) return true;
    if (size > m_nReadAhead) return m_source->ReadAt(offset, data, size);
    if (offset < m_nCentralAt || offset - m_nCentralAt + size > m_central.size()) {
        const uint64_t total = m_source->Size();
        if (offset > total || size > total - offset) return false;
        m_central.resize(static_cast<size_t>(std::min<uint64_t>(m_nReadAhead, total - offset)));
        m_nCentralAt = offset;
        if (!m_source->ReadAt(offset, m_central.data(), m_central.size())) {
            m_central.clear();
            return false;
        }
    }
    std::memcpy(data, m_central.data() + (offset - m_nCentralAt), size);
    return true;
}

bool ZipArchive::ReadEntry(uint64_t offset, Entry& entry) {
    unsigned char h[kCentralHeaderSize];
    if (!ReadCentral(offset, h, sizeof h) || Le32(h) != kCentralSignature) return false;
    entry = Entry{};
    entry.madeBy = Le16(h + 4);
    entry.flags = Le16(h + 8);
    entry.method = Le16(h + 10);
    entry.dosDateTime = Le16(h + 14) << 16 | Le16(h + 12);
    entry.crc = Le32(h + 16);
    entry.compressedSize = Le32(h + 20);
    entry.size = Le32(h + 24);
    const size_t nameLength = Le16(h + 28);
    const size_t extraLength = Le16(h + 30);
    const size_t commentLength = Le16(h + 32);
    const uint32_t disk = Le16(h + 34);
    entry.externalAttributes = Le32(h + 38);
    entry.localOffset = Le32(h + 42);
    entry.name.resize(nameLength);
    std::vector<unsigned char> extra(extraLength);
    if (!ReadCentral(offset + kCentralHeaderSize, entry.name.data(), nameLength) ||
        !ReadCentral(offset + kCentralHeaderSize + nameLength, extra.data(), extraLength))
        return false;

    // The ZIP64 block holds, in this order, exactly the values whose short field is full.
    for (size_t at = 0; at + 4 <= extra.size();) {
        const uint32_t tag = Le16(&extra[at]);
        const size_t blockEnd = std::min(at + 4 + Le16(&extra[at + 2]), extra.size());
        if (tag == kZip64ExtraTag) {
            size_t p = at + 4;
            auto take = [&](uint64_t& value) {
                if (value != kNoSize) return true;
                if (p + 8 > blockEnd) return false;
                value = Le64(&extra[p]);
                p += 8;
                return true;
            };
            if (!take(entry.size) || !take(entry.compressedSize) || !take(entry.localOffset)) return false;
            if (disk == 0xFFFF && p + 4 > blockEnd) return false;
            break;
        }
        at = blockEnd;
    }
    if (!AddChecked(entry.localOffset, m_nPrefix, entry.localOffset)) return false;
    entry.next = offset + kCentralHeaderSize + nameLength + extraLength + commentLength;
    return true;
}

ZipResult ZipArchive::GoToItem(int32_t index) {
    if (m_nPosition < 0 || index < m_nPosition) {
        if (!ReadEntry(m_nCentralStart, m_current)) {
            m_nPosition = -1;
            return ZipResult::kBadLocalHeader;
        }
        m_nPosition = 0;
    }
    while (m_nPosition < index) {
        Entry next;
        if (!ReadEntry(m_current.next, next)) {
            // Unknown position: the next request starts again from the first item.
            m_nPosition = -1;
            return ZipResult::kBadLocalHeader;
        }
        m_current = std::move(next);
        ++m_nPosition;
    }
    return ZipResult::kOk;
}

ZipResult ZipArchive::GetItemInfo(int32_t index, ZipItemInfo& info) {
    if (index < -1 || index >= m_nCount) return ZipResult::kBadArgument;
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
    Entry entry;
    const ZipResult result = ReadItemInfo(index, read, entry);
    if (result != ZipResult::kOk) return result;
    m_cachedInfo = read;
    m_cachedEntry = std::move(entry);
    m_nCachedIndex = index;
    info = std::move(read);
    return ZipResult::kOk;
}

ZipResult ZipArchive::GetStoredItem(int32_t index, ZipStoredItem& item) {
    if (index < 0 || index >= m_nCount) return ZipResult::kBadArgument;
    if (ZipResult r = GoToItem(index); r != ZipResult::kOk) return r;
    item.path = ZipNameToPath(SanitizeZipName(m_current.name));
    item.localOffset = m_current.localOffset;
    item.compressedSize = m_current.compressedSize;
    item.size = m_current.size;
    return ZipResult::kOk;
}

ZipResult ZipArchive::ReadItemInfo(int32_t index, ZipItemInfo& info, Entry& entry) {
    if (ZipResult r = GoToItem(index); r != ZipResult::kOk) return r;
    entry = m_current;
    return ReadLocal(index, entry, info);
}

ZipResult ZipArchive::ReadEntryAt(uint64_t recordOffset, Entry& entry) {
    if (recordOffset < m_nCentralStart || recordOffset >= m_nCentralEnd || !ReadEntry(recordOffset, entry))
        return ZipResult::kBadLocalHeader;
    return ZipResult::kOk;
}

ZipResult ZipArchive::GetStoredItemAt(uint64_t recordOffset, ZipStoredItem& item, uint64_t& next) {
    Entry entry;
    if (ZipResult r = ReadEntryAt(recordOffset, entry); r != ZipResult::kOk) return r;
    item.path = ZipNameToPath(SanitizeZipName(entry.name));
    item.localOffset = entry.localOffset;
    item.compressedSize = entry.compressedSize;
    item.size = entry.size;
    next = entry.next;
    return ZipResult::kOk;
}

ZipResult ZipArchive::GetItemInfoAt(int32_t index, uint64_t recordOffset, ZipItemInfo& info) {
    Entry entry;
    if (ZipResult r = ReadEntryAt(recordOffset, entry); r != ZipResult::kOk) return r;
    return ReadLocal(index, entry, info);
}

ZipResult ZipArchive::ExtractItemAt(int32_t index, uint64_t recordOffset, const std::string& destinationName,
                                    ZipItemCheck* check) {
    Entry entry;
    ZipItemInfo info;
    if (ZipResult r = ReadEntryAt(recordOffset, entry); r != ZipResult::kOk) return r;
    if (ZipResult r = ReadLocal(index, entry, info); r != ZipResult::kOk) return r;
    return ExtractEntry(info, entry, destinationName, check);
}

ZipResult ZipArchive::ReadLocal(int32_t index, Entry& entry, ZipItemInfo& info) {
    if (entry.name.size() >= kZipMaxPath) return ZipResult::kCannotOpen;  // refused, never cut

    // The local header must tell the same story as the directory (sizes and checksum
    // only when they are not deferred to a descriptor after the data).
    unsigned char h[kLocalHeaderSize];
    if (!m_source->ReadAt(entry.localOffset, h, sizeof h) || Le32(h) != kLocalSignature)
        return ZipResult::kBadLocalHeader;
    const uint32_t localFlags = Le16(h + 6);
    const uint32_t localCompressed = Le32(h + 18);
    const uint32_t localSize = Le32(h + 22);
    const bool deferred = (localFlags & kFlagDataDescriptor) != 0;
    if (Le16(h + 8) != entry.method ||
        (entry.method != kMethodStored && entry.method != kMethodDeflated && entry.method != kMethodBzip2) ||
        (!deferred && Le32(h + 14) != entry.crc) ||
        (!deferred && localCompressed != kNoSize && localCompressed != entry.compressedSize) ||
        (!deferred && localSize != kNoSize && localSize != entry.size) || Le16(h + 26) != entry.name.size())
        return ZipResult::kBadLocalHeader;
    const size_t extraLength = Le16(h + 28);
    uint64_t extraStart = 0;
    if (!AddChecked(entry.localOffset, kLocalHeaderSize + entry.name.size(), extraStart) ||
        !AddChecked(extraStart, extraLength, entry.dataStart) ||
        !ClaimDataRange(index, entry.dataStart, entry.compressedSize))
        return ZipResult::kBadLocalHeader;
    std::vector<unsigned char> extra(extraLength);
    if (extraLength > 0 && !m_source->ReadAt(extraStart, extra.data(), extraLength))
        return ZipResult::kBadExtraField;

    info.index = index;
    info.name = SanitizeZipName(entry.name);
    DecodeAttributes(entry.externalAttributes, (entry.madeBy >> 8) & 0xFF, info);
    info.compressedSize = static_cast<uint32_t>(entry.compressedSize);
    info.size = static_cast<uint32_t>(entry.size);
    info.writeTime = info.accessTime = info.createTime = FileTimeFromDos(entry.dosDateTime);
    ApplyExtendedTimestamp(extra, info);
    return ZipResult::kOk;
}

// Items whose stored data overlap are how small archives expand to enormous output (each
// directory entry extracts the same data again); no archive a packer writes has them.
bool ZipArchive::ClaimDataRange(int32_t index, uint64_t start, uint64_t size) {
    if (size == 0) return true;
    const uint64_t end = size > UINT64_MAX - start ? UINT64_MAX : start + size;
    auto next = m_dataRanges.lower_bound(start);
    if (next != m_dataRanges.end() && next->first < end && next->second.second != index) return false;
    if (next != m_dataRanges.begin()) {
        auto previous = std::prev(next);
        if (previous->second.first > start && previous->second.second != index) return false;
    }
    m_dataRanges[start] = {end, index};
    return true;
}

ZipResult ZipArchive::ExtractItem(int32_t index, const std::string& destinationName, ZipItemCheck* check) {
    m_strWriteError.clear();
    if (index < 0 || index >= m_nCount) return ZipResult::kBadArgument;
    ZipItemInfo info;
    if (ZipResult r = GetItemInfo(index, info); r != ZipResult::kOk) return r;
    return ExtractEntry(info, m_cachedEntry, destinationName, check);
}

ZipResult ZipArchive::ExtractEntry(const ZipItemInfo& info, const Entry& entry, const std::string& destinationName,
                                   ZipItemCheck* check) {
    m_strWriteError.clear();
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
    return WriteItem(info, entry, path, check);
}

ZipResult ZipArchive::WriteItem(const ZipItemInfo& info, const Entry& entry, const std::string& path,
                                ZipItemCheck* check) {
    const bool encrypted = (entry.flags & kFlagEncrypted) != 0;
    // Checked before the output file is made, so a refused item leaves nothing behind.
    if (encrypted && !m_bHasPassword) return ZipResult::kPassword;
    if (entry.method != kMethodStored && entry.method != kMethodDeflated) return ZipResult::kDataError;

    platform::ReplacementFile out;
    if (!out.Create(path)) {
        m_strWriteError = out.Error();
        return ZipResult::kCannotOpen;
    }
    if (m_buffer.empty()) m_buffer.resize(2 * kChunk);
    unsigned char* const output = m_buffer.data();
    unsigned char* const input = m_buffer.data() + kChunk;

    uint64_t position = entry.dataStart;
    uint64_t remaining = entry.compressedSize;  // stored bytes not read yet
    std::unique_ptr<ZipCrypto> crypto;
    if (encrypted) {
        unsigned char header[kEncryptionHeaderSize];
        if (remaining < sizeof header || !m_source->ReadAt(position, header, sizeof header))
            return ZipResult::kDataError;
        crypto = std::make_unique<ZipCrypto>(m_strPassword);
        crypto->Decrypt(header, sizeof header);
        // The header's last byte repeats the checksum's top byte (or, when the checksum
        // follows the data, the DOS time's): a wrong password shows here.
        const uint32_t check =
            (entry.flags & kFlagDataDescriptor) ? (entry.dosDateTime >> 8) & 0xFF : entry.crc >> 24;
        if (header[sizeof header - 1] != check) return ZipResult::kPassword;
        position += sizeof header;
        remaining -= sizeof header;
    }
    auto readStored = [&](unsigned char* to, size_t n) {
        if (n > remaining || !m_source->ReadAt(position, to, n)) return false;
        if (crypto) crypto->Decrypt(to, n);
        position += n;
        remaining -= n;
        return true;
    };

    uint64_t left = entry.size;  // bytes still to produce
    uLong crc = crc32(0L, Z_NULL, 0);
    auto emit = [&](const unsigned char* data, size_t n) {
        crc = crc32(crc, data, static_cast<uInt>(n));
        if (check) check->Data(data, n);
        left -= n;
        return out.Write(data, n);
    };

    if (entry.method == kMethodStored) {
        while (left > 0) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kChunk));
            if (!readStored(output, n)) return ZipResult::kDataError;  // the item ended before its data
            if (!emit(output, n)) {
                m_strWriteError = out.Error();
                return ZipResult::kWriteFailed;
            }
        }
    } else {
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return ZipResult::kDataError;
        struct InflateEnd {
            z_stream& stream;
            ~InflateEnd() { inflateEnd(&stream); }
        } inflateEnd{z};
        while (left > 0) {
            if (z.avail_in == 0 && remaining > 0) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(remaining, kChunk));
                if (!readStored(input, n)) return ZipResult::kDataError;
                z.next_in = input;
                z.avail_in = static_cast<uInt>(n);
            }
            const uInt inputBefore = z.avail_in;
            z.next_out = output;
            z.avail_out = static_cast<uInt>(std::min<uint64_t>(left, kChunk));
            const uInt room = z.avail_out;
            const int rc = inflate(&z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
                return encrypted && rc == Z_DATA_ERROR ? ZipResult::kPassword : ZipResult::kDataError;
            const size_t produced = room - z.avail_out;
            if (produced > 0 && !emit(output, produced)) {
                m_strWriteError = out.Error();
                return ZipResult::kWriteFailed;
            }
            if (rc == Z_STREAM_END) break;
            if (produced == 0 && z.avail_in == inputBefore && remaining == 0)
                return ZipResult::kDataError;  // the stored data ended before the item's size
        }
    }
    // A damaged archive whose deflate stream still decodes is caught by its checksum.
    if (left != 0 || crc != entry.crc) return ZipResult::kDataError;
    if (check && !check->Accept()) return ZipResult::kDataError;

    platform::FileStamp stamp;
    stamp.attributes = info.attributes;
    stamp.mode = OutputMode(info, path);
    stamp.accessTime = info.accessTime;
    stamp.writeTime = info.writeTime;
    stamp.createTime = info.createTime;
    if (out.Commit(stamp)) return ZipResult::kOk;
    m_strWriteError = out.Error();
    return ZipResult::kWriteFailed;
}

bool ZipArchive::FlushExtracted() const {
    return platform::FlushFileSystem(m_strRoot);
}

}  // namespace nb
