#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <zlib.h>

namespace nb::zipwriter {

// One item's header fields.
struct ZipWriterItem {
    std::string name;
    uint32_t dosDateTime = 0;  // date in the high half
    uint32_t externalAttributes = 0;
    uint32_t madeBy = (3u << 8) | 20u;  // host in the high byte
    bool deflated = true;
    uint32_t flags = 0;  // general purpose bits, e.g. 1 to mark an item encrypted
    std::string localExtra;
    std::string centralExtra;
    bool zip64 = false;  // sizes in a ZIP64 block (needed from 4 GiB on)
};

// Writes a zip archive item by item: the patch builder's output and the tests' hand-made
// archives. Each local header is written first and completed when its item ends, so
// items of any size stream through; offsets, sizes and counts past the 32-bit fields get
// ZIP64 records.
class ZipWriter {
public:
    ZipWriter() = default;
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    bool Open(const std::string& path);
    // level: the deflate level for data given plain; -1 when Write gets the stored bytes
    // themselves (already deflated, or stored), to be ended with EndRaw.
    bool Begin(const ZipWriterItem& item, int level);
    bool Write(const void* data, size_t size);
    bool End();
    bool EndRaw(uint64_t size, uint32_t crc);
    // Writes the directory and closes the file; forceZip64 writes the ZIP64 end records
    // even when nothing needs them.
    bool Close(bool forceZip64 = false);

private:
    struct Written {
        ZipWriterItem item;
        uint64_t offset = 0;
        uint64_t compressedSize = 0;
        uint64_t size = 0;
        uint32_t crc = 0;
    };
    bool Put(const std::string& bytes);
    bool Finish(uint64_t size, uint32_t crc);

    std::FILE* m_file = nullptr;
    uint64_t m_nOffset = 0;
    std::vector<Written> m_items;
    bool m_bOpenItem = false;
    bool m_bCompressing = false;
    bool m_bRaw = false;
    std::fpos_t m_headerPosition{};
    z_stream m_stream{};
    uint64_t m_nSize = 0;
    uint64_t m_nCompressed = 0;
    uLong m_crc = 0;
    std::vector<unsigned char> m_buffer;
};

}  // namespace nb::zipwriter
