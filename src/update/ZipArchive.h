#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ByteSource.h"

namespace nb {

// Result codes of the archive operations; kOk is the only success.
enum class ZipResult : uint32_t {
    kOk = 0x00000000,
    kCannotOpen = 0x00000200,      // archive or output file cannot be opened or created, unsafe name
    kWriteFailed = 0x00000400,     // writing the output file failed
    kBadLocalHeader = 0x00000700,  // an item's local header disagrees with the directory
    kBadExtraField = 0x00000800,   // reading an item's local extra field failed
    kPassword = 0x00001000,        // encrypted item and no (or a wrong) password
    kBadArgument = 0x00010000,     // index outside -1 .. count-1 (-1 is not an item)
    kNotAReader = 0x00080000,
    kAlreadyOpen = 0x01000000,
    kNotSeekable = 0x02000000,
    kDataError = 0x05000000,  // decompression failed or the data ended early
};

// Platform file attribute bits as the archive format carries them.
inline constexpr uint32_t kZipAttrReadOnly = 0x01;
inline constexpr uint32_t kZipAttrHidden = 0x02;
inline constexpr uint32_t kZipAttrSystem = 0x04;
inline constexpr uint32_t kZipAttrDirectory = 0x10;
inline constexpr uint32_t kZipAttrArchive = 0x20;

// Names and paths must fit the 260-byte buffers of the archive format's home platform
// (terminating zero included); longer ones are refused, never cut.
inline constexpr size_t kZipMaxPath = 260;

// One item. Times are file times: 100 ns units since 1601-01-01 UTC.
struct ZipItemInfo {
    int32_t index = 0;  // for index -1: the number of items
    std::string name;   // sanitised: relative, without drive or parent steps at its start
    uint32_t attributes = 0;
    uint64_t accessTime = 0;
    uint64_t createTime = 0;
    uint64_t writeTime = 0;
    uint32_t compressedSize = 0;
    uint32_t size = 0;
    // The permission bits a Unix host stored with the item (0 when none); they decide the
    // extracted file's permissions, so a program in a patch stays executable.
    uint32_t unixMode = 0;
    bool symbolicLink = false;  // stored as a link on a Unix host; extracted as a plain file
};

// An item as the central directory alone describes it: where its local record starts and
// how many bytes it stores. Enough to plan which parts of a remote archive to fetch.
struct ZipStoredItem {
    std::string path;  // sanitised and '/'-separated, as ZipNameToPath(SanitizeZipName(name))
    uint64_t localOffset = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
};

// Sees an item's bytes as they are extracted and decides, once all of them have been seen
// and their checksum is good, whether the file may replace what stands at its place.
class ZipItemCheck {
public:
    virtual ~ZipItemCheck() = default;
    virtual void Data(const unsigned char* data, size_t size) = 0;
    virtual bool Accept() = 0;
};

// Reader of one zip archive (ZIP64 included; stored and deflated items; traditional
// encryption when a password is given). Items are reached by walking the central directory
// forward, so asking for items 0, 1, 2 ... in order reads the directory once; the last
// record is cached, so extracting the item just asked for does not read it again. Every
// operation leaves the archive usable for further calls. Extraction writes under the
// extraction root (the working folder when the archive was opened) and never outside it;
// each file is written beside its target and renamed into place only when its data and
// checksum are good, so a failed item leaves the file it would replace as it was.
class ZipArchive {
public:
    // Null when the file is missing, unreadable or not a zip archive. password: null for none.
    static std::unique_ptr<ZipArchive> Open(const std::string& fileName, const char* password = nullptr);
    // The same over any byte source (an archive on a web server read by ranges, say).
    // `directoryReadAhead`: how much of the directory one read takes (0: 64 KiB); a source
    // where every byte costs wants little, and then finds records with GetStoredItemAt.
    static std::unique_ptr<ZipArchive> Open(std::unique_ptr<platform::ByteSource> source,
                                            const char* password = nullptr, size_t directoryReadAhead = 0);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // index -1 gives the count in info.index, everything else zero.
    ZipResult GetItemInfo(int32_t index, ZipItemInfo& info);

    // Writes one item to destinationName: relative names land under the extraction root,
    // a name starting with a separator is taken as the caller's absolute path. A name with a
    // ".." segment is refused. A directory item creates its folders and writes nothing.
    // With a check, a file it does not accept is not put in place (kDataError).
    ZipResult ExtractItem(int32_t index, const std::string& destinationName, ZipItemCheck* check = nullptr);

    // Reads only the central directory record of item `index` (never its local header, which
    // would cost one read per item over a remote source).
    ZipResult GetStoredItem(int32_t index, ZipStoredItem& item);
    // The directory record that starts at `recordOffset`, when one does; `next` is where the
    // following record would start. Lets a caller that can tell where a record lies (from
    // the names and order of a build's files) skip the rest of the directory.
    ZipResult GetStoredItemAt(uint64_t recordOffset, ZipStoredItem& item, uint64_t& next);
    // GetItemInfo and ExtractItem for the record at `recordOffset`, known to the caller as
    // item `index`.
    ZipResult GetItemInfoAt(int32_t index, uint64_t recordOffset, ZipItemInfo& info);
    ZipResult ExtractItemAt(int32_t index, uint64_t recordOffset, const std::string& destinationName,
                            ZipItemCheck* check = nullptr);
    // Where the central directory starts (the end of the last item's bytes) and ends.
    uint64_t CentralDirectoryStart() const { return m_nCentralStart; }
    uint64_t CentralDirectoryEnd() const { return m_nCentralEnd; }

    // Makes what was extracted durable before the caller records it as installed.
    bool FlushExtracted() const;

    const std::string& Root() const { return m_strRoot; }

    // Why the last extraction could not create, write or place its file, as the system
    // said it (a full disk, a size limit, no permission); empty when it failed otherwise.
    const std::string& LastWriteError() const { return m_strWriteError; }

private:
    // One central directory record, as far as extraction needs it.
    struct Entry {
        uint32_t madeBy = 0;
        uint32_t flags = 0;
        uint32_t method = 0;
        uint32_t dosDateTime = 0;  // date in the high half
        uint32_t crc = 0;
        uint64_t compressedSize = 0;
        uint64_t size = 0;
        uint64_t localOffset = 0;
        uint32_t externalAttributes = 0;
        std::string name;        // as stored, whole
        uint64_t next = 0;       // where the following record starts
        uint64_t dataStart = 0;  // after the local header, once that has been checked
    };

    ZipArchive() = default;
    bool ReadEndRecords();
    bool ReadCentral(uint64_t offset, void* data, size_t size);
    bool ReadEntry(uint64_t offset, Entry& entry);
    ZipResult GoToItem(int32_t index);
    ZipResult ReadItemInfo(int32_t index, ZipItemInfo& info, Entry& entry);
    // Checks an item's local header against its record and reads what ItemInfo needs.
    ZipResult ReadLocal(int32_t index, Entry& entry, ZipItemInfo& info);
    ZipResult ReadEntryAt(uint64_t recordOffset, Entry& entry);
    ZipResult ExtractEntry(const ZipItemInfo& info, const Entry& entry, const std::string& destinationName,
                           ZipItemCheck* check);
    ZipResult WriteItem(const ZipItemInfo& info, const Entry& entry, const std::string& path, ZipItemCheck* check);
    // Records where an item's stored data lie; false when they overlap another item's.
    bool ClaimDataRange(int32_t index, uint64_t start, uint64_t size);

    std::unique_ptr<platform::ByteSource> m_source;
    uint64_t m_nCentralStart = 0;  // first directory record
    uint64_t m_nCentralEnd = 0;    // after the last one
    size_t m_nReadAhead = 0;       // bytes of the directory one read takes
    uint64_t m_nPrefix = 0;        // bytes before the archive proper (a self-extractor's program)
    std::vector<unsigned char> m_central;  // a window of the directory, read ahead
    uint64_t m_nCentralAt = 0;             // where that window starts
    int32_t m_nCount = 0;
    int32_t m_nPosition = -1;  // item whose record m_current holds; -1 none, INT32_MAX unknown
    Entry m_current;
    int32_t m_nCachedIndex = -1;
    ZipItemInfo m_cachedInfo;
    Entry m_cachedEntry;
    bool m_bHasPassword = false;
    std::string m_strPassword;
    std::vector<unsigned char> m_buffer;  // output and input halves, made at the first extraction
    std::string m_strRoot;       // ends with '/'
    std::string m_strWriteError;
    std::map<uint64_t, std::pair<uint64_t, int32_t>> m_dataRanges;  // start -> end, item
};

// The item-name sanitiser: strips drive prefixes, leading separators and parent steps at
// the start and up to the last "\..\"-like step, repeating until nothing changes. Text is
// code page 936, so a backslash that is the trail byte of a double-byte character is not
// a separator.
std::string SanitizeZipName(std::string_view name);

// Both separators of the archive's home platform become '/', trail bytes left alone.
std::string ZipNameToPath(std::string_view name);

// True when a '/'-separated path has a ".." segment.
bool HasParentSegment(std::string_view path);

}  // namespace nb
