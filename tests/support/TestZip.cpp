#include "TestZip.h"

#include <zlib.h>

#include "ZipWriter.h"

#include <ctime>

namespace nb::test {

std::string RawDeflate(const std::string& content) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(content.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    z.avail_in = static_cast<uInt>(content.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string UtExtraBlock(uint8_t flags, const std::vector<int32_t>& times) {
    std::string block = "UT";
    const size_t size = 1 + 4 * times.size();
    block.push_back(static_cast<char>(size & 0xFF));
    block.push_back(static_cast<char>(size >> 8));
    block.push_back(static_cast<char>(flags));
    for (int32_t t : times) {
        const uint32_t u = static_cast<uint32_t>(t);
        for (int shift = 0; shift < 32; shift += 8) block.push_back(static_cast<char>((u >> shift) & 0xFF));
    }
    return block;
}

int64_t DosTimeAsUnix(uint32_t dosDate) {
    std::tm tm{};
    tm.tm_year = static_cast<int>((dosDate >> 25) & 0x7F) + 80;
    tm.tm_mon = static_cast<int>((dosDate >> 21) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>((dosDate >> 16) & 0x1F);
    tm.tm_hour = static_cast<int>((dosDate >> 11) & 0x1F);
    tm.tm_min = static_cast<int>((dosDate >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>(dosDate & 0x1F) * 2;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
}

bool WriteTestZip(const std::string& path, const std::vector<TestZipItem>& items) {
    zipwriter::ZipWriter zip;
    if (!zip.Open(path)) return false;
    bool ok = true;
    for (const TestZipItem& item : items) {
        zipwriter::ZipWriterItem header;
        header.name = item.name;
        header.dosDateTime = item.dosDate;
        header.externalAttributes = item.externalAttributes;
        header.madeBy = item.madeBy;
        header.deflated = item.deflate;
        header.flags = item.encryptedFlag ? 1 : 0;
        header.localExtra = item.localExtra;
        header.centralExtra = item.centralExtra;
        const std::string data = item.rawData   ? *item.rawData
                                 : item.deflate ? RawDeflate(item.content)
                                                : item.content;
        const uint32_t crc = item.crc ? *item.crc
                                      : static_cast<uint32_t>(crc32(
                                            0L, reinterpret_cast<const Bytef*>(item.content.data()),
                                            static_cast<uInt>(item.content.size())));
        ok = zip.Begin(header, -1) && zip.Write(data.data(), data.size()) && zip.EndRaw(item.content.size(), crc);
        if (!ok) break;
    }
    return zip.Close() && ok;
}

}  // namespace nb::test
